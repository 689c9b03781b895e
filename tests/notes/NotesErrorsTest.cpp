// Every failure is an error code with a text, never a crash: missing and
// foreign files, damaged databases and attachments, misuse of the objects.
#include "Generators.h"
#include "LNNotes.h"
#include "NotesTestFiles.h"

#include <gtest/gtest.h>

namespace {

std::string messageOf(LNSTATUS error) {
    char text[512];
    LNGetErrorMessageText(error, text, sizeof text);
    return text;
}

class NotesErrorsTest : public ::testing::Test {
protected:
    void SetUp() override {
        LNSetThrowAllErrorsGlobal(0);
        ASSERT_EQ(LNNOERROR, session.Init());
    }
    LNSTATUS openFile(const std::string& path, LNDatabase& db) {
        EXPECT_EQ(LNNOERROR, session.GetDatabase(path, &db));
        return db.Open();
    }
    LNSTATUS openText(const std::string& contents, LNDatabase& db) {
        writeWholeFile(dir.file("db.nsf"), contents);
        return openFile(dir.file("db.nsf"), db);
    }
    TempDirectory dir;
    LNNotesSession session;
};

const char kOneMemo[] =
    "<database><document form='Memo'><noteinfo unid='U1'/>"
    "<item name='Subject'><text>hi</text></item>"
    "<item name='$FILE'><object><file name='a.txt'><filedata>%s</filedata></file></object></item>"
    "</document><folder name='F'><entry unid='U1'/><entry unid='MISSING'/></folder></database>";

std::string memoWithData(const std::string& base64) {
    std::string xml = kOneMemo;
    return xml.replace(xml.find("%s"), 2, base64);
}

} // namespace

TEST_F(NotesErrorsTest, FilesThatAreNoDatabase) {
    LNDatabase db;
    EXPECT_EQ(LNERR_FILE_NOT_FOUND, openFile(dir.file("missing.nsf"), db));
    EXPECT_EQ(LNERR_NOT_A_DATABASE, openText("just some text, renamed to .nsf\r\n", db));
    EXPECT_EQ(LNERR_NOT_A_DATABASE, openText(std::string("\x00\x01\x02\xFF\xFE", 5), db));
    EXPECT_EQ(LNERR_NOT_A_DATABASE, openText("<html><body/></html>", db));
    EXPECT_EQ(LNERR_NOT_A_DATABASE, openText("", db));
    EXPECT_FALSE(db.IsOpen());
}

TEST_F(NotesErrorsTest, DamagedDatabaseNamesTheByteOffset) {
    ASSERT_TRUE(notesgen::writeSampleMail(dir.file("whole.nsf")));
    std::string whole = readWholeFile(dir.file("whole.nsf"));
    LNDatabase db;
    ASSERT_EQ(LNERR_DATABASE_DAMAGED, openText(whole.substr(0, whole.size() / 2), db));
    std::string text = messageOf(LNERR_DATABASE_DAMAGED);
    EXPECT_NE(std::string::npos, text.find("at byte ")) << text;
    EXPECT_EQ(LNERR_DATABASE_DAMAGED, openText("<database><document><item name='x'></document></database>", db));
}

TEST_F(NotesErrorsTest, DamagedAttachmentLeavesNoFileBehind) {
    for (const char* bad : {"QUJD*", "QQ", "QQ==QQ==", "QUJD<b/>"}) {
        LNDatabase db;
        ASSERT_EQ(LNNOERROR, openText(memoWithData(bad), db)) << bad;
        LNViewFolderArray views;
        ASSERT_EQ(LNNOERROR, db.GetViewFolders(&views));
        LNViewFolder folder = views[0];
        ASSERT_EQ(LNNOERROR, folder.Open());
        LNVFEntry entry;
        ASSERT_EQ(LNNOERROR, folder.GetEntry(0, &entry));
        LNDocument doc;
        ASSERT_EQ(LNNOERROR, entry.GetDocument(&doc));
        LNSTATUS opened = doc.Open();
        if (opened != LNNOERROR) {
            // Markup inside the data is found when the document is read.
            EXPECT_EQ(LNERR_DATABASE_DAMAGED, opened) << bad;
            continue;
        }
        LNAttachmentArray attachments;
        ASSERT_EQ(LNNOERROR, doc.GetAttachments(&attachments));
        const std::string out = dir.file("a.txt");
        EXPECT_EQ(LNERR_ATTACHMENT_DAMAGED, attachments[0].Detach(out)) << bad;
        EXPECT_FALSE(std::filesystem::exists(out)) << bad;
    }
}

