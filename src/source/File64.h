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
