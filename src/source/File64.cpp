#include "File64.h"

#include "../framework/Text.h"

std::wstring FileError::describe() const {
    std::wstring why = tw::systemMessage(code);
    if (why.empty())
        why = cause == DiskFull ? L"There is not enough space on the disk." : L"Error " + std::to_wstring(code) + L".";
    return path + L": " + why;
}

CFile64::~CFile64() {
    if (owned_)
        CloseHandle(handle_);
}

bool CFile64::open(const std::wstring& path, DWORD access, DWORD disposition, FileError& error) {
    HANDLE h = CreateFileW(path.c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = {FileError::OpenFailed, GetLastError(), path};
        return false;
    }
    if (owned_)
        CloseHandle(handle_);
    handle_ = h;
    path_ = path;
    owned_ = true;
    return true;
}

void CFile64::fail(FileError::Cause cause, DWORD code) const { throw FileError{cause, code, path_}; }

size_t CFile64::read(void* buffer, size_t count) {
    DWORD got = 0;
    if (!ReadFile(handle_, buffer, static_cast<DWORD>(count), &got, nullptr))
        fail(FileError::ReadFailed, GetLastError());
    return got;
}

void CFile64::write(const void* buffer, size_t count) {
    DWORD written = 0;
    if (!WriteFile(handle_, buffer, static_cast<DWORD>(count), &written, nullptr))
        fail(FileError::WriteFailed, GetLastError());
    if (written < count)
        fail(FileError::DiskFull, ERROR_DISK_FULL);
}

void CFile64::seek(uint64_t offset) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN))
        fail(FileError::SeekFailed, GetLastError());
}

uint64_t CFile64::position() const {
    LARGE_INTEGER zero{}, at{};
    if (!SetFilePointerEx(handle_, zero, &at, FILE_CURRENT))
        fail(FileError::SeekFailed, GetLastError());
    return static_cast<uint64_t>(at.QuadPart);
}

uint64_t CFile64::length() const {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle_, &size))
        fail(FileError::SeekFailed, GetLastError());
    return static_cast<uint64_t>(size.QuadPart);
}

void CFile64::close() {
    if (!owned_)
        return;
    const BOOL closed = CloseHandle(handle_);
    const DWORD code = GetLastError();
    const std::wstring path = std::move(path_);
    handle_ = INVALID_HANDLE_VALUE;
    path_.clear();
    owned_ = false;
    if (!closed)
        throw FileError{FileError::CloseFailed, code, path};
}
