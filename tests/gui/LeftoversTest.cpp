// What a message leaves in the profile's default store on its way into the
// PST (the staging note, the message's copy of it) does not outlive the
// message, however the message's way ends: a stop at any point, in every
// release class; an Outlook that cannot be started again in the middle of
// a run, which ends the run as aborted with Outlook's own words.
#include "ConversionFixture.h"

#include "framework/Handles.h"
#include "framework/Text.h"

#include <random>

using namespace guitest;

namespace {

const wchar_t kRestartFailed[] = L"Outlook could not be started again during the conversion.";

class LeftoversTest : public ConversionTest {
protected:
    static int position(HWND page) { return _wtoi(robot::controlText(page, IDC_PROGRESS_POSITION).c_str()); }

    size_t inboxCount(const std::wstring& pst) const {
        auto store = pst::Store::open(tw::toAnsi(pst));
        std::optional<uint32_t> inbox = folderAt(*store, {"Lotus Mails", "Inbox"});
        return inbox ? store->messages(*inbox).size() : 0;
    }
};

} // namespace

TEST_F(LeftoversTest, AStopAnywhereLeavesNothingInTheDefaultStore) {
    std::mt19937 random(20261208);
    // Early (one staging note per folder), late and later releases (one
    // per message).
    for (const wchar_t* version : {L"10.0.6626.0", L"11.0.8169.0", L"16.0.4266.1001"}) {
        for (int round = 0; round < 3; ++round) {
            SCOPED_TRACE(narrow(version) + " round " + std::to_string(round));
            setVersion(version);
            // An attachment on every other message: a stop may come
            // between the copy and its move.
            const std::wstring name = L"Stopped-" + std::to_wstring(round) + L"-" + version + L".pst";
            RunSetup setup = generatedInbox(name.c_str(), 400, 2048, 20000, 2);
            auto run = start(setup);
            HWND page = step6(*run);
            const int at = std::uniform_int_distribution<int>(2, 12)(random);
            ASSERT_TRUE(robot::waitUntil([&] { return position(page) >= at; }, 60000));
            Sleep(std::uniform_int_distribution<DWORD>(0, 30)(random));
            robot::click(page, IDC_PROGRESS_STOP);
            HWND box = wizard::expectMessageBox(run->pid(), kStopQuestion);
            robot::answer(box, IDYES);
            EXPECT_EQ(kAborted, finish(*run));
            EXPECT_EQ(0u, defaultStoreMessages());
        }
    }
}

TEST_F(LeftoversTest, AnOutlookThatCannotStartAgainEndsTheRunWithItsOwnWords) {
    setVersion(L"11.0.8169.0"); // restarted after every 50th message
    RunSetup setup = generatedInbox(L"Restart.pst", 120, 256, 0, 0);
    auto run = start(setup);
    HWND page = step6(*run);
    ASSERT_TRUE(robot::waitUntil([&] { return position(page) >= 45; }, 60000));
    // Taken without sharing the moment Outlook lets go of the file for its
    // restart: it cannot open it again.
    tw::UniqueHandle held;
    ASSERT_TRUE(robot::waitUntil(
        [&] {
            held.reset(CreateFileW(setup.pst.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
            return held.valid();
        },
        60000));
    HWND box = wizard::expectMessageBox(run->pid(), kRestartFailed);
    const std::wstring said = robot::messageBoxText(box);
    EXPECT_EQ(0u, said.find(kRestartFailed)) << narrow(said);
    EXPECT_GT(said.size(), std::wstring(kRestartFailed).size() + 4) << "Outlook's words follow: " << narrow(said);
    robot::answer(box, IDOK);
    held.reset();
    EXPECT_EQ(kAborted, finish(*run));
    EXPECT_EQ(50u, inboxCount(setup.pst)) << "the messages before the restart, and none after";
    EXPECT_EQ(0u, defaultStoreMessages());
    EXPECT_NE(std::string::npos, log().find("Conversion aborted")) << log();
}
