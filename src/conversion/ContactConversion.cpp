#include "ContactConversion.h"

#include "../adapters/NotesText.h"
#include "../common/Messages.h"
#include "../common/WizardState.h"
#include "../framework/Text.h"
#include "../resources/resource.h"
#include "ConversionRun.h"
#include "OutlookSession.h"
#include "ProgressView.h"
#include "RunFailure.h"

#include <optional>
#include <vector>

namespace {

using namespace outlookid;

struct Field {
    const char* item;
    DISPID property;
    bool isDate;
    bool pollAfter;
};

// The seventeen Notes items, in the order they are handled.
const Field kFields[] = {
    {"FirstName", 0x3A06, false, true},          {"LastName", 0x3A11, false, true},
    {"MiddleInitial", 0x3A44, false, false},     {"OfficeFAXPhoneNumber", 0x3A24, false, false},
    {"HomeFAXPhoneNumber", 0x3A25, false, false}, {"FullName", 0x3001, false, false},
    {"ShortName", 0x3A4F, false, false},         {"InternetAddress", 0x8083, false, false},
    {"CompanyName", 0x3A16, false, false},       {"MailAddress", 0x3A15, false, true},
    {"Country", 0x3A26, false, false},           {"Birthday", 0x3A42, true, false},
    {"Anniversary", 0x3A41, true, false},        {"Department", 0x3A18, false, false},
    {"MiscPhone1", 0x3A1A, false, false},        {"OfficePhoneNumber", 0x3A57, false, false},
    {"CellPhoneNumber", 0x3A1C, false, true},
};

// A text the platform reads as one date, or nothing.
bool asDate(const std::wstring& text, double& date) {
    VARIANT from, to;
    VariantInit(&from);
    VariantInit(&to);
    V_VT(&from) = VT_BSTR;
    V_BSTR(&from) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    const HRESULT hr = VariantChangeType(&to, &from, 0, VT_DATE);
    VariantClear(&from);
    if (FAILED(hr))
        return false;
    date = V_DATE(&to);
    return true;
}

// One field: skipped when the item is missing or empty; when it cannot be
// read, is no date where a date belongs or is refused by Outlook, skipped
// with the reason returned. The next field follows in every case.
std::optional<std::wstring> copyField(const Field& f, const LNDocument& doc, IDispatch* contact, ProgressView& page) {
    try {
        if (!doc.HasItem(f.item))
            return std::nullopt;
        std::wstring value;
        if (f.isDate) {
            LNDatetimes dates;
            doc.GetItem(f.item, &dates);
            LNString text;
            dates.GetText(";", &text);
            value = fromNotes(text);
        } else {
            LNText text;
            doc.GetItem(f.item, &text);
            if (text.GetCount() > 0)
                value = fromNotes(text[0]);
        }
        if (value.empty())
            return std::nullopt;
        const std::wstring& wide = value;
        if (f.isDate) {
            // A text that is no date (two dates joined, say) leaves the
            // property unset rather than 30 December 1899.
            double date = 0;
            if (!asDate(wide, date))
                return L"not a date: " + wide;
            tw::put(contact, f.property, tw::Variant::date(date));
            return std::nullopt;
        }
        tw::put(contact, f.property, tw::Variant(wide));
        if (f.property == 0x3001)
            page.setLabel(IDC_PROGRESS_DETAIL1, wide);
        else if (f.property == 0x3A1C)
            page.setLabel(IDC_PROGRESS_DETAIL2, wide);
    } catch (LNSTATUS error) {
        return notesErrorText(error);
    } catch (const tw::AutomationFailure& e) {
        return tw::reasonOf(e);
    }
    return std::nullopt;
}

// A person as the log names it: by full name when it has one.
std::wstring personName(const LNDocument& doc, const std::wstring& otherwise) {
    try {
        if (doc.HasItem("FullName")) {
            LNText full;
            doc.GetItem("FullName", &full);
            if (full.GetCount() > 0 && *full[0].GetTextPtr())
                return fromNotes(full[0]);
        }
    } catch (LNSTATUS) {
    }
    return otherwise;
}

// A person's contact item, from its creation until it is in the PST: one
// that was saved in the default store but did not arrive there goes again.
class ContactInProgress {
public:
    explicit ContactInProgress(OutlookSession& outlook) : outlook_(outlook) {}
    ~ContactInProgress() {
        if (saved_ && !arrived_ && outlook_.contactItem)
            try {
                tw::call(outlook_.contactItem.get(), Delete);
            } catch (const tw::AutomationFailure&) {
            }
        outlook_.contactItem.reset();
    }
    ContactInProgress(const ContactInProgress&) = delete;
    ContactInProgress& operator=(const ContactInProgress&) = delete;
    void saved() { saved_ = true; }
    void arrived() { arrived_ = true; }

private:
    OutlookSession& outlook_;
    bool saved_ = false, arrived_ = false;
};

// One person document into a contact of the folder. False when the
// conversion must return: a stop, or a failure the user has been told of.
bool convertPerson(ProgressView& page, OutlookSession& outlook, LNDocument doc, IDispatch* folder,
                   const std::wstring& position) {
    ConversionRun& run = conversionRun();
    try {
        doc.Open(0);
    } catch (LNSTATUS error) {
        reportRunFailure(page, runfailure::kPersonNotRead, notesErrorText(error));
        return false;
    }
    struct Closer {
        LNDocument& doc;
        ~Closer() {
            try {
                doc.Close();
            } catch (LNSTATUS) {
            }
        }
    } closer{doc};
    ContactInProgress contact(outlook);
    try {
        outlook.contactItem = tw::call(outlook.application.get(), CreateItem, {2}).object();
        std::vector<std::pair<std::wstring, std::wstring>> leftOut; // field, why
        for (const Field& f : kFields) {
            run.gate.pass();
            if (auto why = copyField(f, doc, outlook.contactItem.get(), page))
                leftOut.emplace_back(L"field " + tw::fromAnsi(f.item), *why);
            if (f.pollAfter && run.stopPolled())
                return false; // this contact is neither saved nor moved
        }
        for (const auto& field : leftOut)
            run.noteIncomplete(wizardState().pstFolderName, personName(doc, position), field.first, field.second);
        tw::call(outlook.contactItem.get(), Save);
        contact.saved();
        tw::call(outlook.contactItem.get(), Move, {tw::Variant(folder)});
        contact.arrived();
    } catch (const tw::AutomationFailure& e) {
        reportRunFailure(page, runfailure::kContactNotWritten, tw::reasonOf(e));
        return false;
    }
    return true;
}

// Every person of the source into the folder; false when the conversion
// ended early (a stop, the free-space check, no persons, a failure).
bool convertPeople(ProgressView& page, OutlookSession& outlook, LNNotesSession& notes, IDispatch* folder) {
    ConversionRun& run = conversionRun();
    LNDatabase db;
    LNDocumentArray people;
    try {
        notes.GetDatabase(toNotes(wizardState().sourcePath), &db, "");
        db.Open(0);
        db.Search(LNFormula("Form=\"Person\""), &people);
    } catch (LNSTATUS error) {
        reportRunFailure(page, runfailure::kSourceUnreadable, notesErrorText(error));
        return false;
    }
    const LNINT n = people.GetCount();
    if (n == 0) {
        page.ask(L"Please check if you have select the correct source file.", MB_OK);
        run.conversionFailed = true;
        run.requestStop();
        return false;
    }
    int lowSpaceAnswers = 0;
    for (LNINT i = 0; i < n; ++i) {
        run.currentProgressCount = static_cast<int32_t>(i);
        run.overallProgressCount = static_cast<int32_t>(i);
        if (!checkFreeSpace(lowSpaceAnswers, 1))
            return false;
        page.setLabel(IDC_PROGRESS_POSITION, std::to_wstring(i + 1) + L"/" + std::to_wstring(n));
        if (!convertPerson(page, outlook, people[i], folder,
                           L"person " + std::to_wstring(i + 1) + L" of " + std::to_wstring(n)))
            return false;
        const int percent = static_cast<int>((i + 1) * 100 / n);
        page.setBar(IDC_PROGRESS_CURRENT, percent);
        page.setBar(IDC_PROGRESS_OVERALL, percent);
    }
    return true;
}

} // namespace

