// What a run leaves in the PST and in the log: the sample mail database
// converted through Step 6 with the Outlook stand-in, and the sample
// address book as contacts.
#include "ConversionFixture.h"

#include "DxlWriter.h"
#include "Generators.h"
#include "framework/Text.h"

using namespace guitest;

namespace {

// The UTC file time of a wall-clock time at a zone offset.
int64_t utc(WORD y, WORD mo, WORD d, WORD h, WORD mi, int zoneHours) {
    SYSTEMTIME st{y, mo, 0, d, h, mi, 0, 0};
    FILETIME ft{};
    SystemTimeToFileTime(&st, &ft);
    return static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) -
           static_cast<int64_t>(zoneHours) * 3600 * 10000000LL;
}

std::vector<std::string> names(const std::vector<pst::Properties>& rows) {
    std::vector<std::string> out;
    for (const auto& r : rows)
        out.push_back(textOf(r, 0x3001));
    return out;
}

} // namespace

TEST_F(ConversionTest, MailsArriveInAFolderTreeThatMirrorsNotes) {
    RunSetup setup = sampleMails();
    auto run = start(setup);
    EXPECT_EQ(L"Conversion Completed Successfully", finish(*run));
    // The attachments that are messages of their own are not added (once
    // in the Inbox, once in All), and the user is told.
    EXPECT_EQ(L"4 items did not arrive whole: the activity log names them.", incompleteShown);
    for (const char* line : {"Not arrived whole : Inbox | Fwd: contract draft | attachment forwarded.MSG | ",
                             "Not arrived whole : All | Fwd: contract draft | attachment notes.msgx | ",
                             "Items not arrived whole : 4\r\n"})
        EXPECT_NE(std::string::npos, log().find(line)) << line << "\n" << log();
    keepForReaders(setup.pst, L"mails.pst");
    keepSampleAttachmentsForReaders(dir.file(L"attachment.bin"));

    auto store = pst::Store::open(tw::toAnsi(setup.pst));
    EXPECT_EQ("Tidewell Conversion Folder", store->displayName());
    // One folder per selected Notes folder under "Lotus Mails"; "($Inbox)"
    // and the folder "Inbox" share one; "work" goes with "Work", which
    // Outlook takes for the same name.
    const uint32_t top = *folderAt(*store, {"Lotus Mails"});
    std::vector<std::string> tree;
    for (uint32_t f : store->folder(top).subfolders)
        if (pst::nidType(f) == pst::kNidTypeFolder)
            tree.push_back(store->folder(f).name + " " + std::to_string(store->folder(f).contentCount));
    EXPECT_EQ((std::vector<std::string>{"Inbox 8", "Sent 1", "Drafts 1", "All 16", "Trash 1", "Work 2",
                                        "Projects 0", "\xD0\x9F\xD0\xBE \xD1\x82\xD0\xB5\xD0\xBC\xD0\xB5 3"}),
              tree);
    ASSERT_TRUE(folderAt(*store, {"Lotus Mails", "Projects", "2007"}));
    EXPECT_EQ(1, store->folder(*folderAt(*store, {"Lotus Mails", "Projects", "2007"})).contentCount);

    const std::vector<pst::MessageInfo> inbox = messagesOf(*store, *folderAt(*store, {"Lotus Mails", "Inbox"}));
    for (const auto& m : inbox)
        EXPECT_EQ(0, m.properties.at(pst::tag(0x0E07, pst::PT_LONG)).int32() & 1) << "unread";
    const pst::MessageInfo* figures = bySubject(inbox, "Quarterly figures \xE2\x80\x94 \xC3\x9C" "bersicht f\xC3\xBCr M\xC3\xA4rz \xE2\x80\x94 \xE5\x9B\x9B\xE5\x8D\x8A\xE6\x9C\x9F\xE3\x81\xAE\xE6\x95\xB0\xE5\xAD\x97");
    ASSERT_TRUE(figures);
    EXPECT_EQ("Anna Berg/Sales/Tidewell/DE", textOf(figures->properties, 0x0C1A)) << "abbreviated";
    EXPECT_EQ((std::vector<std::string>{"Jonas Lind/Engineering/Tidewell/SE", "Mar\xC3\xAD" "a S\xC3\xA1nchez/Support/Tidewell/ES",
                                        "Pierre Dubois/Tidewell/FR"}),
              names(figures->recipients));
    EXPECT_EQ(utc(2007, 3, 7, 9, 5, 1), figures->properties.at(pst::tag(0x0039, pst::PT_SYSTIME)).int64());
    EXPECT_EQ("Hello Jonas, hello Mar\xC3\xAD" "a,\r\nthe figures for the first quarter are attached.\r\nKind regards, Anna",
              textOf(figures->properties, 0x1000));
    ASSERT_EQ(1u, figures->attachments.size());
    EXPECT_EQ("figures.csv", textOf(figures->attachments[0].properties, 0x3707));
    std::vector<uint8_t> csv = store->attachmentData(figures->nid, figures->attachments[0].nid);
    EXPECT_EQ(0, std::string(csv.begin(), csv.end()).find("Quarter;Region;Revenue\r\nQ1;North;"));

    // ".MSG" is detached but not added; "msgx" is not added either (four
    // characters from the last dot); the binary one arrives byte for byte.
    const pst::MessageInfo* forwarded = bySubject(inbox, "Fwd: contract draft");
    ASSERT_TRUE(forwarded);
    ASSERT_EQ(1u, forwarded->attachments.size());
    EXPECT_EQ("scan.bin", textOf(forwarded->attachments[0].properties, 0x3707));
    std::vector<uint8_t> scan = store->attachmentData(forwarded->nid, forwarded->attachments[0].nid);
    ASSERT_EQ(200000u, scan.size());
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(i, scan[static_cast<size_t>(i)]);
    EXPECT_EQ(2, static_cast<int>(names(forwarded->recipients).size() - 2)) << "two To, two Cc";

    // "<HTML> " makes an HTML body; "<html> " does not.
    const pst::MessageInfo* news = bySubject(inbox, "Newsletter: spring edition");
    ASSERT_TRUE(news && news->properties.count(pst::tag(0x1013, pst::PT_BINARY)));
    const pst::MessageInfo* lower = bySubject(inbox, "Plain, though it looks like HTML");
    ASSERT_TRUE(lower);
    EXPECT_EQ(0u, lower->properties.count(pst::tag(0x1013, pst::PT_BINARY)));
    EXPECT_EQ("<html> this is not taken as HTML", textOf(lower->properties, 0x1000));
    // Two posted dates make "Invalid DateTime": no date at all.
    const pst::MessageInfo* twoDates = bySubject(inbox, "Two posted dates");
    ASSERT_TRUE(twoDates);
    EXPECT_EQ(0u, twoDates->properties.count(pst::tag(0x0039, pst::PT_SYSTIME)));
    // No subject line, no subject; a SendTo without values, no recipients.
    EXPECT_TRUE(bySubject(inbox, ""));
    const pst::MessageInfo* reminder = bySubject(inbox, "Reminder to myself");
    ASSERT_TRUE(reminder);
    EXPECT_TRUE(reminder->recipients.empty());
    store.reset();

    // The staging notes are gone from the default store, and so are the
    // detached files and the header file.
    auto defaults = pst::Store::open(tw::toAnsi(defaultStore()));
    EXPECT_TRUE(defaults->messages(*defaults->findSubfolder(defaults->ipmSubtree(), "Notes")).empty());
    EXPECT_FALSE(testenv::fileExists(dir.file(L"Attachment"))) << "emptied and removed by OK";

    const std::string text = log();
    EXPECT_NE(std::string::npos, text.find("\r\nStep 6 :\r\n-------\r\nNo. of folder selected : 10\r\n"
                                           "Current Progress : 3\r\nOverall Progress : 10"))
        << text;
    EXPECT_EQ(1, count(text, "\r\nConversion completed successfully"));
}

