// Bad input and faults through the real conversion: each run ends in a clear
// message or a clean completion, loses no message it could convert, writes
// nothing outside its own directories and leaves no file damaged.
#include "ConversionFixture.h"

#include "DxlWriter.h"
#include "Generators.h"
#include "framework/Text.h"
#include "pst/Checker.h"

#include <algorithm>
#include <map>

using namespace guitest;

namespace {

const wchar_t kNoDatabase[] = L"The source database could not be read.";
const wchar_t kNoPst[] = L"The personal folders file could not be opened in Outlook.";
const std::string k255 = std::string(251, 'n') + ".txt";
const char kGreek[] = "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC";
// Attachment names in the Western European languages (UTF-8), every letter
// one the Western code page holds; each file's contents name it.
const char* const kAccented[] = {
    "Gr\xC3\xBC\xC3\x9F" "e.txt",                           // German
    "Best\xC3\xA4tigung.pdf",                                 // German
    "na\xC3\xAFve r\xC3\xA9sum\xC3\xA9.txt",                 // French
    "se\xC3\xB1" "al a\xC3\xB1o.txt",                        // Spanish
    "a\xC3\xA7\xC3\xA3o n\xC3\xA3o.txt",                     // Portuguese
    "citt\xC3\xA0 perch\xC3\xA9.txt",                         // Italian
    "\xC3\x86r\xC3\xB8 \xC3\x85s.txt",                        // Danish, Norwegian
    "G\xC3\xB6teborg \xC3\xA5r.txt",                          // Swedish
    "p\xC3\xA4iv\xC3\xA4 ty\xC3\xB6.txt",                    // Finnish
    "\xC3\x8Dsland \xC3\xBEorp \xC3\xB0.txt",                  // Icelandic
    "co\xC3\xB6rdinatie \xC3\xA9\xC3\xA9n.txt",               // Dutch
    "l\xC2\xB7l\xC3\xAD \xC3\xA0.txt",                        // Catalan
    "\xC3\x9C" "bersicht Q3.xlsx",                            // 1 MB
};

const char kNamelessLevel[] = "Old\\\\Projects";

// A database of the awkward cases: a folder named in Greek, one with no
// documents and one with a level that has no name, a subject in Japanese,
// attachment names that try to leave their directory or name a device, one
// of 255 characters, and an attachment whose data is not base64 at all
// beside a sound one.
bool writeHostileMail(const std::string& path) {
    notesgen::DxlWriter w(path);
    std::vector<std::string> ids;
    auto memo = [&](const std::string& subject, const std::vector<std::pair<std::string, std::string>>& files,
                    bool damaged = false) {
        const std::string id = notesgen::unidOf(ids.size() + 1);
        ids.push_back(id);
        w.beginDocument("Memo", id);
        w.text("Form", "Memo");
        w.text("From", "CN=Anna Berg/O=Tidewell");
        w.textList("SendTo", {"CN=Jonas Lind/O=Tidewell"});
        w.dateTime("PostedDate", "20070307T090500,00+01");
        w.text("Subject", subject);
        w.richText("Body", {"Body of " + subject});
        if (damaged)
            w.raw("<item name='$FILE'><object><file hosttype='msdos' compression='none' flags='storedindoc' "
                  "name='broken.bin'><filedata>\n@@@ this is #not# base64 !!!\n</filedata></file></object></item>\n");
        for (const auto& f : files)
            w.attachment(f.first, f.second);
        w.endDocument();
    };
    memo("Names that try to escape",
         {{"..\\..\\escape.txt", "up"}, {"sub/dir/slash.txt", "slash"}, {"CON", "console"}, {"NUL.txt", "null"},
          {k255, "long"}});
    memo("Damaged attachment", {{"sound.txt", "sound"}}, true);
    std::vector<std::pair<std::string, std::string>> accented;
    for (const char* name : kAccented)
        accented.emplace_back(name, "contents of " + std::string(name));
    accented.back().second.resize(1024 * 1024, 'x');
    memo("Accented names", accented);
    memo("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE4\xBB\xB6\xE5\x90\x8D", {}); // Japanese
    memo("Plain", {});
    memo("Filed where Outlook makes no folder", {});
    w.view("($Inbox)", true, {ids[0], ids[1], ids[2]});
    w.view(kGreek, true, {ids[3], ids[4]});
    w.view("Empty", true, {});
    // A level without a name, which no Outlook folder can have.
    w.view(kNamelessLevel, true, {ids[5]});
    return w.finish();
}

class FaultTest : public ConversionTest {
protected:
    RunSetup hostile() {
        RunSetup s;
        s.source = dir.file(L"hostile.nsf");
        EXPECT_TRUE(writeHostileMail(tw::toAnsi(s.source)));
        s.pst = dir.file(L"Hostile.pst");
        return s;
    }

