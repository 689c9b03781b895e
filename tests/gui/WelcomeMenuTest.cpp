// Step 1's menu and system menu: the log location dialog, Help, and the
// about dialog from both menus.
#include "PageFixture.h"
#include "Processes.h"
#include "common/ActivityLog.h"
#include "common/Registry.h"
#include "shell/WelcomePage.h"

#include <sddl.h>

using namespace guitest;

namespace {

class WelcomeMenuTest : public PageTest {
protected:
    // Step 1 here, `robot` given its window; the page is ended for it
    // afterwards (its own ways out end the process).
    void runStepOne(const std::function<void(HWND)>& robot) {
        CTW_ZURadEZADlg* shown = nullptr;
        runWithRobot(
            [&] {
                CTW_ZURadEZADlg page;
                shown = &page;
                return page.DoModal();
            },
            [&] {
                HWND page = need(wizard::waitForStep(1, GetCurrentProcessId()), "Step 1");
                robot(page);
                shown->callOnOwnThread([&] { shown->EndDialog(IDCANCEL); });
            });
    }

    static HWND logDialog() {
        return need(robot::waitForDialogWith(wizard::kTitle, IDC_LOGPATH_PATH, GetCurrentProcessId()),
                    "log location dialog");
    }
    // Change Path, a text typed, then Apply or Cancel.
    static void changePath(HWND page, const std::wstring& text, int button, const wchar_t* message = nullptr) {
        robot::postCommand(page, ID_LOG_CHANGEPATH);
        HWND dialog = logDialog();
        robot::setText(dialog, IDC_LOGPATH_PATH, text);
        robot::click(dialog, button);
        if (message)
            expectMessage(message, MB_ICONSTOP);
        EXPECT_TRUE(robot::waitForGone(dialog));
    }
};

// Ends the help viewers Help started.
void endHelpViewers() { testenv::endProcessesOf(L"hh.exe"); }

// Sets the access list of a key of HKEY_CLASSES_ROOT, in SDDL.
bool setKeyAccess(const wchar_t* subKey, const wchar_t* sddl) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, subKey, 0, WRITE_DAC, &key) != ERROR_SUCCESS)
        return false;
    PSECURITY_DESCRIPTOR sd = nullptr;
    const bool set = ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, nullptr) &&
                     RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd) == ERROR_SUCCESS;
    LocalFree(sd);
    RegCloseKey(key);
    return set;
}

// For as long as it lives, everyone may read the key but no one change it.
class ReadOnlyKey {
public:
    explicit ReadOnlyKey(const wchar_t* subKey) : subKey_(subKey), set_(setKeyAccess(subKey, L"D:P(A;;KR;;;WD)")) {}
    ~ReadOnlyKey() { setKeyAccess(subKey_, L"D:P(A;;KA;;;WD)"); }
    bool set() const { return set_; }

private:
    const wchar_t* subKey_;
    bool set_;
};

} // namespace

TEST_F(WelcomeMenuTest, TheLogLocationIsStoredOnlyWhenItExists) {
    const std::wstring chosen = dir.file(L"Logs");
    CreateDirectoryW(chosen.c_str(), nullptr);
    runStepOne([&](HWND page) {
        robot::postCommand(page, ID_LOG_CHANGEPATH);
        HWND dialog = logDialog();
        EXPECT_EQ(L"", robot::controlText(dialog, IDC_LOGPATH_PATH)) << "no log directory yet";
        EXPECT_EQ(259, SendDlgItemMessageW(dialog, IDC_LOGPATH_PATH, EM_GETLIMITTEXT, 0, 0));
        robot::click(dialog, IDCANCEL);
        EXPECT_TRUE(robot::waitForGone(dialog));

        // As typed, trailing backslash and all.
        changePath(page, chosen + L"\\", IDOK);
        EXPECT_EQ(chosen + L"\\", readSetting(L"LogPath"));
        robot::postCommand(page, ID_LOG_CHANGEPATH);
        dialog = logDialog();
        EXPECT_EQ(chosen + L"\\", robot::controlText(dialog, IDC_LOGPATH_PATH)) << "shown again";
        robot::click(dialog, IDCANCEL);
        EXPECT_TRUE(robot::waitForGone(dialog));

        changePath(page, dir.file(L"gone"), IDOK, L"Path Does't exists");
        // A file is no place for a log.
        ASSERT_TRUE(testenv::writeFileBytes(dir.file(L"a file"), "x"));
        changePath(page, dir.file(L"a file"), IDOK, L"Path Does't exists");
        changePath(page, L"", IDOK, L"Path Does't exists");
        changePath(page, dir.path(), IDCANCEL);
        // A settings key the user may read but not change: the failure is
        // said, and nothing changes.
        ReadOnlyKey settings(L"TWNSF_PST");
        ASSERT_TRUE(settings.set());
        changePath(page, dir.path(), IDOK, L"The log location could not be saved: the log stays where it was.");
    });
    EXPECT_EQ(chosen + L"\\", readSetting(L"LogPath")) << "neither a missing path nor Cancel changed it";
    EXPECT_EQ(chosen + L"\\", wizardState().logDirectory);
    // The writer follows the registry from the next line on: the start
    // lines went to the installation directory, later lines go there.
    EXPECT_TRUE(testenv::fileExists(dir.file(L"Activity Log.txt")));
    appendLogLine(L"after the change");
    EXPECT_NE(std::string::npos, testenv::readFileBytes(chosen + L"\\Activity Log.txt").find("after the change"));
}

