// Steps 2 to 5 in this process: the main thread runs Step 2 modally, a robot
// thread walks forward to Step 5 and back again.
#include "Generators.h"
#include "PageFixture.h"
#include "TestEnv.h"
#include "common/WizardState.h"
#include "framework/Text.h"
#include "resource.h"
#include "shell/WizardApp.h"
#include "source/SourcePage.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>

using namespace guitest;

namespace {

class PageChainTest : public PageTest {
protected:
    void SetUp() override {
        PageTest::SetUp();
        sample = dir.file(L"mail.nsf");
        ASSERT_TRUE(notesgen::writeSampleMail(tw::toAnsi(sample)));
        target = dir.file(L"target.pst");
        ASSERT_TRUE(testenv::writeFileBytes(target, "a PST, as far as Step 4 looks"));
    }

    // Step 3 over the sample: Inbox checked, then Next.
    static void throughStepThree(HWND step3) {
        waitForListing(step3);
        checkFolder(step3, L"Inbox");
    }

    // Runs Step 2 on this thread while `robot` drives it from another.
    INT_PTR runStepTwo(const std::function<void(HWND)>& robot) { return runPage<CSourceDld>(2, robot); }

    std::wstring sample, target;
};

HWND goNext(HWND page, int nextId, int step) {
    robot::click(page, nextId);
    HWND next = need(wizard::waitForStep(step, GetCurrentProcessId()), "next page");
    EXPECT_TRUE(robot::waitForHidden(page)) << "the previous page hides";
    return next;
}

HWND goBack(HWND page, int backId, HWND previous) {
    robot::click(page, backId);
    EXPECT_TRUE(robot::waitForGone(page)) << "Back closes the page";
    EXPECT_TRUE(robot::waitUntil([&] { return IsWindowVisible(previous) != FALSE; })) << "the previous page shows";
    return previous;
}

} // namespace

TEST_F(PageChainTest, ForwardToStepFiveAndBackAgain) {
    bool emptiedByBackOnStepFour = false;
    INT_PTR result = runStepTwo([&](HWND step2) {
        EXPECT_EQ(wizard::kTitle, robot::windowText(step2));
        HMENU menu = GetMenu(step2);
        EXPECT_EQ(3, GetMenuItemCount(menu)) << "the wizard menu";
        EXPECT_EQ(static_cast<UINT>(ID_LOG_VIEW), GetMenuItemID(GetSubMenu(menu, 1), 0));
        EXPECT_FALSE(robot::isEnabled(step2, IDC_SOURCE_BACKUP_BROWSE));
        robot::setText(step2, IDC_SOURCE_PATH, sample);

        HWND step3 = goNext(step2, IDC_SOURCE_NEXT, 3);
        EXPECT_FALSE(robot::isVisible(step3, IDC_FOLDERS_HEADER_EXIT));
        throughStepThree(step3);
        HWND step4 = goNext(step3, IDOK, 4);
        EXPECT_TRUE(robot::isChecked(step4, IDC_TARGET_EXISTING));
        EXPECT_FALSE(robot::isEnabled(step4, IDC_TARGET_NEW_BROWSE));
        EXPECT_FALSE(robot::isEnabled(step4, IDC_TARGET_BACKUP_BROWSE));
        // The two choices are one group of radio buttons.
        robot::click(step4, IDC_TARGET_NEW);
        EXPECT_TRUE(robot::waitUntil([&] { return robot::isChecked(step4, IDC_TARGET_NEW); }));
        EXPECT_FALSE(robot::isChecked(step4, IDC_TARGET_EXISTING));
        EXPECT_TRUE(robot::isEnabled(step4, IDC_TARGET_NEW_BROWSE));
        EXPECT_FALSE(robot::isEnabled(step4, IDC_TARGET_EXISTING_BROWSE));
        robot::click(step4, IDC_TARGET_EXISTING);
        EXPECT_TRUE(robot::waitUntil([&] { return robot::isChecked(step4, IDC_TARGET_EXISTING); }));
        EXPECT_FALSE(robot::isChecked(step4, IDC_TARGET_NEW));
        robot::setText(step4, IDC_TARGET_EXISTING_PATH, target);
        HWND step5 = goNext(step4, IDOK, 5);
        std::wstring proposal = robot::controlText(step5, IDC_FOLDERNAME_NAME);
        EXPECT_TRUE(std::regex_match(narrow(proposal), std::regex("[0-9]{1,2}-[0-9]{1,2}-[0-9]{4} [0-9]{1,2}:[0-9]{1,2}")))
            << narrow(proposal);

        goBack(step5, IDC_FOLDERNAME_BACK, step4);
        EXPECT_FALSE(wizardState().selectedFolders.empty()) << "Back on Step 5 keeps the folders";
        goBack(step4, IDC_TARGET_BACK, step3);
        emptiedByBackOnStepFour = wizardState().selectedFolders.empty();
        goBack(step3, IDC_FOLDERS_BACK, step2);
        robot::click(step2, IDC_SOURCE_BACK);
    });
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_TRUE(emptiedByBackOnStepFour);
    EXPECT_EQ(sample, wizardState().sourcePath);
    EXPECT_EQ(target, wizardState().pstPath);

    std::string bytes = log();
    EXPECT_NE(std::string::npos, bytes.find("\r\n\r\n\r\nStep 2 :\r\n-------\r\nNSF Source Path : " + tw::toAnsi(sample) +
                                            "\r\nBackup NSF Path : \r\n"))
        << bytes;
    EXPECT_NE(std::string::npos, bytes.find("\r\nStep 3 :\r\n-------\r\nList of Selected NSF Folder(s) : "
                                            "\r\nLotus Notes\\Inbox\\\r\n"))
        << bytes;
    EXPECT_NE(std::string::npos, bytes.find("\r\nStep 4 :\r\n-------\r\nNew PST File Path : \r\nDefault PST Path : " +
                                            tw::toAnsi(target) + "\r\nBackup PST Path : "))
        << bytes;
    EXPECT_EQ(std::string::npos, bytes.find("Step 5 :")) << "Step 5 was left by Back";
}

