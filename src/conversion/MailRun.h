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

// What a message leaves in the profile's default store on its way into the
// PST: its copy of the staging item and, where the release stages one per
// message, the staging note. Whatever way the message's procedure ends,
// they are deleted, but for a copy that has arrived in the PST.
class MessageLeftovers {
public:
    MessageLeftovers(OutlookSession& outlook, bool ownsStaging) : outlook_(outlook), ownsStaging_(ownsStaging) {}
    ~MessageLeftovers();
    MessageLeftovers(const MessageLeftovers&) = delete;
    MessageLeftovers& operator=(const MessageLeftovers&) = delete;
    // The message's copy of the staging item, from the moment it exists.
    tw::ComPtr<IDispatch> copy;
    // The copy was moved into the PST: nothing of it is left behind.
    void arrived() { copy.reset(); }

private:
    OutlookSession& outlook_;
    bool ownsStaging_;
};

struct MailRun {
    ProgressView& page;
    OutlookSession& outlook;
    ConversionRun& run;
    LNNotesSession& notes;
    std::wstring messageFile; // the run's own RFC 822 header file
    int lowSpaceAnswers = 0;
    bool secureTempRefusalLogged = false; // said once a run

    // The folder being filled, and its name as the user knows it.
    tw::ComPtr<IDispatch> target;
    std::wstring folderName;
    // The message under way as the log names it: its subject, once known.
    std::wstring item;
    std::wstring targetEntryId, targetStoreId;
    ReleaseClass release = ReleaseClass::Late;
    std::wstring version;
    // The target is an ANSI file: texts its code page lacks are reported.
    bool ansiTarget = false;

    // One message of the open view or folder; false when the conversion
    // must return (a stop, the free-space check, a failed restart).
    bool convertMessage(LNViewFolder& folder, LNINT index, LNINT count);
    // The staging item: made and saved (a note that is deleted again
    // should what follows fail), then found again by its id with the mail
    // class set.
    void stage();
    void createStaging();
    void findStagingAgain();
    // Lets go of the staging item, deleting it from the default store.
    void dropStaging();
    // Quits and restarts Outlook, finding the target folder again; a
    // failure is shown with Outlook's text and ends the run as aborted.
    bool restartOutlook();

private:
    // The message's steps from its header file to its move into the PST;
    // false when a stop is polled on the way.
    bool buildMessage(LNDocument& doc, MessageLeftovers& leftovers, bool perMessage);
    void addAttachments(LNDocument& doc, IDispatch* message);
    // Part of the message under way did not arrive, for the end of the run.
    void leftOut(const std::wstring& what, const std::wstring& why);
    // In an ANSI target, a text with letters its code page lacks.
    void checkNarrowed(const std::wstring& what, const std::wstring& text);

};
