// The Outlook side of a run, on the conversion worker: Outlook started and
// logged on, the target PST added as a store and its root named, folder
// paths found or made, and the session ended again.
#pragma once
#include "../adapters/Automation.h"

#include <string>

class ProgressView;

// Every field an automation reference, or empty.
struct OutlookSession {
    tw::ComPtr<IDispatch> application;
    tw::ComPtr<IDispatch> nameSpace;
    tw::ComPtr<IDispatch> topFolders;
    tw::ComPtr<IDispatch> storeRoot;
    tw::ComPtr<IDispatch> storeFolders;
    tw::ComPtr<IDispatch> stagingItem;
    tw::ComPtr<IDispatch> contactItem;
    tw::ComPtr<IDispatch> safeMailItem;
    int comStarts = 0; // CoInitializeEx calls to balance
};

// The name the store's root is given.
extern const wchar_t kStoreRootName[];

// Outlook's dispatch identifiers.
namespace outlookid {
enum : DISPID {
    GetNamespace = 0x110, CreateItem = 0x10A, Version = 0x116, Quit = 0x113,
    Logon = 0x2105, AddStore = 0x2119, Folders = 0x2103, GetItemFromID = 0x2109, GetFolderFromID = 0x2108,
    Logoff = 0x2106,
    Count = 0x50, Item = 0x51, Add = 0x5F, GetLast = 0x58,
    Name = 0x3001, Description = 0x3004, EntryID = 0xF01E, StoreID = 0x3108,
    Save = 0xF048, MessageClass = 0x1A, Copy = 0xF032, Move = 0xF034, Delete = 0xF04A, UnRead = 0xF01C,
    Body = 0x9100, HTMLBody = 0xF404, Attachments = 0xF815, AttachmentsAdd = 0x65,
};
} // namespace outlookid

// Starts COM on this thread, Outlook, the logon and the store. False when
// Outlook cannot be created or cannot log on (after a message, with both
// stop flags set); later failures throw tw::AutomationFailure.
bool openOutlookSession(OutlookSession& session, ProgressView& page, const std::wstring& pstPath);
// The folder of the path's last component ("A\\B\\"), made where missing;
// "Personal Folders" stands for the store's root. Empty when every
// component was skipped. Throws tw::AutomationFailure.
tw::ComPtr<IDispatch> findOrCreateFolderPath(OutlookSession& session, const std::wstring& path);
// Releases the session's objects, logs off, quits Outlook, ends COM here.
void shutDownOutlook(OutlookSession& session);
