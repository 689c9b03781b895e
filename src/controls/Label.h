// A static text that draws itself: its own font, colour and background
// (solid, gradient or none over a skinned page), and the options of a
// label control: flashing, embossed (3D) text, rotation, and hyperlink or
// mail-link clicks.
#pragma once
#include "../framework/Control.h"
#include "../framework/Gdi.h"

#include <string>

class CLabel : public tw::Control {
public:
    enum class Flash { None, Text, Background };
    enum class Link { None, Hyperlink, MailLink };
    // The notification code a click sends the parent when a notify value is set.
    static constexpr WORD kClickNotification = 0x8200;
    static constexpr UINT_PTR kFlashTimer = 1;
    static constexpr UINT kFlashMs = 500;

    CLabel();
    ~CLabel() override;

    virtual CLabel& setBackgroundColour(COLORREF colour, COLORREF endColour = 0, bool gradient = false);
    virtual CLabel& setTextColour(COLORREF colour);
    virtual CLabel& setLabelText(const std::wstring& text);
    virtual CLabel& setBold(bool bold);
    virtual CLabel& setFaceName(const std::wstring& face, BYTE charSet = DEFAULT_CHARSET);
    virtual CLabel& setUnderline(bool underline);
    virtual CLabel& setItalic(bool italic);
    virtual CLabel& setPointSize(int points);
    virtual CLabel& setSunkenEdge(bool sunken);
    virtual CLabel& setBorderStyle(bool border);
    virtual CLabel& setTransparentDrawing(bool transparent);
    virtual CLabel& setTextFlashing(bool flashing);
    virtual CLabel& setBackgroundFlashing(bool flashing);
    virtual CLabel& setHyperlinkMode(bool link, int notifyValue = 0);
    virtual CLabel& setHoverCursor(HCURSOR cursor);
    virtual CLabel& setEmbossed(bool embossed, bool raised = true);
    virtual CLabel& setRotation(int degrees, bool rotated = true);
    virtual CLabel& setEmbossColour(COLORREF colour);
    virtual CLabel& setFontDescription(const LOGFONTW& font);
    virtual CLabel& setMailLinkMode(bool link, int notifyValue = 0);
    virtual CLabel& setLinkAddress(const std::wstring& address);

    const LOGFONTW& fontDescription() const { return font_; }
    HFONT font() const { return fontObject_.get(); }
    bool flashState() const { return flashState_; }

protected:
    void OnAttached() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void paint();
    void fillBackground(HDC dc, const RECT& r) const;
    UINT textFormat(const std::wstring& text) const;
    void onClick();
    void startFlashing(Flash type);
    void stopFlashing();
    // Re-creates the font from its description, then redraws.
    void fontChanged();
    void redraw();

    COLORREF textColour_;
    bool hasBackground_ = false;
    COLORREF background_ = 0, gradientEnd_ = 0;
    bool gradient_ = false;
    tw::Brush backgroundBrush_, faceBrush_;
    COLORREF embossColour_ = RGB(255, 255, 255);
    bool embossed_ = false, raised_ = false;
    LOGFONTW font_{};
    tw::Font fontObject_;
    bool transparent_ = false, rotated_ = false;
    Flash flash_ = Flash::None;
    bool flashState_ = false, timerRunning_ = false;
    Link link_ = Link::None;
    int notifyValue_ = 0;
    HCURSOR linkCursor_ = nullptr;
    std::wstring linkAddress_;
};
