// Step 6's own commands during a run: Pause and Resume, Stop, Esc and the
// close box, with their questions answered either way; and the completion
// dialog closed otherwise than with OK.
#include "ConversionFixture.h"

#include "framework/Text.h"

using namespace guitest;

namespace {

const wchar_t kStopping[] = L"Stopping conversion please wait...";

class ProgressPageTest : public ConversionTest {
protected:
    // A run long enough to be steered: one folder of many small messages.
    HWND startLongRun() {
        run = start(generatedInbox(L"Long.pst", 20000, 256, 0, 0));
        HWND page = step6(*run);
        // Under way: the first messages are in.
        EXPECT_TRUE(robot::waitUntil([&] { return position(page) >= 2; })) << narrow(positionText(page));
        return page;
    }

    std::wstring positionText(HWND page) const { return robot::controlText(page, IDC_PROGRESS_POSITION); }
    // The message the worker is at, from "i/n".
    int position(HWND page) const { return _wtoi(positionText(page).c_str()); }
    // Whether the worker moves on within the time (how long a held worker
    // is watched standing still).
    bool movesWithin(HWND page, int ms) const {
        const int at = position(page);
        return robot::waitUntil([&] { return position(page) != at; }, ms);
    }

    HWND question() {
        HWND box = wizard::expectMessageBox(run->pid(), kStopQuestion);
        EXPECT_EQ(kStopQuestion, robot::messageBoxText(box));
        return box;
    }
    void answer(HWND box, int button) {
        robot::answer(box, button);
        robot::waitForGone(box);
    }

    std::unique_ptr<child::Process> run;
};

} // namespace

TEST_F(ProgressPageTest, PauseHoldsTheWorkerAndResumeLetsItGoOn) {
    HWND page = startLongRun();
    robot::click(page, IDC_PROGRESS_PAUSE);
    EXPECT_TRUE(robot::waitUntil([&] { return robot::controlText(page, IDC_PROGRESS_PAUSE) == L"Resume"; }));
    robot::waitUntil([&] { return !movesWithin(page, 300); }, 3000); // the step under way ends
    EXPECT_FALSE(movesWithin(page, 1000)) << "a paused worker makes no progress";
    robot::click(page, IDC_PROGRESS_PAUSE);
    EXPECT_TRUE(robot::waitUntil([&] { return robot::controlText(page, IDC_PROGRESS_PAUSE) == L"Pause"; }));
    EXPECT_TRUE(movesWithin(page, 10000)) << "pressed twice, the worker runs again";

    robot::click(page, IDC_PROGRESS_STOP);
    answer(question(), IDYES);
    EXPECT_EQ(kAborted, finish(*run));
    EXPECT_EQ(1, count(log(), "\r\nConversion aborted"));
}

TEST_F(ProgressPageTest, StopHoldsTheWorkerWhileItAsksAndNoGoesOn) {
    HWND page = startLongRun();
    robot::click(page, IDC_PROGRESS_STOP);
    HWND box = question();
    EXPECT_EQ(static_cast<UINT>(MB_ICONQUESTION), robot::messageBoxIcon(box));
    robot::waitUntil([&] { return !movesWithin(page, 300); }, 3000);
    EXPECT_FALSE(movesWithin(page, 1000)) << "held while the question is open";
    answer(box, IDNO);
    EXPECT_TRUE(movesWithin(page, 10000)) << "No goes on where it was";
    EXPECT_EQ(L"Enumerating mails. Please wait...", robot::controlText(page, IDC_PROGRESS_STATUS));

    robot::click(page, IDC_PROGRESS_STOP);
    answer(question(), IDYES);
    EXPECT_EQ(kAborted, finish(*run));
    auto store = pst::Store::open(tw::toAnsi(dir.file(L"Long.pst")));
    const int converted = store->folder(*folderAt(*store, {"Lotus Mails", "Inbox"})).contentCount;
    EXPECT_GT(converted, 0);
    EXPECT_LT(converted, 20000) << "the stop ended the run";
}

TEST_F(ProgressPageTest, StopAnsweredYesWhilePausedWaitsForResume) {
    HWND page = startLongRun();
    robot::click(page, IDC_PROGRESS_PAUSE);
    robot::click(page, IDC_PROGRESS_STOP);
    answer(question(), IDYES);
    EXPECT_EQ(kStopping, robot::controlText(page, IDC_PROGRESS_STATUS));
    EXPECT_FALSE(robot::waitUntil([&] { return wizard::completionDialog(run->pid()) != nullptr; }, 1500))
        << "still held by Pause";
    robot::click(page, IDC_PROGRESS_PAUSE);
    EXPECT_EQ(kAborted, finish(*run));
}

TEST_F(ProgressPageTest, EscAsksTwiceAndEitherYesStops) {
    // Yes to the first question, No to the second: stopped all the same.
    HWND page = startLongRun();
    robot::pressKey(page, VK_ESCAPE);
    answer(question(), IDYES);
    EXPECT_EQ(kStopping, robot::controlText(page, IDC_PROGRESS_STATUS));
    answer(question(), IDNO);
    EXPECT_EQ(kAborted, finish(*run));
}

TEST_F(ProgressPageTest, EscAnsweredNoThenYesStops) {
    HWND page = startLongRun();
    robot::pressKey(page, VK_ESCAPE);
    answer(question(), IDNO);
    EXPECT_EQ(L"Enumerating mails. Please wait...", robot::controlText(page, IDC_PROGRESS_STATUS));
    answer(question(), IDYES);
    EXPECT_EQ(kAborted, finish(*run));
}

TEST_F(ProgressPageTest, CloseWhilePausedLetsTheWorkerReachItsStop) {
    HWND page = startLongRun();
    robot::click(page, IDC_PROGRESS_PAUSE);
    robot::closeWindow(page);
    answer(question(), IDYES);
    // Released once: the worker runs to its next poll point and stops,
    // while the button still reads "Resume".
    EXPECT_EQ(kAborted, finish(*run));
}

TEST_F(ProgressPageTest, TheCompletionDialogComesBackUntilOk) {
    registry.setSetting(L"LogPath", dir.path()); // where View Log looks
    RunSetup setup = sampleMails();
    run = start(setup);
    HWND done = need(wizard::waitForCompletion(run->pid(), 60000), "completion dialog");
    robot::pressKey(done, VK_ESCAPE);
    robot::waitForGone(done);
    HWND again = need(wizard::waitForCompletion(run->pid(), 15000), "completion dialog again");
    EXPECT_EQ(L"Conversion Completed Successfully", robot::controlText(again, IDC_COMPLETION_TEXT));
    EXPECT_EQ(2, count(log(), "\r\nConversion completed successfully")) << "logged each time it opens";
    robot::click(again, IDC_COMPLETION_VIEWLOG);
    EXPECT_TRUE(robot::waitUntil([&] { return robot::isChecked(again, IDC_COMPLETION_VIEWLOG); }));
    robot::click(again, IDOK);
    EXPECT_EQ(0u, run->wait(15000));
    // OK with View Log opens the log in Notepad.
    HWND notepad = waitForLogInNotepad();
    ASSERT_NE(nullptr, notepad) << "no Notepad window with the log";
    PostMessageW(notepad, WM_CLOSE, 0, 0);
    EXPECT_TRUE(robot::waitForGone(notepad));
}
