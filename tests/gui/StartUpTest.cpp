// The program from start-up to its end, in a child process: the settings it
// starts with, the page chain of Step 1, and the ways out.
#include "Child.h"
#include "GuiTest.h"
#include "TestEnv.h"
#include "resource.h"
#include "shell/WizardApp.h"

#include <gtest/gtest.h>

#include <regex>

using namespace guitest;

TW_CHILD_ROUTINE(wizard) {
    if (args.empty() || !testenv::IsolatedRegistry::adopt(args[0]))
        return 91;
    CTW_ZURadEZAApp app;
    return app.Run();
}

namespace {

constexpr int kExitWaitMs = 15000;

class StartUpTest : public ::testing::Test {
protected:
    std::wstring logFile() const { return dir.file(L"Activity Log.txt"); }
    std::string log() const { return testenv::readFileBytes(logFile()); }

    // Cancel on Step 1, Yes: the process must end with exit code 0.
    void exitFromStepOne(child::Process& wizard, HWND page) {
        robot::click(page, IDCANCEL);
        HWND box = wizard::expectMessageBox(wizard.pid(), L"Are you sure you want to exit.");
        EXPECT_EQ(L"Are you sure you want to exit.", robot::messageBoxText(box));
        robot::answer(box, IDYES);
        EXPECT_EQ(0u, wizard.wait(kExitWaitMs));
    }

    testenv::IsolatedRegistry registry;
    testenv::TempDir dir;
};

const char kStartLines[] =
    "\r\n\r\n\r\n-----------------------Start--------------------------\r\nTidewell for NSF to PST\r\nVersion 1.0\r\n";

} // namespace

TEST_F(StartUpTest, WithSettingsKeyLogsToTheInstallationDirectory) {
    registry.setSetting(L"FilePath", dir.path());
    child::Process wizard("wizard", {registry.name()});
    HWND page = need(wizard::waitForStep(1, wizard.pid()), "Step 1");

    EXPECT_EQ(wizard::kTitle, robot::windowText(page));
    EXPECT_TRUE(robot::isChecked(page, IDC_WELCOME_MAILS));
    EXPECT_FALSE(robot::isChecked(page, IDC_WELCOME_ADDRESSBOOK));
    for (int id : {IDC_HEADER_VIEWLOG, IDC_HEADER_SUPPORT, IDC_HEADER_EXIT})
        EXPECT_FALSE(robot::isVisible(page, id)) << "header button " << id;
    EXPECT_NE(0, SendMessageW(robot::control(page, IDC_STEP_PICTURE), STM_GETIMAGE, IMAGE_BITMAP, 0))
        << "step picture loaded from the skin directory";

    std::string bytes = log();
    ASSERT_EQ(0u, bytes.find(kStartLines)) << bytes;
    EXPECT_TRUE(std::regex_match(bytes.substr(sizeof kStartLines - 1), std::regex("[0-9]{1,2}-[0-9]{1,2}-[0-9]{4} "
                                                                                  "[0-9]{1,2}:[0-9]{1,2}")))
        << bytes.substr(sizeof kStartLines - 1);
    EXPECT_TRUE(testenv::fileExists(dir.file(L"Attachment"))) << "attachment directory";

    exitFromStepOne(wizard, page);
}

TEST_F(StartUpTest, WithoutSettingsKeyLogsToTheDriveRoot) {
    // No "FilePath" and no "LogPath": the log and the attachment directory
    // land on the root of the current drive, here C:.
    const std::wstring rootLog = L"C:\\Activity Log.txt", rootAttachments = L"C:\\Attachment";
    std::string before = testenv::readFileBytes(rootLog);
    bool hadAttachments = testenv::fileExists(rootAttachments);
    child::Process wizard("wizard", {registry.name()}, L"C:\\");
    HWND page = need(wizard::waitForStep(1, wizard.pid()), "Step 1");
    EXPECT_EQ(wizard::kTitle, robot::windowText(page));
    std::string after = testenv::readFileBytes(rootLog);
    ASSERT_GT(after.size(), before.size());
    EXPECT_EQ(0u, after.find(kStartLines, before.size()) - before.size()) << after.substr(before.size());
    EXPECT_TRUE(testenv::fileExists(rootAttachments));
    exitFromStepOne(wizard, page);

    if (before.empty())
        DeleteFileW(rootLog.c_str());
    else
        testenv::writeFileBytes(rootLog, before);
    if (!hadAttachments)
        RemoveDirectoryW(rootAttachments.c_str());
}

