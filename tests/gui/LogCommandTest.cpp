// Clear log asks first; View Log opens Notepad on the log.
#include "GuiTest.h"
#include "TestEnv.h"
#include "common/ActivityLog.h"
#include "common/WizardState.h"
#include "shell/WizardApp.h"

#include <gtest/gtest.h>

#include <thread>

using namespace guitest;

namespace {

class LogCommandTest : public ::testing::Test {
protected:
    // A fresh install: the log in the installation directory, no log
    // directory chosen yet.
    void SetUp() override {
        registry.setSetting(L"FilePath", dir.path());
        wizardState() = WizardState{};
        CTW_ZURadEZAApp().loadSettings();
        ASSERT_TRUE(testenv::writeFileBytes(logFile(), "\r\nsomething"));
    }
    std::wstring logFile() const { return dir.file(L"Activity Log.txt"); }

    void clearAnswering(int button) {
        std::thread robotThread([&] {
            HWND box = wizard::expectMessageBox(GetCurrentProcessId(), L"Are you sure you want to clean log.");
            EXPECT_EQ(L"Are you sure you want to clean log.", robot::messageBoxText(box));
            EXPECT_EQ(MB_ICONQUESTION, robot::messageBoxIcon(box));
            robot::answer(box, button);
        });
        clearLog(nullptr);
        robotThread.join();
    }

    testenv::IsolatedRegistry registry;
    testenv::TempDir dir;
};

} // namespace

TEST_F(LogCommandTest, ClearAnsweredNoLeavesTheFile) {
    clearAnswering(IDNO);
    EXPECT_EQ("\r\nsomething", testenv::readFileBytes(logFile()));
}

TEST_F(LogCommandTest, ClearAnsweredYesDeletesTheFile) {
    clearAnswering(IDYES);
    EXPECT_FALSE(testenv::fileExists(logFile()));
}

TEST_F(LogCommandTest, ViewOpensTheLogInNotepad) {
    viewLog();
    HWND notepad = waitForLogInNotepad();
    ASSERT_NE(nullptr, notepad) << "no Notepad window with the log";
    PostMessageW(notepad, WM_CLOSE, 0, 0);
    EXPECT_TRUE(robot::waitForGone(notepad));
}
