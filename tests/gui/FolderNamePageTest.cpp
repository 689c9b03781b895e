// Step 5: the folder name proposed from the time, and the check box that
// explains itself and switches the editing of the name.
#include "PageFixture.h"
#include "common/LocalTime.h"
#include "target/FolderNamePage.h"

using namespace guitest;

namespace {

const wchar_t kNote[] = L"If you select existing folder it will insert mails in existing folder else it will create new.";

class FolderNamePageTest : public PageTest {};

} // namespace

TEST_F(FolderNamePageTest, TheNameIsProposedAndTheCheckBoxSwitchesItsEditing) {
    const std::wstring before = localDateTimeText(kDateTimeFormat);
    runPage<CCreFolDlg>(5, [&](HWND page) {
        const std::wstring proposal = robot::controlText(page, IDC_FOLDERNAME_NAME);
        const std::wstring after = localDateTimeText(kDateTimeFormat);
        EXPECT_TRUE(proposal == before || proposal == after) << narrow(proposal) << " at " << narrow(after);
        EXPECT_TRUE(robot::isEnabled(page, IDC_FOLDERNAME_NAME)) << "editable when the page opens";
        EXPECT_FALSE(robot::isChecked(page, IDC_FOLDERNAME_EDIT));

        robot::click(page, IDC_FOLDERNAME_EDIT);
        expectMessage(kNote, MB_ICONINFORMATION);
        EXPECT_TRUE(robot::waitUntil([&] { return robot::isChecked(page, IDC_FOLDERNAME_EDIT); }));
        EXPECT_TRUE(robot::isEnabled(page, IDC_FOLDERNAME_NAME));
        robot::click(page, IDC_FOLDERNAME_EDIT);
        expectMessage(kNote, MB_ICONINFORMATION);
        EXPECT_TRUE(robot::waitUntil([&] { return !robot::isEnabled(page, IDC_FOLDERNAME_NAME); }));

        // Next still reads the box while it cannot be edited.
        robot::setText(page, IDC_FOLDERNAME_NAME, L"");
        robot::click(page, IDOK);
        expectMessage(L"Cannot continue, please specify folder name.", MB_ICONINFORMATION);
        robot::click(page, IDC_FOLDERNAME_BACK);
    });
    EXPECT_EQ(L"", wizardState().pstFolderName);
}
