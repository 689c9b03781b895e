// Step 3 on generated databases: what the listing shows, how check marks
// propagate, what Next records, and Exit during a long listing.
#include "Child.h"
#include "DxlWriter.h"
#include "Generators.h"
#include "PageFixture.h"
#include "TestEnv.h"
#include "common/WizardState.h"
#include "framework/Text.h"
#include "shell/WizardApp.h"
#include "source/FolderPage.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace guitest;

namespace {

class FolderPageTest : public PageTest {
protected:
    void SetUp() override {
        PageTest::SetUp();
        wizardState().sourcePath = dir.file(L"mail.nsf");
        ASSERT_TRUE(notesgen::writeSampleMail(tw::toAnsi(wizardState().sourcePath)));
    }

    // Runs Step 3 on this thread while `robot` drives it.
    INT_PTR runStepThree(const std::function<void(HWND page, HWND tree)>& robot) {
        std::thread driver([&] {
            HWND page = need(wizard::waitForStep(3, GetCurrentProcessId()), "Step 3");
            robot(page, robot::control(page, IDC_FOLDERS_TREE));
        });
        Ctreedlg page(nullptr);
        INT_PTR result = page.DoModal();
        driver.join();
        return result;
    }

    static std::string outline(HWND tree) {
        std::string out;
        for (const robot::TreeItem& item : robot::treeItems(tree))
            out += std::string(static_cast<size_t>(item.depth) * 2, ' ') + tw::toUtf8(item.text) +
                   (item.checked ? " [x]" : "") + (item.bold ? " *" : "") + "\n";
        return out;
    }

};

std::vector<std::wstring> selected() {
    return {wizardState().selectedFolders.begin(), wizardState().selectedFolders.end()};
}

} // namespace

TEST_F(FolderPageTest, MailFoldersUnderTheirPlainNames) {
    runStepThree([&](HWND page, HWND tree) {
        waitForListing(page);
        // System folders by their plain names; "Inbox" shared by "($Inbox)"
        // and the folder Inbox; names in parentheses left out; "Work" and
        // "work" apart; "Projects" made for "Projects\2007".
        EXPECT_EQ("Lotus Notes\n  Inbox\n  Sent\n  Drafts\n  All\n  Trash\n  Work\n  work\n  Projects\n    2007\n"
                  "  \xD0\x9F\xD0\xBE \xD1\x82\xD0\xB5\xD0\xBC\xD0\xB5\n",
                  outline(tree));
        EXPECT_FALSE(robot::isVisible(page, IDC_FOLDERS_WAIT));
        EXPECT_FALSE(robot::isVisible(page, IDC_FOLDERS_PROGRESS));
        EXPECT_TRUE(robot::isEnabled(page, IDC_FOLDERS_BACK));
        robot::click(page, IDC_FOLDERS_BACK);
    });
}

TEST_F(FolderPageTest, ASourcePathOfTwoHundredFiftyNineCharactersIsListed) {
    // The longest path a program may use, as the conversion takes it.
    const std::wstring base = dir.path() + L"\\";
    const std::wstring source = base + std::wstring(259 - base.size() - 4, L's') + L".nsf";
    ASSERT_EQ(259u, source.size());
    ASSERT_TRUE(CopyFileW(wizardState().sourcePath.c_str(), source.c_str(), FALSE));
    wizardState().sourcePath = source;
    runStepThree([&](HWND page, HWND tree) {
        waitForListing(page);
        EXPECT_EQ("Lotus Notes\n  Inbox\n  Sent\n  Drafts\n  All\n  Trash\n  Work\n  work\n  Projects\n    2007\n"
                  "  \xD0\x9F\xD0\xBE \xD1\x82\xD0\xB5\xD0\xBC\xD0\xB5\n",
                  outline(tree));
        robot::click(page, IDC_FOLDERS_BACK);
    });
}

TEST_F(FolderPageTest, CheckMarksPropagateDownAndUp) {
    runStepThree([&](HWND page, HWND tree) {
        waitForListing(page);
        checkFolder(page, L"Projects");
        EXPECT_EQ("Lotus Notes *\n  Inbox\n  Sent\n  Drafts\n  All\n  Trash\n  Work\n  work\n  Projects [x] *\n"
                  "    2007 [x] *\n  \xD0\x9F\xD0\xBE \xD1\x82\xD0\xB5\xD0\xBC\xD0\xB5\n",
                  outline(tree));
        checkFolder(page, L"2007");
        EXPECT_EQ("Lotus Notes\n  Inbox\n  Sent\n  Drafts\n  All\n  Trash\n  Work\n  work\n  Projects\n    2007\n"
                  "  \xD0\x9F\xD0\xBE \xD1\x82\xD0\xB5\xD0\xBC\xD0\xB5\n",
                  outline(tree))
            << "unchecking the only child unchecks its parent";
        checkFolder(page, L"Lotus Notes");
        for (const robot::TreeItem& item : robot::treeItems(tree))
            EXPECT_TRUE(item.checked && item.bold) << narrow(item.text);
        checkFolder(page, L"Work");
        std::string o = outline(tree);
        EXPECT_EQ(0u, o.find("Lotus Notes *\n")) << "unchecked, still bold:\n" << o;
        EXPECT_NE(std::string::npos, o.find("  Work\n")) << o;
        // The label toggles the item open or closed, not its mark.
        HTREEITEM projects = robot::findTreeItem(tree, L"Projects");
        robot::clickTreeLabel(tree, projects);
        EXPECT_NE(std::string::npos, outline(tree).find("  Projects [x] *\n")) << outline(tree);
        robot::click(page, IDC_FOLDERS_BACK);
    });
}

