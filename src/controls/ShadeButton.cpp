#include "ShadeButton.h"

#include <commctrl.h>

#include <algorithm>

CxShadeButton::~CxShadeButton() {
    if (tooltip_ && IsWindow(tooltip_))
        DestroyWindow(tooltip_);
}

void CxShadeButton::OnAttached() {
    const LONG_PTR style = GetWindowLongPtrW(hwnd(), GWL_STYLE);
    pushLike_ = (style & BS_PUSHLIKE) != 0;
    default_ = (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
    flat_ = (style & BS_FLAT) != 0;
    switch (style & (BS_LEFT | BS_RIGHT | BS_CENTER)) {
    case BS_LEFT:
        textFormat_ = DT_LEFT | DT_SINGLELINE | DT_VCENTER;
        break;
    case BS_RIGHT:
        textFormat_ = DT_RIGHT | DT_SINGLELINE | DT_VCENTER;
        break;
    default:
        textFormat_ = DT_CENTER | DT_SINGLELINE | DT_VCENTER;
        break;
    }
    switch (style & BS_TYPEMASK) {
    case BS_AUTOCHECKBOX:
        kind_ = Kind::CheckBox;
        break;
    case BS_AUTORADIOBUTTON:
        kind_ = Kind::Radio;
        break;
    default:
        kind_ = Kind::Push;
        pushLike_ = true;
        break;
    }
    if (kind_ != Kind::Push && !pushLike_)
        border_ = false;
    SetWindowLongPtrW(hwnd(), GWL_STYLE, (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW);
    InvalidateRect(hwnd(), nullptr, TRUE);
}

void CxShadeButton::applyDefaultShade() {
    RECT r{};
    GetClientRect(hwnd(), &r);
    faces_.build(r.right, r.bottom, borderWidth_);
    InvalidateRect(hwnd(), nullptr, TRUE);
}

void CxShadeButton::setStateIcons(int normal, int pressed, int hover) {
    HINSTANCE module = GetModuleHandleW(nullptr);
    auto load = [&](int id) {
        return id ? static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON, 0, 0, LR_DEFAULTCOLOR))
                  : nullptr;
    };
    for (auto& icon : icons_)
        icon.reset();
    icons_[0].reset(load(normal));
    icons_[1].reset(load(pressed));
    icons_[2].reset(load(hover));
    for (int i = 1; i < 3; ++i)
        if (!icons_[i] && icons_[0])
            icons_[i].reset(CopyIcon(icons_[0].get()));
    // Centred across, its bottom edge on the button's middle line.
    RECT client{};
    GetClientRect(hwnd(), &client);
    ICONINFO info{};
    int cx = 0, cy = 0;
    if (icons_[0] && GetIconInfo(icons_[0].get(), &info)) {
        BITMAP b{};
        GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof b, &b);
        cx = b.bmWidth;
        cy = info.hbmColor ? b.bmHeight : b.bmHeight / 2;
        if (info.hbmColor)
            DeleteObject(info.hbmColor);
        if (info.hbmMask)
            DeleteObject(info.hbmMask);
    }
    const int left = std::max(0, static_cast<int>((client.right - cx) / 2));
    const int top = std::max(0, static_cast<int>(client.bottom / 2 - cy));
    iconRect_ = RECT{left, top, left + cx, top + cy};
    InvalidateRect(hwnd(), nullptr, TRUE);
}

void CxShadeButton::setTooltipTexts(const std::wstring& text, const std::wstring& textWhenChecked) {
    tip_ = text;
    tipChecked_ = textWhenChecked;
    if (!tooltip_) {
        tooltip_ = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, hwnd(), nullptr, nullptr, nullptr);
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = GetParent(hwnd());
        tool.uId = reinterpret_cast<UINT_PTR>(hwnd());
        tool.lpszText = const_cast<wchar_t*>(tip_.c_str());
        SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        SendMessageW(tooltip_, TTM_ACTIVATE, TRUE, 0);
        SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, 300);
    }
    updateTooltipText();
}

