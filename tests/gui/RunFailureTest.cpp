// Failures that leave nothing to convert end the run as aborted, and the
// user is told what could not be done in the product's or the platform's
// own words: they used to end as "Conversion Completed Successfully"
// with nothing said.
#include "ConversionFixture.h"

#include "DxlWriter.h"
#include "SizeForge.h"
#include "common/Registry.h"
#include "framework/Text.h"
#include "pst/Checker.h"

#include <filesystem>

using namespace guitest;

namespace {

// Redemption's safe mail item registered for the time being as a class
// that is no safe mail item (Outlook's application): it is created, but
// offers no interface of a safe mail item. Put back as it was, also when
// the robot abandons the test. COM reads the machine's classes.
class SafeMailItemWithoutItsInterface {
public:
    SafeMailItemWithoutItsInterface() {
        original() = readRegistryText(HKEY_LOCAL_MACHINE, kSafeMailItem, nullptr);
        const std::wstring outlook =
            readRegistryText(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Outlook.Application\\CLSID", nullptr);
        if (original().empty() || outlook.empty())
            return;
        robot::addAbandonHook(&restore);
        writeRegistryText(HKEY_LOCAL_MACHINE, kSafeMailItem, nullptr, outlook);
        changed_ = true;
    }
    ~SafeMailItemWithoutItsInterface() { restore(); }
    bool changed() const { return changed_; }

private:
    static constexpr const wchar_t* kSafeMailItem = L"Software\\Classes\\Redemption.SafeMailItem\\CLSID";
    static std::wstring& original() {
        static std::wstring text;
        return text;
    }
    static void restore() {
        if (original().empty())
            return;
        writeRegistryText(HKEY_LOCAL_MACHINE, kSafeMailItem, nullptr, original());
        original().clear();
    }
    bool changed_ = false;
};

// The process's temporary directory for as long as this lives.
class TemporaryDirectory {
public:
    explicit TemporaryDirectory(const std::wstring& to) {
        SetEnvironmentVariableW(L"TMP", to.c_str());
        SetEnvironmentVariableW(L"TEMP", to.c_str());
    }
    ~TemporaryDirectory() {
        SetEnvironmentVariableW(L"TMP", tmp_.c_str());
        SetEnvironmentVariableW(L"TEMP", temp_.c_str());
    }

private:
    static std::wstring variable(const wchar_t* name) {
        wchar_t value[MAX_PATH] = L"";
        GetEnvironmentVariableW(name, value, MAX_PATH);
        return value;
    }
    std::wstring tmp_ = variable(L"TMP"), temp_ = variable(L"TEMP");
};

class RunFailureTest : public ConversionTest {
protected:
    // Starts the run; it must stop at `what`, followed by the words of
    // whoever failed, and end as aborted.
    void expectAbortedWith(const RunSetup& setup, const wchar_t* what) {
        auto run = start(setup);
        HWND box = wizard::expectMessageBox(run->pid(), what);
        const std::wstring said = robot::messageBoxText(box);
        EXPECT_EQ(0u, said.find(what)) << narrow(said);
        EXPECT_GT(said.size(), std::wstring(what).size() + 4) << "the reason follows: " << narrow(said);
        robot::answer(box, IDOK);
        EXPECT_EQ(kAborted, finish(*run));
    }

    size_t contactsIn(const RunSetup& setup) {
        auto store = pst::Store::open(tw::toAnsi(setup.pst));
        std::optional<uint32_t> folder = folderAt(*store, {"Address Book"});
        return folder ? store->messages(*folder).size() : 0;
    }

