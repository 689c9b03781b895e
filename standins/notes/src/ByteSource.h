// A file read through a fixed buffer, with 64-bit offsets and seeking: the
// database is never held in memory whole.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace notes {

class ByteSource {
public:
    static constexpr size_t kBufferSize = 1 << 16;

    ByteSource() = default;
    ~ByteSource();
    ByteSource(const ByteSource&) = delete;
    ByteSource& operator=(const ByteSource&) = delete;

    // Opens the file (platform text path) for reading; false when it cannot.
    bool open(const std::string& path);
    bool isOpen() const { return file_ != nullptr; }
    uint64_t size() const { return size_; }

    bool seek(uint64_t offset);
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
    std::unique_ptr<char[]> storage_{new char[kBufferSize]};
    char* buffer_ = storage_.get();
};

} // namespace notes
