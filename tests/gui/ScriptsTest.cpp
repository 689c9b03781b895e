// Every script arrives: a mailbox and an address book whose texts are
// Greek, Cyrillic, Czech, German, Arabic, Hebrew, Japanese, Chinese, Korean
// and beyond the Basic Multilingual Plane, converted under the English
// locale, arrive exactly; and the independent readers are given what they
// must find.
#include "ConversionFixture.h"

#include "Generators.h"
#include "framework/Text.h"
#include "pst/Checker.h"

using namespace guitest;

namespace {

using notesgen::ScriptSample;

class ScriptsTest : public ConversionTest {
protected:
    // The multilingual mail database, every folder chosen, into `pst` in
    // the test's directory; no source when it could not be written.
    RunSetup multilingualMails(const wchar_t* pst) {
        RunSetup setup;
        setup.source = dir.file(L"scripts.nsf");
        if (!notesgen::writeMultilingualMail(tw::toAnsi(setup.source)))
            setup.source.clear();
        setup.pst = dir.file(pst);
        for (const ScriptSample& s : notesgen::scriptSamples())
            setup.folders.push_back(L"Lotus Notes\\" + fromUtf8(s.folder) + L"\\");
        return setup;
    }

    // What the readers must find of each sample, one "kind<TAB>text" a
    // line, and each attachment as it must come out.
    void keepExpectationsForReaders(bool contacts) {
        std::string lines;
        for (const ScriptSample& s : notesgen::scriptSamples()) {
            const std::string name = notesgen::scriptSampleFullName(s);
            if (contacts) {
                lines += std::string("person\t") + name + "\ncompany\t" + s.folder + "\n";
                continue;
            }
            lines += std::string("folder\t") + s.folder + "\nsubject\t" + s.subject + "\nsender\t" + name +
                     "/Tidewell\nbody\t" + s.body + "\nattachment\t" + s.attachment + "\n";
            const std::wstring scratch = dir.file(L"expected.bin");
            EXPECT_TRUE(testenv::writeFileBytes(scratch, notesgen::scriptSampleAttachment(s)) &&
                        testenv::copyToHostDirectory(TW_READER_DIR "/scripts-files", scratch, fromUtf8(s.attachment)))
                << s.attachment;
        }
        const std::wstring file = dir.file(L"expected.txt");
        EXPECT_TRUE(testenv::writeFileBytes(file, lines) &&
                    testenv::copyToHostDirectory(TW_READER_DIR, file,
                                                 contacts ? L"script-contacts.expected" : L"scripts.expected"));
    }
};

std::vector<std::string> recipientNames(const pst::MessageInfo& m) {
    std::vector<std::string> out;
    for (const pst::Properties& r : m.recipients)
        out.push_back(textOf(r, 0x3001));
    return out;
}

} // namespace

TEST_F(ScriptsTest, EveryTextOfAMailboxArrivesExactly) {
    RunSetup setup = multilingualMails(L"Scripts.pst");
    ASSERT_FALSE(setup.source.empty());
    const auto& samples = notesgen::scriptSamples();
    auto run = start(setup);
    EXPECT_EQ(L"Conversion Completed Successfully", finish(*run));
    EXPECT_EQ(L"", incompleteShown);
    keepForReaders(setup.pst, L"scripts.pst");
    keepExpectationsForReaders(false);

    auto store = pst::Store::open(tw::toAnsi(setup.pst));
    for (size_t i = 0; i < samples.size(); ++i) {
        const ScriptSample& s = samples[i];
        SCOPED_TRACE(s.language);
        const std::optional<uint32_t> folder = folderAt(*store, {"Lotus Mails", s.folder});
        ASSERT_TRUE(folder) << s.folder;
        const std::vector<pst::MessageInfo> messages = messagesOf(*store, *folder);
        ASSERT_EQ(1u, messages.size());
        const pst::MessageInfo& m = messages[0];
        const std::string name = notesgen::scriptSampleFullName(s);
        EXPECT_EQ(s.subject, pst::subjectText(m.properties));
        EXPECT_EQ(name + "/Tidewell", textOf(m.properties, 0x0C1A)) << "the sender";
        EXPECT_EQ((std::vector<std::string>{notesgen::scriptSampleFullName(samples[(i + 1) % samples.size()]) +
                                                "/Tidewell",
                                            "Jonas Lind/Tidewell", name}),
                  recipientNames(m));
        EXPECT_EQ(std::string(s.body) + "\r\n" + s.language + ": " + s.subject, textOf(m.properties, 0x1000));
        ASSERT_EQ(1u, m.attachments.size());
        EXPECT_EQ(s.attachment, textOf(m.attachments[0].properties, 0x3707));
        const std::vector<uint8_t> data = store->attachmentData(m.nid, m.attachments[0].nid);
        EXPECT_EQ(notesgen::scriptSampleAttachment(s), std::string(data.begin(), data.end()));
    }
}

