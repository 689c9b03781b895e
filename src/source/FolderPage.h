// Step 3: the Notes folders to convert. A worker lists the database's views
// and folders (Mails) or the address book (Address Book) into the tree while
// the page is shown; the checked items become the chosen folders.
#pragma once
#include "../common/WizardPage.h"
#include "../framework/Worker.h"
#include "FolderTreeCtrl.h"

#include <atomic>
#include <string>

class Ctreedlg : public WizardPage {
public:
    explicit Ctreedlg(HWND owner);
    ~Ctreedlg() override;

    // Raised by Exit; the listing worker polls it before each view or folder.
    std::atomic<bool> enumerationStopRequested{false};

    // Called by the workers: each is carried out on the page's thread.
    void addFolderPath(const std::wstring& path);
    void addAddressBook(const std::wstring& sourcePath);
    void initFolderIcons();
    void showListingControls(bool show);
    void enableNavigation(bool enable);
    void setProgress(int percent);
    void reportUnreadableSource(const std::wstring& libraryText);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;     // Next
    void OnCancel() override; // Esc and the close box
    bool OnCommand(UINT id, UINT code, HWND control) override;

private:
    void collectChecked(HTREEITEM parent);
    void writeSelectionLines() const;

    CFolderTreeCtrl tree_;
    // Last: the worker goes, joined, before what it uses.
    tw::Worker worker_{*this};
};

// The workers, on their own thread, given the page.
void EnumerateMailFolders(Ctreedlg* page);
void ListAddressBook(Ctreedlg* page);