TEST_F(NotesErrorsTest, UnknownDocumentInAFolderFailsThatEntryOnly) {
    LNDatabase db;
    ASSERT_EQ(LNNOERROR, openText(memoWithData("QUJD"), db));
    LNViewFolderArray views;
    ASSERT_EQ(LNNOERROR, db.GetViewFolders(&views));
    LNViewFolder folder = views[0];
    ASSERT_EQ(LNNOERROR, folder.Open());
    ASSERT_EQ(2, folder.GetEntryCount());
    LNVFEntry good, bad;
    LNDocument doc;
    ASSERT_EQ(LNNOERROR, folder.GetEntry(0, &good));
    EXPECT_EQ(LNNOERROR, good.GetDocument(&doc));
    ASSERT_EQ(LNNOERROR, folder.GetEntry(1, &bad));
    EXPECT_EQ(LNERR_UNKNOWN_DOCUMENT, bad.GetDocument(&doc));
    EXPECT_NE(std::string::npos, messageOf(LNERR_UNKNOWN_DOCUMENT).find("MISSING"));
}

TEST_F(NotesErrorsTest, MisusedObjectsReportInsteadOfCrashing) {
    LNNotesSession idle;
    LNDatabase db;
    EXPECT_EQ(LNERR_NOT_INITIALIZED, idle.GetDatabase("x.nsf", &db));
    EXPECT_EQ(LNERR_NOT_INITIALIZED, db.Open()) << "a database not got from a session";
    EXPECT_EQ(LNERR_SERVER_NOT_SUPPORTED, session.GetDatabase("x.nsf", &db, "Mail01/Tidewell"));
    EXPECT_EQ(LNERR_RELEASE_NOT_SUPPORTED, idle.Init(600));

    LNViewFolderArray views;
    EXPECT_EQ(LNERR_NOT_OPEN, db.GetViewFolders(&views));
    LNDocumentArray found;
    EXPECT_EQ(LNERR_NOT_OPEN, db.Search(LNFormula("Form=\"Person\""), &found));

    ASSERT_EQ(LNNOERROR, openText(memoWithData("QUJD"), db));
    for (const char* formula : {"SELECT @All", "Form=\"Person\" | Form=\"Group\"", "Subject=\"x\"", "Form=Person",
                                "", "Form=\"open"})
        EXPECT_EQ(LNERR_FORMULA_NOT_SUPPORTED, db.Search(LNFormula(formula), &found)) << formula;
    EXPECT_NE(std::string::npos, messageOf(LNERR_FORMULA_NOT_SUPPORTED).find("Form=\"name\""));

    ASSERT_EQ(LNNOERROR, db.GetViewFolders(&views));
    LNViewFolder folder = views[0];
    EXPECT_EQ(0, folder.GetEntryCount()) << "not open yet";
    LNVFEntry entry;
    EXPECT_EQ(LNERR_NOT_OPEN, folder.GetEntry(0, &entry));
    EXPECT_EQ(0, views.GetCount() > 1 ? 1 : 0);
    LNViewFolder outside = views[7];
    EXPECT_EQ(LNERR_NULL_OBJECT, outside.Open());

    ASSERT_EQ(LNNOERROR, folder.Open());
    ASSERT_EQ(LNNOERROR, folder.GetEntry(0, &entry));
    LNDocument doc;
    ASSERT_EQ(LNNOERROR, entry.GetDocument(&doc));
    LNText text;
    EXPECT_EQ(LNERR_NOT_OPEN, doc.GetItem("Subject", &text));
    EXPECT_FALSE(doc.HasItem("Subject"));
    ASSERT_EQ(LNNOERROR, doc.Open());
    EXPECT_EQ(LNERR_ITEM_NOT_FOUND, doc.GetItem("Nothing", &text));
    EXPECT_EQ(LNNOERROR, doc.GetItem("Subject", &text));
    EXPECT_STREQ("", text[3].GetPlatformTextPtr()) << "out of range reads as empty";
    LNAttachmentArray attachments;
    ASSERT_EQ(LNNOERROR, doc.GetAttachments(&attachments));
    EXPECT_EQ(LNERR_DETACH_WRITE, attachments[0].Detach(dir.file("no/such/dir/a.txt")));
    EXPECT_EQ(LNERR_NULL_OBJECT, attachments[4].Detach(dir.file("b.txt")));
}

TEST_F(NotesErrorsTest, MessageTextFitsTheBuffer) {
    char small[8];
    EXPECT_EQ(7, LNGetErrorMessageText(LNERR_FILE_NOT_FOUND, small, sizeof small));
    EXPECT_STREQ("The dat", small);
    EXPECT_EQ(0, LNGetErrorMessageText(LNERR_FILE_NOT_FOUND, small, 0));
    char text[512];
    LNGetErrorMessageText(0xFFFF, text, sizeof text);
    EXPECT_STREQ("Unknown error.", text);
}
