// How the pages follow one another and how the user leaves the wizard.
#pragma once
#include "../framework/Dialog.h"

// Runs the page that follows `currentPage` in the wizard's steps: hides the
// current page, runs the next one modally, and shows the current page again
// when the next one closes. The steps are the application's to list, so
// that no page knows the one after it.
INT_PTR runNextPage(tw::Dialog& currentPage);

// Hides `currentPage` while `nextPage` runs modally, then shows it again.
INT_PTR runInPlaceOf(tw::Dialog& currentPage, tw::Dialog& nextPage);

enum class BackKind {
    KeepSelection,   // Steps 2 and 5
    EmptySelection,  // Steps 3 and 4: the chosen folders are chosen again
};
// Closes the page with Cancel, returning to the previous page's Next.
void goBack(tw::Dialog& page, BackKind kind);

// "Are you sure you want to exit." with Yes and No; true on Yes.
bool askToExit(HWND page, UINT icon = MB_ICONQUESTION);
// Ends the process at once with exit code 0; open pages are not closed.
[[noreturn]] void endProcess();
// The exit question of Steps 1 to 5: Yes ends the process.
void confirmExit(HWND page, UINT icon = MB_ICONQUESTION);
