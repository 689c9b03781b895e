#include "ConversionFixture.h"

#include <algorithm>
#include <functional>

#include "DxlWriter.h"
#include "Generators.h"
#include "common/Registry.h"
#include "common/WizardState.h"
#include "conversion/ProgressPage.h"
#include "framework/Text.h"
#include "shell/WizardApp.h"

// The child: Step 6 on the state the earlier pages would have left.
// args: registry, mode ("mails"|"contacts"), source, pst, folder name,
// then the selected folders.
TW_CHILD_ROUTINE(conversion) {
    if (args.size() < 5 || !testenv::IsolatedRegistry::adopt(args[0]))
        return 91;
    CTW_ZURadEZAApp().loadSettings();
    WizardState& state = wizardState();
    state.mode = args[1] == L"contacts" ? ModeAddressBook : ModeMails;
    state.sourcePath = args[2];
    state.pstPath = args[3];
    state.pstFolderName = args[4];
    for (size_t i = 5; i < args.size(); ++i)
        state.selectedFolders.append(args[i]);
    state.selectedFolderCount = static_cast<int>(state.selectedFolders.size());
    CreateDirectoryW(attachmentDirectory().c_str(), nullptr);
    CProDlg page(nullptr);
    page.DoModal();
    return 92; // the page never closes by itself
}