    // Every folder's name with the subjects of its messages, in order.
    static std::vector<std::string> tree(pst::Store& store, uint32_t folder, const std::string& path = "") {
        std::vector<std::string> out;
        for (uint32_t m : store.messages(folder))
            out.push_back(path + ": " + pst::subjectText(store.message(m).properties));
        for (uint32_t f : store.folder(folder).subfolders)
            if (pst::nidType(f) == pst::kNidTypeFolder) {
                std::vector<std::string> below = tree(store, f, path + "/" + store.folder(f).name);
                out.push_back(path + "/" + store.folder(f).name);
                out.insert(out.end(), below.begin(), below.end());
            }
        return out;
    }

    // A run that must be refused with `message` at its start, leaving the
    // PST exactly as it was.
    void expectRefused(const RunSetup& setup, const wchar_t* message) {
        const std::string before = testenv::readFileBytes(setup.pst);
        auto run = start(setup);
        HWND box = wizard::expectMessageBox(run->pid(), message);
        const std::wstring said = robot::messageBoxText(box);
        EXPECT_EQ(0u, said.find(message)) << narrow(said);
        robot::answer(box, IDOK);
        EXPECT_EQ(kAborted, finish(*run));
        EXPECT_TRUE(before == testenv::readFileBytes(setup.pst)) << "the PST was changed";
    }
};

} // namespace

