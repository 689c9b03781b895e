#include "MailConversion.h"

#include "../adapters/NotesText.h"
#include "../adapters/PstFormat.h"
#include "../common/ActivityLog.h"
#include "../common/Messages.h"
#include "../common/WizardState.h"
#include "../framework/Text.h"
#include "../resources/resource.h"
#include "ConversionRun.h"
#include "MailParts.h"
#include "MailRun.h"
#include "ProgressView.h"
#include "RunFailure.h"

#include <ole2.h>

namespace {

using namespace outlookid;

// {0A95BE2D-1543-46BE-AD6D-18653034BF87}: Redemption's safe mail item.
const IID kIidSafeMailItem = {0x0A95BE2D, 0x1543, 0x46BE, {0xAD, 0x6D, 0x18, 0x65, 0x30, 0x34, 0xBF, 0x87}};
// {E54C5168-AA8C-405F-9C14-A4037302BD9D}: its session object.
const IID kIidRdoSession = {0xE54C5168, 0xAA8C, 0x405F, {0x9C, 0x14, 0xA4, 0x03, 0x73, 0x02, 0xBD, 0x9D}};

// A Redemption object through its own interface (any server context,
// then run). Any failure is raised with the platform's words: an object
// without its interface (E_NOINTERFACE) would let every message arrive
// without its sender, recipients, date and subject.
tw::ComPtr<IDispatch> createRedemption(const wchar_t* progId, const IID& iid) {
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(progId, &clsid);
    tw::ComPtr<IUnknown> object;
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IUnknown, object.putVoid());
    if (SUCCEEDED(hr))
        hr = OleRun(object.get());
    tw::ComPtr<IDispatch> held;
    if (SUCCEEDED(hr))
        hr = object->QueryInterface(iid, held.putVoid());
    if (FAILED(hr))
        throw tw::AutomationFailure{hr, std::wstring(progId) + L" could not be created. " + tw::systemMessage(hr)};
    return held;
}

// The run's own header file, removed again when the conversion returns.
class MessageFile {
public:
    MessageFile() {
        wchar_t dir[MAX_PATH] = L"", name[MAX_PATH] = L"";
        if (GetTempPathW(MAX_PATH, dir) && GetTempFileNameW(dir, L"twm", 0, name))
            path_ = name;
        else
            error_ = GetLastError();
    }
    ~MessageFile() {
        if (!path_.empty())
            DeleteFileW(path_.c_str());
    }
    MessageFile(const MessageFile&) = delete;
    MessageFile& operator=(const MessageFile&) = delete;
    const std::wstring& path() const { return path_; }
    // Why there is no file, when there is none.
    DWORD error() const { return error_; }

private:
    std::wstring path_;
    DWORD error_ = 0;
};

std::wstring decimal(long n) { return std::to_wstring(n); }

// The messages of a chosen folder that a failure of the folder's own
// steps left out, from message `next` on (all when the count is unknown).
void noteFolderLeftOut(MailRun& mail, const std::wstring& folder, LNINT next, LNINT count,
                       const std::wstring& why) {
    const std::wstring which =
        count < 0 ? L"every message"
                  : L"messages " + decimal(next + 1) + L" to " + decimal(count) + L" of " + decimal(count);
    if (count < 0 || next < count)
        mail.run.noteIncomplete(folder, which, L"the whole message", why,
                                count < 0 ? 1 : static_cast<size_t>(count - next));
}

