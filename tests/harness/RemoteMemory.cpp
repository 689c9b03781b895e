#include "RemoteMemory.h"

#include <cstring>

namespace robot {

RemoteMemory::RemoteMemory(HWND owner, size_t size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(owner, &pid);
    if (pid == GetCurrentProcessId()) {
        local_.assign(size, 0);
        address_ = local_.data();
        return;
    }
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process_)
        address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

RemoteMemory::~RemoteMemory() {
    if (process_) {
        if (address_)
            VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        CloseHandle(process_);
    }
}

bool RemoteMemory::write(const void* data, size_t size, size_t offset) {
    if (!address_)
        return false;
    char* at = static_cast<char*>(address_) + offset;
    if (!process_) {
        std::memcpy(at, data, size);
        return true;
    }
    SIZE_T done = 0;
    return WriteProcessMemory(process_, at, data, size, &done) && done == size;
}

bool RemoteMemory::read(void* data, size_t size, size_t offset) const {
    if (!address_)
        return false;
    const char* at = static_cast<const char*>(address_) + offset;
    if (!process_) {
        std::memcpy(data, at, size);
        return true;
    }
    SIZE_T done = 0;
    return ReadProcessMemory(process_, at, data, size, &done) && done == size;
}

} // namespace robot
