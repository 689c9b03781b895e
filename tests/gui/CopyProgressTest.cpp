// The backup copy dialog on its own: the overwrite question, Stop and Esc
// with their questions, and files it cannot read or write.
#include "PageFixture.h"
#include "framework/Text.h"
#include "source/CopyJobs.h"
#include "source/CopyProgress.h"

using namespace guitest;

namespace {

class CopyProgressTest : public PageTest {
protected:
    // Copies on this thread, as Steps 2 and 4 do, while `robot` acts.
    void copyWithRobot(const std::wstring& source, const std::wstring& destination,
                       const std::function<void()>& robot) {
        runWithRobot(
            [&] {
                runBackupCopy(nullptr, source, destination);
                return INT_PTR{0};
            },
            robot);
        EXPECT_TRUE(copyJobs().sources.empty() && copyJobs().destinations.empty()) << "the lists are emptied";
    }

    // The copy dialog, once shown.
    static HWND copyDialog() {
        return need(robot::waitForDialogWith(wizard::kTitle, IDC_COPY_FILE, GetCurrentProcessId()), "copy dialog");
    }

    // A question of the copy dialog by its own caption.
    static HWND question(const wchar_t* caption, const std::wstring& text, UINT icon) {
        HWND box = need(robot::waitForMessageBox(caption, GetCurrentProcessId()), "question");
        EXPECT_EQ(text, robot::messageBoxText(box));
        EXPECT_EQ(icon, robot::messageBoxIcon(box));
        return box;
    }

    // A sparse file large enough that its copy is still running when the
    // robot steps in.
    std::wstring largeSource() {
        const std::wstring path = dir.file(L"large.nsf");
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        LARGE_INTEGER end;
        end.QuadPart = 1LL << 30;
        SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
        SetEndOfFile(file);
        CloseHandle(file);
        return path;
    }

