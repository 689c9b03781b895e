#include "Control.h"

#include "Boundary.h"

namespace tw {

namespace {
const wchar_t kProperty[] = L"Tidewell.Control";
}

Control::~Control() { detach(); }

bool Control::attach(HWND hwnd) {
    if (!hwnd || hwnd_ || GetPropW(hwnd, kProperty))
        return false;
    hwnd_ = hwnd;
    SetPropW(hwnd, kProperty, this);
    original_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Control::SubclassProc)));
    OnAttached();
    return true;
}

void Control::detach() {
    if (!hwnd_)
        return;
    if (IsWindow(hwnd_)) {
        SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
        RemovePropW(hwnd_, kProperty);
    }
    hwnd_ = nullptr;
    original_ = nullptr;
}

Control* Control::fromHandle(HWND hwnd) {
    return hwnd ? static_cast<Control*>(GetPropW(hwnd, kProperty)) : nullptr;
}

LRESULT Control::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) { return Default(message, wParam, lParam); }

LRESULT Control::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcW(original_, hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK Control::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Control* self = fromHandle(hwnd);
    if (!self)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        WNDPROC original = self->original_;
        self->detach();
        return CallWindowProcW(original, hwnd, message, wParam, lParam);
    }
    return guarded("Control::WindowProc", LRESULT{0}, [&] { return self->WindowProc(message, wParam, lParam); });
}

} // namespace tw
