// The running application's state, one per process as Outlook runs once:
// the profile, the stores open in it (the default store first, then those
// added, in profile order), and whether the application has quit. Every
// automation object holds the session it came from; after Quit its
// members fail with an automation error.
#pragma once
#include "Profile.h"
#include "pst/Store.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace outlook {

struct OpenStore {
    std::wstring path;
    std::unique_ptr<pst::Store> store;
    std::array<uint8_t, 16> recordKey{};
};

// Outlook's default folders that new items go to.
enum class DefaultFolder { Inbox, Drafts, Contacts, Notes };

class Session {
public:
    // The application that is running, or a new one.
    static std::shared_ptr<Session> running();
    ~Session();

    // Throws the automation error of an application that has quit.
    void requireRunning() const;
    bool hasQuit() const { return quit_; }
    // Commits and closes every store; objects fail from then on.
    void quit();

    std::wstring version();
    void logon();
    void logoff();
    // The stores in profile order (logging on first when needed).
    std::vector<OpenStore*> stores();
    OpenStore& defaultStore();
    // Opens the PST as a store (created when missing) and adds it to the
    // profile unless it is there already.
    OpenStore& addStore(const std::wstring& path);
    OpenStore* storeByRecordKey(const uint8_t* key);
    OpenStore* storeByPath(const std::wstring& path);
    // A default folder of the store, made when it is missing.
    uint32_t defaultFolder(OpenStore& store, DefaultFolder which);
    // The folder named by OutlookSecureTempFolder, with its backslash, or
    // empty when the value is not set.
    std::wstring secureTempFolder();

private:
    Session() = default;
    OpenStore& open(const std::wstring& path, bool isDefault);
    // What a store needs to be opened for writing: nothing, or its password
    // as the user gives it; AutomationError when it is not given.
    std::string passwordOf(const std::wstring& path);

    Profile profile_;
    std::vector<std::unique_ptr<OpenStore>> stores_;
    bool loggedOn_ = false;
    bool quit_ = false;
};

// Store and folder ids as Outlook hands them out: hex texts.
std::wstring storeIdOf(const OpenStore& store);
// The path a store id names, if it is one of ours.
bool pathFromStoreId(const std::wstring& storeId, std::wstring& path);

} // namespace outlook
