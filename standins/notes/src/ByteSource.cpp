#include "ByteSource.h"

#include "Platform.h"

#include <algorithm>

namespace notes {

namespace {

bool seekFile(std::FILE* f, uint64_t offset) {
#ifdef _WIN32
    return _fseeki64(f, static_cast<long long>(offset), SEEK_SET) == 0;
#else
    return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

uint64_t fileSize(std::FILE* f) {
#ifdef _WIN32
    if (_fseeki64(f, 0, SEEK_END) != 0)
        return 0;
    long long n = _ftelli64(f);
#else
    if (fseeko(f, 0, SEEK_END) != 0)
        return 0;
    off_t n = ftello(f);
#endif
    return n > 0 ? static_cast<uint64_t>(n) : 0;
}

} // namespace

ByteSource::~ByteSource() {
    if (file_)
        std::fclose(file_);
}

bool ByteSource::open(const std::string& path) {
    if (file_)
        std::fclose(file_);
    file_ = openFile(path, "rb");
    if (!file_)
        return false;
    // Unbuffered: the reads go straight into our own buffer.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    size_ = fileSize(file_);
    bufferStart_ = 0;
    pos_ = len_ = 0;
    failed_ = false;
    reading_ = kBufferSize;
    return seekFile(file_, 0);
}

bool ByteSource::seek(uint64_t offset) {
    if (!file_)
        return false;
    if (offset >= bufferStart_ && offset <= bufferStart_ + len_) {
        pos_ = static_cast<size_t>(offset - bufferStart_);
        return true;
    }
    if (!seekFile(file_, offset))
        return false;
    bufferStart_ = offset;
    pos_ = len_ = 0;
    reading_ = kBufferSize;
    return true;
}

bool ByteSource::fill() {
    if (!file_ || failed_)
        return false;
    uint64_t next = bufferStart_ + len_;
    // Keep the file position in step with what was buffered.
    if (pos_ < len_)
        return true;
    bufferStart_ = next;
    pos_ = 0;
    const size_t want = end_ > next ? static_cast<size_t>(std::min<uint64_t>(reading_, end_ - next)) : reading_;
    len_ = std::fread(buffer_, 1, want, file_);
    if (len_ == 0 && std::ferror(file_))
        failed_ = true;
    reading_ = std::min(reading_ * 2, kMostRead);
    return len_ > 0;
}

} // namespace notes