TEST_F(FaultTest, AHostileDatabaseConvertsEveryMessageItCan) {
    RunSetup setup = hostile();
    const std::wstring greek = fromUtf8(kGreek);
    setup.folders = {L"Lotus Notes\\Inbox\\", L"Lotus Notes\\" + greek + L"\\", L"Lotus Notes\\Empty\\",
                     L"Lotus Notes\\" + tw::fromAnsi(kNamelessLevel) + L"\\"};
    auto run = start(setup);
    EXPECT_EQ(L"Conversion Completed Successfully", finish(*run));
    // The damaged attachment and the message of the folder Outlook cannot
    // make did not arrive, and the user is told.
    EXPECT_EQ(L"2 items did not arrive whole: the activity log names them.", incompleteShown);
    const std::string log = this->log();
    EXPECT_NE(std::string::npos, log.find("\r\nNot arrived whole : Inbox | Damaged attachment | attachment broken.bin | "))
        << log;
    EXPECT_NE(std::string::npos, log.find("\r\nNot arrived whole : " + std::string(kNamelessLevel) +
                                          " | messages 1 to 1 of 1 | the whole message | Cannot create the folder"))
        << log;
    EXPECT_NE(std::string::npos, log.find("\r\nItems not arrived whole : 2\r\n")) << log;

    ASSERT_TRUE(pst::checkFile(tw::toAnsi(setup.pst)).ok());
    auto store = pst::Store::open(tw::toAnsi(setup.pst));
    std::optional<uint32_t> top = folderAt(*store, {"Lotus Mails"});
    ASSERT_TRUE(top);
    std::vector<std::string> all = tree(*store, *top);
    auto count = [&](const std::string& suffix) {
        return std::count_if(all.begin(), all.end(), [&](const std::string& line) {
            return line.size() >= suffix.size() && line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0;
        });
    };
    std::string shown;
    for (const std::string& line : all)
        shown += line + "\n";
    // Five messages, each once, and the empty folder made all the same.
    EXPECT_EQ(1, count(": Names that try to escape")) << shown;
    EXPECT_EQ(1, count(": Damaged attachment")) << shown;
    EXPECT_EQ(1, count(": Accented names")) << shown;
    EXPECT_EQ(1, count(": Plain")) << shown;
    EXPECT_EQ(5, std::count_if(all.begin(), all.end(), [](const std::string& l) { return l.find(": ") != std::string::npos; }))
        << shown;
    EXPECT_EQ(1, count("/Empty")) << shown;
    EXPECT_EQ(1, count(std::string("/") + kGreek)) << shown;

    std::optional<uint32_t> inbox = folderAt(*store, {"Lotus Mails", "Inbox"});
    ASSERT_TRUE(inbox);
    std::vector<pst::MessageInfo> messages = messagesOf(*store, *inbox);
    const pst::MessageInfo* names = bySubject(messages, "Names that try to escape");
    const pst::MessageInfo* damaged = bySubject(messages, "Damaged attachment");
    ASSERT_TRUE(names && damaged);
    // Every attachment arrived, under a name that stays in its directory.
    std::vector<std::string> arrived;
    for (const pst::AttachmentInfo& a : names->attachments) {
        std::string name = textOf(a.properties, 0x3707);
        if (name.empty())
            name = textOf(a.properties, 0x3704);
        arrived.push_back(name);
        EXPECT_EQ(std::string::npos, name.find_first_of("\\/:")) << name;
        EXPECT_NE("CON", name);
        EXPECT_LE(name.size(), 255u) << name;
    }
    EXPECT_EQ(5u, arrived.size());
    // The sound attachment and the body survive the damaged one beside it.
    ASSERT_EQ(1u, damaged->attachments.size());
    EXPECT_EQ("sound.txt", textOf(damaged->attachments[0].properties, 0x3707));
    EXPECT_NE(std::string::npos, textOf(damaged->properties, 0x1000).find("Body of Damaged attachment"));
    // Accented names arrive whole, under their own names.
    const pst::MessageInfo* accented = bySubject(messages, "Accented names");
    ASSERT_TRUE(accented);
    std::map<std::string, std::string> files;
    for (const pst::AttachmentInfo& a : accented->attachments) {
        const std::vector<uint8_t> data = store->attachmentData(accented->nid, a.nid);
        files[textOf(a.properties, 0x3707)] = std::string(data.begin(), data.end());
    }
    for (const char* name : kAccented) {
        auto it = files.find(name);
        if (it == files.end()) {
            ADD_FAILURE() << name << " did not arrive";
            continue;
        }
        EXPECT_EQ(0u, it->second.find("contents of " + std::string(name))) << name;
    }
    EXPECT_EQ(1024u * 1024u, files["\xC3\x9C" "bersicht Q3.xlsx"].size());
    EXPECT_EQ(std::size(kAccented), accented->attachments.size());
    // For the independent readers: the PST, and each file as it must come out.
    keepForReaders(setup.pst, L"hostile.pst");
    const std::wstring scratch = dir.file(L"expected.bin");
    for (const char* name : kAccented)
        EXPECT_TRUE(testenv::writeFileBytes(scratch, files[name]) &&
                    testenv::copyToHostDirectory(TW_READER_DIR "/accented", scratch, fromUtf8(name)))
            << name;
    // Nothing was written beside or above the attachment directory.
    for (const wchar_t* stray : {L"escape.txt", L"..\\escape.txt", L"slash.txt", L"sub"})
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(dir.file(stray).c_str())) << narrow(stray);
}

TEST_F(FaultTest, SourcesThatAreNoDatabaseAreReportedAndTheRunAborted) {
    RunSetup sample = sampleMails();
    const std::string whole = testenv::readFileBytes(sample.source);
    const std::vector<std::pair<const char*, std::string>> sources = {
        {"text", "This is a letter, not a database.\r\n"},
        {"empty", ""},
        {"truncated", whole.substr(0, whole.size() / 2)},
        {"binary", std::string("\x00\x01\x02\xFF\xFE<database", 15)}};
    for (const auto& source : sources) {
        SCOPED_TRACE(source.first);
        RunSetup setup = sample;
        setup.source = dir.file(tw::fromAnsi(source.first) + L".nsf");
        ASSERT_TRUE(testenv::writeFileBytes(setup.source, source.second));
        setup.pst = dir.file(tw::fromAnsi(source.first) + L".pst");
        auto run = start(setup);
        HWND box = wizard::expectMessageBox(run->pid(), kNoDatabase);
        EXPECT_EQ(0u, robot::messageBoxText(box).find(kNoDatabase));
        robot::answer(box, IDOK);
        EXPECT_EQ(kAborted, finish(*run));
        EXPECT_TRUE(pst::checkFile(tw::toAnsi(setup.pst)).ok()) << "the new PST is sound";
        EXPECT_EQ(source.second, testenv::readFileBytes(setup.source)) << "the source is only read";
    }
}

