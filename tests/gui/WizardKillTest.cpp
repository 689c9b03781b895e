// The wizard killed at random moments of its conversions, round after round
// into one PST that Outlook made: after every kill the PST is sound, holds
// every message moved into it before the kill, in order, and every item it
// held before, unchanged; Outlook's own store opens again for the next run.
// Also: Outlook's sample PSTs updated by a whole run, kept for the
// independent readers to compare item by item.
#include "ConversionFixture.h"

#include "framework/Text.h"
#include "pst/Checker.h"

#include <map>
#include <random>

using namespace guitest;

namespace {

constexpr int kRounds = 12;

// Every message of the store outside the converted folders.
std::vector<std::string> earlierItems(pst::Store& store) {
    return storeItems(store, [](const std::string& name) { return name.compare(0, 6, "Round ") == 0 || name == "Lotus Mails"; });
}

class WizardKillTest : public ConversionTest {
protected:
    void updateOutlookSamples(std::initializer_list<const wchar_t*> names);
};

} // namespace

TEST_F(WizardKillTest, EveryKillLeavesEveryMovedMessageAndEveryEarlierItem) {
    RunSetup setup = generatedInbox(L"Killed.pst", 400, 1024, 30000, 7);
    ASSERT_TRUE(copyOutlookSample(L"tika_testPST.pst", setup.pst));
    const std::string path = tw::toAnsi(setup.pst);
    std::vector<std::string> before;
    {
        auto store = pst::Store::open(path);
        before = earlierItems(*store);
    }
    ASSERT_FALSE(before.empty());

    // A killed wizard leaves its scratch files (the message file, the
    // stand-in's copies of attachments) where it was told to keep them:
    // here, not in the user's temporary directory other tests look at.
    const std::wstring temp = dir.file(L"temp");
    ASSERT_TRUE(CreateDirectoryW(temp.c_str(), nullptr));
    struct TempRedirect {
        std::wstring tmp = variable(L"TMP"), tempVar = variable(L"TEMP");
        static std::wstring variable(const wchar_t* name) {
            wchar_t value[MAX_PATH] = L"";
            GetEnvironmentVariableW(name, value, MAX_PATH);
            return value;
        }
        ~TempRedirect() {
            SetEnvironmentVariableW(L"TMP", tmp.c_str());
            SetEnvironmentVariableW(L"TEMP", tempVar.c_str());
        }
    } restore;
    SetEnvironmentVariableW(L"TMP", temp.c_str());
    SetEnvironmentVariableW(L"TEMP", temp.c_str());
    std::mt19937 random(20261208);
    std::map<std::string, int32_t> rounds; // folder of each earlier round -> messages it kept
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const std::string folderName = "Round " + std::to_string(round);
        setup.folderName = tw::fromAnsi(folderName);
        setVersion(round % 2 ? L"11.0.8169.0" : L"10.0.6626.0");
        auto run = start(setup);
        HWND page = step6(*run);
        const int killAt = std::uniform_int_distribution<int>(1, 80)(random);
        auto position = [&] { return _wtoi(robot::controlText(page, IDC_PROGRESS_POSITION).c_str()); };
        ASSERT_TRUE(robot::waitUntil([&] { return position() >= killAt; }, 60000)) << "stuck at " << position();
        // Somewhere inside the message under way, not always at its start.
        Sleep(std::uniform_int_distribution<DWORD>(0, 40)(random));
        const int at = position();
        run->kill();

        const pst::CheckReport report = pst::checkFile(path);
        ASSERT_TRUE(report.ok()) << report.errors[0];
        auto store = pst::Store::open(path);
        EXPECT_EQ(before, earlierItems(*store));
        for (const auto& [name, count] : rounds) {
            std::optional<uint32_t> inbox = folderAt(*store, {name, "Inbox"});
            ASSERT_TRUE(inbox) << name;
            EXPECT_EQ(count, store->folder(*inbox).contentCount) << name;
        }
        std::optional<uint32_t> inbox = folderAt(*store, {folderName, "Inbox"});
        ASSERT_TRUE(inbox) << "the run was under way";
        const std::vector<uint32_t> messages = store->messages(*inbox);
        // The one under way may or may not have arrived; all before it have.
        EXPECT_GE(static_cast<int>(messages.size()), at - 1);
        EXPECT_LE(static_cast<int>(messages.size()), at);
        for (size_t i = 0; i < messages.size(); ++i) {
            const std::string subject = pst::subjectText(store->message(messages[i]).properties);
            ASSERT_EQ(0u, subject.find("Message " + std::to_string(i + 1) + " about ")) << subject;
        }
        rounds[folderName] = store->folder(*inbox).contentCount;
    }
    keepForReaders(setup.pst, L"killed.pst");
}

// Each of Outlook's files updated by a conversion of the sample's Inbox,
// kept for the readers' comparison with the file as it was.
void WizardKillTest::updateOutlookSamples(std::initializer_list<const wchar_t*> names) {
    RunSetup setup = sampleMails();
    setup.folders = {L"Lotus Notes\\Inbox\\"};
    for (const wchar_t* name : names) {
        SCOPED_TRACE(narrow(name));
        const std::wstring file = std::wstring(name) + L".pst";
        const std::wstring original = outlookSample(file.c_str());
        setup.pst = dir.file(file);
        ASSERT_TRUE(copyOutlookSample(file.c_str(), setup.pst));
        const uint32_t locked = pst::Store::open(tw::toAnsi(setup.pst))->passwordCrc();
        auto run = start(setup);
        // pstsdk_test_unicode and pstsdk_test_ansi are protected by a password too.
        if (locked)
            givePassword(passwordPrompt(*run), tw::fromAnsi(passwordWithCrc(locked)));
        EXPECT_EQ(L"Conversion Completed Successfully", finish(*run));
        EXPECT_TRUE(pst::checkFile(tw::toAnsi(setup.pst)).ok());
        EXPECT_TRUE(testenv::copyToHostDirectory(TW_READER_DIR "/original", original, file));
        EXPECT_TRUE(testenv::copyToHostDirectory(TW_READER_DIR "/updated", setup.pst, file));
    }
}

TEST_F(WizardKillTest, OutlooksOwnPstsUpdatedKeepEveryItem) {
    // Every Unicode file of Outlook's but java-libpst_passworded (which the
    // password test updates).
    updateOutlookSamples({L"tika_testPST", L"tika_testPST_variousBodyTypes", L"java-libpst_dist-list",
                          L"pstsdk_sample1", L"pstsdk_submessage", L"pstsdk_test_unicode"});
}

TEST_F(WizardKillTest, OutlooksAnsiPstsUpdatedKeepEveryItem) {
    // The ANSI files of Outlook 97-2002.
    updateOutlookSamples({L"pstsdk_sample2", L"pstsdk_test_ansi"});
}