TEST_F(ConversionTest, PersonsBecomeContactsWithTheirFields) {
    const RunSetup setup = sampleContacts();
    auto run = start(setup);
    EXPECT_EQ(L"Conversion Completed Successfully", finish(*run));
    // Two birthdays that are no single date are left out, and the user is
    // told (in both Step 6 blocks of an address book run).
    EXPECT_EQ(L"2 items did not arrive whole: the activity log names them.", incompleteShown);
    EXPECT_EQ(2, count(log(), "Not arrived whole : Address Book | Jonas Lind | field Birthday | not a date: ")) << log();
    EXPECT_EQ(2, count(log(), "Not arrived whole : Address Book | Pierre Dubois | field Birthday | ")) << log();
    EXPECT_EQ(2, count(log(), "Items not arrived whole : 2\r\n")) << log();
    keepForReaders(setup.pst, L"contacts.pst");

    auto store = pst::Store::open(tw::toAnsi(setup.pst));
    const uint32_t folder = *folderAt(*store, {"Address Book"});
    EXPECT_EQ("IPF.Contact", store->folder(folder).containerClass);
    std::vector<pst::MessageInfo> people = messagesOf(*store, folder);
    ASSERT_EQ(5u, people.size()) << "a person with no contact items is a contact too";
    auto person = [&](const std::string& fullName) -> const pst::Properties* {
        for (const auto& p : people)
            if (textOf(p.properties, 0x3001) == fullName)
                return &p.properties;
        return nullptr;
    };
    const pst::Properties* anna = person("CN=Anna Berg/OU=Sales/O=Tidewell/C=DE");
    ASSERT_TRUE(anna) << "the first FullName value, as stored";
    EXPECT_EQ("Anna", textOf(*anna, 0x3A06));
    EXPECT_EQ("Berg", textOf(*anna, 0x3A11));
    EXPECT_EQ("K", textOf(*anna, 0x3A44));
    EXPECT_EQ("Hafenstra\xC3\x9F" "e 12, 20457 Hamburg", textOf(*anna, 0x3A15));
    EXPECT_EQ("+49 170 1234567", textOf(*anna, 0x3A1C));
    std::optional<uint16_t> email = store->findNamedProperty(pst::psetidAddress(), 0x8083);
    ASSERT_TRUE(email);
    EXPECT_EQ("anna.berg@tidewell.example", textOf(*anna, *email));
    EXPECT_EQ(1u, anna->count(pst::tag(0x3A42, pst::PT_SYSTIME)));
    const pst::Properties* maria = person("Mar\xC3\xAD" "a S\xC3\xA1nchez");
    ASSERT_TRUE(maria);
    EXPECT_EQ("<none>", textOf(*maria, 0x3A44)) << "an empty text leaves the field unset";
    EXPECT_EQ("Espa\xC3\xB1" "a", textOf(*maria, 0x3A26));
    const pst::Properties* jonas = person("Jonas Lind");
    ASSERT_TRUE(jonas);
    EXPECT_EQ(0u, jonas->count(pst::tag(0x3A42, pst::PT_SYSTIME))) << "two birthdays make no date";
    EXPECT_EQ("+46 8 123 45", textOf(*jonas, 0x3A57)) << "the first of several values";
    const pst::Properties* pierre = person("Pierre Dubois");
    ASSERT_TRUE(pierre);
    EXPECT_EQ(0u, pierre->count(pst::tag(0x3A42, pst::PT_SYSTIME))) << "a text item is no date";
    EXPECT_EQ("12 rue de la Paix, Paris", textOf(*pierre, 0x3A15));

    // The contact conversion's own Step 6 block (folder count 1, both
    // counts 4) and the worker's.
    const std::string text = log();
    EXPECT_NE(std::string::npos, text.find("No. of folder selected : 1\r\nCurrent Progress : 4\r\nOverall Progress : 4"))
        << text;
    EXPECT_EQ(2, count(text, "\r\nStep 6 :\r\n"));
}

TEST_F(ConversionTest, AnAddressBookWithoutPersonsIsNotCompleted) {
    RunSetup setup = addressBook(dir.file(L"empty.nsf"), L"Empty.pst");
    setup.folderName = L"Nobody";
    {
        notesgen::DxlWriter w(tw::toAnsi(setup.source));
        ASSERT_TRUE(w.finish());
    }
    auto run = start(setup);
    HWND box = wizard::expectMessageBox(run->pid(), L"Please check if you have select the correct source file.");
    EXPECT_EQ(L"Please check if you have select the correct source file.", robot::messageBoxText(box));
    robot::answer(box, IDOK);
    EXPECT_EQ(L"Conversion not completed successfully", finish(*run));
    auto store = pst::Store::open(tw::toAnsi(setup.pst));
    ASSERT_TRUE(folderAt(*store, {"Nobody"})) << "the contacts folder is made, and left empty";
    EXPECT_EQ(0, store->folder(*folderAt(*store, {"Nobody"})).contentCount);
    const std::string text = log();
    EXPECT_EQ(1, count(text, "\r\nStep 6 :\r\n")) << "only the worker's block";
    EXPECT_EQ(1, count(text, "\r\nConversion not completed successfully"));
}