void CxShadeButton::updateTooltipText() {
    if (!tooltip_)
        return;
    const std::wstring& text = checked_ && !tipChecked_.empty() ? tipChecked_ : tip_;
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = GetParent(hwnd());
    tool.uId = reinterpret_cast<UINT_PTR>(hwnd());
    tool.lpszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void CxShadeButton::drawFace(HDC dc, ShadeFaces::Face face, const RECT& r) const {
    if (!faces_.bitmaps[face]) {
        FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        return;
    }
    tw::MemoryDC source(dc);
    HGDIOBJ old = SelectObject(source.get(), faces_.bitmaps[face].get());
    BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, source.get(), 0, 0, SRCCOPY);
    SelectObject(source.get(), old);
}

void CxShadeButton::drawFocus(HDC dc, const RECT& r) const {
    if (!faces_.bitmaps[ShadeFaces::FocusHorizontal])
        return;
    tw::MemoryDC source(dc);
    const SIZE across = faces_.size(ShadeFaces::FocusHorizontal), down = faces_.size(ShadeFaces::FocusVertical);
    const int b = borderWidth_;
    HGDIOBJ old = SelectObject(source.get(), faces_.bitmaps[ShadeFaces::FocusHorizontal].get());
    BitBlt(dc, r.left + b, r.top + b, across.cx, 1, source.get(), 0, 0, SRCCOPY);
    BitBlt(dc, r.left + b, r.bottom - b - 1, across.cx, 1, source.get(), 0, 0, SRCCOPY);
    SelectObject(source.get(), faces_.bitmaps[ShadeFaces::FocusVertical].get());
    BitBlt(dc, r.left + b, r.top + b, 1, down.cy, source.get(), 0, 0, SRCCOPY);
    BitBlt(dc, r.right - b - 1, r.top + b, 1, down.cy, source.get(), 0, 0, SRCCOPY);
    SelectObject(source.get(), old);
}

void CxShadeButton::draw(const DRAWITEMSTRUCT& item) {
    const RECT whole = item.rcItem;
    const int width = whole.right - whole.left, height = whole.bottom - whole.top;
    tw::MemoryDC memory(item.hDC);
    tw::Bitmap canvas(CreateCompatibleBitmap(item.hDC, width, height));
    HGDIOBJ oldBitmap = SelectObject(memory.get(), canvas.get());
    HDC dc = memory.get();
    const RECT r{0, 0, width, height};

    const int length = GetWindowTextLengthW(hwnd());
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(hwnd(), &text[0], length + 1)));
    RECT textRect{r.left + borderWidth_ + 2, r.top, r.right - borderWidth_ - 2, r.bottom};
    if (icons_[0])
        textRect.top = iconRect_.bottom, textRect.bottom = r.bottom - borderWidth_ + 1;

    HGDIOBJ oldFont = SelectObject(dc, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    const bool down = pressed_ && pushedDown_;
    if (disabled) {
        drawFace(dc, ShadeFaces::Disabled, r);
        if (icons_[0])
            DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(icons_[0].get()), 0, iconRect_.left,
                       iconRect_.top, 0, 0, DST_ICON | DSS_DISABLED);
        // The text embossed: once in the highlight colour, then in grey one
        // pixel up and to the left.
        RECT lower = textRect;
        SetTextColor(dc, GetSysColor(COLOR_3DHIGHLIGHT));
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &lower, textFormat_);
        OffsetRect(&lower, -1, -1);
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &lower, textFormat_);
    } else {
        const bool sunk = down || checked_;
        const int shift = sunk && pushLike_ ? 1 : 0;
        drawFace(dc, sunk ? ShadeFaces::Pressed : hover_ ? ShadeFaces::Hover : ShadeFaces::Normal, r);
        HICON icon = icons_[sunk ? 1 : hover_ ? 2 : 0].get();
        if (icon)
            DrawIconEx(dc, iconRect_.left + shift, iconRect_.top + shift, icon, 0, 0, 0, nullptr, DI_NORMAL);
        if (border_) {
            RECT edge = r;
            if (sunk) {
                if (flat_) {
                    HBRUSH shadow = GetSysColorBrush(COLOR_BTNSHADOW);
                    FrameRect(dc, &edge, shadow);
                } else {
                    DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT);
                }
            } else if (!flat_ || hover_) {
                if (default_) {
                    FrameRect(dc, &edge, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
                    InflateRect(&edge, -1, -1);
                }
                DrawEdge(dc, &edge, flat_ ? BDR_RAISEDINNER : EDGE_RAISED, BF_RECT);
            }
        }
        if (item.itemState & ODS_FOCUS)
            drawFocus(dc, r);
        OffsetRect(&textRect, shift, shift);
        SetTextColor(dc, textColour_);
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect, textFormat_);
    }
    SelectObject(dc, oldFont);
    BitBlt(item.hDC, whole.left, whole.top, width, height, dc, 0, 0, SRCCOPY);
    SelectObject(dc, oldBitmap);
}