TEST_F(FolderPageTest, NextRecordsTheCheckedFoldersDepthFirst) {
    runStepThree([&](HWND page, HWND tree) {
        waitForListing(page);
        checkFolder(page, L"Lotus Notes");
        robot::click(page, IDOK);
        HWND step4 = need(wizard::waitForStep(4, GetCurrentProcessId()), "Step 4");
        EXPECT_EQ((std::vector<std::wstring>{L"Lotus Notes\\Inbox\\", L"Lotus Notes\\Sent\\", L"Lotus Notes\\Drafts\\",
                                             L"Lotus Notes\\All\\", L"Lotus Notes\\Trash\\", L"Lotus Notes\\Work\\",
                                             L"Lotus Notes\\work\\", L"Lotus Notes\\Projects\\",
                                             L"Lotus Notes\\Projects\\2007\\", L"Lotus Notes\\\u041f\u043e \u0442\u0435\u043c\u0435\\"}),
                  selected());
        EXPECT_EQ(10, wizardState().selectedFolderCount);
        EXPECT_NE(std::string::npos, log().find("\r\nList of Selected NSF Folder(s) : \r\nLotus Notes\\Inbox\\\r\n"
                                                "Lotus Notes\\Sent\\\r\n"))
            << log();

        // Back, a different choice, Next: only the new choice.
        robot::click(step4, IDC_TARGET_BACK);
        EXPECT_TRUE(robot::waitUntil([&] { return IsWindowVisible(page) != FALSE; }));
        EXPECT_TRUE(wizardState().selectedFolders.empty()) << "Back on Step 4 empties the list";
        checkFolder(page, L"Lotus Notes"); // all off
        checkFolder(page, L"2007");
        robot::click(page, IDOK);
        step4 = need(wizard::waitForStep(4, GetCurrentProcessId()), "Step 4 again");
        EXPECT_EQ((std::vector<std::wstring>{L"Lotus Notes\\Projects\\", L"Lotus Notes\\Projects\\2007\\"}),
                  selected());
        robot::click(step4, IDC_TARGET_BACK);
        EXPECT_TRUE(robot::waitUntil([&] { return IsWindowVisible(page) != FALSE; }));
        robot::click(page, IDC_FOLDERS_BACK);
    });
}

TEST_F(FolderPageTest, EmptyDatabaseLeavesNothingToChoose) {
    testenv::writeFileBytes(wizardState().sourcePath, "<?xml version='1.0'?><database/>");
    runStepThree([&](HWND page, HWND tree) {
        waitForListing(page);
        EXPECT_TRUE(robot::treeItems(tree).empty());
        robot::click(page, IDOK);
        HWND box = wizard::expectMessageBox(GetCurrentProcessId(), L"Please Select Any Folder");
        EXPECT_EQ(L"Please Select Any Folder", robot::messageBoxText(box));
        EXPECT_EQ(static_cast<UINT>(MB_ICONWARNING), robot::messageBoxIcon(box));
        robot::answer(box, IDOK);
        EXPECT_TRUE(IsWindowVisible(page));
        robot::click(page, IDC_FOLDERS_BACK);
    });
    EXPECT_EQ(std::string::npos, log().find("Step 3 :"));
}

TEST_F(FolderPageTest, UnreadableSourceIsReportedAndThePageUsable) {
    testenv::writeFileBytes(wizardState().sourcePath, "this is a text file renamed to .nsf");
    runStepThree([&](HWND page, HWND tree) {
        HWND box = wizard::expectMessageBox(GetCurrentProcessId(), L"The source database could not be read.");
        std::wstring text = robot::messageBoxText(box);
        EXPECT_EQ(0u, text.find(L"The source database could not be read.")) << narrow(text);
        EXPECT_NE(std::wstring::npos, text.find(L"not a Notes database")) << narrow(text);
        robot::answer(box, IDOK);
        EXPECT_TRUE(robot::waitUntil([&] { return robot::isEnabled(page, IDOK); }));
        EXPECT_TRUE(robot::isEnabled(page, IDC_FOLDERS_BACK));
        EXPECT_FALSE(robot::isVisible(page, IDC_FOLDERS_PROGRESS));
        robot::click(page, IDC_FOLDERS_BACK);
    });
}

