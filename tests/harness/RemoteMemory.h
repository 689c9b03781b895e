// Memory in the process that owns a window, for control messages whose
// arguments are pointers (tree items, rectangles). In our own process it is
// plain memory.
#pragma once
#include <windows.h>

#include <cstddef>
#include <vector>

namespace robot {

class RemoteMemory {
public:
    RemoteMemory(HWND owner, size_t size);
    ~RemoteMemory();
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;

    void* address() const { return address_; }
    template <typename T>
    T* as() const {
        return static_cast<T*>(address_);
    }
    bool write(const void* data, size_t size, size_t offset = 0);
    bool read(void* data, size_t size, size_t offset = 0) const;

private:
    HANDLE process_ = nullptr; // null when the window is ours
    void* address_ = nullptr;
    std::vector<unsigned char> local_;
};

} // namespace robot