void CxShadeButton::setCheck(bool checked) {
    if (kind_ == Kind::Push)
        return; // a push button is never checked
    checked_ = checked;
    if (checked && kind_ == Kind::Radio) {
        // Every other member of the group, hidden and disabled ones too,
        // walked in window order from the control that starts the group.
        // (The dialog's own group walk skips hidden and disabled controls,
        // and from one of those it never comes back.)
        auto startsGroup = [](HWND w) { return (GetWindowLongW(w, GWL_STYLE) & WS_GROUP) != 0; };
        HWND first = hwnd();
        while (!startsGroup(first))
            if (HWND previous = GetWindow(first, GW_HWNDPREV))
                first = previous;
            else
                break;
        for (HWND other = first; other; other = GetWindow(other, GW_HWNDNEXT)) {
            if (other != first && startsGroup(other))
                break;
            if (other != hwnd())
                PostMessageW(other, kUncheck, 0, 0);
        }
    }
    updateTooltipText();
    InvalidateRect(hwnd(), nullptr, TRUE);
}

void CxShadeButton::toggle() {
    if (kind_ == Kind::CheckBox)
        setCheck(!checked_);
    else if (kind_ == Kind::Radio)
        setCheck(true);
}

bool CxShadeButton::OnReflectedMessage(UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
    if (message != WM_DRAWITEM)
        return false;
    draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    result = TRUE;
    return true;
}

LRESULT CxShadeButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (tooltip_ && message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) {
        MSG relayed{hwnd(), message, wParam, lParam, static_cast<DWORD>(GetMessageTime()), {}};
        SendMessageW(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
    }
    switch (message) {
    case WM_ERASEBKGND:
        return TRUE;
    case WM_MOUSEMOVE:
        if (pressed_ && GetCapture() == hwnd()) {
            RECT client{};
            GetClientRect(hwnd(), &client);
            const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            const bool over = PtInRect(&client, at) != FALSE;
            if (over != pushedDown_) {
                pushedDown_ = over;
                InvalidateRect(hwnd(), nullptr, FALSE);
            }
        } else if (!tracking_) {
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd(), 0};
            tracking_ = TrackMouseEvent(&track) != FALSE;
            hover_ = true;
            InvalidateRect(hwnd(), nullptr, FALSE);
        }
        break;
    case WM_MOUSELEAVE:
        tracking_ = false;
        hover_ = false;
        InvalidateRect(hwnd(), nullptr, FALSE);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        TRACKMOUSEEVENT cancel{sizeof cancel, TME_LEAVE | TME_CANCEL, hwnd(), 0};
        TrackMouseEvent(&cancel);
        tracking_ = false;
        hover_ = false;
        const LRESULT result = Default(WM_LBUTTONDOWN, wParam, lParam);
        pressed_ = pushedDown_ = true;
        return result;
    }
    case WM_LBUTTONUP: {
        RECT client{};
        GetClientRect(hwnd(), &client);
        const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (pressed_ && PtInRect(&client, at))
            toggle();
        pressed_ = pushedDown_ = false;
        break;
    }
    case WM_KEYDOWN:
        if (wParam == VK_SPACE)
            toggle();
        break;
    case WM_KILLFOCUS:
        if (GetCapture() == hwnd())
            ReleaseCapture();
        pressed_ = pushedDown_ = false;
        break;
    case BM_SETCHECK:
        setCheck(wParam == BST_CHECKED);
        return 0;
    case BM_GETCHECK:
        return checked_ ? BST_CHECKED : BST_UNCHECKED;
    case kUncheck:
        checked_ = false;
        updateTooltipText();
        InvalidateRect(hwnd(), nullptr, FALSE);
        return 0;
    default:
        break;
    }
    return Default(message, wParam, lParam);
}