    static uint64_t sizeOf(const std::wstring& path) {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
            return 0;
        return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
};

} // namespace

TEST_F(CopyProgressTest, AnExistingDestinationIsOverwrittenOnlyOnYes) {
    const std::wstring source = dir.file(L"mail.nsf"), copy = dir.file(L"copy.nsf");
    ASSERT_TRUE(testenv::writeFileBytes(source, std::string(10000, 's')));
    const std::string longer(30000, 'd');
    ASSERT_TRUE(testenv::writeFileBytes(copy, longer));
    for (int answer : {IDNO, IDYES}) {
        copyWithRobot(source, copy, [&] {
            HWND dialog = copyDialog();
            HWND box = question(wizard::kTitle, L"File Exists, Do You Want To Overwrite", MB_ICONQUESTION);
            EXPECT_FALSE(robot::isEnabled(dialog, IDOK)) << "no Stop while it asks";
            EXPECT_EQ(L"Copying " + source, robot::controlText(dialog, IDC_COPY_FILE));
            robot::answer(box, answer);
            EXPECT_TRUE(robot::waitForGone(dialog)) << "the dialog closes by itself";
        });
        EXPECT_EQ(answer == IDYES ? std::string(10000, 's') : longer, testenv::readFileBytes(copy));
    }
}

TEST_F(CopyProgressTest, AnExitConfirmedWhileItAsksToOverwriteLeavesTheOldCopyAsItWas) {
    const std::wstring source = dir.file(L"mail.nsf"), copy = dir.file(L"copy.nsf");
    ASSERT_TRUE(testenv::writeFileBytes(source, std::string(10000, 's')));
    const std::string old(30000, 'd');
    ASSERT_TRUE(testenv::writeFileBytes(copy, old));
    copyWithRobot(source, copy, [&] {
        HWND dialog = copyDialog();
        HWND overwrite = question(wizard::kTitle, L"File Exists, Do You Want To Overwrite", MB_ICONQUESTION);
        // The question has its thread's focus: the user clicks into the
        // dialog, which has no owner to be disabled by, and presses Esc.
        robot::pressKeyOn(dialog, VK_ESCAPE);
        robot::answer(question(L"Allert!", L"Are you sure you want to exit.", MB_ICONEXCLAMATION), IDYES);
        robot::answer(overwrite, IDYES);
        EXPECT_TRUE(robot::waitForGone(dialog));
    });
    EXPECT_TRUE(old == testenv::readFileBytes(copy)) << "the old backup was touched after the exit";
}

TEST_F(CopyProgressTest, StopAsksAndYesLeavesWhatWasWrittenAndTheNextCopyRunsWhole) {
    const std::wstring source = largeSource(), copy = dir.file(L"copy.nsf");
    copyWithRobot(source, copy, [&] {
        HWND dialog = copyDialog();
        robot::click(dialog, IDOK);
        HWND box = question(L"Stop!", L"Are you sure, you want to stop this process", MB_ICONQUESTION);
        const uint64_t held = sizeOf(copy);
        EXPECT_FALSE(robot::waitUntil([&] { return sizeOf(copy) > held + 4096; }, 500)) << "held while it asks";
        robot::answer(box, IDNO);
        EXPECT_TRUE(robot::waitUntil([&] { return sizeOf(copy) > held + 4096; })) << "No goes on";
        robot::click(dialog, IDOK);
        robot::answer(question(L"Stop!", L"Are you sure, you want to stop this process", MB_ICONQUESTION), IDYES);
        EXPECT_TRUE(robot::waitForGone(dialog));
    });
    const uint64_t left = sizeOf(copy);
    EXPECT_GT(left, 0u);
    EXPECT_LT(left, 1ull << 30) << "stopped part of the way";
    EXPECT_EQ(0u, left % 4096) << "whole chunks";
    // A later copy (Step 4's) runs to its end.
    const std::wstring pst = dir.file(L"target.pst");
    ASSERT_TRUE(testenv::writeFileBytes(pst, std::string(50000, 'p')));
    copyWithRobot(pst, dir.file(L"target-copy.pst"), [&] { EXPECT_TRUE(robot::waitForGone(copyDialog())); });
    EXPECT_EQ(std::string(50000, 'p'), testenv::readFileBytes(dir.file(L"target-copy.pst")));
}

TEST_F(CopyProgressTest, EscAsksWhetherToExitAndNoIsConsumed) {
    const std::wstring source = largeSource(), copy = dir.file(L"copy.nsf");
    copyWithRobot(source, copy, [&] {
        HWND dialog = copyDialog();
        robot::pressKey(dialog, VK_ESCAPE);
        robot::answer(question(L"Allert!", L"Are you sure you want to exit.", MB_ICONEXCLAMATION), IDNO);
        EXPECT_TRUE(IsWindowVisible(dialog)) << "No keeps copying";
        robot::pressKey(dialog, VK_ESCAPE);
        robot::answer(question(L"Allert!", L"Are you sure you want to exit.", MB_ICONEXCLAMATION), IDYES);
        EXPECT_TRUE(robot::waitForGone(dialog));
    });
    EXPECT_LT(sizeOf(copy), 1ull << 30);
}

TEST_F(CopyProgressTest, ASourceHeldByAnotherProgramIsSkipped) {
    const std::wstring source = dir.file(L"held.nsf"), copy = dir.file(L"copy.nsf");
    ASSERT_TRUE(testenv::writeFileBytes(source, "held"));
    HANDLE held = CreateFileW(source.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    copyWithRobot(source, copy, [&] {
        HWND dialog = copyDialog();
        robot::answer(question(wizard::kTitle,
                               L"Your Lotus Notes or Microsoft Outlook application is opened, please close the "
                               L"application",
                               MB_ICONINFORMATION),
                      IDOK);
        EXPECT_TRUE(robot::waitForGone(dialog));
    });
    CloseHandle(held);
    EXPECT_FALSE(testenv::fileExists(copy));
}

TEST_F(CopyProgressTest, ADestinationThatCannotBeWrittenIsReportedWithItsName) {
    const std::wstring source = dir.file(L"mail.nsf"), copy = dir.file(L"gone\\copy.nsf");
    ASSERT_TRUE(testenv::writeFileBytes(source, "mail"));
    copyWithRobot(source, copy, [&] {
        HWND dialog = copyDialog();
        HWND box = need(robot::waitForMessageBox(wizard::kTitle, GetCurrentProcessId()), "error");
        const std::wstring said = robot::messageBoxText(box);
        EXPECT_EQ(0u, said.find(L"The backup copy could not be made.\r\n\r\n" + copy + L": ")) << narrow(said);
        EXPECT_EQ(static_cast<UINT>(MB_ICONSTOP), robot::messageBoxIcon(box));
        robot::answer(box, IDOK);
        EXPECT_TRUE(robot::waitForGone(dialog));
    });
    EXPECT_FALSE(testenv::fileExists(copy));
}

TEST_F(CopyProgressTest, AnEmptyFileCopiesToAnEmptyFile) {
    const std::wstring source = dir.file(L"empty.nsf"), copy = dir.file(L"copy.nsf");
    ASSERT_TRUE(testenv::writeFileBytes(source, ""));
    copyWithRobot(source, copy, [&] { EXPECT_TRUE(robot::waitForGone(copyDialog())); });
    EXPECT_TRUE(testenv::fileExists(copy));
    EXPECT_EQ("", testenv::readFileBytes(copy));
}
