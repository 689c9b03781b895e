// RAII holders for kernel, find, registry and icon handles.
#pragma once
#include <windows.h>

#include <utility>

namespace tw {

// A handle closed by `Close` when the holder goes; `Invalid` is the value
// that means "none" for that kind of handle.
template <typename H, typename Traits>
class UniqueResource {
public:
    UniqueResource() = default;
    explicit UniqueResource(H h) : h_(h) {}
    ~UniqueResource() { reset(); }
    UniqueResource(UniqueResource&& o) noexcept : h_(o.release()) {}
    UniqueResource& operator=(UniqueResource&& o) noexcept {
        if (this != &o)
            reset(o.release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    H get() const { return h_; }
    bool valid() const { return Traits::valid(h_); }
    explicit operator bool() const { return valid(); }
    H release() { return std::exchange(h_, Traits::none()); }
    void reset(H h = Traits::none()) {
        if (Traits::valid(h_))
            Traits::close(h_);
        h_ = h;
    }
    // For APIs that return the handle through a pointer.
    H* put() {
        reset();
        return &h_;
    }

private:
    H h_ = Traits::none();
};

struct KernelHandleTraits {
    static HANDLE none() { return nullptr; }
    static bool valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { CloseHandle(h); }
};

struct FindHandleTraits {
    static HANDLE none() { return INVALID_HANDLE_VALUE; }
    static bool valid(HANDLE h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void close(HANDLE h) { FindClose(h); }
};

struct RegKeyTraits {
    static HKEY none() { return nullptr; }
    static bool valid(HKEY h) { return h != nullptr; }
    static void close(HKEY h) { RegCloseKey(h); }
};

struct IconTraits {
    static HICON none() { return nullptr; }
    static bool valid(HICON h) { return h != nullptr; }
    static void close(HICON h) { DestroyIcon(h); }
};

using UniqueHandle = UniqueResource<HANDLE, KernelHandleTraits>;
using FindHandle = UniqueResource<HANDLE, FindHandleTraits>;
using RegKey = UniqueResource<HKEY, RegKeyTraits>;
using IconHandle = UniqueResource<HICON, IconTraits>;

} // namespace tw
