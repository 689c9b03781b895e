// The wizard's steps in their order. Both modes run the same six pages;
// Steps 3 and 5 choose their pictures by the mode themselves.
#include "../common/PageChain.h"
#include "../conversion/ProgressPage.h"
#include "../resources/resource.h"
#include "../source/FolderPage.h"
#include "../source/SourcePage.h"
#include "../target/FolderNamePage.h"
#include "../target/TargetPage.h"

#include <iterator>
#include <memory>

namespace {

using MakePage = std::unique_ptr<tw::Dialog> (*)(HWND owner);

template <class Page>
std::unique_ptr<tw::Dialog> make(HWND owner) {
    return std::make_unique<Page>(owner);
}

struct Step {
    UINT templateId;
    MakePage make;
};

// Step 1, the main window, is started by the application, not the chain.
const Step kSteps[] = {{IDD_WELCOME, nullptr},
                       {IDD_SOURCE, make<CSourceDld>},
                       {IDD_FOLDERS, make<Ctreedlg>},
                       {IDD_TARGET, make<CTrgDlg>},
                       {IDD_FOLDERNAME, make<CCreFolDlg>},
                       {IDD_PROGRESS, make<CProDlg>}};

} // namespace

INT_PTR runNextPage(tw::Dialog& currentPage) {
    for (auto step = std::begin(kSteps); step + 1 < std::end(kSteps); ++step)
        if (step->templateId == currentPage.templateId()) {
            const std::unique_ptr<tw::Dialog> next = (step + 1)->make(currentPage.hwnd());
            return runInPlaceOf(currentPage, *next);
        }
    return -1; // the last step has no next
}
