// A file read and written at 64-bit offsets, flushed to the disk on
// request. Paths are UTF-8.
#pragma once
#include "Bytes.h"

#include <cstdio>
#include <string>

namespace pst {

class File {
public:
    enum class Mode { Read, ReadWrite, Create };
    File(const std::string& path, Mode mode);
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    uint64_t size() const { return size_; }
    Bytes read(uint64_t offset, size_t n);
    // The same into `out`, which has room for `n` bytes.
    void read(uint64_t offset, uint8_t* out, size_t n);
    void write(uint64_t offset, const Bytes& data) { write(offset, data.data(), data.size()); }
    void write(uint64_t offset, const uint8_t* data, size_t n);
    // Everything written so far is with the system (kept if this process
    // ends) when this returns.
    void flush();
    // Everything written so far is on the disk when this returns.
    void sync();
    bool writable() const { return mode_ != Mode::Read; }
    const std::string& path() const { return path_; }

private:
    enum class Last { None, Read, Write };
    bool moveTo(uint64_t offset, Last next);
    // Writes that follow one another (the blocks of an attachment, the
    // pages of a commit) are gathered here and reach the system a few
    // megabyte at a time; the stream itself is unbuffered, so
    // that a read of one page reads one page.
    static constexpr size_t kGathered = 1 << 20;
    Bytes gathered_;
    uint64_t gatheredAt_ = 0;
    void writeGathered();
    void writeNow(uint64_t offset, const uint8_t* data, size_t n);

    std::string path_;
    Mode mode_;
    std::FILE* f_ = nullptr;
    uint64_t size_ = 0;
    Last last_ = Last::None;
    uint64_t position_ = 0;
};

bool fileExists(const std::string& path);

} // namespace pst
