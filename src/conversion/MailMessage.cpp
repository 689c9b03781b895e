// One message of a Notes folder on its way into the PST.
#include "../adapters/NotesText.h"
#include "../adapters/PstFormat.h"
#include "../common/ActivityLog.h"
#include "../common/WizardState.h"
#include "../framework/Handles.h"
#include "../framework/Text.h"
#include "../resources/resource.h"
#include "ConversionRun.h"
#include "MailParts.h"
#include "MailRun.h"
#include "ProgressView.h"
#include "RunFailure.h"

#include <optional>

namespace {

using namespace outlookid;

const wchar_t kWholeMessage[] = L"the whole message";

// MAPI_E_STORE_FULL: the file has reached the largest size it may have.
constexpr HRESULT kStoreFull = static_cast<HRESULT>(0x8004060C);

// Runs a step whose failure the message survives; the failure's reason,
// or nothing when the step went through.
template <typename F>
std::optional<std::wstring> tolerated(F&& step) {
    try {
        step();
    } catch (const tw::AutomationFailure& e) {
        return tw::reasonOf(e);
    }
    return std::nullopt;
}

// The document's items as header lines.
MailHeaders headersOf(const LNDocument& doc, const LNNotesSession& notes) {
    MailHeaders h;
    auto abbreviated = [&](const LNString& name) {
        LNString copy = name;
        notes.AbbreviateName(&copy);
        return fromNotes(copy);
    };
    auto list = [&](const char* item, bool& has, std::vector<std::wstring>& values) {
        if (!doc.HasItem(item))
            return;
        LNText text;
        doc.GetItem(item, &text);
        has = true;
        for (LNINT i = 0; i < text.GetCount(); ++i)
            values.push_back(abbreviated(text[i]));
    };
    if (doc.HasItem("From")) {
        LNText from;
        doc.GetItem("From", &from);
        h.hasFrom = true;
        if (from.GetCount() > 0)
            h.from = abbreviated(from[0]);
    }
    list("SendTo", h.hasTo, h.to);
    list("CopyTo", h.hasCc, h.cc);
    if (doc.HasItem("PostedDate")) {
        LNDatetimes dates;
        doc.GetItem("PostedDate", &dates);
        LNString joined;
        dates.GetText(";", &joined);
        h.hasDate = true;
        h.date = headerDateText(fromNotes(joined));
    }
    if (doc.HasItem("Subject")) {
        LNText subject;
        doc.GetItem("Subject", &subject);
        h.hasSubject = true;
        if (subject.GetCount() > 0)
            h.subject = fromNotes(subject[0]);
    }
    return h;
}

void writeMessageFile(const std::wstring& path, const std::string& lines) {
    tw::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
    if (!file)
        throw tw::AutomationFailure{HRESULT_FROM_WIN32(GetLastError()), L"the message file cannot be written"};
    DWORD written = 0;
    if (!lines.empty() && (!WriteFile(file.get(), lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr) ||
                           written != lines.size()))
        throw tw::AutomationFailure{HRESULT_FROM_WIN32(GetLastError()), L"the message file cannot be written"};
}

// A detached attachment file, removed whatever becomes of its message.
class DetachedFile {
public:
    explicit DetachedFile(std::wstring path) : path_(std::move(path)) {}
    ~DetachedFile() { DeleteFileW(path_.c_str()); }
    DetachedFile(const DetachedFile&) = delete;
    DetachedFile& operator=(const DetachedFile&) = delete;
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

// A Notes document, closed whatever becomes of its message.
class OpenDocument {
public:
    OpenDocument(LNViewFolder& folder, LNINT index) {
        LNVFEntry entry;
        folder.GetEntry(index, &entry);
        entry.GetDocument(&doc);
        doc.Open(0);
    }
    ~OpenDocument() {
        try {
            if (doc.IsOpen())
                doc.Close();
        } catch (LNSTATUS) {
        }
    }
    OpenDocument(const OpenDocument&) = delete;
    OpenDocument& operator=(const OpenDocument&) = delete;
    LNDocument doc;
};

} // namespace

MessageLeftovers::~MessageLeftovers() {
    if (copy)
        (void)tolerated([&] { tw::call(copy.get(), Delete); });
    copy.reset();
    if (ownsStaging_ && outlook_.stagingItem)
        (void)tolerated([&] { tw::call(outlook_.stagingItem.get(), Delete); });
    if (ownsStaging_)
        outlook_.stagingItem.reset();
}

void MailRun::createStaging() {
    outlook.stagingItem = tw::call(outlook.application.get(), CreateItem, {5}).object();
    try {
        tw::call(outlook.stagingItem.get(), Save);
    } catch (const tw::AutomationFailure&) {
        outlook.stagingItem.reset(); // never saved: nothing to delete
        throw;
    }
}

void MailRun::findStagingAgain() {
    const std::wstring id = tw::get(outlook.stagingItem.get(), EntryID).text();
    outlook.stagingItem = tw::call(outlook.nameSpace.get(), GetItemFromID, {id, L""}).object();
    tw::put(outlook.stagingItem.get(), MessageClass, tw::Variant(L"IPM.Note"));
}

void MailRun::stage() {
    createStaging();
    try {
        findStagingAgain();
    } catch (const tw::AutomationFailure&) {
        dropStaging(); // saved, but of no use: not left in the default store
        throw;
    }
}

void MailRun::dropStaging() {
    // Its messages are copies of their own: the staging note itself is
    // not kept in the default store.
    if (outlook.stagingItem)
        (void)tolerated([&] { tw::call(outlook.stagingItem.get(), Delete); });
    outlook.stagingItem.reset();
}

bool MailRun::restartOutlook() {
    target.reset();
    shutDownOutlook(outlook);
    Sleep(200);
    try {
        if (!openOutlookSession(outlook, page, wizardState().pstPath))
            return false; // told already, and the run ends as aborted
        target = tw::call(outlook.nameSpace.get(), GetFolderFromID, {targetEntryId, targetStoreId}).object();
    } catch (const tw::AutomationFailure& e) {
        target.reset();
        reportRunFailure(page, runfailure::kRestartFailed, e.description);
        return false;
    }
    return true;
}

void MailRun::leftOut(const std::wstring& what, const std::wstring& why) {
    run.noteIncomplete(folderName, item, what, why);
}

void MailRun::checkNarrowed(const std::wstring& what, const std::wstring& text) {
    if (ansiTarget && !fitsAnsiCodePage(text))
        leftOut(L"letters of " + what, kAnsiTextLost);
}

void MailRun::addAttachments(LNDocument& doc, IDispatch* message) {
    LNAttachmentArray attachments;
    doc.GetAttachments(&attachments);
    for (LNINT a = 0; a < attachments.GetCount(); ++a) {
        run.gate.pass();
        const std::wstring name = safeAttachmentName(fromNotes(attachments[a].GetAttachmentName()),
                                                     L"attachment" + std::to_wstring(a + 1));
        const std::wstring what = L"attachment " + name;
        checkNarrowed(L"the name of " + what, name);
        const DetachedFile file(attachmentDirectory() + L"\\" + name);
        try {
            attachments[a].Detach(toNotes(file.path()));
        } catch (LNSTATUS error) {
            // Damaged attachment data: that attachment is left out, the
            // message and its other parts still go.
            leftOut(what, notesErrorText(error));
            continue;
        }
        tw::ComPtr<IDispatch> list = tw::get(message, Attachments).object();
        if (!isAddedAttachment(file.path())) {
            leftOut(what, L"a message attached as a file is not added");
            continue;
        }
        if (auto why = tolerated([&] {
                tw::call(list.get(), AttachmentsAdd,
                         {file.path(), L"1", tw::Variant::missing(), tw::Variant::missing()});
            }))
            leftOut(what, *why);
    }
}

bool MailRun::buildMessage(LNDocument& doc, MessageLeftovers& leftovers, bool perMessage) {
    const MailHeaders headers = headersOf(doc, notes);
    if (headers.hasSubject && !headers.subject.empty())
        item = headers.subject;
    writeMessageFile(messageFile, headerLines(headers));
    checkNarrowed(L"the subject", headers.subject);
    checkNarrowed(L"the sender", headers.from);
    for (const auto* list : {&headers.to, &headers.cc})
        for (const std::wstring& who : *list)
            checkNarrowed(L"the recipient " + who, who);
    if (headers.hasFrom)
        page.setLabel(IDC_PROGRESS_DETAIL1, headers.from);
    if (headers.hasSubject)
        page.setLabel(IDC_PROGRESS_DETAIL2, headers.subject);
    run.gate.pass();

    if (perMessage)
        findStagingAgain();
    // Every message its own copy of the staging item, in every class.
    leftovers.copy = tw::call(outlook.stagingItem.get(), Copy).object();
    IDispatch* message = leftovers.copy.get();
    IDispatch* safe = outlook.safeMailItem.get();
    std::optional<std::wstring> headersLost = tolerated([&] { tw::put(safe, tw::idOf(safe, L"Item"), tw::Variant(message)); });
    run.gate.pass();
    if (auto why = tolerated([&] { tw::call(safe, tw::idOf(safe, L"Import"), {messageFile, 1024}); }))
        headersLost = headersLost ? headersLost : why;
    if (headersLost)
        leftOut(L"sender, recipients, date and subject", *headersLost);
    if (auto why = tolerated([&] {
            tw::putIndexed(safe, tw::idOf(safe, L"Fields"), tw::Variant(static_cast<long>(0x10800003)), tw::Variant());
            tw::put(message, UnRead, tw::Variant(true));
        }))
        leftOut(L"the unread mark", *why);
    run.gate.pass();

    if (doc.HasAttachments())
        addAttachments(doc, message);
    if (run.stopPolled())
        return false;
    if (doc.HasItem("Body")) {
        LNRichText body;
        doc.GetItem("Body", &body);
        LNString text;
        body.GetText(&text);
        const std::wstring wide = fromNotes(text);
        checkNarrowed(L"the body", wide);
        const bool html = wide.compare(0, 7, L"<HTML> ") == 0;
        tw::put(message, html ? HTMLBody : Body, tw::Variant(wide));
    }
    if (run.stopPolled())
        return false;
    try {
        tw::call(message, Move, {tw::Variant(target.get())});
    } catch (const tw::AutomationFailure& e) {
        leftOut(kWholeMessage, tw::reasonOf(e));
        // A full file takes nothing more: the run ends here.
        if (e.code == kStoreFull) {
            reportRunFailure(page, runfailure::kPstFull, tw::reasonOf(e));
            return false;
        }
        return true;
    }
    leftovers.arrived();
    return true;
}

bool MailRun::convertMessage(LNViewFolder& folder, LNINT i, LNINT n) {
    const bool perMessage = release != ReleaseClass::Early;
    bool finished = false; // the message went its whole way
    {
        // Everything this message leaves in the default store goes again
        // when this scope ends, however it ends.
        MessageLeftovers leftovers(outlook, perMessage);
        if (perMessage)
            createStaging(); // a failure skips the rest of the folder
        run.currentProgressCount = static_cast<int32_t>(i + 1);
        if (run.stopPolled())
            return false;
        if (!checkFreeSpace(lowSpaceAnswers, wizardState().selectedFolderCount))
            return false;
        page.setLabel(IDC_PROGRESS_POSITION, std::to_wstring(i + 1) + L"/" + std::to_wstring(n));
        item = L"message " + std::to_wstring(i + 1) + L" of " + std::to_wstring(n);
        try {
            OpenDocument document(folder, i);
            if (!buildMessage(document.doc, leftovers, perMessage))
                return false;
            finished = true;
        } catch (const tw::AutomationFailure& e) {
            // The rest of this message is dropped; the next one follows.
            leftOut(kWholeMessage, tw::reasonOf(e));
        } catch (LNSTATUS error) {
            leftOut(kWholeMessage, notesErrorText(error));
        }
    }
    if (finished && release == ReleaseClass::Late && (i + 1) % 50 == 0 && !restartOutlook())
        return false;
    if (finished && version.compare(0, 2, L"11") == 0) {
        const std::wstring refused = emptySecureTempFolder();
        if (!refused.empty() && !secureTempRefusalLogged) {
            appendLogLine(L"The secure temporary folder \"" + refused +
                          L"\" was not emptied: it is one of the user's or the system's own folders.");
            secureTempRefusalLogged = true;
        }
    }
    page.setBar(IDC_PROGRESS_CURRENT, static_cast<int>((i + 1) * 100 / n));
    return true;
}
