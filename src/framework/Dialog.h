// A dialog from a template, run modally by its own message loop so that a
// key filter sees every key before the dialog manager does.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

namespace tw {

// Framework messages: run a function on the dialog's thread (lParam points
// at it); the dialog's worker has ended (see Worker.h). Private messages of
// the pages start after them.
constexpr UINT WM_TW_CALL = WM_APP + 0;
constexpr UINT WM_TW_WORKER_ENDED = WM_APP + 1;

class Dialog {
public:
    Dialog(UINT templateId, HWND owner);
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Creates the dialog, disables the owner, runs until EndDialog, destroys
    // the window and returns the result (-1 when it could not be created).
    INT_PTR DoModal();
    void EndDialog(INT_PTR result);

    HWND hwnd() const { return hwnd_; }
    UINT templateId() const { return templateId_; }
    HWND item(int id) const { return GetDlgItem(hwnd_, id); }
    std::wstring itemText(int id) const;
    void setItemText(int id, const std::wstring& text) const;
    bool isChecked(int id) const;
    void setChecked(int id, bool checked) const;
    void enableItem(int id, bool enable) const;
    void showItem(int id, bool show) const;
    void setCaption(const std::wstring& text) const;

    // Runs `work` on the dialog's own thread and waits for it: how a worker
    // changes the dialog's controls. Does nothing once the window is gone.
    void callOnOwnThread(const std::function<void()>& work) const;

protected:
    // Handlers; each returns whether it handled the message where that
    // matters. The defaults do what the dialog manager would.
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    virtual bool OnCommand(UINT id, UINT code, HWND control) { return false; }
    virtual bool PreTranslateMessage(MSG& msg) { return false; }
    virtual bool OnPaint() { return false; }
    virtual bool OnEraseBkgnd(HDC dc) { return false; }
    // Brush for a control's background, or nullptr for the default.
    virtual HBRUSH OnCtlColor(HDC dc, HWND control, UINT message) { return nullptr; }
    virtual void OnTimer(UINT_PTR id) {}
    virtual bool OnNotify(NMHDR* header, LRESULT& result) { return false; }
    virtual bool OnSysCommand(WPARAM command, LPARAM lParam) { return false; }
    // The dialog's worker has ended: the last message it sends.
    virtual void OnWorkerEnded() {}
    // Any other message.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) { return false; }

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR handled(LRESULT result);
    bool preTranslate(MSG& msg);
    // While a message box or another dialog runs its own loop on this
    // thread, keys meant for one of our dialogs still pass its filter.
    static LRESULT CALLBACK KeyFilterHook(int code, WPARAM wParam, LPARAM lParam);

    UINT templateId_;
    HWND owner_;
    HWND hwnd_ = nullptr;
    bool ended_ = false;
    INT_PTR result_ = IDCANCEL;
};

} // namespace tw
