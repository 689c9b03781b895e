// The dialog framework under a real dialog: reflection of notifications to
// the control, the key filter before the dialog manager, the owner disabled
// while a dialog runs, and exceptions stopped at the dialog procedure.
#include "GuiTest.h"
#include "framework/Control.h"
#include "framework/Dialog.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <stdexcept>
#include <thread>

using namespace guitest;

namespace {

// A button that takes its own clicks and lets its colour request through.
class ClickTaker : public tw::Control {
public:
    std::atomic<int> clicks{0};
    std::atomic<int> colourRequests{0};
    bool OnReflectedMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) override {
        if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
            ++clicks;
            result = 0;
            return true;
        }
        if (message == WM_CTLCOLORBTN)
            ++colourRequests;
        return false;
    }
};

// Step 2's template, with handlers of its own.
class HostDialog : public tw::Dialog {
public:
    explicit HostDialog(HWND owner = nullptr) : tw::Dialog(IDD_SOURCE, owner) {}
    ClickTaker browse;
    std::atomic<int> dialogSawBrowse{0};
    std::atomic<int> escapesFiltered{0};
    std::atomic<bool> cancelled{false};
    bool filterEscape = false;
    std::function<void(HostDialog&)> onBackupBrowse;

protected:
    BOOL OnInitDialog() override {
        browse.attachDlgItem(hwnd(), IDC_SOURCE_BROWSE);
        return TRUE;
    }
    bool OnCommand(UINT id, UINT code, HWND) override {
        if (id == IDC_SOURCE_BROWSE)
            ++dialogSawBrowse;
        if (id == IDC_SOURCE_BACKUP_BROWSE && onBackupBrowse) {
            onBackupBrowse(*this);
            return true;
        }
        if (id == IDC_SOURCE_BACK) {
            EndDialog(IDC_SOURCE_BACK);
            return true;
        }
        return false;
    }
    void OnCancel() override {
        cancelled = true;
        EndDialog(IDCANCEL);
    }
    bool PreTranslateMessage(MSG& msg) override {
        if (filterEscape && msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
            ++escapesFiltered;
            return true;
        }
        return false;
    }
};

HWND waitForHost() {
    return need(robot::waitForDialogWith(L"Source", IDC_SOURCE_NEXT, GetCurrentProcessId()), "host dialog");
}

} // namespace

TEST(Framework, NotificationsAreReflectedToTheControlFirst) {
    HostDialog dialog;
    std::thread driver([&] {
        HWND host = waitForHost();
        robot::click(host, IDC_SOURCE_BROWSE);
        EXPECT_TRUE(robot::waitUntil([&] { return dialog.browse.clicks == 1; })) << dialog.browse.clicks;
        RedrawWindow(robot::control(host, IDC_SOURCE_BROWSE), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        EXPECT_GT(dialog.browse.colourRequests.load(), 0) << "an unhandled reflection still reaches the control";
        robot::click(host, IDC_SOURCE_BACK);
    });
    EXPECT_EQ(IDC_SOURCE_BACK, dialog.DoModal());
    driver.join();
    EXPECT_EQ(0, dialog.dialogSawBrowse.load()) << "a handled reflection is kept from the dialog";
}

TEST(Framework, KeyFilterSeesKeysBeforeTheDialogManager) {
    HostDialog dialog;
    dialog.filterEscape = true;
    std::thread driver([&] {
        HWND host = waitForHost();
        robot::pressKey(host, VK_ESCAPE);
        EXPECT_TRUE(robot::waitUntil([&] { return dialog.escapesFiltered == 1; }));
        SendMessageW(host, WM_NULL, 0, 0);
        EXPECT_FALSE(dialog.cancelled) << "the filtered key must not become Cancel";
        dialog.filterEscape = false;
        robot::pressKey(host, VK_ESCAPE);
    });
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
    driver.join();
    EXPECT_TRUE(dialog.cancelled) << "unfiltered, Esc is the dialog manager's Cancel";
}

TEST(Framework, OwnerIsDisabledWhileADialogRunsAndEnabledAfter) {
    HostDialog outer;
    outer.onBackupBrowse = [](HostDialog& self) {
        HostDialog inner(self.hwnd());
        inner.DoModal();
    };
    std::thread driver([&] {
        HWND first = waitForHost();
        robot::click(first, IDC_SOURCE_BACKUP_BROWSE);
        HWND second = nullptr;
        robot::waitUntil([&] {
            for (HWND w : robot::findWindows(L"#32770", L"Source", GetCurrentProcessId()))
                if (w != first)
                    second = w;
            return second != nullptr;
        });
        need(second, "the inner dialog");
        EXPECT_FALSE(IsWindowEnabled(first)) << "the owner is disabled while the inner dialog runs";
        robot::click(second, IDC_SOURCE_BACK);
        EXPECT_TRUE(robot::waitForGone(second));
        EXPECT_TRUE(robot::waitUntil([&] { return IsWindowEnabled(first) != FALSE; })) << "and enabled after";
        robot::click(first, IDC_SOURCE_BACK);
    });
    EXPECT_EQ(IDC_SOURCE_BACK, outer.DoModal());
    driver.join();
}

TEST(Framework, AnExceptionInAHandlerStopsAtTheDialogProcedure) {
    HostDialog dialog;
    std::atomic<int> thrown{0};
    dialog.onBackupBrowse = [&](HostDialog&) {
        ++thrown;
        throw std::runtime_error("a handler failed");
    };
    std::thread driver([&] {
        HWND host = waitForHost();
        robot::click(host, IDC_SOURCE_BACKUP_BROWSE);
        EXPECT_TRUE(robot::waitUntil([&] { return thrown == 1; }));
        SendMessageW(host, WM_NULL, 0, 0);
        EXPECT_TRUE(IsWindowVisible(host)) << "the dialog goes on";
        robot::click(host, IDC_SOURCE_BACK);
    });
    EXPECT_EQ(IDC_SOURCE_BACK, dialog.DoModal());
    driver.join();
}
