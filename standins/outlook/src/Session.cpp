#include "Session.h"

#include "Dispatch.h"
#include "PasswordPrompt.h"
#include "PropertyValues.h"

#include <windows.h>

#include <map>

namespace outlook {

namespace {

constexpr HRESULT kUserCancel = static_cast<HRESULT>(0x80040113); // MAPI_E_USER_CANCEL

std::weak_ptr<Session>& runningSession() {
    static std::weak_ptr<Session> session;
    return session;
}

// The provider part of our store ids.
const uint8_t kProviderUid[16] = {0x54, 0x57, 0x53, 0x54, 0x4F, 0x52, 0x45, 0x2D,
                                  0x50, 0x53, 0x54, 0x2D, 0x53, 0x54, 0x4E, 0x44};

AutomationError storeError(const std::wstring& path, const pst::Error& e) {
    return AutomationError{L"The file " + path + L" could not be opened as a personal folders file: " +
                               widen(e.what()),
                           E_FAIL};
}

struct FolderSpec {
    const char* name;
    const char* containerClass;
};

// Outlook's folders of a new default store, in the order it makes them.
const FolderSpec kDefaultFolders[] = {
    {"Inbox", "IPF.Note"},       {"Outbox", "IPF.Note"},          {"Sent Items", "IPF.Note"},
    {"Calendar", "IPF.Appointment"}, {"Contacts", "IPF.Contact"}, {"Journal", "IPF.Journal"},
    {"Notes", "IPF.StickyNote"}, {"Tasks", "IPF.Task"},           {"Drafts", "IPF.Note"},
    {"Junk E-mail", "IPF.Note"},
};

} // namespace

std::shared_ptr<Session> Session::running() {
    std::shared_ptr<Session> s = runningSession().lock();
    if (!s || s->quit_) {
        s.reset(new Session());
        s->profile_.countStart();
        runningSession() = s;
    }
    return s;
}

Session::~Session() {
    try {
        quit();
    } catch (...) {
        // The stores keep their last commit.
    }
}

void Session::requireRunning() const {
    if (quit_)
        throw AutomationError{L"The operation failed: the application has been closed.", RPC_E_DISCONNECTED};
}

void Session::quit() {
    if (quit_)
        return;
    quit_ = true;
    for (auto& s : stores_) {
        try {
            s->store->flush();
        } catch (const pst::Error&) {
        }
        s->store.reset();
    }
    stores_.clear();
}

std::wstring Session::version() { return profile_.version(); }

void Session::logon() {
    if (loggedOn_)
        return;
    loggedOn_ = true;
    try {
        defaultStore();
        for (const std::wstring& path : profile_.stores())
            if (!storeByPath(path)) {
                try {
                    open(path, false);
                } catch (const AutomationError&) {
                    // A store of the profile that is gone stays listed and
                    // is left out of this session, as Outlook does.
                }
            }
    } catch (...) {
        loggedOn_ = false;
        throw;
    }
}

void Session::logoff() {
    for (auto& s : stores_)
        try {
            s->store->flush();
        } catch (const pst::Error&) {
        }
}

std::vector<OpenStore*> Session::stores() {
    logon();
    std::vector<OpenStore*> out;
    for (auto& s : stores_)
        out.push_back(s.get());
    return out;
}

OpenStore& Session::defaultStore() {
    if (!stores_.empty())
        return *stores_.front();
    return open(fullPath(profile_.defaultStorePath()), true);
}

namespace {

// The password a protected store was opened with in this process: asked
// once, as Outlook asks once a session; held in memory only.
std::map<std::wstring, std::string>& knownPasswords() {
    static std::map<std::wstring, std::string> known;
    return known;
}

} // namespace

std::string Session::passwordOf(const std::wstring& path) {
    std::unique_ptr<pst::Store> probe;
    try {
        probe = pst::Store::open(utf8(path));
    } catch (const pst::Error&) {
        return {}; // the opening that follows says what is wrong
    }
    const uint32_t locked = probe->passwordCrc();
    probe.reset();
    if (locked == 0)
        return {};
    auto known = knownPasswords().find(path);
    if (known != knownPasswords().end() && pst::Store::passwordCrc(known->second) == locked)
        return known->second;
    const size_t slash = path.find_last_of(L"\\/");
    const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    HWND owner = promptOwner();
    for (bool again = false; owner; again = true) {
        const std::optional<std::wstring> typed = askPassword(owner, name, again);
        if (!typed)
            break;
        // Kept as Outlook keeps it: the CRC of its bytes in the code page.
        std::string bytes(typed->size() * 2 + 1, '\0');
        bytes.resize(static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, typed->c_str(), static_cast<int>(typed->size()),
                                                             &bytes[0], static_cast<int>(bytes.size()), nullptr, nullptr)));
        if (pst::Store::passwordCrc(bytes) == locked) {
            knownPasswords()[path] = bytes;
            return bytes;
        }
    }
    throw AutomationError{L"The personal folders file " + path + L" was not opened: it is protected by a password, "
                          L"and the password was not given.",
                          kUserCancel};
}

