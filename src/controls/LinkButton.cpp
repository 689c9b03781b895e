#include "LinkButton.h"

#include <commctrl.h>
#include <mapi.h>
#include <shellapi.h>

namespace {

// The hand shown over every link of the process: the one in the Windows
// help program where it exists, else the system's own.
HCURSOR handCursor() {
    static HCURSOR hand = [] {
        wchar_t windows[MAX_PATH] = L"";
        GetWindowsDirectoryW(windows, MAX_PATH);
        HCURSOR cursor = nullptr;
        if (HMODULE help = LoadLibraryExW((std::wstring(windows) + L"\\Winhlp32.exe").c_str(), nullptr,
                                          LOAD_LIBRARY_AS_DATAFILE)) {
            if (HCURSOR found = LoadCursorW(help, MAKEINTRESOURCEW(106)))
                cursor = CopyCursor(found);
            FreeLibrary(help);
        }
        return cursor ? cursor : LoadCursorW(nullptr, IDC_HAND);
    }();
    return hand;
}

} // namespace

CURLLinkButton::CURLLinkButton()
    : normal_(GetSysColor(COLOR_HIGHLIGHT)), hover_colour_(GetSysColor(COLOR_HOTLIGHT)),
      visited_colour_(kVisitedColour), disabled_(GetSysColor(COLOR_GRAYTEXT)) {
    handCursor();
}

CURLLinkButton::~CURLLinkButton() {
    if (tooltip_ && IsWindow(tooltip_))
        DestroyWindow(tooltip_);
}

void CURLLinkButton::setColours(COLORREF normal, COLORREF hover, COLORREF visited, COLORREF disabled) {
    normal_ = normal;
    hover_colour_ = hover;
    visited_colour_ = visited;
    disabled_ = disabled;
    if (hwnd())
        InvalidateRect(hwnd(), nullptr, TRUE);
}

void CURLLinkButton::OnAttached() {
    LONG_PTR style = GetWindowLongPtrW(hwnd(), GWL_STYLE);
    style = (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW; // no longer a default button
    SetWindowLongPtrW(hwnd(), GWL_STYLE, style);
    tooltip_ = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, hwnd(), nullptr, nullptr, nullptr);
    InvalidateRect(hwnd(), nullptr, TRUE);
}

std::wstring CURLLinkButton::target() const {
    if (!address_.empty() || !hwnd())
        return address_;
    const int length = GetWindowTextLengthW(hwnd());
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(hwnd(), &text[0], length + 1)));
    return text;
}

std::wstring CURLLinkButton::mailRecipient(const std::wstring& text) {
    return L"SMTP:" + text.substr(0, kRecipientCharacters);
}

bool CURLLinkButton::tooltipHasTool() const {
    return tooltip_ && SendMessageW(tooltip_, TTM_GETTOOLCOUNT, 0, 0) > 0;
}

void CURLLinkButton::draw(const DRAWITEMSTRUCT& item) {
    if (!linkFont_) {
        LOGFONTW font{};
        HFONT current = reinterpret_cast<HFONT>(SendMessageW(hwnd(), WM_GETFONT, 0, 0));
        GetObjectW(current ? current : GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
        font.lfHeight = 14;
        font.lfWidth = 0;
        font.lfWeight = 800;
        font.lfUnderline = TRUE;
        linkFont_.reset(CreateFontIndirectW(&font));
    }
    HDC dc = item.hDC;
    HGDIOBJ oldFont = nullptr;
    COLORREF colour = disabled_;
    if (!(item.itemState & ODS_DISABLED)) {
        oldFont = SelectObject(dc, linkFont_.get());
        colour = hover_ ? hover_colour_ : visited_ ? visited_colour_ : normal_;
    }
    const COLORREF oldColour = SetTextColor(dc, colour);
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const int length = GetWindowTextLengthW(hwnd());
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(hwnd(), &text[0], length + 1)));
    RECT r = item.rcItem;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_SINGLELINE | DT_LEFT | DT_TOP);
    SetBkMode(dc, oldMode);
    SetTextColor(dc, oldColour);
    if (oldFont)
        SelectObject(dc, oldFont);
}

