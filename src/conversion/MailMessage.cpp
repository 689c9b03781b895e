// One message of a Notes folder on its way into the PST.
#include "../framework/Handles.h"
#include "../framework/Text.h"
#include "../resources/resource.h"
#include "../shell/WizardState.h"
#include "ConversionRun.h"
#include "MailParts.h"
#include "MailRun.h"
#include "ProgressView.h"

namespace {

using namespace outlookid;

// Runs a step whose failure the message survives.
template <typename F>
void tolerated(F&& step) {
    try {
        step();
    } catch (const tw::AutomationFailure&) {
    }
}

// The document's items as header lines.
MailHeaders headersOf(const LNDocument& doc, const LNNotesSession& notes) {
    MailHeaders h;
    auto abbreviated = [&](const LNString& name) {
        LNString copy = name;
        notes.AbbreviateName(&copy);
        return std::string(copy.GetPlatformTextPtr());
    };
    auto list = [&](const char* item, bool& has, std::vector<std::string>& values) {
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
        h.date = headerDateText(joined.GetPlatformTextPtr());
    }
    if (doc.HasItem("Subject")) {
        LNText subject;
        doc.GetItem("Subject", &subject);
        h.hasSubject = true;
        if (subject.GetCount() > 0)
            h.subject = subject[0].GetPlatformTextPtr();
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

} // namespace

void MailRun::stage() {
    outlook.stagingItem = tw::call(outlook.application.get(), CreateItem, {5}).object();
    tw::call(outlook.stagingItem.get(), Save);
    const std::wstring id = tw::get(outlook.stagingItem.get(), EntryID).text();
    outlook.stagingItem = tw::call(outlook.nameSpace.get(), GetItemFromID, {id, L""}).object();
    tw::put(outlook.stagingItem.get(), MessageClass, tw::Variant(L"IPM.Note"));
}

void MailRun::dropStaging() {
    // Its messages are copies of their own: the staging note itself is
    // not kept in the default store.
    if (outlook.stagingItem)
        tolerated([&] { tw::call(outlook.stagingItem.get(), Delete); });
    outlook.stagingItem.reset();
}

bool MailRun::restartOutlook() {
    target.reset();
    shutDownOutlook(outlook);
    Sleep(200);
    if (!openOutlookSession(outlook, page, wizardState().pstPath))
        return false;
    target = tw::call(outlook.nameSpace.get(), GetFolderFromID, {targetEntryId, targetStoreId}).object();
    return true;
}

bool MailRun::convertMessage(LNViewFolder& folder, LNINT i, LNINT n) {
    const WizardState& state = wizardState();
    const bool perMessage = release != ReleaseClass::Early;
    if (perMessage) {
        // Made and saved here; a failure skips the rest of the folder.
        outlook.stagingItem = tw::call(outlook.application.get(), CreateItem, {5}).object();
        tw::call(outlook.stagingItem.get(), Save);
    }
    run.currentProgressCount = static_cast<int32_t>(i + 1);
    if (run.stopPolled())
        return false;
    if (!checkFreeSpace(lowSpaceAnswers, state.selectedFolderCount))
        return false;
    page.setLabel(IDC_PROGRESS_POSITION, std::to_wstring(i + 1) + L"/" + std::to_wstring(n));

    LNDocument doc;
    tw::ComPtr<IDispatch> message;
    bool stop = false;
    try {
        LNVFEntry entry;
        folder.GetEntry(i, &entry);
        entry.GetDocument(&doc);
        doc.Open(0);
        const MailHeaders headers = headersOf(doc, notes);
        writeMessageFile(messageFile, headerLines(headers));
        if (headers.hasFrom)
            page.setLabel(IDC_PROGRESS_DETAIL1, tw::fromAnsi(headers.from));
        if (headers.hasSubject)
            page.setLabel(IDC_PROGRESS_DETAIL2, tw::fromAnsi(headers.subject));
        run.gate.pass();

        if (perMessage) {
            const std::wstring id = tw::get(outlook.stagingItem.get(), EntryID).text();
            outlook.stagingItem = tw::call(outlook.nameSpace.get(), GetItemFromID, {id, L""}).object();
            tw::put(outlook.stagingItem.get(), MessageClass, tw::Variant(L"IPM.Note"));
        }
        // Every message its own copy of the staging item, in every class.
        message = tw::call(outlook.stagingItem.get(), Copy).object();
        IDispatch* safe = outlook.safeMailItem.get();
        tolerated([&] { tw::put(safe, tw::idOf(safe, L"Item"), tw::Variant(message.get())); });
        run.gate.pass();
        tolerated([&] { tw::call(safe, tw::idOf(safe, L"Import"), {messageFile, 1024}); });
        tolerated([&] {
            tw::putIndexed(safe, tw::idOf(safe, L"Fields"), tw::Variant(static_cast<long>(0x10800003)), tw::Variant());
            tw::put(message.get(), UnRead, tw::Variant(true));
        });
        run.gate.pass();

        if (doc.HasAttachments()) {
            LNAttachmentArray attachments;
            doc.GetAttachments(&attachments);
            for (LNINT a = 0; a < attachments.GetCount(); ++a) {
                run.gate.pass();
                const std::string name = safeAttachmentName(attachments[a].GetAttachmentName().GetPlatformTextPtr(),
                                                            "attachment" + std::to_string(a + 1));
                const std::string path = tw::toAnsi(attachmentDirectory()) + "\\" + name;
                try {
                    attachments[a].Detach(path.c_str());
                } catch (LNSTATUS) {
                    // Damaged attachment data: that attachment is left out,
                    // the message and its other parts still go.
                    DeleteFileW(tw::fromAnsi(path).c_str());
                    continue;
                }
                tw::ComPtr<IDispatch> list = tw::get(message.get(), Attachments).object();
                if (isAddedAttachment(path))
                    tolerated([&] {
                        tw::call(list.get(), AttachmentsAdd,
                                 {tw::fromAnsi(path), L"1", tw::Variant::missing(), tw::Variant::missing()});
                    });
                DeleteFileW(tw::fromAnsi(path).c_str());
            }
        }
        if (run.stopPolled()) {
            stop = true;
        } else {
            if (doc.HasItem("Body")) {
                LNRichText body;
                doc.GetItem("Body", &body);
                LNString text;
                body.GetText(&text);
                const std::wstring wide = tw::fromAnsi(text.GetPlatformTextPtr());
                const bool html = wide.compare(0, 7, L"<HTML> ") == 0;
                tw::put(message.get(), html ? HTMLBody : Body, tw::Variant(wide));
            }
            if (run.stopPolled()) {
                stop = true;
            } else {
                tolerated([&] { tw::call(message.get(), Move, {tw::Variant(target.get())}); });
                message.reset();
                if (perMessage) {
                    dropStaging();
                    if (release == ReleaseClass::Late && (i + 1) % 50 == 0 && !restartOutlook())
                        stop = true;
                }
                if (!stop && version.compare(0, 2, L"11") == 0)
                    emptySecureTempFolder();
            }
        }
    } catch (const tw::AutomationFailure&) {
        // The rest of this message is dropped; the next one follows.
    } catch (LNSTATUS) {
    }
    message.reset();
    if (perMessage && outlook.stagingItem)
        dropStaging();
    try {
        if (doc.IsOpen())
            doc.Close();
    } catch (LNSTATUS) {
    }
    if (stop)
        return false;
    page.setBar(IDC_PROGRESS_CURRENT, static_cast<int>((i + 1) * 100 / n));
    return true;
}
