// The LN classes over the generated sample databases: every operation the
// wizard uses, in the order it uses them.
#include "Generators.h"
#include "LNNotes.h"
#include "Lmbcs.h"
#include "NotesTestFiles.h"

#include <gtest/gtest.h>

#include <map>

namespace {

class NotesApiTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new TempDirectory;
        ASSERT_TRUE(notesgen::writeSampleMail(dir->file("mail.nsf")));
        ASSERT_TRUE(notesgen::writeSampleNames(dir->file("names.nsf")));
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }
    void SetUp() override {
        LNSetThrowAllErrorsGlobal(0);
        ASSERT_EQ(LNNOERROR, session.Init(LNAPI_RELEASE_700));
    }
    void TearDown() override { LNSetThrowAllErrorsGlobal(0); }

    LNDatabase open(const char* name) {
        LNDatabase db;
        EXPECT_EQ(LNNOERROR, session.GetDatabase(dir->file(name), &db, ""));
        EXPECT_EQ(LNNOERROR, db.Open(0));
        return db;
    }

    // Views and folders by name, opened.
    std::map<std::string, LNViewFolder> views(const LNDatabase& db) {
        LNViewFolderArray all;
        EXPECT_EQ(LNNOERROR, db.GetViewFolders(&all, false));
        std::map<std::string, LNViewFolder> out;
        for (LNINT i = 0; i < all.GetCount(); ++i) {
            LNViewFolder v = all[i];
            EXPECT_EQ(LNNOERROR, v.Open(0));
            out[v.GetName().GetPlatformTextPtr()] = v;
        }
        return out;
    }

    LNDocument document(const LNViewFolder& view, LNINT i) {
        LNVFEntry entry;
        EXPECT_EQ(LNNOERROR, view.GetEntry(i, &entry));
        LNDocument doc;
        EXPECT_EQ(LNNOERROR, entry.GetDocument(&doc));
        EXPECT_EQ(LNNOERROR, doc.Open(0));
        return doc;
    }

    static LNString firstText(const LNDocument& doc, const char* item) {
        LNText text;
        EXPECT_EQ(LNNOERROR, doc.GetItem(item, &text)) << item;
        return text.GetCount() ? text[0] : LNString();
    }

    static TempDirectory* dir;
    LNNotesSession session;
};

TempDirectory* NotesApiTest::dir = nullptr;

} // namespace

TEST_F(NotesApiTest, ViewsAndFoldersInTheDatabasesOrder) {
    LNDatabase db = open("mail.nsf");
    LNViewFolderArray all;
    ASSERT_EQ(LNNOERROR, db.GetViewFolders(&all, false));
    std::vector<std::string> names;
    for (LNINT i = 0; i < all.GetCount(); ++i) {
        LNViewFolder v = all[i];
        ASSERT_EQ(LNNOERROR, v.Open(0));
        names.push_back(notes::lmbcsToUtf8(v.GetName().GetTextPtr()));
        v.Close();
    }
    EXPECT_EQ((std::vector<std::string>{"($Inbox)", "($Sent)", "($Drafts)", "($All)", "($Trash)", "Inbox", "Work",
                                        "work", "Projects\\2007", "(Private", "Trips (2007)",
                                        "\xD0\x9F\xD0\xBE \xD1\x82\xD0\xB5\xD0\xBC\xD0\xB5",
                                        "($Alarms)"}),
              names);
    auto v = views(db);
    EXPECT_EQ(7, v["($Inbox)"].GetEntryCount());
    EXPECT_EQ(16, v["($All)"].GetEntryCount());
    EXPECT_EQ(0, v["($Alarms)"].GetEntryCount());
    EXPECT_TRUE(v["Work"].IsFolder());
    EXPECT_FALSE(v["($All)"].IsFolder());
}

