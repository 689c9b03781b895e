// How runs end when the machine is not as hoped: Outlook missing, little
// free space where the PST is (a small volume mapped as a Wine drive by
// build.sh), and a PST that already holds Outlook's own items.
#include "ConversionFixture.h"

#include "common/Registry.h"
#include "framework/Text.h"
#include "pst/Checker.h"

#include <algorithm>
#include <cstdlib>

using namespace guitest;

namespace {

const wchar_t kLowSpace[] = L"Free space is less than 300 MB. Are you sure you want to continue.";

// Outlook's ProgID taken out of the machine's classes for as long as this
// lives, and put back as it was, also when the robot abandons the test.
// COM reads the machine's classes, not the test's redirected
// HKEY_CLASSES_ROOT, so this is the real thing.
class OutlookUnregistered {
public:
    OutlookUnregistered() {
        description() = readRegistryText(HKEY_LOCAL_MACHINE, kKey, nullptr);
        clsid() = readRegistryText(HKEY_LOCAL_MACHINE, (std::wstring(kKey) + L"\\CLSID").c_str(), nullptr);
        if (clsid().empty())
            return;
        robot::addAbandonHook(&restore);
        // Deletes the key itself with everything under it.
        removed_ = RegDeleteTreeW(HKEY_LOCAL_MACHINE, kKey) == ERROR_SUCCESS;
    }
    ~OutlookUnregistered() { restore(); }
    bool removed() const { return removed_; }

private:
    static constexpr const wchar_t* kKey = L"Software\\Classes\\Outlook.Application";
    static std::wstring& description() {
        static std::wstring text;
        return text;
    }
    static std::wstring& clsid() {
        static std::wstring text;
        return text;
    }
    static void restore() {
        if (clsid().empty())
            return;
        set(kKey, description());
        set(std::wstring(kKey) + L"\\CLSID", clsid());
        clsid().clear();
    }
    static void set(const std::wstring& path, const std::wstring& text) {
        writeRegistryText(HKEY_LOCAL_MACHINE, path.c_str(), nullptr, text);
    }
    bool removed_ = false;
};

class RunOutcomeTest : public ConversionTest {
protected:
    // The sample mail database with only its Inbox chosen: eight messages.
    RunSetup inboxOnly() {
        RunSetup s = sampleMails();
        s.folders = {L"Lotus Notes\\Inbox\\"};
        return s;
    }

    // The Inbox run with its PST in a directory of this test's own on the
    // small volume; false when there is no such volume, and the test is
    // then skipped.
    bool lowSpaceRun(RunSetup& setup) {
        if (small.path().empty())
            return false;
        setup = inboxOnly();
        setup.pst = small.path() + L"\\Low.pst";
        return true;
    }

    HWND lowSpaceQuestion(child::Process& run) {
        HWND box = wizard::expectMessageBox(run.pid(), kLowSpace);
        EXPECT_EQ(kLowSpace, robot::messageBoxText(box));
        EXPECT_EQ(static_cast<UINT>(MB_ICONQUESTION), robot::messageBoxIcon(box));
        return box;
    }

    // Starts the run and answers the low-space question Yes four times (the
    // fourth ends the run); the completion dialog's text.
    std::wstring runAnsweringYesFourTimes(const RunSetup& setup) {
        auto run = start(setup);
        for (int answer = 1; answer <= 4; ++answer) {
            HWND box = lowSpaceQuestion(*run);
            robot::answer(box, IDYES);
            robot::waitForGone(box);
        }
        return finish(*run);
    }

    int inboxCount(const std::wstring& pst) {
        auto store = pst::Store::open(tw::toAnsi(pst));
        std::optional<uint32_t> inbox = folderAt(*store, {"Lotus Mails", "Inbox"});
        return inbox ? store->folder(*inbox).contentCount : -1;
    }
};

} // namespace

TEST_F(RunOutcomeTest, OutlookMissingIsReportedAndTheRunAborted) {
    OutlookUnregistered missing;
    ASSERT_TRUE(missing.removed()) << "the stand-in is not registered as Outlook.Application";
    RunSetup setup = inboxOnly();
    auto run = start(setup);
    const wchar_t text[] = L"Microsoft Outlook not found installed or corrupted. Please install Microsoft Outlook & "
                           L"re-run conversion Application";
    HWND box = wizard::expectMessageBox(run->pid(), text);
    EXPECT_EQ(text, robot::messageBoxText(box));
    EXPECT_EQ(0u, robot::messageBoxIcon(box)) << "no icon";
    robot::answer(box, IDOK);
    EXPECT_EQ(kAborted, finish(*run));
    EXPECT_FALSE(testenv::fileExists(setup.pst)) << "nothing was converted";
    const std::string log = this->log();
    EXPECT_NE(std::string::npos, log.find("\r\n\r\nStep 6 :\r\n-------\r\nNo. of folder selected : 1\r\n"
                                          "Current Progress : 0\r\nOverall Progress : 0\r\nConversion aborted"))
        << log;
}

