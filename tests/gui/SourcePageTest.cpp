// Step 2: the proposal from the Notes installation, the checks of Next in
// their order with their messages, and the backup copy it takes.
#include "Generators.h"
#include "PageFixture.h"
#include "framework/Text.h"
#include "source/SourcePage.h"

#include <cstdlib>

using namespace guitest;

namespace {

const wchar_t kNoSource[] = L"Source path does't exist.";
const wchar_t kSameFolder[] = L"Existing NSF file path and Backup Path are same, please specify different path.";

class SourcePageTest : public PageTest {
protected:
    // Next, expecting the message and the page to stay with nothing logged.
    void nextRefused(HWND page, const std::wstring& text, UINT icon = MB_ICONINFORMATION) {
        robot::click(page, IDC_SOURCE_NEXT);
        expectMessage(text, icon);
        EXPECT_TRUE(IsWindowVisible(page)) << "the page stays";
        EXPECT_EQ(std::string::npos, log().find("Step 2 :")) << narrow(text);
    }
    // Next, expecting Step 3; then back to Step 2.
    void nextAccepted(HWND page) {
        robot::click(page, IDC_SOURCE_NEXT);
        HWND step3 = need(wizard::waitForStep(3, GetCurrentProcessId()), "Step 3");
        waitForListing(step3);
        robot::click(step3, IDC_FOLDERS_BACK);
        EXPECT_TRUE(robot::waitForGone(step3));
        EXPECT_TRUE(robot::waitUntil([&] { return IsWindowVisible(page) != FALSE; }));
    }
    void leave(HWND page) { robot::click(page, IDC_SOURCE_BACK); }
};

} // namespace

TEST_F(SourcePageTest, MailsProposeTheFirstDatabaseTheMailDirectoryLists) {
    CreateDirectoryW(dir.file(L"mail").c_str(), nullptr);
    for (const wchar_t* name : {L"mail\\zoe.nsf", L"mail\\anna.nsf", L"mail\\notes.txt"})
        ASSERT_TRUE(testenv::writeFileBytes(dir.file(name), "x"));
    WIN32_FIND_DATAW first;
    HANDLE find = FindFirstFileW(dir.file(L"mail\\*.nsf").c_str(), &first);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    FindClose(find);
    const std::wstring expected = dir.path() + L"\\mail\\" + first.cFileName;
    runPage<CSourceDld>(2, [&](HWND page) {
        EXPECT_EQ(expected, robot::controlText(page, IDC_SOURCE_PATH));
        // No path box takes more than the longest path a program may use.
        for (int box : {IDC_SOURCE_PATH, IDC_SOURCE_BACKUP_PATH})
            EXPECT_EQ(259, SendDlgItemMessageW(page, box, EM_GETLIMITTEXT, 0, 0)) << box;
        EXPECT_FALSE(robot::isChecked(page, IDC_SOURCE_BACKUP));
        EXPECT_FALSE(robot::isEnabled(page, IDC_SOURCE_BACKUP_BROWSE));
        robot::click(page, IDC_SOURCE_BACKUP);
        EXPECT_TRUE(robot::waitUntil([&] { return robot::isEnabled(page, IDC_SOURCE_BACKUP_BROWSE); }));
        leave(page);
    });
    EXPECT_EQ(expected, wizardState().sourcePath);
}

TEST_F(SourcePageTest, AnAddressBookProposesNamesNsfUnchecked) {
    wizardState().mode = ModeAddressBook;
    runPage<CSourceDld>(2, [&](HWND page) {
        EXPECT_EQ(dir.path() + L"\\names.nsf", robot::controlText(page, IDC_SOURCE_PATH));
        leave(page);
    });
}

TEST_F(SourcePageTest, WithoutNotesTheUserIsToldAndNothingIsProposed) {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Lotus");
    runWithRobot(
        [] {
            CSourceDld page(nullptr);
            return page.DoModal();
        },
        [&] {
            expectMessage(L"Lotus Notes not found installed or corrupted. Please install Lotus Notes & re-run "
                          L"conversion Application",
                          0);
            HWND page = need(wizard::waitForStep(2, GetCurrentProcessId()), "Step 2");
            EXPECT_EQ(L"", robot::controlText(page, IDC_SOURCE_PATH));
            leave(page);
        });
    EXPECT_EQ(L"", wizardState().sourcePath);
}

