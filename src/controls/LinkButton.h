// A push button drawn as an underlined hyperlink. A click opens its address
// through the shell; what the shell cannot open (an e-mail address) becomes
// a new mail through Simple MAPI. "Contact Us" runs the about dialog
// instead. Opened links turn purple.
#pragma once
#include "../framework/Control.h"
#include "../framework/Gdi.h"

#include <functional>
#include <string>

class CURLLinkButton : public tw::Control {
public:
    static constexpr COLORREF kVisitedColour = RGB(128, 0, 128);
    // How many characters of the address reach the mail's recipient.
    static constexpr size_t kRecipientCharacters = 32;

    CURLLinkButton();
    ~CURLLinkButton() override;

    void setLinkAddress(const std::wstring& address) { address_ = address; }
    void setAddressPrefix(const std::wstring& prefix) { prefix_ = prefix; }
    void setColours(COLORREF normal, COLORREF hover, COLORREF visited, COLORREF disabled);
    // What "Contact Us" runs: the wizard's About Us command.
    void setAboutCommand(std::function<void()> about) { about_ = std::move(about); }

    bool visited() const { return visited_; }
    bool hovering() const { return hover_; }
    // The text a click opens: the address, or the window text.
    std::wstring target() const;
    // The recipient a mail request names for that text.
    static std::wstring mailRecipient(const std::wstring& text);

    bool PreTranslateMessage(MSG& msg) override;
    bool OnReflectedMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

protected:
    void OnAttached() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void draw(const DRAWITEMSTRUCT& item);
    void click();
    bool sendMail(const std::wstring& text) const;
    bool tooltipHasTool() const;

    std::wstring address_, prefix_;
    COLORREF normal_, hover_colour_, visited_colour_, disabled_;
    bool hover_ = false, tracking_ = false, visited_ = false, keyDown_ = false;
    tw::Font linkFont_;
    HWND tooltip_ = nullptr;
    std::function<void()> about_;
};