TEST_F(FolderPageTest, FolderNamesInEveryScriptFromAPathBeyondTheCodePage) {
    // A source whose path the ANSI code page cannot hold.
    const std::wstring source = dir.file(L"\u041f\u043e\u0447\u0442\u0430 \u65e5\u672c.nsf");
    ASSERT_TRUE(notesgen::writeMultilingualMail(tw::toAnsi(dir.file(L"scripts.nsf"))));
    ASSERT_TRUE(MoveFileW(dir.file(L"scripts.nsf").c_str(), source.c_str()));
    wizardState().sourcePath = source;
    runStepThree([&](HWND page, HWND tree) {
        waitForListing(page);
        std::vector<std::wstring> shown, expected = {L"Lotus Notes"};
        for (const robot::TreeItem& item : robot::treeItems(tree))
            shown.push_back(item.text);
        for (const notesgen::ScriptSample& s : notesgen::scriptSamples())
            expected.push_back(fromUtf8(s.folder));
        EXPECT_EQ(expected, shown);
        checkFolder(page, L"Lotus Notes");
        robot::click(page, IDOK);
        HWND step4 = need(wizard::waitForStep(4, GetCurrentProcessId()), "Step 4");
        std::vector<std::wstring> paths;
        for (size_t i = 1; i < expected.size(); ++i)
            paths.push_back(L"Lotus Notes\\" + expected[i] + L"\\");
        EXPECT_EQ(paths, selected());
        robot::click(step4, IDC_TARGET_BACK);
        EXPECT_TRUE(robot::waitUntil([&] { return IsWindowVisible(page) != FALSE; }));
        robot::click(page, IDC_FOLDERS_BACK);
    });
}

TEST_F(FolderPageTest, AddressBookOffersTheSourceFile) {
    wizardState().mode = ModeAddressBook;
    wizardState().sourcePath = L"C:\\Notes\\Data\\names.nsf";
    runStepThree([&](HWND page, HWND tree) {
        waitForListing(page);
        EXPECT_EQ("Lotus Notes\n  C:\\Notes\\Data\\names.nsf\n", outline(tree));
        EXPECT_FALSE(robot::isVisible(page, IDC_FOLDERS_WAIT));
        checkFolder(page, L"C:\\Notes\\Data\\names.nsf");
        robot::click(page, IDOK);
        HWND step4 = need(wizard::waitForStep(4, GetCurrentProcessId()), "Step 4");
        EXPECT_EQ((std::vector<std::wstring>{L"Lotus Notes\\C:\\Notes\\Data\\names.nsf\\"}), selected());
        robot::click(step4, IDC_TARGET_BACK);
        EXPECT_TRUE(robot::waitUntil([&] { return IsWindowVisible(page) != FALSE; }));
        robot::click(page, IDC_FOLDERS_BACK);
    });
}

namespace {

// A database of `folders` folders of one document each.
void writeManyFolders(const std::wstring& path, int folders) {
    notesgen::DxlWriter w(tw::toAnsi(path));
    w.beginDocument("Memo", notesgen::unidOf(1));
    w.text("Subject", "one");
    w.endDocument();
    for (int i = 0; i < folders; ++i)
        w.view("Folder " + std::to_string(i), true, {notesgen::unidOf(1)});
    w.finish();
}

} // namespace

TEST_F(FolderPageTest, FiveThousandFoldersKeepThePageResponsive) {
    writeManyFolders(wizardState().sourcePath, 5000);
    auto start = std::chrono::steady_clock::now();
    runStepThree([&](HWND page, HWND tree) {
        // While the listing runs the page answers: its bar can be read.
        int seen = -1;
        robot::waitUntil([&] {
            seen = robot::progressPosition(page, IDC_FOLDERS_PROGRESS);
            return seen > 0 || robot::isEnabled(page, IDOK);
        });
        EXPECT_GE(seen, 0);
        waitForListing(page);
        double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("listing 5,000 folders took %.2f s\n", elapsed);
        EXPECT_EQ(5001, static_cast<int>(SendMessageW(tree, TVM_GETCOUNT, 0, 0)));
        robot::click(page, IDC_FOLDERS_BACK);
    });
}

TW_CHILD_ROUTINE(folders) {
    if (args.size() < 2 || !testenv::IsolatedRegistry::adopt(args[0]))
        return 91;
    CTW_ZURadEZAApp().loadSettings();
    wizardState().mode = ModeMails;
    wizardState().sourcePath = args[1];
    Ctreedlg page(nullptr);
    page.DoModal();
    return 92; // Step 3 is never left through its end in this test
}

TEST_F(FolderPageTest, ExitDuringALongListingEndsTheProgram) {
    writeManyFolders(wizardState().sourcePath, 20000);
    child::Process wizard("folders", {registry.name(), wizardState().sourcePath});
    HWND page = need(wizard::waitForStep(3, wizard.pid()), "Step 3");
    EXPECT_TRUE(robot::waitUntil([&] { return robot::progressPosition(page, IDC_FOLDERS_PROGRESS) > 0; }))
        << "the listing is under way";
    EXPECT_FALSE(robot::isEnabled(page, IDOK)) << "Next waits for the listing";
    robot::closeWindow(page);
    HWND box = wizard::expectMessageBox(wizard.pid(), L"Are you sure you want to exit.");
    robot::answer(box, IDYES);
    EXPECT_EQ(0u, wizard.wait(15000));
}
