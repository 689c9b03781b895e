// A subclassed child control: its messages go through WindowProc first, and
// the notifications its parent receives about it (command, notify, draw
// item, colour) are reflected back to it before the parent handles them.
#pragma once
#include <windows.h>

namespace tw {

class Control {
public:
    Control() = default;
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    bool attach(HWND hwnd);
    bool attachDlgItem(HWND dialog, int id) { return attach(GetDlgItem(dialog, id)); }
    void detach();
    HWND hwnd() const { return hwnd_; }

    static Control* fromHandle(HWND hwnd);

    // Called by the dialog's loop for keys and mouse input aimed at us.
    virtual bool PreTranslateMessage(MSG& msg) { return false; }
    // A parent notification about this control; return true to keep it from
    // the parent, with `result` as the answer.
    virtual bool OnReflectedMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) { return false; }

protected:
    virtual void OnAttached() {}
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The control's original handling.
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
    WNDPROC original_ = nullptr;
};

} // namespace tw