    // Whether any message or contact arrived.
    bool converted(const RunSetup& setup) {
        if (!testenv::fileExists(setup.pst))
            return false;
        auto store = pst::Store::open(tw::toAnsi(setup.pst));
        for (const std::vector<std::string>& path : {std::vector<std::string>{"Lotus Mails", "Inbox"},
                                                     std::vector<std::string>{"Address Book"}}) {
            std::optional<uint32_t> folder = folderAt(*store, path);
            if (folder && !store->messages(*folder).empty())
                return true;
        }
        return false;
    }
};

} // namespace

TEST_F(RunFailureTest, ASafeMailItemWithoutItsInterfaceStopsTheRunBeforeAnyMessage) {
    SafeMailItemWithoutItsInterface broken;
    ASSERT_TRUE(broken.changed()) << "Redemption.SafeMailItem is not registered";
    RunSetup setup = sampleMails();
    setup.folders = {L"Lotus Notes\\Inbox\\"};
    expectAbortedWith(setup, L"The conversion could not be prepared in Outlook.");
    EXPECT_FALSE(converted(setup)) << "messages without sender, recipients, date or subject";
}

TEST_F(RunFailureTest, NoTemporaryMessageFileStopsTheRunBeforeAnyMessage) {
    RunSetup setup = sampleMails();
    setup.folders = {L"Lotus Notes\\Inbox\\"};
    TemporaryDirectory gone(dir.file(L"no such directory"));
    expectAbortedWith(setup, L"The temporary message file could not be made.");
    EXPECT_FALSE(converted(setup)) << "every message would have been dropped";
}

TEST_F(RunFailureTest, AnAddressBookThatCannotBeReadIsReported) {
    const std::wstring text = dir.file(L"letter.nsf");
    ASSERT_TRUE(testenv::writeFileBytes(text, "This is a letter, not an address book.\r\n"));
    const RunSetup setup = addressBook(text);
    expectAbortedWith(setup, L"The source database could not be read.");
    EXPECT_FALSE(converted(setup));
}

TEST_F(RunFailureTest, ANotesClientThatIsNotSetUpIsReported) {
    RunSetup mails = sampleMails();
    mails.folders = {L"Lotus Notes\\Inbox\\"};
    for (const RunSetup& setup : {mails, sampleContacts()}) {
        SCOPED_TRACE(narrow(setup.source));
        // No Notes data directory for this user: the library cannot start.
        RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Lotus\\Notes\\Installer", L"DirectoryValue");
        expectAbortedWith(setup, L"The Notes session could not be started.");
        EXPECT_FALSE(converted(setup));
    }
}

TEST_F(RunFailureTest, APersonDocumentThatCannotBeReadEndsTheRunAfterThoseBefore) {
    const RunSetup setup = addressBook(dir.file(L"names.nsf"));
    {
        notesgen::DxlWriter w(tw::toAnsi(setup.source));
        w.beginDocument("Person", notesgen::unidOf(1));
        w.textList("FullName", {"Anna Berg"});
        w.endDocument();
        // An item larger than the library reads (64 MB): found when the
        // document is read, not when the database is opened.
        w.beginDocument("Person", notesgen::unidOf(2));
        w.textList("FullName", {"Jonas Lind"});
        w.raw("<item name='Comment'><text>");
        const std::string megabyte(1 << 20, 'x');
        for (int i = 0; i < 65; ++i)
            w.raw(megabyte);
        w.raw("</text></item>");
        w.endDocument();
        ASSERT_TRUE(w.finish());
    }
    expectAbortedWith(setup, L"A person document could not be read from the source database.");
    EXPECT_EQ(1u, contactsIn(setup));
}

// A contact is saved in the profile's default store and then moved into
// the PST; when the volume of either is full, the run says so in Outlook's
// words, and the contact is not left half-way in the default store.
TEST_F(RunFailureTest, AContactThatCannotBeSavedOrMovedIsReported) {
    if (small.path().empty())
        GTEST_SKIP() << "no small volume (TW_LOW_SPACE_DRIVE)";
    for (const bool defaultStoreOnTheFullVolume : {true, false}) {
        SCOPED_TRACE(defaultStoreOnTheFullVolume ? "Save fails" : "Move fails");
        const std::wstring tag = defaultStoreOnTheFullVolume ? L"save" : L"move";
        RunSetup setup = addressBook(dir.file(L"names-" + tag + L".nsf"));
        {
            // A company name of 512 KB: the contact needs room that a
            // full volume does not have, wherever the store puts it.
            notesgen::DxlWriter w(tw::toAnsi(setup.source));
            w.beginDocument("Person", notesgen::unidOf(1));
            w.textList("FullName", {"Anna Berg"});
            w.text("CompanyName", std::string(512 * 1024, 'c'));
            w.endDocument();
            ASSERT_TRUE(w.finish());
        }
        setup.pst = small.path() + L"\\Contacts-" + tag + L".pst";
        const std::wstring defaultStorePath =
            defaultStoreOnTheFullVolume ? small.path() + L"\\Outlook-" + tag + L".pst" : defaultStore();
        setProfileValue(L"DefaultStore", defaultStorePath);
        auto run = start(setup);
        // The volume is always low; it fills up while the first question
        // is open, after the store and its folder were made.
        HWND question = wizard::expectMessageBox(run->pid(), L"Free space is less than 300 MB.");
        ASSERT_TRUE(small.fill(0));
        robot::answer(question, IDYES);
        HWND box = wizard::expectMessageBox(run->pid(), L"A contact could not be written");
        const std::wstring said = robot::messageBoxText(box);
        EXPECT_EQ(0u, said.find(L"A contact could not be written to the personal folders file.\r\n\r\n"))
            << narrow(said);
        robot::answer(box, IDOK);
        EXPECT_EQ(kAborted, finish(*run));
        small.drain();
        EXPECT_EQ(0u, contactsIn(setup));
        for (const std::wstring& pst : {setup.pst, defaultStorePath}) {
            const pst::CheckReport report = pst::checkFile(tw::toAnsi(pst));
            EXPECT_TRUE(report.ok()) << narrow(pst) << ": " << report.errors[0];
        }
        if (!defaultStoreOnTheFullVolume) {
            EXPECT_EQ(0u, defaultStoreMessages()) << "the saved contact whose move failed stays behind";
        }
    }
}

TEST_F(RunFailureTest, AFullAnsiPstEndsTheRunAndKeepsWhatArrived) {
    // Outlook 97-2002's file with room for a few messages before its 2 GB.
    RunSetup setup = generatedInbox(L"Full.pst", 20, 1024, 30000, 1);
    setup.pst = dir.file(L"pstsdk_sample2.pst");
    ASSERT_TRUE(copyOutlookSample(L"pstsdk_sample2.pst", setup.pst));
    const uint64_t end = growAnsiToItsLimit(tw::toUtf8(setup.pst), 1);
    expectAbortedWith(setup, L"The personal folders file is full: nothing more can be added to it.");
    EXPECT_EQ(end, std::filesystem::file_size(std::filesystem::path(setup.pst))) << "the file went past its format's end";
    EXPECT_TRUE(pst::checkFile(tw::toUtf8(setup.pst)).ok());
    auto store = pst::Store::open(tw::toUtf8(setup.pst));
    const std::optional<uint32_t> inbox = folderAt(*store, {"Lotus Mails", "Inbox"});
    ASSERT_TRUE(inbox);
    const size_t arrived = store->messages(*inbox).size();
    EXPECT_GE(arrived, 1u) << "the room left took messages before the end";
    EXPECT_LT(arrived, 20u);
}
