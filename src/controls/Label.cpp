#include "Label.h"

#include <shellapi.h>

#include <algorithm>

CLabel::CLabel() : textColour_(GetSysColor(COLOR_WINDOWTEXT)), faceBrush_(CreateSolidBrush(GetSysColor(COLOR_BTNFACE))) {
    GetObjectW(GetStockObject(SYSTEM_FONT), sizeof font_, &font_);
}

CLabel::~CLabel() {
    if (timerRunning_ && hwnd())
        KillTimer(hwnd(), kFlashTimer);
}

void CLabel::OnAttached() {
    HFONT current = reinterpret_cast<HFONT>(SendMessageW(hwnd(), WM_GETFONT, 0, 0));
    GetObjectW(current ? current : GetStockObject(SYSTEM_FONT), sizeof font_, &font_);
    fontChanged();
}

void CLabel::redraw() {
    if (!hwnd())
        return;
    RedrawWindow(hwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ERASE | RDW_INVALIDATE);
    // A transparent label shows its parent's freshly painted background.
    HWND parent = GetParent(hwnd());
    if (!parent)
        return;
    RECT r{};
    GetWindowRect(hwnd(), &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    InvalidateRect(parent, &r, TRUE);
    UpdateWindow(parent);
}

void CLabel::fontChanged() {
    fontObject_.reset(CreateFontIndirectW(&font_));
    redraw();
}

CLabel& CLabel::setBackgroundColour(COLORREF colour, COLORREF endColour, bool gradient) {
    background_ = colour;
    gradientEnd_ = endColour;
    gradient_ = gradient;
    hasBackground_ = true;
    if (!gradient)
        backgroundBrush_.reset(CreateSolidBrush(colour));
    redraw();
    return *this;
}

CLabel& CLabel::setTextColour(COLORREF colour) {
    textColour_ = colour;
    redraw();
    return *this;
}

CLabel& CLabel::setLabelText(const std::wstring& text) {
    if (hwnd())
        SetWindowTextW(hwnd(), text.c_str());
    redraw();
    return *this;
}

CLabel& CLabel::setBold(bool bold) {
    font_.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    fontChanged();
    return *this;
}

CLabel& CLabel::setFaceName(const std::wstring& face, BYTE charSet) {
    lstrcpynW(font_.lfFaceName, face.c_str(), LF_FACESIZE);
    font_.lfCharSet = charSet;
    fontChanged();
    return *this;
}

CLabel& CLabel::setUnderline(bool underline) {
    font_.lfUnderline = underline;
    fontChanged();
    return *this;
}

CLabel& CLabel::setItalic(bool italic) {
    font_.lfItalic = italic;
    fontChanged();
    return *this;
}

CLabel& CLabel::setPointSize(int points) {
    // A font of that many points on the screen, with the current face:
    // its height and width become the description's.
    HDC screen = GetDC(nullptr);
    LOGFONTW asked = font_;
    asked.lfHeight = -MulDiv(points * 10, GetDeviceCaps(screen, LOGPIXELSY), 720);
    asked.lfWidth = 0;
    ReleaseDC(nullptr, screen);
    tw::Font made(CreateFontIndirectW(&asked));
    LOGFONTW got{};
    if (made && GetObjectW(made.get(), sizeof got, &got)) {
        font_.lfHeight = got.lfHeight;
        font_.lfWidth = got.lfWidth;
    }
    fontChanged();
    return *this;
}

namespace {

void changeStyle(HWND hwnd, int which, LONG_PTR bits, bool on) {
    if (!hwnd)
        return;
    LONG_PTR style = GetWindowLongPtrW(hwnd, which);
    SetWindowLongPtrW(hwnd, which, on ? style | bits : style & ~bits);
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
}

} // namespace

CLabel& CLabel::setSunkenEdge(bool sunken) {
    changeStyle(hwnd(), GWL_EXSTYLE, WS_EX_STATICEDGE, sunken);
    return *this;
}

CLabel& CLabel::setBorderStyle(bool border) {
    changeStyle(hwnd(), GWL_STYLE, WS_BORDER, border);
    return *this;
}

CLabel& CLabel::setTransparentDrawing(bool transparent) {
    transparent_ = transparent;
    if (hwnd())
        SetWindowLongPtrW(hwnd(), GWL_EXSTYLE, GetWindowLongPtrW(hwnd(), GWL_EXSTYLE) | WS_EX_TRANSPARENT);
    redraw();
    return *this;
}

void CLabel::stopFlashing() {
    if (timerRunning_ && hwnd())
        KillTimer(hwnd(), kFlashTimer);
    timerRunning_ = false;
    flashState_ = false;
    flash_ = Flash::None;
}

void CLabel::startFlashing(Flash type) {
    flash_ = type;
    flashState_ = false;
    if (hwnd())
        timerRunning_ = SetTimer(hwnd(), kFlashTimer, kFlashMs, nullptr) != 0;
}

CLabel& CLabel::setTextFlashing(bool flashing) {
    stopFlashing();
    if (flashing)
        startFlashing(Flash::Text);
    redraw();
    return *this;
}

CLabel& CLabel::setBackgroundFlashing(bool flashing) {
    stopFlashing();
    if (flashing)
        startFlashing(Flash::Background);
    redraw();
    return *this;
}

namespace {

void setNotifyStyle(HWND hwnd, bool on) {
    if (!hwnd)
        return;
    LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
    SetWindowLongPtrW(hwnd, GWL_STYLE, on ? style | SS_NOTIFY : style & ~static_cast<LONG_PTR>(SS_NOTIFY));
}

} // namespace

CLabel& CLabel::setHyperlinkMode(bool link, int notifyValue) {
    link_ = link ? Link::Hyperlink : Link::None;
    notifyValue_ = notifyValue;
    setNotifyStyle(hwnd(), link);
    return *this;
}

CLabel& CLabel::setMailLinkMode(bool link, int notifyValue) {
    link_ = link ? Link::MailLink : Link::None;
    notifyValue_ = notifyValue;
    setNotifyStyle(hwnd(), link);
    return *this;
}

CLabel& CLabel::setHoverCursor(HCURSOR cursor) {
    linkCursor_ = cursor;
    return *this;
}

CLabel& CLabel::setEmbossed(bool embossed, bool raised) {
    embossed_ = embossed;
    raised_ = raised;
    redraw();
    return *this;
}

CLabel& CLabel::setRotation(int degrees, bool rotated) {
    font_.lfEscapement = font_.lfOrientation = degrees * 10;
    rotated_ = rotated;
    fontChanged();
    return *this;
}

CLabel& CLabel::setEmbossColour(COLORREF colour) {
    embossColour_ = colour;
    redraw();
    return *this;
}

CLabel& CLabel::setFontDescription(const LOGFONTW& font) {
    font_ = font;
    fontChanged();
    return *this;
}

CLabel& CLabel::setLinkAddress(const std::wstring& address) {
    linkAddress_ = address;
    return *this;
}

void CLabel::fillBackground(HDC dc, const RECT& r) const {
    // The background flash alternates the background with the face colour.
    const bool faceNow = flash_ == Flash::Background && flashState_;
    if (gradient_ && !faceNow) {
        const int width = r.right - r.left;
        const int bands = std::max(1, std::min(100, width));
        // 8-bit fixed point steps from the start colour to the end colour.
        const int r0 = GetRValue(background_) << 8, g0 = GetGValue(background_) << 8, b0 = GetBValue(background_) << 8;
        const int dr = ((GetRValue(gradientEnd_) << 8) - r0) / std::max(1, bands - 1);
        const int dg = ((GetGValue(gradientEnd_) << 8) - g0) / std::max(1, bands - 1);
        const int db = ((GetBValue(gradientEnd_) << 8) - b0) / std::max(1, bands - 1);
        for (int i = 0; i < bands; ++i) {
            RECT band{r.left + i * width / bands, r.top, i == bands - 1 ? r.right : r.left + (i + 1) * width / bands,
                      r.bottom};
            const COLORREF c = i == bands - 1 ? gradientEnd_
                                              : RGB((r0 + i * dr) >> 8, (g0 + i * dg) >> 8, (b0 + i * db) >> 8);
            tw::Brush brush(CreateSolidBrush(c));
            FillRect(dc, &band, brush.get());
        }
        return;
    }
    FillRect(dc, &r, backgroundBrush_ && !faceNow ? backgroundBrush_.get() : faceBrush_.get());
}

UINT CLabel::textFormat(const std::wstring& text) const {
    const LONG_PTR style = GetWindowLongPtrW(hwnd(), GWL_STYLE);
    UINT format;
    switch (style & SS_TYPEMASK) {
    case SS_CENTER:
        format = DT_CENTER | DT_WORDBREAK;
        break;
    case SS_RIGHT:
        format = DT_RIGHT | DT_WORDBREAK;
        break;
    case SS_LEFTNOWORDWRAP:
        format = DT_LEFT;
        break;
    default:
        format = DT_LEFT | DT_WORDBREAK;
        break;
    }
    if (text.find(L'\t') != std::wstring::npos)
        format |= DT_EXPANDTABS;
    if (style & SS_CENTERIMAGE)
        format = text.find(L"\r\n") != std::wstring::npos ? DT_CENTER : DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    return format;
}

void CLabel::paint() {
    PAINTSTRUCT ps;
    HDC screen = BeginPaint(hwnd(), &ps);
    RECT client{};
    GetClientRect(hwnd(), &client);
    const int length = GetWindowTextLengthW(hwnd());
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(hwnd(), &text[0], length + 1)));

    tw::MemoryDC memory(screen);
    tw::Bitmap canvas;
    HDC dc = screen;
    HGDIOBJ oldBitmap = nullptr;
    if (!transparent_ && memory) {
        canvas.reset(CreateCompatibleBitmap(screen, client.right, client.bottom));
        oldBitmap = SelectObject(memory.get(), canvas.get());
        dc = memory.get();
    }
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = SetTextColor(dc, textColour_);
    HGDIOBJ oldFont = SelectObject(dc, fontObject_ ? fontObject_.get() : GetStockObject(SYSTEM_FONT));
    if (!transparent_)
        fillBackground(dc, client);
    if (flash_ == Flash::Text && !flashState_) {
        // The off phase: the text in the background's colour, so it vanishes.
        LOGBRUSH brush{};
        if (backgroundBrush_)
            GetObjectW(backgroundBrush_.get(), sizeof brush, &brush);
        SetTextColor(dc, backgroundBrush_ ? brush.lbColor : RGB(0, 0, 0));
    }
    if (rotated_) {
        const UINT oldAlign = SetTextAlign(dc, TA_BASELINE | TA_CENTER);
        POINT oldOrigin{};
        SetViewportOrgEx(dc, client.right / 2, client.bottom / 2, &oldOrigin);
        TextOutW(dc, 0, 0, text.c_str(), static_cast<int>(text.size()));
        SetViewportOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
        SetTextAlign(dc, oldAlign);
    } else {
        const UINT format = textFormat(text);
        RECT r = client;
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, format);
        if (embossed_) {
            SetTextColor(dc, embossColour_);
            r = client;
            OffsetRect(&r, raised_ ? 1 : -1, raised_ ? 1 : -1);
            DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, format);
        }
    }
    SelectObject(dc, oldFont);
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
    if (dc != screen) {
        BitBlt(screen, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
        SelectObject(dc, oldBitmap);
    }
    EndPaint(hwnd(), &ps);
}

