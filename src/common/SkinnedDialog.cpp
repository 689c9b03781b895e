#include "SkinnedDialog.h"

#include "Paths.h"

#include "WizardState.h"

HBITMAP SkinnedDialog::loadSkinBitmap(const wchar_t* fileName) {
    std::wstring path = wizardState().skinDirectory + fileName;
    return static_cast<HBITMAP>(LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
}

void SkinnedDialog::loadBackground(const wchar_t* fileName) { background_.reset(loadSkinBitmap(fileName)); }

void SkinnedDialog::limitToPathLength(std::initializer_list<int> ids) const {
    for (int id : ids)
        SendDlgItemMessageW(hwnd(), id, EM_SETLIMITTEXT, kMaxPathChars, 0);
}

bool SkinnedDialog::OnEraseBkgnd(HDC dc) {
    if (!background_)
        return false;
    BITMAP info{};
    GetObjectW(background_.get(), sizeof info, &info);
    tw::MemoryDC memory(dc);
    tw::SelectObjectScope select(memory.get(), background_.get());
    BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, memory.get(), 0, 0, SRCCOPY);
    return true;
}

namespace {

// A read-only or disabled edit box asks for the static colour too, but it
// must keep its own background or its text would smear.
bool isEditBox(HWND control) {
    wchar_t name[16] = {};
    GetClassNameW(control, name, 16);
    return lstrcmpiW(name, L"Edit") == 0;
}

} // namespace

HBRUSH SkinnedDialog::OnCtlColor(HDC dc, HWND control, UINT message) {
    if ((message == WM_CTLCOLORSTATIC || message == WM_CTLCOLORBTN) && !isEditBox(control)) {
        SetBkMode(dc, TRANSPARENT);
        return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    }
    return nullptr;
}
