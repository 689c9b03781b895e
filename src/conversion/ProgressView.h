// What a conversion sees of the Step 6 page: its labels and bars, its
// questions and its hand-over to the completion dialog. The page's own
// thread carries out each of them while the worker waits for it.
#pragma once
#include <windows.h>

#include <string>

class ProgressView {
public:
    virtual ~ProgressView() = default;
    virtual void setLabel(int id, const std::wstring& text) = 0;
    // A bar's position, 0 to 100.
    virtual void setBar(int id, int percent) = 0;
    // A message box owned by the page, with the product title as caption;
    // its answer (IDCANCEL when there is no page to ask on).
    virtual int ask(const std::wstring& text, UINT flags) = 0;
    // The page steps aside for the completion dialog, whose OK ends the
    // program, and shows again when the dialog is closed any other way.
    virtual void showCompletion() = 0;
};