TEST_F(FaultTest, PstsOutlookCannotOpenAreLeftAsTheyWere) {
    RunSetup base = sampleMails();
    base.folders = {L"Lotus Notes\\Inbox\\"};

    // An ANSI store: the header of one, which Outlook's Unicode engine
    // refuses.
    RunSetup ansi = base;
    ansi.pst = dir.file(L"Ansi.pst");
    std::string header(512, '\0');
    header.replace(0, 4, "!BDN");
    header[8] = 'S', header[9] = 'M';
    header[10] = 14; // wVer of an ANSI store
    header[14] = 1, header[15] = 1;
    ASSERT_TRUE(testenv::writeFileBytes(ansi.pst, header + std::string(20000, '\0')));
    expectRefused(ansi, kNoPst);

    // A read-only one.
    RunSetup readOnly = base;
    readOnly.pst = dir.file(L"ReadOnly.pst");
    ASSERT_TRUE(copyOutlookSample(L"tika_testPST.pst", readOnly.pst));
    ASSERT_TRUE(SetFileAttributesW(readOnly.pst.c_str(), FILE_ATTRIBUTE_READONLY));
    expectRefused(readOnly, kNoPst);
    SetFileAttributesW(readOnly.pst.c_str(), FILE_ATTRIBUTE_NORMAL);

    // One another program holds open without sharing.
    RunSetup locked = base;
    locked.pst = dir.file(L"Locked.pst");
    ASSERT_TRUE(copyOutlookSample(L"tika_testPST.pst", locked.pst));
    const std::string before = testenv::readFileBytes(locked.pst);
    {
        HANDLE held = CreateFileW(locked.pst.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, held);
        auto run = start(locked);
        HWND box = wizard::expectMessageBox(run->pid(), kNoPst);
        robot::answer(box, IDOK);
        EXPECT_EQ(kAborted, finish(*run));
        CloseHandle(held);
    }
    EXPECT_TRUE(before == testenv::readFileBytes(locked.pst)) << "the PST was changed";
}

TEST_F(FaultTest, PathsOfTwoHundredFiftyNineCharacters) {
    RunSetup setup = sampleMails();
    setup.folders = {L"Lotus Notes\\Inbox\\"};
    // The longest path a plain Windows program may use.
    const std::wstring base = dir.path() + L"\\";
    ASSERT_LT(base.size() + 8, 259u);
    const std::wstring source = base + std::wstring(259 - base.size() - 4, L's') + L".nsf";
    const std::wstring pst = base + std::wstring(259 - base.size() - 4, L'p') + L".pst";
    ASSERT_EQ(259u, source.size());
    ASSERT_TRUE(CopyFileW(setup.source.c_str(), source.c_str(), FALSE));
    setup.source = source;
    setup.pst = pst;
    auto run = start(setup);
    EXPECT_EQ(L"Conversion Completed Successfully", finish(*run));
    auto store = pst::Store::open(tw::toAnsi(pst));
    std::optional<uint32_t> inbox = folderAt(*store, {"Lotus Mails", "Inbox"});
    ASSERT_TRUE(inbox);
    EXPECT_EQ(8, store->folder(*inbox).contentCount);
}

TEST_F(FaultTest, ALogDirectoryThatDisappearsDoesNotStopTheRun) {
    const std::wstring logs = dir.file(L"logs");
    ASSERT_TRUE(CreateDirectoryW(logs.c_str(), nullptr));
    registry.setSetting(L"LogPath", logs);
    RunSetup setup = sampleMails();
    auto run = start(setup);
    step6(*run);
    // Gone as soon as the run has begun (the log is not held open).
    EXPECT_TRUE(robot::waitUntil([&] { return testenv::removeTree(logs); }));
    EXPECT_EQ(L"Conversion Completed Successfully", finish(*run));
    auto store = pst::Store::open(tw::toAnsi(setup.pst));
    std::optional<uint32_t> inbox = folderAt(*store, {"Lotus Mails", "Inbox"});
    ASSERT_TRUE(inbox);
    EXPECT_EQ(8, store->folder(*inbox).contentCount);
}
