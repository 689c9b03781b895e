// How the Outlook release the application reports shapes a mail run:
// early releases stage one item per folder, late ones one per message and
// restart Outlook after every 50th message of a folder; release 11 also
// empties Outlook's secure temporary folder after every message.
#include "ConversionFixture.h"

#include "DxlWriter.h"
#include "framework/Text.h"

#include <set>

using namespace guitest;

namespace {

struct Release {
    const wchar_t* version;
    unsigned starts;    // Outlook starts in a run over folders of 120 and 49
    bool emptiesSecure; // the secure temporary folder emptied
};

std::ostream& operator<<(std::ostream& out, const Release& r) { return out << narrow(r.version); }

// "($Inbox)" of 120 messages and "Later" of 49: with restarts after the
// 50th and 100th of each folder there are two; counting across folders,
// or from 0, would give three.
bool writeTwoFolders(const std::wstring& path) {
    notesgen::DxlWriter w(tw::toAnsi(path));
    std::vector<std::string> inbox, later;
    for (int i = 1; i <= 169; ++i) {
        const std::string id = notesgen::unidOf(static_cast<uint64_t>(i));
        (i <= 120 ? inbox : later).push_back(id);
        w.beginDocument("Memo", id);
        w.text("From", "CN=Sender " + std::to_string(i % 7) + "/O=Tidewell");
        w.textList("SendTo", {"CN=Anna Berg/O=Tidewell"});
        w.dateTime("PostedDate", "20070307T090500,00+01");
        w.text("Subject", "Message " + std::to_string(i));
        w.richText("Body", {"Body of message " + std::to_string(i)});
        if (i % 10 == 0)
            w.attachment("part-" + std::to_string(i) + ".txt", std::string(3000, static_cast<char>('a' + i % 26)));
        w.endDocument();
    }
    w.view("($Inbox)", true, inbox);
    w.view("Later", true, later);
    return w.finish();
}

class ReleaseClassTest : public ConversionTest, public ::testing::WithParamInterface<Release> {};

} // namespace

TEST_P(ReleaseClassTest, EveryMessageArrivesAndOutlookRestartsAsTheReleaseNeeds) {
    const Release& release = GetParam();
    setVersion(release.version);
    // Something Outlook left in its secure temporary folder before the
    // run, and a sub-folder, which is never touched.
    CreateDirectoryW(secureTemp().c_str(), nullptr);
    CreateDirectoryW((secureTemp() + L"inner").c_str(), nullptr);
    ASSERT_TRUE(testenv::writeFileBytes(secureTemp() + L"earlier.tmp", "left by Outlook"));
    ASSERT_TRUE(testenv::writeFileBytes(secureTemp() + L"inner\\kept.tmp", "in a sub-folder"));

    RunSetup setup;
    setup.source = dir.file(L"two.nsf");
    ASSERT_TRUE(writeTwoFolders(setup.source));
    setup.folders = {L"Lotus Notes\\Inbox\\", L"Lotus Notes\\Later\\"};
    setup.pst = dir.file(L"Release.pst");
    auto run = start(setup);
    EXPECT_EQ(L"Conversion Completed Successfully", finish(*run));
    EXPECT_EQ(release.starts, outlookStarts());

    auto store = pst::Store::open(tw::toAnsi(setup.pst));
    const struct {
        const char* name;
        int first, last;
    } folders[] = {{"Inbox", 1, 120}, {"Later", 121, 169}};
    for (const auto& f : folders) {
        std::optional<uint32_t> at = folderAt(*store, {"Lotus Mails", f.name});
        ASSERT_TRUE(at) << f.name;
        const std::vector<pst::MessageInfo> messages = messagesOf(*store, *at);
        // Each message its own item: no message overwrote the one before.
        std::set<std::string> subjects;
        int attached = 0;
        for (const auto& m : messages) {
            subjects.insert(pst::subjectText(m.properties));
            attached += static_cast<int>(m.attachments.size());
        }
        EXPECT_EQ(static_cast<size_t>(f.last - f.first + 1), messages.size()) << f.name;
        EXPECT_EQ(messages.size(), subjects.size()) << f.name << ": subjects repeat";
        for (int i = f.first; i <= f.last; ++i)
            EXPECT_TRUE(subjects.count("Message " + std::to_string(i))) << "missing: Message " << i;
        EXPECT_EQ((f.last / 10) - ((f.first - 1) / 10), attached) << f.name;
    }
    store.reset();

    // No staging note is left in the default store.
    auto defaults = pst::Store::open(tw::toAnsi(defaultStore()));
    EXPECT_TRUE(defaults->messages(*defaults->findSubfolder(defaults->ipmSubtree(), "Notes")).empty());

    EXPECT_EQ(!release.emptiesSecure, testenv::fileExists(secureTemp() + L"earlier.tmp"));
    EXPECT_TRUE(testenv::fileExists(secureTemp() + L"inner\\kept.tmp")) << "sub-folders are left alone";
    if (release.emptiesSecure) {
        WIN32_FIND_DATAW found;
        HANDLE find = FindFirstFileW((secureTemp() + L"*.*").c_str(), &found);
        ASSERT_NE(INVALID_HANDLE_VALUE, find);
        do
            EXPECT_TRUE(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) << "left: " << narrow(found.cFileName);
        while (FindNextFileW(find, &found));
        FindClose(find);
    }
}

INSTANTIATE_TEST_SUITE_P(Releases, ReleaseClassTest,
                         ::testing::Values(Release{L"9.0.0.8948", 1, false}, Release{L"10.0.6626.0", 1, false},
                                           Release{L"11.0.8169.0", 3, true}, Release{L"12.0.6423.1000", 3, false},
                                           // Later releases: staged per message, never restarted.
                                           Release{L"16.0.4266.1001", 1, false}),
                         [](const ::testing::TestParamInfo<Release>& info) {
                             const std::wstring v = info.param.version;
                             return "Version" + narrow(v.substr(0, v.find(L'.')));
                         });
