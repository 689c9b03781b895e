#include "File.h"

#ifdef _WIN32
#include <windows.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace pst {

namespace {

#ifdef _WIN32
// UTF-8 to UTF-16 for the wide file functions.
std::wstring wide(const std::string& s) {
    std::wstring out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        uint32_t cp;
        int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
        cp = len == 1 ? c : c & (0x7F >> len);
        for (int k = 1; k < len && i + k < s.size(); ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (cp >> 10));
            out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<wchar_t>(cp);
        }
    }
    return out;
}
#endif

std::FILE* openFile(const std::string& path, const char* mode) {
#ifdef _WIN32
    std::wstring m(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(wide(path).c_str(), m.c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}

bool seekTo(std::FILE* f, uint64_t offset) {
#ifdef _WIN32
    return _fseeki64(f, static_cast<long long>(offset), SEEK_SET) == 0;
#else
    return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

} // namespace

bool fileExists(const std::string& path) {
    std::FILE* f = openFile(path, "rb");
    if (!f)
        return false;
    std::fclose(f);
    return true;
}

File::File(const std::string& path, Mode mode) : path_(path), mode_(mode) {
    const char* how = mode == Mode::Read ? "rb" : mode == Mode::ReadWrite ? "r+b" : "w+b";
#ifdef _WIN32
    // Windows refuses to write a read-only file to anyone; a process with
    // the rights to write it anyway (Wine's as root) honours it all the same.
    const DWORD attributes = GetFileAttributesW(wide(path).c_str());
    if (mode == Mode::ReadWrite && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        throw Error(ErrorKind::Io, "cannot open " + path + " for writing: the file is read-only");
#endif
    f_ = openFile(path, how);
    if (!f_)
        throw Error(ErrorKind::Io, "cannot open " + path + (mode == Mode::Read ? " for reading" : " for writing"));
    std::setvbuf(f_, nullptr, _IONBF, 0);
#ifdef _WIN32
    if (_fseeki64(f_, 0, SEEK_END) == 0)
        size_ = static_cast<uint64_t>(_ftelli64(f_));
#else
    if (fseeko(f_, 0, SEEK_END) == 0)
        size_ = static_cast<uint64_t>(ftello(f_));
#endif
}

File::~File() {
    if (!f_)
        return;
    try {
        writeGathered();
    } catch (const Error&) {
        // Only what no commit has named yet can be left unwritten here.
    }
    std::fclose(f_);
}

Bytes File::read(uint64_t offset, size_t n) {
    if (offset > size_ || n > size_ - offset)
        throw Error(ErrorKind::Corrupt, "a reference points beyond the end of the file");
    Bytes out(n);
    read(offset, out.data(), n);
    return out;
}

void File::read(uint64_t offset, uint8_t* out, size_t n) {
    if (offset > size_ || n > size_ - offset)
        throw Error(ErrorKind::Corrupt, "a reference points beyond the end of the file");
    if (!gathered_.empty() && offset < gatheredAt_ + gathered_.size() && gatheredAt_ < offset + n)
        writeGathered();
    if (n && (!moveTo(offset, Last::Read) || std::fread(out, 1, n, f_) != n)) {
        last_ = Last::None;
        throw Error(ErrorKind::Io, "cannot read " + path_);
    }
    position_ = offset + n;
}

bool File::moveTo(uint64_t offset, Last next) {
    // A seek empties the stream's buffer; where the next read or write
    // goes on from the last one of its kind, it is left out, so that runs
    // of writes (the pages and blocks of a commit lie mostly one after the
    // other) reach the system in whole buffers. Between reading and
    // writing the stream must seek.
    if (last_ == next && position_ == offset)
        return true;
    // What the buffer holds goes out before the stream moves. A seek would
    // write it too, but not every C library says when that fails (a full
    // disk); a commit must know its pages are written before it writes
    // the header that names them.
    if (last_ == Last::Write && std::fflush(f_) != 0) {
        last_ = Last::None;
        throw Error(ErrorKind::Io, "cannot write " + path_ + " (is the disk full?)");
    }
    last_ = next;
    return seekTo(f_, offset);
}

void File::write(uint64_t offset, const uint8_t* data, size_t n) {
    if (mode_ == Mode::Read)
        throw Error(ErrorKind::Invalid, "the store is open for reading only");
    if (!gathered_.empty() && offset == gatheredAt_ + gathered_.size() && gathered_.size() + n <= kGathered) {
        gathered_.insert(gathered_.end(), data, data + n);
    } else {
        writeGathered();
        if (n >= kGathered) {
            writeNow(offset, data, n);
        } else {
            gathered_.reserve(kGathered);
            gatheredAt_ = offset;
            gathered_.assign(data, data + n);
        }
    }
    if (offset + n > size_)
        size_ = offset + n;
}

void File::writeGathered() {
    if (gathered_.empty())
        return;
    try {
        writeNow(gatheredAt_, gathered_.data(), gathered_.size());
    } catch (const Error&) {
        gathered_.clear();
        throw;
    }
    gathered_.clear();
}

void File::writeNow(uint64_t offset, const uint8_t* data, size_t n) {
    if (!moveTo(offset, Last::Write) || std::fwrite(data, 1, n, f_) != n) {
        last_ = Last::None;
        throw Error(ErrorKind::Io, "cannot write " + path_ + " (is the disk full?)");
    }
    position_ = offset + n;
}

void File::flush() {
    if (mode_ == Mode::Read)
        return;
    writeGathered();
    if (std::fflush(f_) != 0)
        throw Error(ErrorKind::Io, "cannot write " + path_ + " (is the disk full?)");
}

void File::sync() {
    if (mode_ == Mode::Read)
        return;
    flush();
#ifdef _WIN32
    _commit(_fileno(f_));
#else
    fsync(fileno(f_));
#endif
}

} // namespace pst
