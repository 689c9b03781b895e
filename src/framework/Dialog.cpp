#include "Dialog.h"

#include "Boundary.h"
#include "Control.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace tw {

namespace {

// The dialogs of this thread whose loops run, innermost last, and the
// message-filter hook held while there are any.
thread_local std::vector<Dialog*> runningDialogs;
thread_local HHOOK keyFilter = nullptr;
// Set while our own loop asks the dialog manager, which calls the filter
// first: that message has been through the dialog's filter already.
thread_local bool ownLoopAsking = false;

// A dialog's turn in the list of running dialogs, and the hook with it.
class Running {
public:
    explicit Running(Dialog* dialog, HOOKPROC hook) : dialog_(dialog) {
        if (runningDialogs.empty())
            keyFilter = SetWindowsHookExW(WH_MSGFILTER, hook, nullptr, GetCurrentThreadId());
        runningDialogs.push_back(dialog);
    }
    ~Running() {
        runningDialogs.erase(std::remove(runningDialogs.begin(), runningDialogs.end(), dialog_),
                             runningDialogs.end());
        if (runningDialogs.empty() && keyFilter) {
            UnhookWindowsHookEx(keyFilter);
            keyFilter = nullptr;
        }
    }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

private:
    Dialog* dialog_;
};

} // namespace

Dialog::Dialog(UINT templateId, HWND owner) : templateId_(templateId), owner_(owner) {}

Dialog::~Dialog() {
    if (hwnd_ && IsWindow(hwnd_)) {
        SetWindowLongPtrW(hwnd_, DWLP_USER, 0);
        DestroyWindow(hwnd_);
    }
}

INT_PTR Dialog::DoModal() {
    ended_ = false;
    result_ = IDCANCEL;
    // Like the dialog manager: the owner is disabled while we run.
    bool ownerEnabled = owner_ && IsWindowEnabled(owner_);
    if (ownerEnabled)
        EnableWindow(owner_, FALSE);
    HWND created = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), owner_,
                                      &Dialog::DialogProc, reinterpret_cast<LPARAM>(this));
    if (!created) {
        if (ownerEnabled)
            EnableWindow(owner_, TRUE);
        return -1;
    }
    if (!ended_ && !IsWindowVisible(hwnd_))
        ShowWindow(hwnd_, SW_SHOWNORMAL);

    const Running running(this, &Dialog::KeyFilterHook);
    MSG msg;
    while (!ended_) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            // Leave WM_QUIT for the loops outside this one.
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got == -1)
            break;
        if (preTranslate(msg))
            continue;
        ownLoopAsking = true;
        const bool dialogMessage = IsWindow(hwnd_) && IsDialogMessageW(hwnd_, &msg);
        ownLoopAsking = false;
        if (dialogMessage)
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }

    // Hide first and give the owner back its input before we go, so that
    // activation returns to the owner and not to some other program.
    if (IsWindow(hwnd_))
        SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
    if (ownerEnabled)
        EnableWindow(owner_, TRUE);
    if (owner_ && GetActiveWindow() == hwnd_)
        SetActiveWindow(owner_);
    if (IsWindow(hwnd_)) {
        SetWindowLongPtrW(hwnd_, DWLP_USER, 0);
        DestroyWindow(hwnd_);
    }
    hwnd_ = nullptr;
    return result_;
}

void Dialog::EndDialog(INT_PTR result) {
    result_ = result;
    ended_ = true;
    // Wake the loop in case we are called outside its dispatch.
    if (hwnd_)
        PostMessageW(hwnd_, WM_NULL, 0, 0);
}

bool Dialog::preTranslate(MSG& msg) {
    if (!hwnd_ || (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd)))
        return false;
    // Controls first, innermost out, then the dialog itself.
    for (HWND w = msg.hwnd; w && w != hwnd_; w = GetParent(w)) {
        if (Control* c = Control::fromHandle(w))
            if (c->PreTranslateMessage(msg))
                return true;
    }
    return PreTranslateMessage(msg);
}