bool CURLLinkButton::sendMail(const std::wstring& text) const {
    HMODULE mapi = LoadLibraryW(L"MAPI32.DLL");
    if (!mapi)
        return false;
    auto logon = reinterpret_cast<LPMAPILOGON>(GetProcAddress(mapi, "MAPILogon"));
    auto logoff = reinterpret_cast<LPMAPILOGOFF>(GetProcAddress(mapi, "MAPILogoff"));
    auto sendDocuments = GetProcAddress(mapi, "MAPISendDocuments");
    auto send = reinterpret_cast<LPMAPISENDMAIL>(GetProcAddress(mapi, "MAPISendMail"));
    auto freeBuffer = GetProcAddress(mapi, "MAPIFreeBuffer");
    bool sent = false;
    LHANDLE session = 0;
    if (logon && logoff && sendDocuments && send && freeBuffer &&
        logon(reinterpret_cast<ULONG_PTR>(GetParent(hwnd())), nullptr, nullptr, MAPI_LOGON_UI | MAPI_NEW_SESSION, 0,
              &session) == SUCCESS_SUCCESS) {
        // Simple MAPI takes ANSI texts.
        const std::wstring recipient = mailRecipient(text);
        const int n = WideCharToMultiByte(CP_ACP, 0, recipient.c_str(), -1, nullptr, 0, nullptr, nullptr);
        std::string address(static_cast<size_t>(n > 0 ? n : 1), '\0');
        WideCharToMultiByte(CP_ACP, 0, recipient.c_str(), -1, &address[0], n, nullptr, nullptr);
        char empty[] = "";
        MapiRecipDesc recipients[2] = {};
        for (int i = 0; i < 2; ++i) {
            recipients[i].ulRecipClass = i == 0 ? MAPI_TO : MAPI_CC;
            recipients[i].lpszName = &address[0];
            recipients[i].lpszAddress = &address[0];
        }
        MapiMessage message{};
        message.lpszSubject = empty;
        message.lpszNoteText = empty;
        message.nRecipCount = 2;
        message.lpRecips = recipients;
        // No file-attachment entry: an empty one is no attachment at all.
        sent = send(session, reinterpret_cast<ULONG_PTR>(GetParent(hwnd())), &message, MAPI_DIALOG, 0) ==
               SUCCESS_SUCCESS;
        logoff(session, 0, 0, 0);
    }
    FreeLibrary(mapi);
    return sent;
}

void CURLLinkButton::click() {
    if (!IsWindowEnabled(hwnd()))
        return;
    HCURSOR oldCursor = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    const std::wstring text = target();
    if (text == L"Contact Us") {
        if (about_)
            about_();
        SetCursor(oldCursor);
        return;
    }
    const std::wstring opened = prefix_ + text;
    bool done = reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", opened.c_str(), nullptr, nullptr, 0)) >= 32;
    if (!done && GetParent(hwnd()))
        done = sendMail(text);
    if (done) {
        visited_ = true;
        hover_ = false;
        InvalidateRect(hwnd(), nullptr, TRUE);
    }
    SetCursor(oldCursor);
}

bool CURLLinkButton::PreTranslateMessage(MSG& msg) {
    if (msg.message == WM_KEYDOWN && (msg.wParam == VK_SPACE || msg.wParam == VK_RETURN)) {
        keyDown_ = true;
        return true;
    }
    if (msg.message == WM_KEYUP && msg.wParam == VK_SPACE)
        return true;
    if (msg.message == WM_KEYUP && msg.wParam == VK_RETURN && keyDown_) {
        keyDown_ = false;
        click();
        return true;
    }
    if (tooltip_)
        SendMessageW(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
    keyDown_ = false;
    return false;
}

bool CURLLinkButton::OnReflectedMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == WM_DRAWITEM) {
        draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        result = TRUE;
        return true;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        click();
        result = 0;
        return true;
    }
    return false;
}

LRESULT CURLLinkButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_MOUSEMOVE:
        if (!tracking_) {
            TRACKMOUSEEVENT track{sizeof track, TME_HOVER | TME_LEAVE, hwnd(), 1};
            tracking_ = TrackMouseEvent(&track) != FALSE;
        }
        break;
    case WM_MOUSEHOVER:
        hover_ = true;
        InvalidateRect(hwnd(), nullptr, TRUE);
        if (tooltipHasTool())
            SendMessageW(tooltip_, TTM_ACTIVATE, TRUE, 0);
        return 0;
    case WM_MOUSELEAVE:
        tracking_ = false;
        hover_ = false;
        InvalidateRect(hwnd(), nullptr, TRUE);
        if (tooltipHasTool())
            SendMessageW(tooltip_, TTM_ACTIVATE, FALSE, 0);
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT && handCursor()) {
            SetCursor(handCursor());
            return TRUE;
        }
        break;
    case WM_KILLFOCUS: {
        const LRESULT result = Default(message, wParam, lParam);
        InvalidateRect(hwnd(), nullptr, TRUE);
        return result;
    }
    default:
        break;
    }
    return Default(message, wParam, lParam);
}
