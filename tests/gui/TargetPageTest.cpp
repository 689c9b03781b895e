// Step 4: a new PST or an existing one, the checks of Next in their order,
// the backup copy of an existing PST, and the new PST's default name.
#include "PageFixture.h"
#include "framework/Text.h"
#include "target/TargetPage.h"

#include <commctrl.h>
#include <shlobj.h>

#include <regex>

using namespace guitest;

namespace {

const wchar_t kNoPst[] = L"Pst path does't exist.";
const wchar_t kNoNewPst[] = L"New Pst File not specified.";

class TargetPageTest : public PageTest {
protected:
    void nextRefused(HWND page, const std::wstring& text) {
        robot::click(page, IDOK);
        expectMessage(text, MB_ICONINFORMATION);
        EXPECT_TRUE(IsWindowVisible(page));
        EXPECT_EQ(std::string::npos, log().find("Step 4 :")) << narrow(text);
    }
    // Next, expecting Step 5; then back again.
    void nextAccepted(HWND page) {
        robot::click(page, IDOK);
        HWND step5 = need(wizard::waitForStep(5, GetCurrentProcessId()), "Step 5");
        robot::click(step5, IDC_FOLDERNAME_BACK);
        EXPECT_TRUE(robot::waitForGone(step5));
        EXPECT_TRUE(robot::waitUntil([&] { return IsWindowVisible(page) != FALSE; }));
    }
    static void choose(HWND page, int radio) {
        robot::click(page, radio);
        EXPECT_TRUE(robot::waitUntil([&] { return robot::isChecked(page, radio); }));
    }
    static void leave(HWND page) { robot::click(page, IDC_TARGET_BACK); }
};

} // namespace

TEST_F(TargetPageTest, AFreshPageUpdatesAnExistingPstAndWantsItsPath) {
    runPage<CTrgDlg>(4, [&](HWND page) {
        EXPECT_TRUE(robot::isChecked(page, IDC_TARGET_EXISTING));
        for (int box : {IDC_TARGET_NEW_PATH, IDC_TARGET_EXISTING_PATH, IDC_TARGET_BACKUP_PATH})
            EXPECT_EQ(259, SendDlgItemMessageW(page, box, EM_GETLIMITTEXT, 0, 0)) << box;
        EXPECT_FALSE(robot::isEnabled(page, IDC_TARGET_NEW_BROWSE));
        EXPECT_TRUE(robot::isEnabled(page, IDC_TARGET_EXISTING_BROWSE));
        EXPECT_FALSE(robot::isEnabled(page, IDC_TARGET_BACKUP_BROWSE));
        nextRefused(page, kNoPst);
        // The check box enables the backup Browse whichever radio button
        // is on; the edit boxes are never disabled.
        robot::click(page, IDC_TARGET_BACKUP);
        EXPECT_TRUE(robot::waitUntil([&] { return robot::isEnabled(page, IDC_TARGET_BACKUP_BROWSE); }));
        choose(page, IDC_TARGET_NEW);
        EXPECT_TRUE(robot::isEnabled(page, IDC_TARGET_NEW_BROWSE));
        EXPECT_FALSE(robot::isEnabled(page, IDC_TARGET_EXISTING_BROWSE));
        EXPECT_FALSE(robot::isEnabled(page, IDC_TARGET_BACKUP_BROWSE));
        EXPECT_TRUE(robot::isEnabled(page, IDC_TARGET_EXISTING_PATH));
        leave(page);
    });
}

TEST_F(TargetPageTest, ANewPstWantsItsExtensionAndAnExistingFolder) {
    const std::wstring existing = dir.file(L"old.pst");
    ASSERT_TRUE(testenv::writeFileBytes(existing, "pst"));
    runPage<CTrgDlg>(4, [&](HWND page) {
        choose(page, IDC_TARGET_NEW);
        for (const std::wstring& name : {std::wstring(), dir.file(L"new.txt"), dir.file(L"new.pst.bak")}) {
            robot::setText(page, IDC_TARGET_NEW_PATH, name);
            nextRefused(page, kNoNewPst);
        }
        for (const std::wstring& name : {std::wstring(L"new.pst"), dir.file(L"missing\\new.pst")}) {
            robot::setText(page, IDC_TARGET_NEW_PATH, name);
            nextRefused(page, kNoPst);
        }
        // A file of that name may exist already; a checked backup box and
        // a nonsense backup path are ignored for a new PST.
        robot::click(page, IDC_TARGET_BACKUP);
        robot::setText(page, IDC_TARGET_BACKUP_PATH, L"Q:\\nowhere");
        robot::setText(page, IDC_TARGET_NEW_PATH, existing);
        nextAccepted(page);
        leave(page);
    });
    EXPECT_EQ(existing, wizardState().pstPath);
    EXPECT_NE(std::string::npos, log().find("\r\nStep 4 :\r\n-------\r\nNew PST File Path : " + tw::toAnsi(existing) +
                                            "\r\nDefault PST Path : \r\nBackup PST Path : Q:\\nowhere"))
        << log();
}