TEST_F(WelcomeMenuTest, AboutComesFromTheSystemMenuAndFromTheMenu) {
    runStepOne([&](HWND page) {
        HMENU system = GetSystemMenu(page, FALSE);
        const int n = GetMenuItemCount(system);
        ASSERT_GT(n, 2);
        EXPECT_EQ(static_cast<UINT>(IDM_ABOUTBOX), GetMenuItemID(system, n - 1));
        EXPECT_TRUE(GetMenuState(system, n - 2, MF_BYPOSITION) & MF_SEPARATOR);
        wchar_t text[64] = L"";
        GetMenuStringW(system, n - 1, text, 64, MF_BYPOSITION);
        EXPECT_STREQ(L"&About Tidewell for NSF to PST", text);

        for (bool fromSystemMenu : {true, false}) {
            if (fromSystemMenu)
                PostMessageW(page, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
            else
                robot::postCommand(page, ID_SUPPORT_ABOUT);
            HWND about = need(robot::waitForDialogWith(wizard::kTitle, IDC_ABOUT_SALES, GetCurrentProcessId()),
                              "about dialog");
            EXPECT_EQ(L"www.tidewell.example", robot::controlText(about, IDC_ABOUT_WEBSITE));
            EXPECT_EQ(L"sales@tidewell.example", robot::controlText(about, IDC_ABOUT_SALES));
            EXPECT_EQ(L"support@tidewell.example", robot::controlText(about, IDC_ABOUT_SUPPORT));
            EXPECT_FALSE(IsWindowEnabled(page)) << "modal over the page";
            robot::click(about, IDOK);
            EXPECT_TRUE(robot::waitForGone(about));
        }
    });
}

TEST_F(WelcomeMenuTest, HelpOpensTheInstalledHelpFileInTheViewer) {
    // The help file the installer put beside the program, in this test's
    // installation directory.
    wchar_t programFiles[MAX_PATH] = L"";
    ExpandEnvironmentStringsW(L"%ProgramFiles%", programFiles, MAX_PATH);
    const std::wstring installed = std::wstring(programFiles) + L"\\Tidewell for NSF to PST\\Tidewell for NSF to PST.chm";
    ASSERT_TRUE(CopyFileW(installed.c_str(), dir.file(L"Tidewell for NSF to PST.chm").c_str(), FALSE))
        << "the installer did not install " << narrow(installed);
    endHelpViewers();
    std::vector<std::wstring> viewers;
    runStepOne([&](HWND page) {
        robot::postCommand(page, ID_SUPPORT_HELP);
        robot::waitUntil([&] {
            viewers = testenv::commandLinesOf(L"hh.exe");
            return !viewers.empty() && !viewers[0].empty();
        }, 20000);
    });
    ASSERT_EQ(1u, viewers.size()) << "no help viewer was started";
    EXPECT_NE(std::wstring::npos, viewers[0].find(L"Tidewell for NSF to PST.chm")) << narrow(viewers[0]);
    endHelpViewers();
}

TEST_F(WelcomeMenuTest, HelpGrowsThePathEachTime) {
    ASSERT_TRUE(testenv::writeFileBytes(dir.file(L"Tidewell for NSF to PST.chm"), "not really help"));
    wchar_t before[4096] = L"";
    GetEnvironmentVariableW(L"PATH", before, 4096);
    const std::wstring grown = std::wstring(before) + L";" + dir.path() + L";" + L";" + dir.path() + L";";
    auto currentPath = [] {
        wchar_t value[4096] = L"";
        GetEnvironmentVariableW(L"PATH", value, 4096);
        return std::wstring(value);
    };
    runStepOne([&](HWND page) {
        robot::postCommand(page, ID_SUPPORT_HELP);
        robot::postCommand(page, ID_SUPPORT_HELP);
        // A sent message overtakes posted ones, so wait for the variable itself
        // rather than for the page to answer.
        robot::waitUntil([&] { return currentPath() == grown; });
    });
    EXPECT_EQ(grown, currentPath());
    SetEnvironmentVariableW(L"PATH", before);
    endHelpViewers();
}
