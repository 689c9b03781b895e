#include "Folder.h"

#include "FolderCollection.h"
#include "PropertyValues.h"
#include "StoreFailure.h"

namespace outlook {

namespace {
enum : DISPID { kName = 0x3001, kDescription = 0x3004, kFolders = 0x2103, kEntryId = 0xF01E, kStoreId = 0x3108 };
} // namespace

bool sameFolderName(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

Folder::Folder(std::shared_ptr<Session> session, OpenStore& store, uint32_t nid)
    : session_(std::move(session)), store_(&store), nid_(nid) {}

tw::ComPtr<Folder> Folder::make(std::shared_ptr<Session> session, OpenStore& store, uint32_t nid) {
    return tw::ComPtr<Folder>::adopt(new Folder(std::move(session), store, nid));
}

bool Folder::isRoot() const { return nid_ == store_->store->ipmSubtree(); }

std::wstring Folder::name() const {
    try {
        return widen(isRoot() ? store_->store->displayName() : store_->store->folder(nid_).name);
    } catch (const pst::Error& e) {
        throw storeFailure(e);
    }
}

const std::vector<Member>& Folder::members() const {
    static const std::vector<Member> list = {{L"Name", kName},         {L"Description", kDescription},
                                             {L"Folders", kFolders},   {L"EntryID", kEntryId},
                                             {L"StoreID", kStoreId}};
    return list;
}

void Folder::rename(const std::wstring& name) {
    pst::Store& store = *store_->store;
    if (name.empty())
        throw AutomationError{L"A folder needs a name.", E_INVALIDARG};
    if (isRoot()) {
        // The root of a store is shown under the store's display name.
        store.setStoreProperties({{pst::tag(0x3001, pst::PT_UNICODE), textValue(name)}});
    } else {
        const uint32_t parent = store.parentOf(nid_);
        for (uint32_t sibling : store.folder(parent).subfolders)
            if (sibling != nid_ && pst::nidType(sibling) == pst::kNidTypeFolder &&
                sameFolderName(widen(store.folder(sibling).name), name))
                throw AutomationError{L"Cannot rename the folder: a folder named " + name + L" already exists.",
                                      E_FAIL};
        store.setProperties(nid_, {{pst::tag(0x3001, pst::PT_UNICODE), textValue(name)}});
    }
    store.commit();
}

void Folder::invoke(DISPID id, Args& args, VARIANT* result) {
    try {
        switch (id) {
        case kName:
            if (args.isPut())
                rename(variantText(args.putValue()));
            else
                returnText(result, name());
            return;
        case kDescription:
            // Put only: the conversion names the store's root with it.
            if (!args.isPut())
                noSuchMember();
            store_->store->setProperties(nid_, {{pst::tag(0x3004, pst::PT_UNICODE),
                                                 textValue(variantText(args.putValue()))}});
            store_->store->commit();
            return;
        case kFolders:
            returnObject(result, FolderCollection::children(session_, *store_, nid_).detach());
            return;
        case kEntryId:
            returnText(result, hexText(store_->store->entryId(nid_)));
            return;
        case kStoreId:
            returnText(result, storeIdOf(*store_));
            return;
        }
    } catch (const pst::Error& e) {
        throw storeFailure(e);
    }
    noSuchMember();
}

} // namespace outlook