TEST_F(SourcePageTest, NextWantsAnExistingDatabaseByItsExtension) {
    const std::wstring upper = dir.file(L"MAIL.NSF");
    ASSERT_TRUE(notesgen::writeSampleMail(tw::toAnsi(upper)));
    for (const wchar_t* name : {L"mail.nsf.bak", L"mail"})
        ASSERT_TRUE(testenv::writeFileBytes(dir.file(name), "x"));
    runPage<CSourceDld>(2, [&](HWND page) {
        for (const wchar_t* name : {L"mail.nsf.bak", L"mail", L"missing.nsf"}) {
            robot::setText(page, IDC_SOURCE_PATH, dir.file(name));
            nextRefused(page, kNoSource);
        }
        robot::setText(page, IDC_SOURCE_PATH, L"");
        nextRefused(page, kNoSource);
        // Typed, not browsed: the database Step 3 opens.
        robot::setText(page, IDC_SOURCE_PATH, upper);
        nextAccepted(page);
        leave(page);
    });
    EXPECT_EQ(upper, wizardState().sourcePath);
    EXPECT_NE(std::string::npos, log().find("\r\nStep 2 :\r\n-------\r\nNSF Source Path : " + tw::toAnsi(upper) +
                                            "\r\nBackup NSF Path : "))
        << log();
}

TEST_F(SourcePageTest, TheBackupFolderIsCheckedThenTheCopyTaken) {
    const std::wstring source = dir.file(L"mail.nsf");
    ASSERT_TRUE(notesgen::writeSampleMail(tw::toAnsi(source)));
    const std::wstring backup = dir.file(L"Backup");
    CreateDirectoryW(backup.c_str(), nullptr);
    std::wstring otherCase = dir.path() + L"\\";
    for (wchar_t& c : otherCase)
        c = static_cast<wchar_t>(c == towupper(c) ? towlower(c) : towupper(c));
    runPage<CSourceDld>(2, [&](HWND page) {
        robot::setText(page, IDC_SOURCE_PATH, source);
        robot::click(page, IDC_SOURCE_BACKUP);
        EXPECT_TRUE(robot::waitUntil([&] { return robot::isChecked(page, IDC_SOURCE_BACKUP); }));
        for (const std::wstring& same : {dir.path(), otherCase}) {
            robot::setText(page, IDC_SOURCE_BACKUP_PATH, same);
            nextRefused(page, kSameFolder);
        }
        robot::setText(page, IDC_SOURCE_BACKUP_PATH, dir.file(L"nowhere"));
        nextRefused(page, L"Backup path does't exist.");
        robot::setText(page, IDC_SOURCE_BACKUP_PATH, backup);
        nextAccepted(page); // through the copy dialog, which closes itself
        leave(page);
    });
    EXPECT_EQ(testenv::readFileBytes(source), testenv::readFileBytes(backup + L"\\mail.nsf"));
    EXPECT_NE(std::string::npos, log().find("NSF Source Path : " + tw::toAnsi(source) +
                                            "\r\nBackup NSF Path : " + tw::toAnsi(backup)))
        << log();
}

TEST_F(SourcePageTest, FreeSpaceEqualToTheFileIsNotEnough) {
    const char* drive = std::getenv("TW_LOW_SPACE_DRIVE");
    if (!drive || !*drive)
        GTEST_SKIP() << "no small volume (TW_LOW_SPACE_DRIVE)";
    const std::wstring backup = tw::fromAnsi(drive) + L"\\";
    ULARGE_INTEGER available{}, total{}, free{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(backup.c_str(), &available, &total, &free));
    // A sparse source exactly as large as the volume's free space.
    const std::wstring source = dir.file(L"big.nsf");
    HANDLE file = CreateFileW(source.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(free.QuadPart);
    SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
    runPage<CSourceDld>(2, [&](HWND page) {
        robot::setText(page, IDC_SOURCE_PATH, source);
        robot::click(page, IDC_SOURCE_BACKUP);
        robot::setText(page, IDC_SOURCE_BACKUP_PATH, backup);
        nextRefused(page, L"Not enough space at the destination. Please select different location.", MB_ICONERROR);
        leave(page);
    });
}
