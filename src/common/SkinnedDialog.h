// A dialog painted over a skin bitmap: the bitmap fills the background from
// the top-left corner at its own size, and static texts, group boxes, check
// boxes, radio buttons and buttons draw transparently over it.
#pragma once
#include "../framework/Dialog.h"
#include "../framework/Gdi.h"

#include <initializer_list>
#include <string>

class SkinnedDialog : public tw::Dialog {
protected:
    SkinnedDialog(UINT templateId, HWND owner) : tw::Dialog(templateId, owner) {}

    // Loads `skinDirectory` + fileName (fileName begins with a backslash);
    // a missing file leaves the default background.
    void loadBackground(const wchar_t* fileName);
    // Loads a skin bitmap file; null when it is missing.
    static HBITMAP loadSkinBitmap(const wchar_t* fileName);

    // Path boxes take no more than the longest path a plain Windows
    // program may use (259 characters).
    void limitToPathLength(std::initializer_list<int> ids) const;

    bool OnEraseBkgnd(HDC dc) override;
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT message) override;

private:
    tw::Bitmap background_;
};
