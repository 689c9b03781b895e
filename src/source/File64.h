// The program's file class: 64-bit sizes and offsets, files opened without
// sharing. Opening reports failure through an error record; reading,
// writing, seeking and closing raise FileError.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

// Why a file operation failed, with the platform's code and the file.
struct FileError {
    enum Cause { None, OpenFailed, ReadFailed, WriteFailed, DiskFull, SeekFailed, CloseFailed };
    Cause cause = None;
    DWORD code = 0;
    std::wstring path;

    // "<path>: <the platform's text for the code>", for a message box.
    std::wstring describe() const;
};

class CFile64 {
public:
    CFile64() = default;
    virtual ~CFile64();
    CFile64(const CFile64&) = delete;
    CFile64& operator=(const CFile64&) = delete;

    // Opens with no sharing; `access` and `disposition` as CreateFileW
    // takes them. False, with `error` filled, when the file cannot be had.
    bool open(const std::wstring& path, DWORD access, DWORD disposition, FileError& error);
    size_t read(void* buffer, size_t count);
    // Fewer bytes written than asked raise a disk-full error.
    void write(const void* buffer, size_t count);
    void seek(uint64_t offset);
    uint64_t position() const;
    uint64_t length() const;
    void close();

    bool isOpen() const { return owned_; }
    const std::wstring& path() const { return path_; }

private:
    [[noreturn]] void fail(FileError::Cause cause, DWORD code) const;

    HANDLE handle_ = INVALID_HANDLE_VALUE;
    std::wstring path_;
    bool owned_ = false;
};

// Copies `from` into `to` from offset 0, in chunks of `chunkSize` bytes
// (the last one holds the rest), seeking the source to each chunk before
// reading it. `onChunk(copied, chunk)` follows every chunk; the copy stops
// early when it returns false. Returns the bytes copied. File errors raise
// FileError; a source shorter than its length promised is a read error.
template <typename OnChunk>
uint64_t copyInChunks(CFile64& from, CFile64& to, size_t chunkSize, OnChunk&& onChunk);

#include <vector>

template <typename OnChunk>
uint64_t copyInChunks(CFile64& from, CFile64& to, size_t chunkSize, OnChunk&& onChunk) {
    const uint64_t size = from.length();
    std::vector<char> buffer(chunkSize);
    uint64_t copied = 0;
    while (copied < size) {
        const size_t chunk = static_cast<size_t>(size - copied < chunkSize ? size - copied : chunkSize);
        from.seek(copied);
        if (from.read(buffer.data(), chunk) != chunk)
            throw FileError{FileError::ReadFailed, ERROR_HANDLE_EOF, from.path()};
        to.write(buffer.data(), chunk);
        copied += chunk;
        if (!onChunk(copied, chunk))
            break;
    }
    return copied;
}