// The folder procedure for one view or folder; false when the conversion
// must return.
bool convertFolder(MailRun& mail, LNViewFolderArray& views, LNINT j, LNINT viewCount) {
    const WizardState& state = wizardState();
    ConversionRun& run = mail.run;
    if (run.stopPolled())
        return false;
    bool advanceBar = true;
    bool selected = false;
    LNINT count = -1, next = 0; // the folder's messages, and the one now converted
    std::wstring shownName;
    try {
        LNViewFolder folder = views[j];
        folder.Open();
        const std::wstring notesName = fromNotes(folder.GetName());
        mail.folderName = shownName = shownFolderName(notesName);
        if (mail.ansiTarget && !fitsAnsiCodePage(shownName))
            run.noteIncomplete(shownName, L"the folder", L"letters of its name", kAnsiTextLost);
        const std::wstring targetPath = state.pstFolderName + L"\\" + mail.folderName + L"\\";
        for (const std::wstring& entry : state.selectedFolders) {
            if (run.stopPolled())
                return false;
            const size_t first = entry.find(L'\\');
            const std::wstring rest = first == std::wstring::npos ? std::wstring() : entry.substr(first + 1);
            if (state.pstFolderName + L"\\" + rest == targetPath)
                selected = true;
        }
        if (selected) {
            count = folder.GetEntryCount();
            const long overall = ++run.overallProgressCount;
            mail.page.setLabel(IDC_PROGRESS_FOLDER, decimal(overall) + L"/" + decimal(state.selectedFolderCount) +
                                                        L"   [" + notesName + L"]");
            // One level at a time, each made where it is missing.
            size_t end = 0;
            while ((end = targetPath.find(L'\\', end)) != std::wstring::npos) {
                ++end;
                mail.target = findOrCreateFolderPath(mail.outlook, targetPath.substr(0, end));
            }
            if (!mail.target)
                throw tw::AutomationFailure{E_FAIL, L"no target folder"};
            mail.targetEntryId = tw::get(mail.target.get(), EntryID).text();
            mail.targetStoreId = tw::get(mail.target.get(), StoreID).text();
            mail.version = tw::get(mail.outlook.application.get(), Version).text();
            mail.release = releaseClassOf(mail.version);
            if (mail.release == ReleaseClass::Early) {
                advanceBar = false; // a folder whose staging fails is skipped without it
                mail.stage();
                advanceBar = true;
            }
            bool goOn = true;
            for (; next < count && goOn; ++next)
                goOn = mail.convertMessage(folder, next, count);
            if (mail.release == ReleaseClass::Early)
                mail.dropStaging();
            mail.target.reset();
            if (!goOn)
                return false;
        }
    } catch (const tw::AutomationFailure& e) {
        mail.target.reset();
        if (selected)
            noteFolderLeftOut(mail, shownName, next, count, tw::reasonOf(e));
    } catch (LNSTATUS error) {
        mail.target.reset();
        if (selected)
            noteFolderLeftOut(mail, shownName, next, count, notesErrorText(error));
    }
    if (advanceBar)
        mail.page.setBar(IDC_PROGRESS_OVERALL, static_cast<int>((j + 1) * 100 / viewCount));
    return true;
}

} // namespace

ReleaseClass releaseClassOf(const std::wstring& version) {
    const std::wstring first = version.substr(0, 2);
    if (first == L"9." || first == L"10")
        return ReleaseClass::Early;
    if (first == L"11" || first == L"12")
        return ReleaseClass::Late;
    return ReleaseClass::Other;
}

void convertMails(ProgressView& page, OutlookSession& outlook) {
    const WizardState& state = wizardState();
    ConversionRun& run = conversionRun();
    page.setLabel(IDC_PROGRESS_POSITION_CAPTION, L"No of Mail(s) :");
    page.setLabel(IDC_PROGRESS_DETAIL1_CAPTION, L"From :");
    page.setLabel(IDC_PROGRESS_DETAIL2_CAPTION, L"Subject :");
    try {
        if (!openOutlookSession(outlook, page, state.pstPath))
            return;
    } catch (const tw::AutomationFailure& e) {
        reportRunFailure(page, runfailure::kPstNotOpened, e.description);
        return;
    }
    tw::ComPtr<IDispatch> rdoSession;
    try {
        outlook.safeMailItem = createRedemption(L"Redemption.SafeMailItem", kIidSafeMailItem);
        rdoSession = createRedemption(L"Redemption.RDOSession", kIidRdoSession);
        findOrCreateFolderPath(outlook, state.pstFolderName + L"\\");
    } catch (const tw::AutomationFailure& e) {
        reportRunFailure(page, runfailure::kNotPrepared, e.description);
        return;
    }
    // Without its header file every message would be dropped.
    MessageFile messageFile;
    if (messageFile.path().empty()) {
        reportRunFailure(page, runfailure::kMessageFileNotMade, tw::systemMessage(messageFile.error()));
        return;
    }
    LNNotesSession notes;
    if (const LNSTATUS status = notes.Init(LNAPI_RELEASE_700)) {
        reportRunFailure(page, runfailure::kNotesNotStarted, notesErrorText(status));
        return;
    }
    LNSetThrowAllErrorsGlobal(TRUE);
    MailRun mail{page, outlook, run, notes, messageFile.path()};
    mail.ansiTarget = isAnsiPst(state.pstPath);
    if (mail.ansiTarget)
        appendLogLine(kAnsiTargetLogLine);
    LNDatabase db;
    try {
        LNViewFolderArray views;
        try {
            notes.GetDatabase(toNotes(state.sourcePath), &db, "");
            db.Open(0);
            db.GetViewFolders(&views, FALSE);
        } catch (LNSTATUS error) {
            reportRunFailure(page, runfailure::kSourceUnreadable, notesErrorText(error));
            notes.Term(0);
            return;
        }
        const LNINT viewCount = views.GetCount();
        for (LNINT j = 0; j < viewCount; ++j)
            if (!convertFolder(mail, views, j, viewCount)) {
                db.Close();
                notes.Term(0);
                return;
            }
    } catch (LNSTATUS) {
    }
    try {
        db.Close();
    } catch (LNSTATUS) {
    }
    notes.Term(0);
    shutDownOutlook(outlook);
    run.conversionThread = false;
}