TEST_F(NotesApiTest, MemoItemsAsTheMailConversionReadsThem) {
    LNDatabase db = open("mail.nsf");
    auto v = views(db);
    LNDocument memo = document(v["($Inbox)"], 0);
    EXPECT_TRUE(memo.HasItem("From"));
    EXPECT_TRUE(memo.HasItem("from")) << "item names compare without case";
    EXPECT_FALSE(memo.HasItem("Categories"));

    LNString from = firstText(memo, "From");
    ASSERT_EQ(LNNOERROR, session.AbbreviateName(&from));
    EXPECT_STREQ("Anna Berg/Sales/Tidewell/DE", from.GetPlatformTextPtr());

    LNText sendTo;
    ASSERT_EQ(LNNOERROR, memo.GetItem("SendTo", &sendTo));
    ASSERT_EQ(2, sendTo.GetCount());
    EXPECT_STREQ("CN=Jonas Lind/OU=Engineering/O=Tidewell/C=SE", sendTo[0].GetPlatformTextPtr());
    // In the platform text: "Mar\xEDa S\xE1nchez" in Windows-1252.
    EXPECT_EQ(std::string("CN=Mar\xED" "a S\xE1nchez/OU=Support/O=Tidewell/C=ES"), sendTo[1].GetPlatformTextPtr());

    LNString subject = firstText(memo, "Subject");
    EXPECT_EQ(std::string("Quarterly figures \x97 \xDC" "bersicht f\xFCr M\xE4rz \x97 ??????"), subject.GetPlatformTextPtr());
    EXPECT_EQ(static_cast<LNINT>(std::string(subject.GetTextPtr()).size()), subject.GetBufLength());

    LNDatetimes posted;
    ASSERT_EQ(LNNOERROR, memo.GetItem("PostedDate", &posted));
    EXPECT_EQ(1, posted.GetCount());
    LNString postedText;
    ASSERT_EQ(LNNOERROR, posted.GetText(";", &postedText));
    EXPECT_FALSE(postedText.IsNull());
    EXPECT_EQ(std::string::npos, std::string(postedText.GetPlatformTextPtr()).find(';'));

    LNRichText body;
    ASSERT_EQ(LNNOERROR, memo.GetItem("Body", &body));
    LNString bodyText;
    ASSERT_EQ(LNNOERROR, body.GetText(&bodyText));
    EXPECT_EQ(std::string("Hello Jonas, hello Mar\xED" "a,\r\nthe figures for the first quarter are attached.\r\n"
                          "Kind regards, Anna"),
              bodyText.GetPlatformTextPtr());
    EXPECT_EQ(LNNOERROR, memo.Close());
}

TEST_F(NotesApiTest, ListsWithNoneOrSeveralValues) {
    LNDatabase db = open("mail.nsf");
    auto inbox = views(db)["($Inbox)"];
    LNDocument emptyTo = document(inbox, 3);
    LNText sendTo;
    ASSERT_EQ(LNNOERROR, emptyTo.GetItem("SendTo", &sendTo));
    EXPECT_EQ(0, sendTo.GetCount());
    EXPECT_FALSE(emptyTo.HasItem("CopyTo"));

    LNDocument twoDates = document(inbox, 5);
    LNDatetimes posted;
    ASSERT_EQ(LNNOERROR, twoDates.GetItem("PostedDate", &posted));
    EXPECT_EQ(2, posted.GetCount());
    LNString text;
    ASSERT_EQ(LNNOERROR, posted.GetText(";", &text));
    EXPECT_NE(std::string::npos, std::string(text.GetPlatformTextPtr()).find(';')) << text.GetPlatformTextPtr();

    LNDocument html = document(inbox, 1);
    LNRichText body;
    LNString bodyText;
    ASSERT_EQ(LNNOERROR, html.GetItem("Body", &body));
    ASSERT_EQ(LNNOERROR, body.GetText(&bodyText));
    EXPECT_EQ(0u, std::string(bodyText.GetPlatformTextPtr()).find("<HTML> "));
}