TEST_F(RunOutcomeTest, ALogonThatFailsIsReportedWithOutlooksWordsAndTheRunAborted) {
    // A profile whose default store is damaged: Outlook cannot log on.
    ASSERT_TRUE(testenv::writeFileBytes(defaultStore(), "not a personal folders file"));
    for (bool contacts : {false, true}) {
        SCOPED_TRACE(contacts ? "contacts" : "mails");
        RunSetup setup = contacts ? sampleContacts() : inboxOnly();
        if (!contacts)
            setup.pst = dir.file(L"Mails.pst");
        auto run = start(setup);
        const wchar_t text[] = L"Outlook could not log on to its profile.";
        HWND box = wizard::expectMessageBox(run->pid(), text);
        const std::wstring said = robot::messageBoxText(box);
        EXPECT_EQ(0u, said.find(text)) << narrow(said);
        EXPECT_GT(said.size(), std::wstring(text).size() + 4) << "Outlook's words follow: " << narrow(said);
        robot::answer(box, IDOK);
        EXPECT_EQ(kAborted, finish(*run));
        EXPECT_FALSE(testenv::fileExists(setup.pst)) << "nothing was converted";
    }
}

TEST_F(RunOutcomeTest, ASecureTemporaryFolderOfTheUsersOwnIsNeverEmptied) {
    // A drive's root named as Outlook's secure temporary folder: the spare
    // volume's, so that nothing but this test's file is at stake.
    const char* drive = std::getenv("TW_LOW_SPACE_DRIVE");
    if (!drive || !*drive)
        GTEST_SKIP() << "no spare volume whose root may be named (TW_LOW_SPACE_DRIVE)";
    const std::wstring root = tw::fromAnsi(drive) + L"\\";
    const std::wstring kept = root + L"the user's own.txt";
    ASSERT_TRUE(testenv::writeFileBytes(kept, "mine"));
    writeRegistryText(HKEY_CURRENT_USER, L"Software\\Microsoft\\Office\\11.0\\Outlook\\Security",
                      L"OutlookSecureTempFolder", root);
    setVersion(L"11.0.8169.0"); // the release whose folder is emptied after every message
    auto run = start(inboxOnly());
    EXPECT_EQ(L"Conversion Completed Successfully", finish(*run));
    EXPECT_EQ("mine", testenv::readFileBytes(kept)) << "a file in the drive's root was deleted";
    // The volume's files (this one, and Outlook's copies of attachments
    // that the run rightly left) go, so that the room is there for others.
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((root + L"*").c_str(), &found);
    for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &found))
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            DeleteFileW((root + found.cFileName).c_str());
    if (find != INVALID_HANDLE_VALUE)
        FindClose(find);
    EXPECT_EQ(1, count(log(), "The secure temporary folder \"" + narrow(root) + "\" was not emptied")) << log();
}

TEST_F(RunOutcomeTest, LowSpaceAsksBeforeEveryMessageAndTheFourthYesEndsTheRun) {
    RunSetup setup;
    if (!lowSpaceRun(setup))
        GTEST_SKIP() << "no small volume (TW_LOW_SPACE_DRIVE)";
    EXPECT_EQ(kAborted, runAnsweringYesFourTimes(setup));
    EXPECT_EQ(3, inboxCount(setup.pst)) << "three Yes answers, three messages";
    const std::string log = this->log();
    // The Step 6 block, with the attachments of the third message that
    // are messages of their own, which are not added; then the outcome.
    const char* const kNotAdded = " | a message attached as a file is not added\r\n";
    EXPECT_NE(std::string::npos,
              log.find(std::string("No. of folder selected : 1\r\nCurrent Progress : 4\r\nOverall Progress : 1\r\n") +
                       "Not arrived whole : Inbox | Fwd: contract draft | attachment forwarded.MSG" + kNotAdded +
                       "Not arrived whole : Inbox | Fwd: contract draft | attachment notes.msgx" + kNotAdded +
                       "Items not arrived whole : 2\r\nConversion aborted"))
        << log;
}

TEST_F(RunOutcomeTest, AVolumeThatFillsUpLeavesASoundPstOfWholeMessages) {
    RunSetup setup;
    if (!lowSpaceRun(setup))
        GTEST_SKIP() << "no small volume (TW_LOW_SPACE_DRIVE)";
    // Messages of a 300 KB attachment each, and room for the new PST and
    // about one of them: the file cannot grow for the second.
    setup.source = generatedInbox(L"Big.pst", 8, 4096, 300 * 1024, 1).source;
    ASSERT_TRUE(small.fill(700 * 1024));
    EXPECT_EQ(kAborted, runAnsweringYesFourTimes(setup));
    // The copies whose move the full volume refused were not left behind.
    EXPECT_EQ(0u, defaultStoreMessages());
    const pst::CheckReport report = pst::checkFile(tw::toAnsi(setup.pst));
    ASSERT_TRUE(report.ok()) << report.errors[0];
    auto store = pst::Store::open(tw::toAnsi(setup.pst));
    std::optional<uint32_t> inbox = folderAt(*store, {"Lotus Mails", "Inbox"});
    ASSERT_TRUE(inbox);
    const std::vector<pst::MessageInfo> messages = messagesOf(*store, *inbox);
    EXPECT_GE(messages.size(), 1u);
    EXPECT_LT(messages.size(), 3u) << "the volume did fill up";
    for (const pst::MessageInfo& m : messages) {
        // Whole: its body and every attachment's data are there.
        EXPECT_FALSE(textOf(m.properties, 0x1000).empty() && textOf(m.properties, 0x1013).empty())
            << pst::subjectText(m.properties);
        for (const pst::AttachmentInfo& a : m.attachments)
            EXPECT_FALSE(store->attachmentData(m.nid, a.nid).empty()) << pst::subjectText(m.properties);
    }
}

