// The workers of Step 3. They read the database through the Notes library
// and hand every change of the page to the page's own thread.
#include "../adapters/NotesText.h"
#include "../common/WizardState.h"
#include "../framework/Text.h"
#include "FolderPage.h"

#include <vector>

namespace {

// The plain names of the system folders.
const wchar_t* systemFolderPath(const std::wstring& name) {
    static const struct {
        const wchar_t* notesName;
        const wchar_t* path;
    } folders[] = {{L"($Inbox)", L"Lotus Notes\\Inbox\\"},
                   {L"($Sent)", L"Lotus Notes\\Sent\\"},
                   {L"($Drafts)", L"Lotus Notes\\Drafts\\"},
                   {L"($All)", L"Lotus Notes\\All\\"},
                   {L"($Trash)", L"Lotus Notes\\Trash\\"}};
    for (const auto& f : folders)
        if (name == f.notesName)
            return f.path;
    return nullptr;
}

} // namespace

void ListAddressBook(Ctreedlg* page) {
    page->enableNavigation(false);
    page->showListingControls(false);
    page->initFolderIcons();
    page->addAddressBook(wizardState().sourcePath);
    page->enableNavigation(true);
}

void EnumerateMailFolders(Ctreedlg* page) {
    page->enableNavigation(false);
    LNNotesSession session;
    LNViewFolderArray views;
    LNINT count = 0;
    try {
        LNSTATUS status = session.Init(LNAPI_RELEASE_700);
        if (status != LNNOERROR)
            throw status;
        LNSetThrowAllErrorsGlobal(TRUE);
        LNDatabase db;
        // The whole path, as the conversion takes it (up to 259 characters).
        session.GetDatabase(toNotes(wizardState().sourcePath), &db, "");
        db.Open(0);
        db.GetViewFolders(&views, FALSE);
        count = views.GetCount();
    } catch (LNSTATUS error) {
        char text[512] = {};
        const LNINT n = LNGetErrorMessageText(error, text, sizeof text);
        session.Term(0);
        page->reportUnreadableSource(fromNotes(text, static_cast<size_t>(n)));
        page->showListingControls(false);
        page->enableNavigation(true);
        return;
    }
    page->initFolderIcons();

    int shown = -1; // the bar's position; set again only when it changes
    for (LNINT i = 0; i < count; ++i) {
        if (page->enumerationStopRequested.load()) {
            session.Term(0);
            page->enumerationStopRequested = false;
            return;
        }
        try {
            LNViewFolder view = views[i];
            view.Open(0);
            const std::wstring name = fromNotes(view.GetName());
            view.Close();
            if (!name.empty() && name.front() != L'(' && name.back() != L')')
                page->addFolderPath(L"Lotus Notes\\" + name + L"\\");
            if (const wchar_t* path = systemFolderPath(name))
                page->addFolderPath(path);
            int percent = static_cast<int>(static_cast<long long>(i) * 100 / count);
            if (percent != shown)
                page->setProgress(shown = percent);
        } catch (LNSTATUS) {
            // A view or folder that cannot be opened or named is left out.
        }
    }
    page->enableNavigation(true);
    page->showListingControls(false);
    session.Term(0);
}
