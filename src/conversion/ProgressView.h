// What a conversion sees of the Step 6 page: its labels and bars, whose
// every change the page's own thread carries out while the worker waits,
// and the window that owns the conversion's message boxes.
#pragma once
#include <windows.h>

#include <string>

class ProgressView {
public:
    virtual ~ProgressView() = default;
    virtual HWND window() const = 0;
    virtual void setLabel(int id, const std::wstring& text) = 0;
    // A bar's position, 0 to 100.
    virtual void setBar(int id, int percent) = 0;
    // The whole page, background erased: its next paint shows the
    // completion dialog once the worker has finished.
    virtual void invalidate() = 0;
};