TEST_F(PageChainTest, StepFiveRefusesAnEmptyName) {
    INT_PTR result = runStepTwo([&](HWND step2) {
        robot::setText(step2, IDC_SOURCE_PATH, sample);
        HWND step3 = goNext(step2, IDC_SOURCE_NEXT, 3);
        throughStepThree(step3);
        HWND step4 = goNext(step3, IDOK, 4);
        robot::setText(step4, IDC_TARGET_EXISTING_PATH, target);
        HWND step5 = goNext(step4, IDOK, 5);
        robot::setText(step5, IDC_FOLDERNAME_NAME, L"");
        robot::click(step5, IDOK);
        HWND box = wizard::expectMessageBox(GetCurrentProcessId(), L"Cannot continue, please specify folder name.");
        EXPECT_EQ(L"Cannot continue, please specify folder name.", robot::messageBoxText(box));
        EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION), robot::messageBoxIcon(box));
        robot::answer(box, IDOK);
        EXPECT_TRUE(IsWindowVisible(step5)) << "the page stays";
        EXPECT_EQ(std::string::npos, log().find("Step 5 :"));
        robot::click(step5, IDC_FOLDERNAME_BACK);
        HWND s4 = need(wizard::waitForStep(4, GetCurrentProcessId()), "Step 4");
        robot::click(s4, IDC_TARGET_BACK);
        HWND s3 = need(wizard::waitForStep(3, GetCurrentProcessId()), "Step 3");
        robot::click(s3, IDC_FOLDERS_BACK);
        EXPECT_TRUE(robot::waitUntil([&] { return IsWindowVisible(step2) != FALSE; }));
        robot::click(step2, IDC_SOURCE_BACK);
    });
    EXPECT_EQ(IDCANCEL, result);
}

TEST_F(PageChainTest, PagePaintsTheSkinUnderItsTexts) {
    // The background bitmap as the skin directory holds it.
    HBITMAP skin = static_cast<HBITMAP>(LoadImageW(nullptr, (wizardState().skinDirectory + L"\\main.bmp").c_str(),
                                                   IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    ASSERT_NE(nullptr, skin) << "the skin is installed by build.sh";
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, skin);
    runStepTwo([&](HWND step2) {
        RedrawWindow(step2, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        robot::Capture shown = robot::captureWindow(step2, true);
        // Inside the check box's rectangle but right of its text, and inside
        // a static text's rectangle: both must show the bitmap itself.
        for (int id : {IDC_SOURCE_BACKUP}) {
            RECT r{};
            GetWindowRect(robot::control(step2, id), &r);
            MapWindowPoints(nullptr, step2, reinterpret_cast<POINT*>(&r), 2);
            int x = r.right - 3, y = (r.top + r.bottom) / 2;
            COLORREF bmp = GetPixel(dc, x, y);
            uint32_t expected = (GetRValue(bmp) << 16) | (GetGValue(bmp) << 8) | GetBValue(bmp);
            EXPECT_EQ(expected, shown.at(x, y)) << "control " << id << " at " << x << "," << y << std::hex
                                                << " shows " << shown.at(x, y) << " for bitmap " << expected;
        }
        // An open spot of the page.
        int x = 20, y = shown.height - 40;
        COLORREF bmp = GetPixel(dc, x, y);
        EXPECT_EQ((GetRValue(bmp) << 16) | (GetGValue(bmp) << 8) | GetBValue(bmp), shown.at(x, y));
        robot::click(step2, IDC_SOURCE_BACK);
    });
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(skin);
}
