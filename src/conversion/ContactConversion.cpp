#include "ContactConversion.h"

#include "../adapters/NotesLibrary.h"
#include "../framework/Text.h"
#include "../resources/resource.h"
#include "../shell/Messages.h"
#include "../shell/WizardState.h"
#include "ConversionRun.h"
#include "OutlookSession.h"
#include "ProgressView.h"
#include "RunFailure.h"

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

// One field: skipped when the item is missing, empty, of another kind or
// refused by Outlook; the next field follows in every case.
void copyField(const Field& f, const LNDocument& doc, IDispatch* contact, ProgressView& page) {
    try {
        if (!doc.HasItem(f.item))
            return;
        std::string value;
        if (f.isDate) {
            LNDatetimes dates;
            doc.GetItem(f.item, &dates);
            LNString text;
            dates.GetText(";", &text);
            value = text.GetPlatformTextPtr();
        } else {
            LNText text;
            doc.GetItem(f.item, &text);
            if (text.GetCount() > 0)
                value = text[0].GetPlatformTextPtr();
        }
        if (value.empty())
            return;
        const std::wstring wide = tw::fromAnsi(value);
        if (f.isDate) {
            // A text that is no date (two dates joined, say) leaves the
            // property unset rather than 30 December 1899.
            double date = 0;
            if (asDate(wide, date))
                tw::put(contact, f.property, tw::Variant::date(date));
            return;
        }
        tw::put(contact, f.property, tw::Variant(wide));
        if (f.property == 0x3001)
            page.setLabel(IDC_PROGRESS_DETAIL1, wide);
        else if (f.property == 0x3A1C)
            page.setLabel(IDC_PROGRESS_DETAIL2, wide);
    } catch (LNSTATUS) {
    } catch (const tw::AutomationFailure&) {
    }
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
    int lowSpaceAnswers = 0;
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
    if (notes.Init(LNAPI_RELEASE_700) != LNNOERROR)
        return;
    LNSetThrowAllErrorsGlobal(TRUE);
    {
        LNDatabase db;
        LNDocumentArray people;
        try {
            notes.GetDatabase(tw::toAnsi(state.sourcePath).c_str(), &db, "");
            db.Open(0);
            db.Search(LNFormula("Form=\"Person\""), &people);
            const LNINT n = people.GetCount();
            if (n == 0) {
                showMessage(page.window(), L"Please check if you have select the correct source file.", MB_OK);
                run.conversionFailed = true;
                run.requestStop();
                return;
            }
            for (LNINT i = 0; i < n; ++i) {
                run.currentProgressCount = static_cast<int32_t>(i);
                run.overallProgressCount = static_cast<int32_t>(i);
                if (!checkFreeSpace(lowSpaceAnswers, 1))
                    return;
                page.setLabel(IDC_PROGRESS_POSITION, std::to_wstring(i + 1) + L"/" + std::to_wstring(n));
                outlook.contactItem = tw::call(outlook.application.get(), CreateItem, {2}).object();
                LNDocument doc = people[i];
                doc.Open(0);
                for (const Field& f : kFields) {
                    run.gate.pass();
                    copyField(f, doc, outlook.contactItem.get(), page);
                    if (f.pollAfter && run.stopPolled()) {
                        doc.Close();
                        return; // this contact is neither saved nor moved
                    }
                }
                tw::call(outlook.contactItem.get(), Save);
                tw::call(outlook.contactItem.get(), Move, {tw::Variant(contactsFolder.get())});
                outlook.contactItem.reset();
                const int percent = static_cast<int>((i + 1) * 100 / n);
                page.setBar(IDC_PROGRESS_CURRENT, percent);
                page.setBar(IDC_PROGRESS_OVERALL, percent);
                doc.Close();
            }
        } catch (LNSTATUS) {
        } catch (const tw::AutomationFailure&) {
        }
    }
    logStep6Summary(1);
    notes.Term(0);
    if (outlook.nameSpace)
        try {
            tw::call(outlook.nameSpace.get(), Logoff);
        } catch (const tw::AutomationFailure&) {
        }
}