TEST_F(NotesApiTest, AttachmentsAreDetachedByteForByte) {
    LNDatabase db = open("mail.nsf");
    LNDocument memo = document(views(db)["($Inbox)"], 2);
    ASSERT_TRUE(memo.HasAttachments());
    LNAttachmentArray attachments;
    ASSERT_EQ(LNNOERROR, memo.GetAttachments(&attachments));
    ASSERT_EQ(3, attachments.GetCount());
    EXPECT_STREQ("forwarded.MSG", attachments[0].GetAttachmentName().GetPlatformTextPtr());
    EXPECT_STREQ("notes.msgx", attachments[1].GetAttachmentName().GetPlatformTextPtr());
    TempDirectory out;
    ASSERT_EQ(LNNOERROR, attachments[1].Detach(out.file("notes.msgx")));
    EXPECT_EQ("my notes on the contract", readWholeFile(out.file("notes.msgx")));
    ASSERT_EQ(LNNOERROR, attachments[2].Detach(out.file("scan.bin")));
    std::string scan = readWholeFile(out.file("scan.bin"));
    ASSERT_EQ(200000u, scan.size());
    for (int b = 0; b < 256; ++b)
        ASSERT_EQ(static_cast<char>(b), scan[static_cast<size_t>(b)]) << b;

    LNDocument plain = document(views(db)["($Sent)"], 0);
    EXPECT_FALSE(plain.HasAttachments());
}

TEST_F(NotesApiTest, LargeAttachmentRoundTrip) {
    TempDirectory work;
    notesgen::MailShape shape;
    shape.documents = 2;
    shape.attachmentBytes = 3 * 1024 * 1024 + 1; // not a whole base64 group
    shape.attachmentEvery = 1;
    shape.folders = 1;
    ASSERT_TRUE(notesgen::writeLargeMail(work.file("big.nsf"), shape));
    LNDatabase db;
    ASSERT_EQ(LNNOERROR, session.GetDatabase(work.file("big.nsf"), &db));
    ASSERT_EQ(LNNOERROR, db.Open());
    LNDocument memo = document(views(db)["($Inbox)"], 1);
    LNAttachmentArray attachments;
    ASSERT_EQ(LNNOERROR, memo.GetAttachments(&attachments));
    ASSERT_EQ(LNNOERROR, attachments[0].Detach(work.file("out.bin")));
    std::string bytes = readWholeFile(work.file("out.bin"));
    ASSERT_EQ(shape.attachmentBytes, bytes.size());
    // The generator's bytes for document 2 (index 1), recomputed.
    uint64_t seed = 1 * 0x9E3779B97F4A7C15ULL + 1;
    for (uint64_t offset = 0; offset < bytes.size(); offset += 65536) {
        uint64_t s = seed + offset;
        for (size_t k = 0; k < 65536 && offset + k < bytes.size(); k += 8) {
            s ^= s << 13;
            s ^= s >> 7;
            s ^= s << 17;
            for (size_t b = 0; b < 8 && offset + k + b < bytes.size(); ++b)
                ASSERT_EQ(static_cast<char>(s >> (8 * b)), bytes[offset + k + b]) << offset + k + b;
        }
    }
}

TEST_F(NotesApiTest, SearchFindsThePersons) {
    LNDatabase db = open("names.nsf");
    LNDocumentArray persons;
    ASSERT_EQ(LNNOERROR, db.Search(LNFormula("Form=\"Person\""), &persons));
    ASSERT_EQ(5, persons.GetCount());
    LNDocument anna = persons[0];
    ASSERT_EQ(LNNOERROR, anna.Open(0));
    LNText full;
    ASSERT_EQ(LNNOERROR, anna.GetItem("FullName", &full));
    EXPECT_EQ(3, full.GetCount());
    LNDatetimes birthday;
    ASSERT_EQ(LNNOERROR, anna.GetItem("Birthday", &birthday));
    EXPECT_EQ(1, birthday.GetCount());

    LNDocumentArray groups;
    ASSERT_EQ(LNNOERROR, db.Search(LNFormula(" Form = \"Group\" "), &groups));
    EXPECT_EQ(1, groups.GetCount());
    LNDocumentArray none;
    ASSERT_EQ(LNNOERROR, db.Search(LNFormula("Form=\"Memo\""), &none));
    EXPECT_EQ(0, none.GetCount());

    LNDocument pierre = persons[3];
    ASSERT_EQ(LNNOERROR, pierre.Open());
    EXPECT_EQ(LNERR_ITEM_TYPE, pierre.GetItem("Birthday", &birthday)) << "a text item is not a date list";
}