// In an ANSI file of Outlook 97-2002 every text is stored in the code page:
// what it lacks arrives as question marks, and each such text is named.
TEST_F(ScriptsTest, InAnAnsiPstWhatTheCodePageLacksIsNamed) {
    RunSetup setup = multilingualMails(L"pstsdk_sample2.pst");
    ASSERT_FALSE(setup.source.empty());
    ASSERT_TRUE(copyOutlookSample(L"pstsdk_sample2.pst", setup.pst));
    const auto& samples = notesgen::scriptSamples();
    auto run = start(setup);
    EXPECT_EQ(L"Conversion Completed Successfully", finish(*run));
    EXPECT_NE(L"", incompleteShown);
    const std::string log = this->log();
    EXPECT_NE(std::string::npos, log.find("The personal folders file is of the ANSI format (Outlook 97-2002)")) << log;
    auto fits = [](const std::string& utf8) {
        const std::wstring wide = fromUtf8(utf8.c_str());
        BOOL lost = FALSE;
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, nullptr, 0, nullptr, &lost);
        return !lost;
    };
    size_t named = 0;
    for (const ScriptSample& s : samples) {
        SCOPED_TRACE(s.language);
        // The log is in the ANSI code page too.
        const std::string folder = tw::toAnsi(fromUtf8(s.folder)), subject = tw::toAnsi(fromUtf8(s.subject));
        const std::string folderLine = "Not arrived whole : " + folder + " | the folder | letters of its name";
        const std::string subjectLine = " | letters of the subject | the personal folders file is of the ANSI";
        if (fits(s.folder)) {
            EXPECT_EQ(std::string::npos, log.find(folderLine)) << log;
        } else {
            EXPECT_NE(std::string::npos, log.find(folderLine)) << log;
            ++named;
        }
        if (!fits(s.subject)) {
            EXPECT_NE(std::string::npos, log.find(subject + subjectLine)) << log;
            ++named;
        }
    }
    EXPECT_GE(named, 8u) << "most of the scripts are beyond Windows-1252";
    EXPECT_TRUE(pst::checkFile(tw::toAnsi(setup.pst)).ok());
    auto store = pst::Store::open(tw::toAnsi(setup.pst));
    const std::optional<uint32_t> german = folderAt(*store, {"Lotus Mails", "\xC3\x9C" "berblick"});
    ASSERT_TRUE(german) << "a name Windows-1252 holds arrives whole";
    EXPECT_EQ("Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln", pst::subjectText(messagesOf(*store, *german).at(0).properties));
}

TEST_F(ScriptsTest, EveryFieldOfAnAddressBookArrivesExactly) {
    const RunSetup setup = addressBook(dir.file(L"script-names.nsf"), L"ScriptContacts.pst");
    ASSERT_TRUE(notesgen::writeMultilingualNames(tw::toAnsi(setup.source)));
    auto run = start(setup);
    EXPECT_EQ(L"Conversion Completed Successfully", finish(*run));
    keepForReaders(setup.pst, L"script-contacts.pst");
    keepExpectationsForReaders(true);

    auto store = pst::Store::open(tw::toAnsi(setup.pst));
    const std::vector<pst::MessageInfo> contacts = messagesOf(*store, *folderAt(*store, {"Address Book"}));
    const auto& samples = notesgen::scriptSamples();
    ASSERT_EQ(samples.size(), contacts.size());
    for (size_t i = 0; i < samples.size(); ++i) {
        const ScriptSample& s = samples[i];
        SCOPED_TRACE(s.language);
        const pst::Properties& p = contacts[i].properties;
        EXPECT_EQ(s.firstName, textOf(p, 0x3A06));
        EXPECT_EQ(s.lastName, textOf(p, 0x3A11));
        EXPECT_EQ(notesgen::scriptSampleFullName(s), textOf(p, 0x3001));
        EXPECT_EQ(s.folder, textOf(p, 0x3A16)) << "the company";
        EXPECT_EQ(s.subject, textOf(p, 0x3A18)) << "the department";
        EXPECT_EQ(s.body, textOf(p, 0x3A15)) << "the postal address";
    }
}