TEST_F(RunOutcomeTest, LowSpaceAnsweredNoShowsTheCompletionDialogAtOnce) {
    RunSetup setup;
    if (!lowSpaceRun(setup))
        GTEST_SKIP() << "no small volume (TW_LOW_SPACE_DRIVE)";
    auto run = start(setup);
    HWND box = lowSpaceQuestion(*run);
    robot::answer(box, IDNO);
    EXPECT_EQ(kAborted, finish(*run));
    EXPECT_EQ(0, inboxCount(setup.pst));
    const std::string log = this->log();
    EXPECT_NE(std::string::npos, log.find("\r\n\r\nStep 6 :\r\n-------\r\nNo. of folder selected : 1\r\n"
                                          "Current Progress : 1\r\nOverall Progress : 1\r\nConversion aborted"))
        << log;
    EXPECT_EQ(1, count(log, "Conversion aborted"));
}

TEST_F(RunOutcomeTest, AnExistingPstKeepsItsItemsAndGainsTheConvertedFolder) {
    RunSetup setup = inboxOnly();
    setup.pst = dir.file(L"Existing.pst");
    ASSERT_TRUE(copyOutlookSample(L"tika_testPST.pst", setup.pst));
    // What the store held: every message outside the converted folder.
    auto contents = [](pst::Store& store) {
        return storeItems(store, [](const std::string& name) { return name == "Lotus Mails"; });
    };
    std::vector<std::string> before;
    {
        auto store = pst::Store::open(tw::toAnsi(setup.pst));
        before = contents(*store);
    }
    ASSERT_FALSE(before.empty());

    auto run = start(setup);
    EXPECT_EQ(L"Conversion Completed Successfully", finish(*run));
    auto store = pst::Store::open(tw::toAnsi(setup.pst));
    EXPECT_EQ("Tidewell Conversion Folder", store->displayName());
    EXPECT_EQ(before, contents(*store));
    std::optional<uint32_t> inbox = folderAt(*store, {"Lotus Mails", "Inbox"});
    ASSERT_TRUE(inbox);
    EXPECT_EQ(8, store->folder(*inbox).contentCount);
}

TEST_F(RunOutcomeTest, AFileThatIsNoPstIsReportedAndLeftAsItWas) {
    RunSetup setup = inboxOnly();
    setup.pst = dir.file(L"Notes.pst");
    const std::string text = "These are my notes, not a personal folders file.\r\n";
    ASSERT_TRUE(testenv::writeFileBytes(setup.pst, text));
    auto run = start(setup);
    HWND box = wizard::expectMessageBox(run->pid(), L"The personal folders file could not be opened in Outlook.");
    const std::wstring said = robot::messageBoxText(box);
    EXPECT_EQ(0u, said.find(L"The personal folders file could not be opened in Outlook.\r\n\r\n")) << narrow(said);
    EXPECT_GT(said.size(), 62u) << "Outlook's own words follow";
    robot::answer(box, IDOK);
    EXPECT_EQ(kAborted, finish(*run));
    EXPECT_EQ(text, testenv::readFileBytes(setup.pst));
}

TEST_F(RunOutcomeTest, AContactsFolderThatCannotBeMadeIsReported) {
    const RunSetup setup = sampleContacts(L"Taken.pst");
    {
        // The name is taken already: Outlook refuses a second folder of it.
        auto store = pst::Store::create(tw::toAnsi(setup.pst), "Personal Folders");
        store->createFolder(store->ipmSubtree(), "Address Book", "IPF.Contact");
        store->commit();
    }
    auto run = start(setup);
    HWND box = wizard::expectMessageBox(run->pid(), L"The contacts folder could not be made");
    const std::wstring said = robot::messageBoxText(box);
    EXPECT_EQ(0u, said.find(L"The contacts folder could not be made in the personal folders file.")) << narrow(said);
    robot::answer(box, IDOK);
    EXPECT_EQ(kAborted, finish(*run));
    auto store = pst::Store::open(tw::toAnsi(setup.pst));
    EXPECT_EQ(0, store->folder(*folderAt(*store, {"Address Book"})).contentCount) << "nothing converted";
}
