#include "NameSpace.h"

#include "Folder.h"
#include "FolderCollection.h"
#include "Item.h"
#include "PropertyValues.h"

namespace outlook {

namespace {
enum : DISPID {
    kLogon = 0x2105, kAddStore = 0x2119, kFolders = 0x2103, kGetItemFromId = 0x2109, kGetFolderFromId = 0x2108,
    kLogoff = 0x2106,
};
constexpr HRESULT kNotFound = static_cast<HRESULT>(0x8004010F); // MAPI_E_NOT_FOUND
} // namespace

tw::ComPtr<NameSpace> NameSpace::make(std::shared_ptr<Session> session) {
    return tw::ComPtr<NameSpace>::adopt(new NameSpace(std::move(session)));
}

const std::vector<Member>& NameSpace::members() const {
    static const std::vector<Member> list = {{L"Logon", kLogon},         {L"AddStore", kAddStore},
                                             {L"Folders", kFolders},     {L"GetItemFromID", kGetItemFromId},
                                             {L"GetFolderFromID", kGetFolderFromId}, {L"Logoff", kLogoff}};
    return list;
}

OpenStore& NameSpace::locate(const std::wstring& entryId, const Args& args, uint32_t& nid) {
    std::vector<uint8_t> id;
    if (!bytesFromHex(entryId, id) || id.size() != 24)
        throw AutomationError{L"Could not open the item. The entry id is not valid.", E_INVALIDARG};
    session_->logon();
    OpenStore* store = session_->storeByRecordKey(&id[4]);
    std::wstring path;
    if (!store && !args.isMissing(1) && !variantIsEmpty(args.at(1)) && pathFromStoreId(args.text(1), path))
        store = session_->storeByPath(path);
    if (!store)
        throw AutomationError{L"Could not open the item. The store it belongs to is not open.", kNotFound};
    std::optional<uint32_t> found = store->store->nidFromEntryId(id);
    if (!found)
        throw AutomationError{L"Could not open the item. Try again.", kNotFound};
    nid = *found;
    return *store;
}

void NameSpace::invoke(DISPID id, Args& args, VARIANT* result) {
    try {
        switch (id) {
        case kLogon:
            // Profile, password, dialog, new session: the profile's own
            // settings are used whatever is passed.
            session_->logon();
            return;
        case kAddStore: {
            const std::wstring path = args.text(0);
            if (path.empty())
                throw AutomationError{L"The file name is not valid.", E_INVALIDARG};
            session_->addStore(path);
            return;
        }
        case kFolders:
            session_->logon();
            returnObject(result, FolderCollection::topLevel(session_).detach());
            return;
        case kGetItemFromId: {
            uint32_t nid = 0;
            OpenStore& store = locate(args.text(0), args, nid);
            if (pst::nidType(nid) != pst::kNidTypeMessage)
                throw AutomationError{L"Could not open the item. Try again.", kNotFound};
            store.store->messageProperties(nid); // that it is there
            returnObject(result, Item::saved(session_, store, nid).detach());
            return;
        }
        case kGetFolderFromId: {
            uint32_t nid = 0;
            OpenStore& store = locate(args.text(0), args, nid);
            if (pst::nidType(nid) != pst::kNidTypeFolder)
                throw AutomationError{L"The folder could not be found.", kNotFound};
            store.store->folder(nid);
            returnObject(result, Folder::make(session_, store, nid).detach());
            return;
        }
        case kLogoff:
            session_->logoff();
            return;
        }
    } catch (const pst::Error& e) {
        throw AutomationError{L"The operation failed: " + widen(e.what()), E_FAIL};
    }
    noSuchMember();
}

} // namespace outlook
