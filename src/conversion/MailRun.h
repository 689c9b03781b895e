// The state of one mail conversion, shared by its folder and message
// procedures (MailConversion.cpp, MailMessage.cpp).
#pragma once
#include "../adapters/NotesLibrary.h"
#include "OutlookSession.h"

#include <string>

class ProgressView;
struct ConversionRun;

// How the Outlook release stages its message items.
enum class ReleaseClass {
    Early, // "9." and "10": one staging item per folder
    Late,  // "11" and "12": one per message, Outlook restarted every 50
    Other, // later releases: one per message, no restarts
};
ReleaseClass releaseClassOf(const std::wstring& version);

struct MailRun {
    ProgressView& page;
    OutlookSession& outlook;
    ConversionRun& run;
    LNNotesSession& notes;
    std::wstring messageFile; // the run's own RFC 822 header file
    int lowSpaceAnswers = 0;

    // The folder being filled.
    tw::ComPtr<IDispatch> target;
    std::wstring targetEntryId, targetStoreId;
    ReleaseClass release = ReleaseClass::Late;
    std::wstring version;

    // One message of the open view or folder; false when the conversion
    // must return (a stop, the free-space check, a failed restart).
    bool convertMessage(LNViewFolder& folder, LNINT index, LNINT count);
    // The staging item: made and saved, then found again by its id with
    // the mail class set.
    void stage();
    // Lets go of the staging item, deleting it from the default store.
    void dropStaging();
    // Quits and restarts Outlook, finding the target folder again.
    bool restartOutlook();
};
