#include "PasswordPrompt.h"

#include <vector>

namespace outlook {

namespace {

// An in-memory dialog template: a header, then each item DWORD-aligned.
class DialogTemplate {
public:
    DialogTemplate(const wchar_t* caption, short cx, short cy, WORD items) {
        DLGTEMPLATE t{};
        t.style = DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU;
        t.cdit = items;
        t.cx = cx;
        t.cy = cy;
        add(&t, sizeof t);
        word(0); // no menu
        word(0); // the standard class
        text(caption);
        word(8);
        text(L"MS Shell Dlg");
    }
    void item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom, const wchar_t* text) {
        align();
        DLGITEMTEMPLATE i{};
        i.style = style | WS_CHILD | WS_VISIBLE;
        i.x = x;
        i.y = y;
        i.cx = cx;
        i.cy = cy;
        i.id = id;
        add(&i, sizeof i);
        word(0xFFFF);
        word(atom);
        this->text(text);
        word(0); // no creation data
    }
    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(bytes_.data()); }

private:
    void add(const void* p, size_t n) {
        const auto* b = static_cast<const unsigned char*>(p);
        bytes_.insert(bytes_.end(), b, b + n);
    }
    void word(WORD w) { add(&w, sizeof w); }
    void text(const wchar_t* s) { add(s, (wcslen(s) + 1) * sizeof(wchar_t)); }
    void align() {
        while (bytes_.size() % 4)
            bytes_.push_back(0);
    }
    std::vector<unsigned char> bytes_;
};

struct PromptState {
    std::wstring text;
    std::wstring password;
};

INT_PTR CALLBACK promptProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        auto* state = reinterpret_cast<PromptState*>(GetWindowLongPtrW(dialog, DWLP_USER));
        switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            SetDlgItemTextW(dialog, kPasswordPromptText, reinterpret_cast<PromptState*>(lParam)->text.c_str());
            SetForegroundWindow(dialog);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK && state) {
                wchar_t typed[256] = L"";
                GetDlgItemTextW(dialog, kPasswordPromptBox, typed, 256);
                state->password = typed;
                SecureZeroMemory(typed, sizeof typed);
                EndDialog(dialog, IDOK);
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            break;
        }
    } catch (...) {
        EndDialog(dialog, IDCANCEL);
    }
    return FALSE;
}

BOOL CALLBACK visibleOfOurs(HWND window, LPARAM found) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == GetCurrentProcessId() && IsWindowVisible(window) && IsWindowEnabled(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND promptOwner() {
    HWND active = GetForegroundWindow();
    DWORD pid = 0;
    if (active)
        GetWindowThreadProcessId(active, &pid);
    if (active && pid == GetCurrentProcessId())
        return active;
    HWND found = nullptr;
    EnumWindows(visibleOfOurs, reinterpret_cast<LPARAM>(&found));
    return found;
}

std::optional<std::wstring> askPassword(HWND owner, const std::wstring& fileName, bool again) {
    DialogTemplate t(kPasswordPromptCaption, 220, 82, 4);
    t.item(SS_LEFT, 7, 7, 206, 24, kPasswordPromptText, 0x0082, L"");
    t.item(ES_PASSWORD | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 36, 206, 13, kPasswordPromptBox, 0x0081, L"");
    t.item(BS_DEFPUSHBUTTON | WS_TABSTOP, 108, 60, 50, 14, IDOK, 0x0080, L"OK");
    t.item(BS_PUSHBUTTON | WS_TABSTOP, 163, 60, 50, 14, IDCANCEL, 0x0080, L"Cancel");
    PromptState state;
    state.text = (again ? L"The password is not correct. " : L"") + std::wstring(L"Type the password for ") +
                 fileName + L":";
    const INT_PTR answer = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), t.get(), owner, promptProc,
                                                   reinterpret_cast<LPARAM>(&state));
    if (answer != IDOK)
        return std::nullopt;
    return state.password;
}

} // namespace outlook