TEST_F(TargetPageTest, AnExistingPstIsCopiedAsideFirstWhenAsked) {
    const std::wstring pst = dir.file(L"mail.pst");
    ASSERT_TRUE(testenv::writeFileBytes(pst, std::string(12345, 'p')));
    const std::wstring backup = dir.file(L"Backup");
    CreateDirectoryW(backup.c_str(), nullptr);
    runPage<CTrgDlg>(4, [&](HWND page) {
        robot::setText(page, IDC_TARGET_EXISTING_PATH, pst);
        robot::click(page, IDC_TARGET_BACKUP);
        nextRefused(page, L"Please select backup path.");
        robot::setText(page, IDC_TARGET_BACKUP_PATH, dir.path() + L"\\");
        nextRefused(page, L"Existing NSF file path and Backup Path are same, please specify different path.");
        robot::setText(page, IDC_TARGET_BACKUP_PATH, dir.file(L"nowhere"));
        nextRefused(page, L"Backup path does't exist.");
        robot::setText(page, IDC_TARGET_BACKUP_PATH, backup);
        nextAccepted(page);
        leave(page);
    });
    EXPECT_EQ(pst, wizardState().pstPath);
    EXPECT_EQ(std::string(12345, 'p'), testenv::readFileBytes(backup + L"\\mail.pst"));
}

TEST_F(TargetPageTest, BrowsingForANewPstNamesItAfterTheTime) {
    runPage<CTrgDlg>(4, [&](HWND page) {
        choose(page, IDC_TARGET_NEW);
        robot::click(page, IDC_TARGET_NEW_BROWSE);
        // The folder picker: the test's directory chosen, then OK.
        HWND picker = nullptr;
        robot::waitUntil([&] {
            for (HWND w : robot::findWindows(L"#32770", nullptr, GetCurrentProcessId()))
                if (w != page && IsWindowVisible(w) && FindWindowExW(w, nullptr, L"SysTreeView32", nullptr))
                    picker = w;
            return picker != nullptr;
        });
        need(picker, "folder picker");
        // Asked again until the picker's tree shows the folder selected:
        // it fills the tree after it shows.
        const std::wstring folder = dir.path();
        const std::wstring leaf = folder.substr(folder.rfind(L'\\') + 1);
        HWND tree = FindWindowExW(picker, nullptr, L"SysTreeView32", nullptr);
        EXPECT_TRUE(robot::waitUntil([&] {
            SendMessageW(picker, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(folder.c_str()));
            wchar_t text[MAX_PATH] = L"";
            TVITEMW item{};
            item.mask = TVIF_TEXT;
            item.hItem = TreeView_GetSelection(tree);
            item.pszText = text;
            item.cchTextMax = MAX_PATH;
            return item.hItem && TreeView_GetItem(tree, &item) && leaf == text;
        })) << "the picker never selected " << narrow(folder);
        robot::click(picker, IDOK);
        EXPECT_TRUE(robot::waitForGone(picker));
        EXPECT_TRUE(robot::waitUntil([&] { return !robot::controlText(page, IDC_TARGET_NEW_PATH).empty(); }));
        leave(page);
    });
    const std::wstring name = wizardState().pstPath;
    EXPECT_TRUE(std::regex_match(tw::toAnsi(name), std::regex(".*\\\\Tidewell [0-9]{1,2}-[0-9]{1,2}-[0-9]{4} "
                                                              "[0-9]{1,2}-[0-9]{1,2}\\.pst")))
        << tw::toAnsi(name);
    EXPECT_EQ(0u, name.find(dir.path() + L"\\Tidewell ")) << tw::toAnsi(name);
}