namespace guitest {

void ConversionTest::SetUp() {
    registry.setSetting(L"FilePath", dir.path());
    setNotesDirectory(dir.path());
    setProfileValue(L"DefaultStore", defaultStore());
    writeRegistryText(HKEY_CURRENT_USER, L"Software\\Microsoft\\Office\\11.0\\Outlook\\Security",
                      L"OutlookSecureTempFolder", secureTemp());
}

void ConversionTest::setProfileValue(const wchar_t* name, const std::wstring& value) {
    writeRegistryText(HKEY_CURRENT_USER, L"Software\\Tidewell\\Outlook Stand-in", name, value);
}

size_t ConversionTest::defaultStoreMessages() const {
    if (!testenv::fileExists(defaultStore()))
        return 0;
    auto store = pst::Store::open(tw::toAnsi(defaultStore()));
    size_t count = 0;
    std::function<void(uint32_t)> walk = [&](uint32_t folder) {
        count += store->messages(folder).size();
        for (uint32_t child : store->folder(folder).subfolders)
            if (child != folder && pst::nidType(child) == pst::kNidTypeFolder)
                walk(child);
    };
    walk(pst::kNidRootFolder);
    return count;
}

unsigned ConversionTest::outlookStarts() const {
    DWORD starts = 0, bytes = sizeof starts;
    RegGetValueW(HKEY_CURRENT_USER, L"Software\\Tidewell\\Outlook Stand-in", L"Starts", RRF_RT_REG_DWORD, nullptr,
                 &starts, &bytes);
    return starts;
}

std::unique_ptr<child::Process> ConversionTest::start(const RunSetup& setup) {
    std::vector<std::wstring> args = {registry.name(), setup.contacts ? L"contacts" : L"mails", setup.source,
                                      setup.pst, setup.folderName};
    args.insert(args.end(), setup.folders.begin(), setup.folders.end());
    return std::make_unique<child::Process>("conversion", args);
}

HWND ConversionTest::step6(child::Process& run) { return need(wizard::waitForStep(6, run.pid()), "Step 6"); }

std::wstring ConversionTest::finish(child::Process& run, int timeoutMs) {
    HWND done = wizard::waitForCompletion(run.pid(), timeoutMs);
    if (!done) {
        ADD_FAILURE() << "no completion dialog";
        return L"";
    }
    const std::wstring text = robot::controlText(done, IDC_COMPLETION_TEXT);
    incompleteShown = robot::controlText(done, IDC_COMPLETION_INCOMPLETE);
    robot::click(done, IDOK);
    EXPECT_EQ(0u, run.wait(15000)) << "OK ends the program";
    return text;
}

RunSetup ConversionTest::sampleMails() {
    RunSetup s;
    s.source = dir.file(L"mail.nsf");
    EXPECT_TRUE(notesgen::writeSampleMail(tw::toAnsi(s.source)));
    for (const wchar_t* f : {L"Inbox", L"Sent", L"Drafts", L"All", L"Trash", L"Work", L"work", L"Projects",
                             L"Projects\\2007", L"\u041f\u043e \u0442\u0435\u043c\u0435"})
        s.folders.push_back(std::wstring(L"Lotus Notes\\") + f + L"\\");
    s.pst = dir.file(L"Converted.pst");
    return s;
}

RunSetup ConversionTest::addressBook(const std::wstring& source, const wchar_t* pst) {
    RunSetup s;
    s.contacts = true;
    s.source = source;
    s.pst = dir.file(pst);
    s.folderName = L"Address Book";
    return s;
}

RunSetup ConversionTest::sampleContacts(const wchar_t* pst) {
    const RunSetup s = addressBook(dir.file(L"names.nsf"), pst);
    EXPECT_TRUE(notesgen::writeSampleNames(tw::toAnsi(s.source)));
    return s;
}

RunSetup ConversionTest::generatedInbox(const wchar_t* pst, uint64_t documents, size_t bodyBytes,
                                        uint64_t attachmentBytes, uint64_t attachmentEvery) {
    RunSetup s;
    s.source = dir.file(std::wstring(pst) + L".nsf");
    notesgen::MailShape shape;
    shape.documents = documents;
    shape.bodyBytes = bodyBytes;
    shape.attachmentBytes = attachmentBytes;
    shape.attachmentEvery = attachmentEvery;
    shape.folders = 1;
    EXPECT_TRUE(notesgen::writeLargeMail(tw::toAnsi(s.source), shape));
    s.folders = {L"Lotus Notes\\Inbox\\"};
    s.pst = dir.file(pst);
    return s;
}

std::wstring outlookSample(const wchar_t* name) { return tw::fromAnsi(TW_PST_SAMPLES_WIN "\\") + name; }

bool copyOutlookSample(const wchar_t* name, const std::wstring& to) {
    return CopyFileW(outlookSample(name).c_str(), to.c_str(), FALSE) &&
           SetFileAttributesW(to.c_str(), FILE_ATTRIBUTE_NORMAL);
}

HWND passwordPrompt(child::Process& run) {
    return need(robot::waitForDialogWith(kPasswordPromptCaption, kPasswordPromptBox, run.pid()), "the password prompt");
}

void givePassword(HWND prompt, const std::wstring& password) {
    robot::setText(prompt, kPasswordPromptBox, password);
    robot::click(prompt, IDOK);
}

void keepForReaders(const std::wstring& pst, const wchar_t* name) {
    EXPECT_TRUE(testenv::copyToHostDirectory(TW_READER_DIR, pst, name)) << TW_READER_DIR;
}

void keepSampleAttachmentsForReaders(const std::wstring& scratch) {
    for (const auto& a : notesgen::sampleMailAttachments())
        EXPECT_TRUE(testenv::writeFileBytes(scratch, a.second) &&
                    testenv::copyToHostDirectory(TW_READER_DIR "/expected", scratch, tw::fromAnsi(a.first)))
            << a.first;
}

std::optional<uint32_t> folderAt(pst::Store& store, const std::vector<std::string>& names) {
    uint32_t at = store.ipmSubtree();
    for (const std::string& n : names) {
        std::optional<uint32_t> next = store.findSubfolder(at, n);
        if (!next)
            return std::nullopt;
        at = *next;
    }
    return at;
}

std::string textOf(const pst::Properties& p, uint16_t id) {
    auto it = p.find(pst::tag(id, pst::PT_UNICODE));
    return it == p.end() ? std::string("<none>") : it->second.text();
}

std::vector<pst::MessageInfo> messagesOf(pst::Store& store, uint32_t folder) {
    std::vector<pst::MessageInfo> out;
    for (uint32_t m : store.messages(folder))
        out.push_back(store.message(m));
    return out;
}

const pst::MessageInfo* bySubject(const std::vector<pst::MessageInfo>& messages, const std::string& subject) {
    for (const auto& m : messages)
        if (pst::subjectText(m.properties) == subject)
            return &m;
    return nullptr;
}

std::vector<std::string> storeItems(pst::Store& store, const std::function<bool(const std::string&)>& skip) {
    std::vector<std::string> out;
    std::vector<std::pair<uint32_t, std::string>> todo = {{store.ipmSubtree(), ""}};
    while (!todo.empty()) {
        auto [nid, path] = todo.back();
        todo.pop_back();
        for (uint32_t m : store.messages(nid)) {
            const pst::MessageInfo info = store.message(m);
            out.push_back(path + ": " + pst::subjectText(info.properties) + " | " + textOf(info.properties, 0x1000));
        }
        for (uint32_t f : store.folder(nid).subfolders) {
            const std::string name = store.folder(f).name;
            if (pst::nidType(f) == pst::kNidTypeFolder && !skip(name))
                todo.push_back({f, path + "/" + name});
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace guitest
