// The skinned controls on a host dialog over the page background, judged
// by the pixels they put on the screen, and the welcome text of Step 1.
#include "ControlHost.h"
#include "PageFixture.h"
#include "common/SkinnedDialog.h"
#include "controls/Label.h"
#include "controls/LinkButton.h"
#include "controls/ShadeButton.h"
#include "controls/TransparentStatic.h"
#include "shell/WelcomePage.h"

#include <commctrl.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <atomic>
#include <set>

using namespace guitest;

namespace {

class ControlHost : public SkinnedDialog {
public:
    ControlHost() : SkinnedDialog(IDD_CONTROL_HOST, nullptr) {}

    CLabel label, gradient;
    CTransparentStatic transparentStatic;
    CxShadeButton push, radios[3], check, narrow, disabled;
    CURLLinkButton link;
    std::atomic<int> aboutRuns{0};

protected:
    BOOL OnInitDialog() override {
        loadBackground(L"\\main.bmp");
        label.attachDlgItem(hwnd(), IDC_HOST_LABEL);
        gradient.attachDlgItem(hwnd(), IDC_HOST_GRADIENT);
        transparentStatic.attachDlgItem(hwnd(), IDC_HOST_STATIC);
        const int shaded[] = {IDC_HOST_PUSH, IDC_HOST_RADIO1, IDC_HOST_RADIO2, IDC_HOST_RADIO3,
                              IDC_HOST_CHECK, IDC_HOST_NARROW, IDC_HOST_DISABLED};
        CxShadeButton* buttons[] = {&push, &radios[0], &radios[1], &radios[2], &check, &narrow, &disabled};
        for (int i = 0; i < 7; ++i) {
            buttons[i]->attachDlgItem(hwnd(), shaded[i]);
            buttons[i]->applyDefaultShade();
        }
        link.attachDlgItem(hwnd(), IDC_HOST_LINK);
        link.setAboutCommand([this] { ++aboutRuns; });
        return TRUE;
    }
};

// A colour of the screen (0xRRGGBB) from a palette entry.
uint32_t rgb(const RGBQUAD& q) { return (q.rgbRed << 16) | (q.rgbGreen << 8) | q.rgbBlue; }
uint32_t rgb(COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }
bool isRed(uint32_t p) { return (p >> 16) > 200 && ((p >> 8) & 0xFF) < 80 && (p & 0xFF) < 80; }
int brightness(uint32_t p) { return static_cast<int>((p >> 16) + ((p >> 8) & 0xFF) + (p & 0xFF)); }

class ControlsTest : public PageTest {
protected:
    void SetUp() override {
        PageTest::SetUp();
        skin_ = static_cast<HBITMAP>(LoadImageW(nullptr, (wizardState().skinDirectory + L"\\main.bmp").c_str(),
                                                IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
        ASSERT_NE(nullptr, skin_) << "the skin is installed by build.sh";
        skinDc_ = CreateCompatibleDC(nullptr);
        old_ = SelectObject(skinDc_, skin_);
    }
    void TearDown() override {
        SelectObject(skinDc_, old_);
        DeleteDC(skinDc_);
        DeleteObject(skin_);
    }

    // The host here; `robot` gets it once shown, and it is ended after.
    void withHost(const std::function<void(ControlHost&)>& robot) {
        ControlHost host;
        runWithRobot([&] { return host.DoModal(); },
                     [&] {
                         need(robot::waitForDialogWith(L"Control host", IDC_HOST_LINK, GetCurrentProcessId()), "host");
                         robot(host);
                         host.callOnOwnThread([&] { host.EndDialog(IDCANCEL); });
                     });
    }
    // A control's pixels as shown, after everything pending has painted.
    static robot::Capture shown(HWND control) {
        RedrawWindow(GetParent(control), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        SendMessageW(control, WM_NULL, 0, 0);
        return robot::captureWindow(control, true);
    }
    // The page background's pixel under point (x, y) of a control.
    uint32_t skinAt(HWND control, int x, int y) const {
        POINT p{x, y};
        MapWindowPoints(control, GetParent(control), &p, 1);
        return rgb(GetPixel(skinDc_, p.x, p.y));
    }
    static int redPixels(const robot::Capture& c) {
        int n = 0;
        for (uint32_t p : c.pixels)
            n += isRed(p);
        return n;
    }

    HBITMAP skin_ = nullptr;
    HDC skinDc_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

} // namespace

TEST_F(ControlsTest, TheWelcomeTextIsRedBoldAndTwelvePointOverTheBackground) {
    CTW_ZURadEZADlg* page = nullptr;
    runWithRobot(
        [&] {
            CTW_ZURadEZADlg step1;
            page = &step1;
            return step1.DoModal();
        },
        [&] {
            HWND step1 = need(wizard::waitForStep(1, GetCurrentProcessId()), "Step 1");
            HWND label = robot::control(step1, IDC_WELCOME_TEXT);
            const robot::Capture c = shown(label);
            EXPECT_GT(redPixels(c), 100) << "red text";
            // Twelve points tall: the red rows span about a 12-point line.
            int top = c.height, bottom = 0;
            for (int y = 0; y < c.height; ++y)
                for (int x = 0; x < c.width; ++x)
                    if (isRed(c.at(x, y))) {
                        top = std::min(top, y);
                        bottom = std::max(bottom, y);
                    }
            HDC screen = GetDC(nullptr);
            const int pixels = MulDiv(12, GetDeviceCaps(screen, LOGPIXELSY), 72);
            ReleaseDC(nullptr, screen);
            EXPECT_GE(bottom - top + 1, pixels * 2 / 3) << "from row " << top << " to " << bottom;
            EXPECT_LE(bottom - top + 1, pixels + 4) << "from row " << top << " to " << bottom;
            // Right of the text the label shows the page's bitmap itself.
            for (int y = 0; y < c.height; y += 3)
                for (int x = c.width - 40; x < c.width; x += 7)
                    ASSERT_EQ(skinAt(label, x, y), c.at(x, y)) << "at " << x << "," << y;
            // Bold by the font it draws with: Wine's own Tahoma draws its bold
            // face with the regular face's pixels at this size, so the pixels
            // cannot tell.
            auto* drawn = dynamic_cast<CLabel*>(tw::Control::fromHandle(label));
            ASSERT_NE(nullptr, drawn);
            EXPECT_EQ(FW_BOLD, drawn->fontDescription().lfWeight);
            EXPECT_EQ(-pixels, drawn->fontDescription().lfHeight);
            page->callOnOwnThread([&] { page->EndDialog(IDCANCEL); });
        });
}

TEST_F(ControlsTest, PointSizeThenBoldKeepsTheSizeAndFlashingRunsOnItsTimer) {
    withHost([&](ControlHost& host) {
        LOGFONTW twelve{}, bold{};
        host.callOnOwnThread([&] {
            twelve = host.label.setPointSize(12).fontDescription();
            bold = host.label.setBold(true).fontDescription();
        });
        HDC screen = GetDC(nullptr);
        const int height = -MulDiv(12, GetDeviceCaps(screen, LOGPIXELSY), 72);
        ReleaseDC(nullptr, screen);
        EXPECT_EQ(height, twelve.lfHeight);
        EXPECT_EQ(height, bold.lfHeight) << "still 12 points";
        EXPECT_EQ(FW_BOLD, bold.lfWeight);

        host.callOnOwnThread([&] { host.label.setTextColour(RGB(255, 0, 0)).setTextFlashing(true); });
        HWND label = host.label.hwnd();
        // Off, on, off: each phase seen within a second or so.
        for (bool visible : {true, false, true})
            EXPECT_TRUE(robot::waitUntil([&] { return (redPixels(shown(label)) > 20) == visible; }, 2000))
                << (visible ? "the text came back" : "the text vanished");
        host.callOnOwnThread([&] { host.label.setTextFlashing(false); });
        EXPECT_FALSE(KillTimer(label, CLabel::kFlashTimer)) << "the flash timer is stopped";
    });
}

TEST_F(ControlsTest, TransparentTextsLeaveNoTraceWhenTheyShrink) {
    withHost([&](ControlHost& host) {
        host.callOnOwnThread([&] {
            host.label.setTextColour(RGB(255, 0, 0)).setTransparentDrawing(true);
            host.label.setLabelText(L"WWWWWWWWWWWWWWWWWWWWWWWWWWWW");
            SetWindowTextW(host.transparentStatic.hwnd(), L"WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW");
        });
        shown(host.label.hwnd());
        host.callOnOwnThread([&] {
            host.label.setLabelText(L"W");
            SetWindowTextW(host.transparentStatic.hwnd(), L"W");
        });
        for (HWND control : {host.label.hwnd(), host.transparentStatic.hwnd()}) {
            const robot::Capture c = shown(control);
            int differing = 0;
            for (int y = 0; y < c.height; ++y)
                for (int x = 30; x < c.width; ++x)
                    differing += c.at(x, y) != skinAt(control, x, y);
            EXPECT_EQ(0, differing) << "pixels of the old text remain in control " << GetDlgCtrlID(control);
        }
    });
}

TEST_F(ControlsTest, AGradientFortyPixelsWideHasFortyBands) {
    const COLORREF from = RGB(0, 40, 200), to = RGB(195, 196, 5);
    withHost([&](ControlHost& host) {
        host.callOnOwnThread([&] {
            SetWindowPos(host.gradient.hwnd(), nullptr, 0, 0, 40, 12, SWP_NOMOVE | SWP_NOZORDER);
            host.gradient.setBackgroundColour(from, to, true);
        });
        const robot::Capture c = shown(host.gradient.hwnd());
        ASSERT_EQ(40, c.width);
        std::set<uint32_t> bands;
        for (int x = 0; x < 40; ++x) {
            for (int y = 1; y < c.height; ++y)
                ASSERT_EQ(c.at(x, 0), c.at(x, y)) << "column " << x << " is one colour";
            bands.insert(c.at(x, 0));
            // Within a step of the straight line from start to end.
            const int expectRed = GetRValue(from) + (GetRValue(to) - GetRValue(from)) * x / 39;
            EXPECT_NEAR(expectRed, static_cast<int>(c.at(x, 0) >> 16), 6) << "column " << x;
        }
        EXPECT_EQ(40u, bands.size()) << "one band per pixel";
        EXPECT_EQ(rgb(from), c.at(0, 0));
        EXPECT_EQ(rgb(to), c.at(39, 0));
    });
}

TEST_F(ControlsTest, ShadeFacesFollowThePaletteAndLightenOnHover) {
    withHost([&](ControlHost& host) {
        HWND push = host.push.hwnd();
        const auto palette = ShadeFaces::palette(GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNFACE),
                                                 GetSysColor(COLOR_BTNHIGHLIGHT));
        // The cursor away from the button and the focus elsewhere: its
        // normal face alone.
        SetCursorPos(0, 0);
        host.callOnOwnThread([&] { SetFocus(host.check.hwnd()); });
        const robot::Capture normal = shown(push);
        const int edge = 3; // the raised edge and a pixel more
        long long normalLight = 0;
        for (int y = edge; y < normal.height - edge; ++y)
            for (int x = edge; x < normal.width - edge; ++x) {
                const uint32_t p = normal.at(x, y);
                const int centre = ShadeFaces::columnIndex(x, normal.width);
                bool found = false;
                for (int i = std::max(0, centre - ShadeFaces::kNoise);
                     i <= std::min(255, centre + ShadeFaces::kNoise) && !found; ++i)
                    found = rgb(palette[static_cast<size_t>(i)]) == p;
                ASSERT_TRUE(found) << "pixel " << x << "," << y << " " << std::hex << p << " is no palette entry near "
                                   << std::dec << centre;
                normalLight += brightness(p);
            }
        // The cursor over it: the hover face, a tenth nearer the highlight.
        RECT r{};
        GetWindowRect(push, &r);
        SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        PostMessageW(push, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
        EXPECT_TRUE(robot::waitUntil([&] { return host.push.hovering(); }));
        const robot::Capture hover = shown(push);
        long long hoverLight = 0;
        for (int y = edge; y < hover.height - edge; ++y)
            for (int x = edge; x < hover.width - edge; ++x)
                hoverLight += brightness(hover.at(x, y));
        EXPECT_GT(hoverLight, normalLight) << "the hover face is lighter";
        SetCursorPos(0, 0);
    });
}

TEST_F(ControlsTest, AFocusedShadeButtonShowsItsStripes) {
    withHost([&](ControlHost& host) {
        HWND push = host.push.hwnd();
        const auto palette = ShadeFaces::palette(GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNFACE),
                                                 GetSysColor(COLOR_BTNHIGHLIGHT));
        host.callOnOwnThread([&] { SetFocus(push); });
        const robot::Capture c = shown(push);
        const int border = 4;
        for (int x = border; x < c.width - border - 1; ++x)
            ASSERT_EQ(rgb(palette[(x - border) % 2 ? 255 : 0]), c.at(x, border)) << "top stripe at " << x;
        // An eight-pixel button with a border of four: a stripe of one pixel.
        host.callOnOwnThread([&] {
            SetWindowPos(host.narrow.hwnd(), nullptr, 0, 0, 8, 20, SWP_NOMOVE | SWP_NOZORDER);
            host.narrow.applyDefaultShade();
        });
        EXPECT_EQ(1, host.narrow.faces().size(ShadeFaces::FocusHorizontal).cx);
        EXPECT_EQ(12, host.narrow.faces().size(ShadeFaces::FocusVertical).cy);
    });
}

TEST_F(ControlsTest, ADisabledShadeButtonEmbossesItsText) {
    withHost([&](ControlHost& host) {
        HWND button = host.disabled.hwnd();
        host.callOnOwnThread([&] { EnableWindow(button, FALSE); });
        const robot::Capture c = shown(button);
        const uint32_t light = rgb(GetSysColor(COLOR_3DHIGHLIGHT)), grey = rgb(GetSysColor(COLOR_GRAYTEXT));
        int greyPixels = 0, greyOverLight = 0;
        for (int y = 3; y < c.height - 4; ++y)
            for (int x = 3; x < c.width - 4; ++x)
                if (c.at(x, y) == grey) {
                    ++greyPixels;
                    // The same stroke one pixel down and right, in light.
                    greyOverLight += c.at(x + 1, y + 1) == light || c.at(x + 1, y + 1) == grey;
                }
        EXPECT_GT(greyPixels, 10) << "the text in grey";
        EXPECT_GT(greyOverLight, greyPixels * 3 / 4) << "with its light copy below and right";
    });
}

namespace {

// Whether the radio `chosen` is the one checked of the three.
bool onlyChecked(ControlHost& host, int chosen) {
    for (int i = 0; i < 3; ++i)
        if ((SendMessageW(host.radios[i].hwnd(), BM_GETCHECK, 0, 0) == BST_CHECKED) != (i == chosen))
            return false;
    return true;
}

} // namespace

TEST_F(ControlsTest, ShadeButtonKindsAndTooltips) {
    withHost([&](ControlHost& host) {
        host.callOnOwnThread([&] {
            SendMessageW(host.push.hwnd(), BM_SETCHECK, BST_CHECKED, 0);
            SendMessageW(host.radios[0].hwnd(), BM_SETCHECK, BST_CHECKED, 0);
        });
        EXPECT_EQ(CxShadeButton::Kind::Push, host.push.kind());
        EXPECT_EQ(BST_UNCHECKED, SendMessageW(host.push.hwnd(), BM_GETCHECK, 0, 0)) << "a push button is never checked";
        EXPECT_EQ(CxShadeButton::Kind::Radio, host.radios[1].kind());
        for (int chosen : {1, 2, 0}) {
            host.callOnOwnThread([&] { SendMessageW(host.radios[chosen].hwnd(), BM_SETCHECK, BST_CHECKED, 0); });
            EXPECT_TRUE(robot::waitUntil([&] { return onlyChecked(host, chosen); })) << "only radio " << chosen << " is checked";
        }
        EXPECT_EQ(BST_UNCHECKED, SendMessageW(host.check.hwnd(), BM_GETCHECK, 0, 0)) << "the check box is no radio";
        // Checked while hidden, or while disabled: it returns, and takes
        // the check from the others all the same.
        for (int chosen : {1, 2}) {
            host.callOnOwnThread([&] {
                if (chosen == 1)
                    ShowWindow(host.radios[1].hwnd(), SW_HIDE);
                else
                    EnableWindow(host.radios[2].hwnd(), FALSE);
                SendMessageW(host.radios[chosen].hwnd(), BM_SETCHECK, BST_CHECKED, 0);
            });
            EXPECT_TRUE(robot::waitUntil([&] { return onlyChecked(host, chosen); })) << "only the hidden or disabled radio " << chosen << " is checked";
        }
        host.callOnOwnThread([&] {
            ShowWindow(host.radios[1].hwnd(), SW_SHOW);
            EnableWindow(host.radios[2].hwnd(), TRUE);
        });

        // The tooltip, and its second text while the check box is checked.
        auto tip = [&](CxShadeButton& button) {
            wchar_t text[80] = L"";
            TTTOOLINFOW tool{};
            tool.cbSize = sizeof tool;
            tool.hwnd = GetParent(button.hwnd());
            tool.uId = reinterpret_cast<UINT_PTR>(button.hwnd());
            tool.lpszText = text;
            SendMessageW(button.tooltip(), TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&tool));
            return std::wstring(text);
        };
        host.callOnOwnThread([&] {
            host.push.setTooltipTexts(L"View Log");
            host.check.setTooltipTexts(L"Keep", L"Kept");
        });
        EXPECT_EQ(L"View Log", tip(host.push));
        EXPECT_EQ(L"Keep", tip(host.check));
        host.callOnOwnThread([&] { SendMessageW(host.check.hwnd(), BM_SETCHECK, BST_CHECKED, 0); });
        EXPECT_EQ(L"Kept", tip(host.check));
    });
}

TEST_F(ControlsTest, LinkKeysContactUsAndTheMailRecipient) {
    withHost([&](ControlHost& host) {
        HWND link = host.link.hwnd();
        host.callOnOwnThread([&] { SetFocus(link); });
        robot::pressKey(link, VK_SPACE);
        SendMessageW(link, WM_NULL, 0, 0);
        EXPECT_FALSE(robot::waitUntil([&] { return host.aboutRuns > 0; }, 300)) << "Space does nothing";
        robot::pressKey(link, VK_RETURN);
        EXPECT_TRUE(robot::waitUntil([&] { return host.aboutRuns == 1; })) << "Enter clicks: Contact Us runs About";
        EXPECT_FALSE(host.link.visited()) << "no shell call for Contact Us";
    });
    EXPECT_EQ(L"SMTP:a.rather.long.name@tidewell.exam",
              CURLLinkButton::mailRecipient(L"a.rather.long.name@tidewell.example"));
    EXPECT_EQ(L"SMTP:sales@tidewell.example", CURLLinkButton::mailRecipient(L"sales@tidewell.example"));
}

TEST_F(ControlsTest, AnOpenedLinkTurnsPurpleAndAnAddressGoesToTheMailSystem) {
    const std::wstring page = dir.file(L"visit.txt");
    ASSERT_TRUE(testenv::writeFileBytes(page, "a page to open"));
    const wchar_t address[] = L"support@tidewell.example";
    // The shell alone cannot open an address.
    EXPECT_LE(reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", address, nullptr, nullptr, 0)), 32);
    withHost([&](ControlHost& host) {
        HWND link = host.link.hwnd();
        host.callOnOwnThread([&] {
            SetWindowTextW(link, L"the page");
            host.link.setLinkAddress(page);
        });
        robot::click(GetParent(link), IDC_HOST_LINK);
        EXPECT_TRUE(robot::waitUntil([&] { return host.link.visited(); }));
        const robot::Capture c = shown(link);
        int purple = 0;
        for (uint32_t p : c.pixels)
            purple += p == rgb(CURLLinkButton::kVisitedColour);
        EXPECT_GT(purple, 10) << "drawn in the visited colour";
    });
    // An address: the mail path. Wine's Simple MAPI hands the new mail to
    // the desktop's mail program, and takes the request.
    withHost([&](ControlHost& host) {
        HWND link = host.link.hwnd();
        host.callOnOwnThread([&] { SetWindowTextW(link, address); });
        EXPECT_FALSE(host.link.visited());
        robot::click(GetParent(link), IDC_HOST_LINK);
        EXPECT_TRUE(robot::waitUntil([&] { return host.link.visited(); })) << "the mail system took the request";
    });
    // What the shell and the mail system started, hidden: end them.
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{sizeof entry};
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        if (_wcsicmp(entry.szExeFile, L"notepad.exe") == 0 || _wcsicmp(entry.szExeFile, L"winebrowser.exe") == 0)
            if (HANDLE p = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID)) {
                TerminateProcess(p, 0);
                CloseHandle(p);
            }
    CloseHandle(snapshot);
}