void CLabel::onClick() {
    if (notifyValue_) {
        SendMessageW(GetParent(hwnd()), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd()), kClickNotification),
                     reinterpret_cast<LPARAM>(hwnd()));
        return;
    }
    const int length = GetWindowTextLengthW(hwnd());
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(hwnd(), &text[0], length + 1)));
    if (link_ == Link::Hyperlink)
        ShellExecuteW(nullptr, L"open", (linkAddress_.empty() ? text : linkAddress_).c_str(), nullptr, nullptr,
                      SW_SHOWNORMAL);
    else if (link_ == Link::MailLink)
        ShellExecuteW(nullptr, nullptr, (L"mailto:" + text).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

LRESULT CLabel::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        paint();
        return 0;
    case WM_ERASEBKGND:
        return TRUE;
    case WM_TIMER:
        if (wParam == kFlashTimer) {
            flashState_ = !flashState_;
            redraw();
            return 0;
        }
        break;
    case WM_LBUTTONDOWN:
        onClick();
        break;
    case WM_SETCURSOR:
        if (linkCursor_) {
            SetCursor(linkCursor_);
            return TRUE;
        }
        break;
    case WM_SYSCOLORCHANGE:
        faceBrush_.reset(CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));
        redraw();
        break;
    default:
        break;
    }
    return Default(message, wParam, lParam);
}