void convertContacts(ProgressView& page, OutlookSession& outlook) {
    const WizardState& state = wizardState();
    ConversionRun& run = conversionRun();
    page.setLabel(IDC_PROGRESS_POSITION_CAPTION, L"No. of Contact(s) :");
    page.setLabel(IDC_PROGRESS_DETAIL1_CAPTION, L"Name :");
    page.setLabel(IDC_PROGRESS_DETAIL2_CAPTION, L"Mobile No :");
    page.setLabel(IDC_PROGRESS_FOLDER, state.pstFolderName);
    if (run.stopPolled())
        return;
    tw::ComPtr<IDispatch> contactsFolder;
    // Outlook's errors here are reported, and the run ends as aborted:
    // nothing can be converted without the store and the folder.
    const wchar_t* step = runfailure::kPstNotOpened;
    try {
        if (!openOutlookSession(outlook, page, state.pstPath))
            return;
        step = runfailure::kContactsFolderNotMade;
        contactsFolder = tw::call(outlook.storeFolders.get(), Add, {state.pstFolderName, L"IPF.Contact"}).object();
    } catch (const tw::AutomationFailure& e) {
        reportRunFailure(page, step, e.description);
        return;
    }
    LNNotesSession notes;
    if (const LNSTATUS status = notes.Init(LNAPI_RELEASE_700)) {
        reportRunFailure(page, runfailure::kNotesNotStarted, notesErrorText(status));
        return;
    }
    LNSetThrowAllErrorsGlobal(TRUE);
    if (!convertPeople(page, outlook, notes, contactsFolder.get()))
        return;
    logStep6Summary(1);
    notes.Term(0);
    if (outlook.nameSpace)
        try {
            tw::call(outlook.nameSpace.get(), Logoff);
        } catch (const tw::AutomationFailure&) {
        }
}