LRESULT CALLBACK Dialog::KeyFilterHook(int code, WPARAM wParam, LPARAM lParam) {
    const bool asked = std::exchange(ownLoopAsking, false);
    auto* msg = reinterpret_cast<MSG*>(lParam);
    if (code >= 0 && !asked && msg && msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST) {
        const HWND root = GetAncestor(msg->hwnd, GA_ROOT);
        for (Dialog* dialog : std::vector<Dialog*>(runningDialogs))
            if (dialog->hwnd_ == root && root)
                if (guarded("Dialog::KeyFilterHook", false, [&] { return dialog->preTranslate(*msg); }))
                    return TRUE; // the key is taken
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

std::wstring Dialog::itemText(int id) const {
    HWND h = item(id);
    if (!h)
        return {};
    int n = GetWindowTextLengthW(h);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    n = GetWindowTextW(h, &text[0], n + 1);
    text.resize(static_cast<size_t>(n > 0 ? n : 0));
    return text;
}

void Dialog::setItemText(int id, const std::wstring& text) const { SetDlgItemTextW(hwnd_, id, text.c_str()); }

bool Dialog::isChecked(int id) const { return IsDlgButtonChecked(hwnd_, id) == BST_CHECKED; }

void Dialog::setChecked(int id, bool checked) const {
    CheckDlgButton(hwnd_, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void Dialog::enableItem(int id, bool enable) const {
    if (HWND h = item(id))
        EnableWindow(h, enable ? TRUE : FALSE);
}

void Dialog::showItem(int id, bool show) const {
    if (HWND h = item(id))
        ShowWindow(h, show ? SW_SHOW : SW_HIDE);
}

void Dialog::setCaption(const std::wstring& text) const { SetWindowTextW(hwnd_, text.c_str()); }

void Dialog::callOnOwnThread(const std::function<void()>& work) const {
    HWND window = hwnd_;
    if (!window || !IsWindow(window))
        return;
    if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) {
        work();
        return;
    }
    SendMessageW(window, WM_TW_CALL, 0, reinterpret_cast<LPARAM>(&work));
}

INT_PTR CALLBACK Dialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* self;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        self->hwnd_ = hwnd;
    } else {
        self = reinterpret_cast<Dialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    }
    if (!self)
        return FALSE;
    return guarded("Dialog::DialogProc", INT_PTR{FALSE}, [&] { return self->dispatch(message, wParam, lParam); });
}

INT_PTR Dialog::handled(LRESULT result) {
    SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, result);
    return TRUE;
}

INT_PTR Dialog::dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND: {
        HWND control = reinterpret_cast<HWND>(lParam);
        if (Control* c = Control::fromHandle(control))
            if (c->OnReflectedMessage(message, wParam, lParam, result))
                return handled(result);
        UINT id = LOWORD(wParam), code = HIWORD(wParam);
        if (OnCommand(id, code, control))
            return TRUE;
        if (code == BN_CLICKED || code == 1 /* accelerator */) {
            if (id == IDOK) {
                OnOK();
                return TRUE;
            }
            if (id == IDCANCEL) {
                OnCancel();
                return TRUE;
            }
        }
        return FALSE;
    }
    case WM_NOTIFY: {
        NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
        if (Control* c = Control::fromHandle(header->hwndFrom))
            if (c->OnReflectedMessage(message, wParam, lParam, result))
                return handled(result);
        if (OnNotify(header, result))
            return handled(result);
        return FALSE;
    }
    case WM_DRAWITEM: {
        auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        if (Control* c = Control::fromHandle(item->hwndItem))
            if (c->OnReflectedMessage(message, wParam, lParam, result))
                return handled(TRUE);
        break;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORDLG: {
        // Colour messages return the brush itself, not through DWLP_MSGRESULT.
        HWND control = reinterpret_cast<HWND>(lParam);
        if (Control* c = Control::fromHandle(control))
            if (c->OnReflectedMessage(message, wParam, lParam, result))
                return static_cast<INT_PTR>(result);
        HBRUSH brush = OnCtlColor(reinterpret_cast<HDC>(wParam), control, message);
        return reinterpret_cast<INT_PTR>(brush);
    }
    case WM_PAINT:
        if (OnPaint())
            return handled(0);
        break;
    case WM_ERASEBKGND:
        if (OnEraseBkgnd(reinterpret_cast<HDC>(wParam)))
            return handled(TRUE);
        break;
    case WM_TIMER:
        OnTimer(static_cast<UINT_PTR>(wParam));
        return handled(0);
    case WM_SYSCOMMAND:
        if (OnSysCommand(wParam, lParam))
            return handled(0);
        break;
    case WM_TW_WORKER_ENDED:
        OnWorkerEnded();
        return handled(0);
    case WM_TW_CALL:
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
        return handled(0);
    default:
        break;
    }
    if (OnMessage(message, wParam, lParam, result))
        return handled(result);
    return FALSE;
}

} // namespace tw
