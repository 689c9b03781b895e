// A file read through a buffer of its own, with 64-bit offsets and seeking:
// the database is never held in memory whole. Reads start small after a
// seek (a document is a few kilobytes) and grow while the reading goes on
// straight ahead (an attachment's data, the indexing pass), so that long
// runs reach the system in few calls.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace notes {

class ByteSource {
public:
    static constexpr size_t kBufferSize = 1 << 16; // the first read after a seek
    static constexpr size_t kMostRead = 1 << 20;

    ByteSource() = default;
    ~ByteSource();
    ByteSource(const ByteSource&) = delete;
    ByteSource& operator=(const ByteSource&) = delete;

    // Opens the file (platform text path) for reading; false when it cannot.
    bool open(const std::string& path);
    bool isOpen() const { return file_ != nullptr; }
    uint64_t size() const { return size_; }

    bool seek(uint64_t offset);
    // Reads ask for nothing past `end` (where what is wanted is known to
    // end) until the position reaches it.
    void readNoFurtherThan(uint64_t end) { end_ = end; }
    uint64_t position() const { return bufferStart_ + pos_; }

    // The next byte, or -1 at the end (or on a read failure).
    int peek() {
        if (pos_ < len_)
            return static_cast<unsigned char>(buffer_[pos_]);
        return fill() ? static_cast<unsigned char>(buffer_[pos_]) : -1;
    }
    int get() {
        int c = peek();
        if (c >= 0)
            ++pos_;
        return c;
    }
    // The bytes buffered from the current position on (at least one unless
    // at the end); consume() moves past some of them.
    const char* data() const { return buffer_ + pos_; }
    size_t available() {
        if (pos_ >= len_)
            fill();
        return len_ - pos_;
    }
    void consume(size_t n) { pos_ += n; }
    bool failed() const { return failed_; }

private:
    bool fill();

    std::FILE* file_ = nullptr;
    uint64_t size_ = 0;
    uint64_t bufferStart_ = 0;
    size_t pos_ = 0;
    size_t len_ = 0;
    bool failed_ = false;
    size_t reading_ = kBufferSize; // how much the next fill asks for
    uint64_t end_ = 0;
    std::unique_ptr<char[]> storage_{new char[kMostRead]};
    char* buffer_ = storage_.get();
};

} // namespace notes