TEST_F(NotesApiTest, AbbreviateNameOnlyChangesCanonicalNames) {
    auto abbreviate = [&](const char* text) {
        LNString name(text);
        EXPECT_EQ(LNNOERROR, session.AbbreviateName(&name));
        return std::string(name.GetPlatformTextPtr());
    };
    EXPECT_EQ("John Smith/Sales/Acme/US", abbreviate("CN=John Smith/OU=Sales/O=Acme/C=US"));
    EXPECT_EQ("John Smith/Acme", abbreviate("cn=John Smith/o=Acme"));
    EXPECT_EQ("John Smith", abbreviate("CN=John Smith"));
    EXPECT_EQ("John Smith/Sales/Acme", abbreviate("John Smith/Sales/Acme"));
    EXPECT_EQ("john@example.com", abbreviate("john@example.com"));
    EXPECT_EQ("O=Acme/CN=John", abbreviate("O=Acme/CN=John")) << "CN must come first";
    EXPECT_EQ("CN=A/X=B", abbreviate("CN=A/X=B"));
    EXPECT_EQ("", abbreviate(""));
}

TEST_F(NotesApiTest, ThrownErrorsCarryTheirCode) {
    LNSetThrowAllErrorsGlobal(1);
    LNDatabase db = open("mail.nsf");
    auto v = views(db);
    LNDocument memo = document(v["($Sent)"], 0);
    try {
        LNDatetimes notDates;
        memo.GetItem("Subject", &notDates);
        FAIL() << "no error thrown";
    } catch (LNSTATUS error) {
        EXPECT_EQ(LNERR_ITEM_TYPE, error);
        char text[512];
        EXPECT_GT(LNGetErrorMessageText(error, text, sizeof text), 0);
        EXPECT_NE(std::string::npos, std::string(text).find("not of the type")) << text;
    }
    try {
        LNVFEntry entry;
        v["($Sent)"].GetEntry(5, &entry);
        FAIL() << "no error thrown";
    } catch (LNSTATUS error) {
        EXPECT_EQ(LNERR_INDEX_OUT_OF_RANGE, error);
    }
}

TEST_F(NotesApiTest, TextsHoldEveryCharacterAndThePlatformTextLosesWhatItCannotHold) {
    TempDirectory work;
    // "café 日本 😀": Latin, Japanese and a character beyond the BMP.
    writeWholeFile(work.file("x.nsf"), "<database><document form='Memo'><noteinfo unid='A'/>"
                                       "<item name='Subject'><text>caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC "
                                       "\xF0\x9F\x98\x80</text></item>"
                                       "</document><folder name='F'><entry unid='A'/></folder></database>");
    LNDatabase db;
    ASSERT_EQ(LNNOERROR, session.GetDatabase(work.file("x.nsf"), &db));
    ASSERT_EQ(LNNOERROR, db.Open());
    LNDocument doc = document(views(db)["F"], 0);
    const LNString subject = firstText(doc, "Subject");
    EXPECT_EQ(std::string("caf\xE9 ?? ??"), subject.GetPlatformTextPtr());
    // LMBCS: "caf", é in group 1, then the Unicode group for the rest.
    // A zero low byte (U+DE00, the pair's second half) is written F6 first.
    EXPECT_EQ(std::string("caf\x82 \x14\x65\xE5\x14\x67\x2C \x14\xD8\x3D\x14\xF6\xDE"), subject.GetTextPtr());
    char16_t wide[32] = {};
    const WORD n = OSTranslate(OS_TRANSLATE_LMBCS_TO_UNICODE, subject.GetTextPtr(), MAXWORD,
                               reinterpret_cast<char*>(wide), sizeof wide);
    EXPECT_EQ(std::u16string(u"caf\u00E9 \u65E5\u672C \U0001F600"), std::u16string(wide, n / 2));
}
