// What the conversion tests share: the Step 6 page run in a child process
// (the completion dialog's OK ends the process) on WizardState set as the
// pages before it would leave it, with a profile of the Outlook stand-in
// of the test's own; and reading the PST the run wrote.
#pragma once
#include "Child.h"
#include "GuiTest.h"
#include "PasswordForge.h"
#include "TestEnv.h"
#include "pst/Store.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace guitest {

// The completion dialog's text for a run that did not end normally.
const wchar_t kAborted[] = L"                 Conversion Aborted";
const wchar_t kStopQuestion[] = L"Are you sure you want to stop.";

struct RunSetup {
    bool contacts = false;
    std::wstring source;
    std::vector<std::wstring> folders; // as Step 3 records them
    std::wstring pst;
    std::wstring folderName = L"Lotus Mails";
};

class ConversionTest : public ::testing::Test {
protected:
    void SetUp() override;

    void setVersion(const std::wstring& version) { setProfileValue(L"Version", version); }
    void setProfileValue(const wchar_t* name, const std::wstring& value);
    unsigned outlookStarts() const;
    std::wstring secureTemp() const { return dir.file(L"secure") + L"\\"; }
    std::wstring defaultStore() const { return dir.file(L"Outlook.pst"); }
    // The messages left anywhere in the profile's default store (staging
    // notes, copies): a run leaves none there.
    size_t defaultStoreMessages() const;
    std::string log() const { return testenv::readFileBytes(dir.file(L"Activity Log.txt")); }

    // Starts the run; the child's Step 6 page is `page` once shown.
    std::unique_ptr<child::Process> start(const RunSetup& setup);
    HWND step6(child::Process& run);
    // Waits for the completion dialog, returns its text (leading blanks
    // kept), presses OK and waits for the process to end with 0.
    std::wstring finish(child::Process& run, int timeoutMs = 120000);
    // What the last finished run's completion dialog said of items that did
    // not arrive whole.
    std::wstring incompleteShown;

    // The sample mail database with every folder selected, as Step 3
    // records it when "Lotus Notes" is checked.
    RunSetup sampleMails();
    // An address book run: `source` into the folder "Address Book" of `pst`
    // in the test's directory.
    RunSetup addressBook(const std::wstring& source, const wchar_t* pst = L"Contacts.pst");
    // The sample address book, names.nsf in the test's directory.
    RunSetup sampleContacts(const wchar_t* pst = L"Contacts.pst");
    // A generated database of one folder (the Inbox, chosen) of `documents`
    // messages, each `attachmentEvery`-th with an attachment of
    // `attachmentBytes`; its PST is `pst` in the test's directory.
    RunSetup generatedInbox(const wchar_t* pst, uint64_t documents, size_t bodyBytes, uint64_t attachmentBytes,
                            uint64_t attachmentEvery);

    testenv::IsolatedRegistry registry;
    testenv::TempDir dir;
    testenv::SmallVolumeDirectory small;
};

// Outlook's prompt for the password of a protected PST.
const wchar_t kPasswordPromptCaption[] = L"Personal Folders Password";
enum : int { kPasswordPromptText = 1002, kPasswordPromptBox = 1001 };
HWND passwordPrompt(child::Process& run);
void givePassword(HWND prompt, const std::wstring& password);

// The path of one of Outlook's sample PSTs, and a writable copy of it (the
// samples themselves are kept read-only, an attribute a copy inherits).
std::wstring outlookSample(const wchar_t* name);
bool copyOutlookSample(const wchar_t* name, const std::wstring& to);

// A copy of the PST (and, for the sample mails, of the attachments it
// must give back) where the independent readers look after the run.
void keepForReaders(const std::wstring& pst, const wchar_t* name);
void keepSampleAttachmentsForReaders(const std::wstring& scratch);

// The PST's folder at a path of names below the top of personal folders.
std::optional<uint32_t> folderAt(pst::Store& store, const std::vector<std::string>& names);
std::string textOf(const pst::Properties& p, uint16_t id);
// The messages of a folder by subject (as the user reads it).
std::vector<pst::MessageInfo> messagesOf(pst::Store& store, uint32_t folder);
const pst::MessageInfo* bySubject(const std::vector<pst::MessageInfo>& messages, const std::string& subject);
// Every message below the top of personal folders as "folder path: subject
// | body", sorted; the folders `skip` names are left out with all below.
std::vector<std::string> storeItems(pst::Store& store, const std::function<bool(const std::string&)>& skip);

} // namespace guitest
