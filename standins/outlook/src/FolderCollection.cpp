#include "FolderCollection.h"

#include "PropertyValues.h"

namespace outlook {

namespace {

enum : DISPID { kCount = 0x50, kItem = 0x51, kAdd = 0x5F, kGetLast = 0x58 };

// The container class of a folder type given as Outlook's default-folder
// number (OlDefaultFolders).
const char* classOfDefaultFolder(long number) {
    switch (number) {
    case 3: case 4: case 5: case 6: case 16: case 23: return "IPF.Note";
    case 9: return "IPF.Appointment";
    case 10: return "IPF.Contact";
    case 11: return "IPF.Journal";
    case 12: return "IPF.StickyNote";
    case 13: return "IPF.Task";
    }
    return nullptr;
}

} // namespace

tw::ComPtr<FolderCollection> FolderCollection::topLevel(std::shared_ptr<Session> session) {
    return tw::ComPtr<FolderCollection>::adopt(new FolderCollection(std::move(session)));
}

tw::ComPtr<FolderCollection> FolderCollection::children(std::shared_ptr<Session> session, OpenStore& store,
                                                        uint32_t parent) {
    auto c = tw::ComPtr<FolderCollection>::adopt(new FolderCollection(std::move(session)));
    c->store_ = &store;
    c->parent_ = parent;
    return c;
}

const std::vector<Member>& FolderCollection::members() const {
    static const std::vector<Member> list = {{L"Count", kCount}, {L"Item", kItem}, {L"Add", kAdd},
                                             {L"GetLast", kGetLast}};
    return list;
}

std::vector<tw::ComPtr<Folder>> FolderCollection::folders() {
    std::vector<tw::ComPtr<Folder>> out;
    if (!store_) {
        for (OpenStore* s : session_->stores())
            out.push_back(Folder::make(session_, *s, s->store->ipmSubtree()));
        return out;
    }
    for (uint32_t nid : store_->store->folder(parent_).subfolders)
        if (pst::nidType(nid) == pst::kNidTypeFolder && nid != parent_)
            out.push_back(Folder::make(session_, *store_, nid));
    return out;
}

tw::ComPtr<Folder> FolderCollection::add(const std::wstring& name, const VARIANT* type) {
    if (!store_)
        throw AutomationError{L"A folder cannot be added at the top level; add a personal folders file instead.",
                              E_INVALIDARG};
    if (name.empty() || name.find_first_of(L"\\") != std::wstring::npos)
        throw AutomationError{L"Cannot create the folder: the name is not valid.", E_INVALIDARG};
    for (const auto& f : folders())
        if (sameFolderName(f->name(), name))
            throw AutomationError{L"Cannot create the folder: a folder named " + name + L" already exists.", E_FAIL};
    std::string containerClass;
    if (type && !variantIsEmpty(*type) &&
        !(V_VT(type) == VT_ERROR && V_ERROR(type) == DISP_E_PARAMNOTFOUND)) {
        if (V_VT(type) == VT_BSTR) {
            containerClass = utf8(variantText(*type));
        } else {
            const char* c = classOfDefaultFolder(variantNumber(*type));
            if (!c)
                throw AutomationError{L"Cannot create the folder: the folder type is not valid.", E_INVALIDARG};
            containerClass = c;
        }
    } else {
        // Without a type, the new folder holds what its parent holds.
        containerClass = store_->store->folder(parent_).containerClass;
        if (containerClass.empty())
            containerClass = "IPF.Note";
    }
    const uint32_t nid = store_->store->createFolder(parent_, utf8(name), containerClass);
    store_->store->commit();
    return Folder::make(session_, *store_, nid);
}

void FolderCollection::invoke(DISPID id, Args& args, VARIANT* result) {
    try {
        switch (id) {
        case kCount:
            returnNumber(result, static_cast<long>(folders().size()));
            return;
        case kItem: {
            std::vector<tw::ComPtr<Folder>> list = folders();
            const VARIANT& index = args.at(0);
            if (V_VT(&index) == VT_BSTR) {
                const std::wstring name = variantText(index);
                for (auto& f : list)
                    if (sameFolderName(f->name(), name)) {
                        returnObject(result, f.detach());
                        return;
                    }
                throw AutomationError{L"The folder " + name + L" was not found.", E_INVALIDARG};
            }
            const long i = variantNumber(index);
            if (i < 1 || static_cast<size_t>(i) > list.size())
                throw AutomationError{L"Array index out of bounds.", DISP_E_BADINDEX};
            returnObject(result, list[static_cast<size_t>(i - 1)].detach());
            return;
        }
        case kGetLast: {
            std::vector<tw::ComPtr<Folder>> list = folders();
            if (list.empty()) {
                returnObject(result, nullptr);
                return;
            }
            returnObject(result, list.back().detach());
            return;
        }
        case kAdd:
            returnObject(result, add(args.text(0), args.isMissing(1) ? nullptr : &args.at(1)).detach());
            return;
        }
    } catch (const pst::Error& e) {
        throw AutomationError{L"The operation failed: " + widen(e.what()), E_FAIL};
    }
    noSuchMember();
}

} // namespace outlook