TEST_F(StartUpTest, NextBackNextGivesAFreshStepTwoAndLogsStepOneTwice) {
    registry.setSetting(L"FilePath", dir.path());
    setNotesDirectory(dir.path()); // no mail directory: nothing proposed
    child::Process wizard("wizard", {registry.name()});
    HWND first = need(wizard::waitForStep(1, wizard.pid()), "Step 1");

    robot::click(first, IDOK);
    HWND second = need(wizard::waitForStep(2, wizard.pid()), "Step 2");
    EXPECT_TRUE(robot::waitForHidden(first)) << "Step 1 hides while Step 2 runs";
    robot::setText(second, IDC_SOURCE_PATH, L"C:\\typed.nsf");

    robot::click(second, IDC_SOURCE_BACK);
    EXPECT_TRUE(robot::waitForGone(second));
    EXPECT_TRUE(robot::waitUntil([&] { return IsWindowVisible(first) != FALSE; })) << "Step 1 shows again";

    robot::click(first, IDOK);
    HWND again = need(wizard::waitForStep(2, wizard.pid()), "Step 2 again");
    EXPECT_EQ(L"", robot::controlText(again, IDC_SOURCE_PATH)) << "a fresh page";
    EXPECT_EQ(2, count(log(), "\r\n\r\n\r\nStep 1 :\r\n-------\r\nMode : Migrating Mail Folder")) << log();

    // The close box of Step 2, answered Yes, ends the process at once.
    robot::closeWindow(again);
    HWND box = wizard::expectMessageBox(wizard.pid(), L"Are you sure you want to exit.");
    EXPECT_EQ(MB_ICONQUESTION, robot::messageBoxIcon(box));
    robot::answer(box, IDYES);
    EXPECT_EQ(0u, wizard.wait(kExitWaitMs));
}

TEST_F(StartUpTest, ModeFollowsTheRadioButtons) {
    registry.setSetting(L"FilePath", dir.path());
    setNotesDirectory(dir.path());
    child::Process wizard("wizard", {registry.name()});
    HWND first = need(wizard::waitForStep(1, wizard.pid()), "Step 1");
    robot::click(first, IDC_WELCOME_ADDRESSBOOK);
    EXPECT_TRUE(robot::waitUntil([&] { return robot::isChecked(first, IDC_WELCOME_ADDRESSBOOK); }));
    robot::click(first, IDOK);
    HWND second = need(wizard::waitForStep(2, wizard.pid()), "Step 2");
    robot::click(second, IDC_SOURCE_BACK);
    EXPECT_TRUE(robot::waitForGone(second));
    robot::click(first, IDC_WELCOME_MAILS);
    robot::click(first, IDOK);
    need(wizard::waitForStep(2, wizard.pid()), "Step 2 again");
    std::string bytes = log();
    size_t address = bytes.find("Mode : Migrating Address Folder");
    size_t mail = bytes.find("Mode : Migrating Mail Folder");
    EXPECT_NE(std::string::npos, address) << bytes;
    EXPECT_NE(std::string::npos, mail) << bytes;
    EXPECT_LT(address, mail) << "both sections, in the order chosen";
}

TEST_F(StartUpTest, ExitAnsweredNoChangesNothing) {
    registry.setSetting(L"FilePath", dir.path());
    child::Process wizard("wizard", {registry.name()});
    HWND page = need(wizard::waitForStep(1, wizard.pid()), "Step 1");
    std::string before = log();

    robot::postCommand(page, ID_FILE_EXIT);
    HWND box = wizard::expectMessageBox(wizard.pid(), L"Are you sure you want to exit.");
    EXPECT_EQ(L"Are you sure you want to exit.", robot::messageBoxText(box));
    EXPECT_EQ(MB_ICONQUESTION, robot::messageBoxIcon(box));
    EXPECT_TRUE(robot::answer(box, IDNO));

    SendMessageW(page, WM_NULL, 0, 0); // the page's thread is back in its loop
    EXPECT_TRUE(IsWindowVisible(page));
    EXPECT_EQ(STILL_ACTIVE, wizard.wait(0));
    EXPECT_EQ(before, log());
    exitFromStepOne(wizard, page);
}

TEST_F(StartUpTest, EscOnStepOneAsksWithExclamationAndNoDropsTheKey) {
    registry.setSetting(L"FilePath", dir.path());
    child::Process wizard("wizard", {registry.name()});
    HWND page = need(wizard::waitForStep(1, wizard.pid()), "Step 1");

    robot::pressKey(page, VK_ESCAPE);
    HWND box = wizard::expectMessageBox(wizard.pid(), L"Are you sure you want to exit.");
    EXPECT_EQ(L"Are you sure you want to exit.", robot::messageBoxText(box));
    EXPECT_EQ(static_cast<UINT>(MB_ICONWARNING), robot::messageBoxIcon(box));
    EXPECT_TRUE(robot::answer(box, IDNO));

    // Had the key gone on to the dialog it would have asked again (as
    // Cancel) before the page's thread could answer this.
    SendMessageW(page, WM_NULL, 0, 0);
    EXPECT_EQ(nullptr, robot::findWindow(L"#32770", wizard::kTitle, wizard.pid(), page));
    EXPECT_TRUE(IsWindowVisible(page));
    exitFromStepOne(wizard, page);
}
