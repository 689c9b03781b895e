// A PST its owner protected with a password is opened only with it, as
// Outlook opens it: the prompt asks, again after a wrong password; Cancel
// leaves the file byte for byte and ends the run with Outlook's words; the
// right password converts, and every earlier item stays.
#include "ConversionFixture.h"

#include "framework/Text.h"
#include "pst/Checker.h"

using namespace guitest;

namespace {

class PasswordTest : public ConversionTest {
protected:
    RunSetup passworded() {
        RunSetup s = sampleMails();
        s.folders = {L"Lotus Notes\\Inbox\\"};
        s.pst = dir.file(L"Passworded.pst");
        EXPECT_TRUE(copyOutlookSample(L"java-libpst_passworded.pst", s.pst));
        return s;
    }
};

} // namespace

TEST_F(PasswordTest, CancelLeavesTheFileAsItWasAndEndsTheRun) {
    const RunSetup setup = passworded();
    const std::string before = testenv::readFileBytes(setup.pst);
    auto run = start(setup);
    HWND asked = passwordPrompt(*run);
    EXPECT_NE(std::wstring::npos, robot::controlText(asked, kPasswordPromptText).find(L"Passworded.pst"))
        << narrow(robot::controlText(asked, kPasswordPromptText));
    robot::click(asked, IDCANCEL);
    HWND box = wizard::expectMessageBox(run->pid(), L"The personal folders file could not be opened in Outlook.");
    const std::wstring said = robot::messageBoxText(box);
    EXPECT_NE(std::wstring::npos, said.find(L"password")) << "Outlook's words follow: " << narrow(said);
    robot::answer(box, IDOK);
    EXPECT_EQ(kAborted, finish(*run));
    EXPECT_TRUE(before == testenv::readFileBytes(setup.pst)) << "the file was changed";
}

TEST_F(PasswordTest, AWrongPasswordIsAskedAgainAndTheRightOneConverts) {
    const RunSetup setup = passworded();
    const std::string password = passwordWithCrc(pst::Store::open(tw::toAnsi(setup.pst))->passwordCrc());
    ASSERT_FALSE(password.empty());
    ASSERT_NE("testpassword", password) << "any text of that CRC opens it, as in Outlook";
    auto run = start(setup);
    givePassword(passwordPrompt(*run), L"not the password");
    HWND again = nullptr;
    ASSERT_TRUE(robot::waitUntil([&] {
        again = robot::waitForDialogWith(kPasswordPromptCaption, kPasswordPromptBox, run->pid(), 200);
        return again && robot::controlText(again, kPasswordPromptText).find(L"not correct") != std::wstring::npos;
    }, 20000)) << "a wrong password is not asked again";
    givePassword(again, tw::fromAnsi(password));
    EXPECT_EQ(L"Conversion Completed Successfully", finish(*run));
    const pst::CheckReport report = pst::checkFile(tw::toAnsi(setup.pst));
    EXPECT_TRUE(report.ok()) << report.errors[0];
    auto store = pst::Store::open(tw::toAnsi(setup.pst));
    EXPECT_EQ(8u, store->messages(*folderAt(*store, {"Lotus Mails", "Inbox"})).size());
    EXPECT_EQ(std::string::npos, log().find(password)) << "the password is in the activity log";
    const std::wstring original = outlookSample(L"java-libpst_passworded.pst");
    EXPECT_TRUE(testenv::copyToHostDirectory(TW_READER_DIR "/original", original, L"java-libpst_passworded.pst"));
    EXPECT_TRUE(testenv::copyToHostDirectory(TW_READER_DIR "/updated", setup.pst, L"java-libpst_passworded.pst"));
}
