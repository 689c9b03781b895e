// An owner-drawn button on shaded faces, with icons for its states, a hover
// highlight and a tooltip; a push button, or a check box or radio button
// that keeps its checked state. Every wizard page sets up three of them as
// its header buttons.
#pragma once
#include "../framework/Control.h"
#include "../framework/Gdi.h"
#include "../framework/Handles.h"
#include "ShadeFaces.h"

#include <string>

class CxShadeButton : public tw::Control {
public:
    enum class Kind { Push, CheckBox, Radio };
    // Sent between the radio buttons of one group: "you are no longer checked".
    static constexpr UINT kUncheck = 0x500;

    CxShadeButton() = default;
    ~CxShadeButton() override;

    // Faces for the button's current size, in the default shade.
    void applyDefaultShade();
    // Icon resources for the normal, pressed and hover states; 0 or a
    // missing one falls back to the normal icon.
    void setStateIcons(int normal, int pressed = 0, int hover = 0);
    void setTooltipTexts(const std::wstring& text, const std::wstring& textWhenChecked = {});
    void setBorder(bool border) { border_ = border; }
    void setBorderWidth(int width) { borderWidth_ = width; }
    void setTextColour(COLORREF colour) { textColour_ = colour; }
    void setFont(HFONT font) { font_ = font; }

    Kind kind() const { return kind_; }
    bool checked() const { return checked_; }
    bool hovering() const { return hover_; }
    HWND tooltip() const { return tooltip_; }
    const ShadeFaces& faces() const { return faces_; }

    bool OnReflectedMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

protected:
    void OnAttached() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void draw(const DRAWITEMSTRUCT& item);
    void drawFace(HDC dc, ShadeFaces::Face face, const RECT& r) const;
    void drawFocus(HDC dc, const RECT& r) const;
    void setCheck(bool checked);
    void toggle();
    void updateTooltipText();

    Kind kind_ = Kind::Push;
    bool checked_ = false, pushLike_ = true, flat_ = false, default_ = false;
    bool border_ = true;
    int borderWidth_ = 4;
    COLORREF textColour_ = GetSysColor(COLOR_BTNTEXT);
    UINT textFormat_ = DT_CENTER | DT_SINGLELINE | DT_VCENTER;
    HFONT font_ = nullptr;
    ShadeFaces faces_;
    tw::IconHandle icons_[3]; // normal, pressed, hover
    RECT iconRect_{};
    HWND tooltip_ = nullptr;
    std::wstring tip_, tipChecked_;
    bool hover_ = false, pressed_ = false, tracking_ = false, pushedDown_ = false;
};
