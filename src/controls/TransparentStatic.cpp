#include "TransparentStatic.h"

LRESULT CTransparentStatic::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_SETTEXT)
        return Default(message, wParam, lParam);
    const LRESULT result = Default(message, wParam, lParam);
    HWND parent = GetParent(hwnd());
    if (parent) {
        RECT r{};
        GetWindowRect(hwnd(), &r);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
        // The parent's background over the whole rectangle, then the new
        // text over it (the parent has no clip-children style, so its
        // invalidation reaches this control too).
        InvalidateRect(parent, &r, TRUE);
        UpdateWindow(parent);
    }
    return result;
}

bool CTransparentStatic::OnReflectedMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    if (message != WM_CTLCOLORSTATIC)
        return false;
    SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
    result = reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
    return true;
}