OpenStore& Session::open(const std::wstring& path, bool isDefault) {
    auto s = std::make_unique<OpenStore>();
    s->path = path;
    const std::string file = utf8(path);
    try {
        if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
            s->store = pst::Store::create(file, "Personal Folders");
            if (isDefault)
                for (const FolderSpec& f : kDefaultFolders)
                    s->store->createFolder(s->store->ipmSubtree(), f.name, f.containerClass);
            s->store->flush();
        } else {
            s->store = pst::Store::open(file, true, passwordOf(path));
        }
        // Like Outlook's own store: each change is written whole at once
        // and reaches the disk within a second, not an fsync per change.
        s->store->setFlushInterval(std::chrono::milliseconds(1000));
        s->recordKey = s->store->recordKey();
    } catch (const pst::Error& e) {
        throw storeError(path, e);
    }
    if (isDefault)
        stores_.insert(stores_.begin(), std::move(s));
    else
        stores_.push_back(std::move(s));
    return isDefault ? *stores_.front() : *stores_.back();
}

OpenStore& Session::addStore(const std::wstring& given) {
    logon();
    const std::wstring path = fullPath(given);
    OpenStore* known = storeByPath(path);
    OpenStore& s = known ? *known : open(path, false);
    if (!samePath(path, stores_.front()->path))
        profile_.addStore(path);
    return s;
}

OpenStore* Session::storeByRecordKey(const uint8_t* key) {
    for (auto& s : stores_)
        if (std::equal(s->recordKey.begin(), s->recordKey.end(), key))
            return s.get();
    return nullptr;
}

OpenStore* Session::storeByPath(const std::wstring& path) {
    const std::wstring full = fullPath(path);
    for (auto& s : stores_)
        if (samePath(s->path, full))
            return s.get();
    return nullptr;
}

uint32_t Session::defaultFolder(OpenStore& s, DefaultFolder which) {
    const FolderSpec& wanted = which == DefaultFolder::Inbox      ? kDefaultFolders[0]
                             : which == DefaultFolder::Contacts ? kDefaultFolders[4]
                             : which == DefaultFolder::Notes    ? kDefaultFolders[6]
                                                                : kDefaultFolders[8];
    try {
        const uint32_t root = s.store->ipmSubtree();
        if (std::optional<uint32_t> f = s.store->findSubfolder(root, wanted.name))
            return *f;
        return s.store->createFolder(root, wanted.name, wanted.containerClass);
    } catch (const pst::Error& e) {
        throw storeError(s.path, e);
    }
}

std::wstring Session::secureTempFolder() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Office\\11.0\\Outlook\\Security", 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return std::wstring();
    wchar_t buffer[MAX_PATH + 2] = L"";
    DWORD bytes = sizeof(buffer) - sizeof(wchar_t), type = 0;
    const LONG rc = RegQueryValueExW(key, L"OutlookSecureTempFolder", nullptr, &type,
                                     reinterpret_cast<BYTE*>(buffer), &bytes);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::wstring();
    std::wstring folder(buffer, wcsnlen(buffer, bytes / sizeof(wchar_t)));
    if (!folder.empty() && folder.back() != L'\\')
        folder += L'\\';
    return folder;
}

std::wstring storeIdOf(const OpenStore& store) {
    std::vector<uint8_t> id(4, 0);
    id.insert(id.end(), kProviderUid, kProviderUid + 16);
    id.insert(id.end(), store.recordKey.begin(), store.recordKey.end());
    for (wchar_t c : store.path) {
        id.push_back(static_cast<uint8_t>(c & 0xFF));
        id.push_back(static_cast<uint8_t>((c >> 8) & 0xFF));
    }
    id.push_back(0);
    id.push_back(0);
    return hexText(id);
}

bool pathFromStoreId(const std::wstring& storeId, std::wstring& path) {
    std::vector<uint8_t> id;
    if (!bytesFromHex(storeId, id) || id.size() < 38 || !std::equal(kProviderUid, kProviderUid + 16, id.begin() + 4))
        return false;
    path.clear();
    for (size_t i = 36; i + 1 < id.size(); i += 2) {
        const wchar_t c = static_cast<wchar_t>(id[i] | (id[i + 1] << 8));
        if (c == 0)
            break;
        path.push_back(c);
    }
    return !path.empty();
}

} // namespace outlook
