// A PST store: its folders, their messages, the messages' recipients and
// attachments, read through the NDB and LTP layers.
#pragma once
#include "pst/Error.h"
#include "pst/Format.h"
#include "pst/Values.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pst {

using Guid = std::array<uint8_t, 16>;
// {00062008-0000-0000-C000-000000000046}, {00062004-...}: the property sets
// of Outlook's common and address (contact) named properties.
Guid psetidCommon();
Guid psetidAddress();
Guid psMapi();
// {00020386-...}: the Internet headers, named by string.
Guid psInternetHeaders();
// A GUID in its 16 stored bytes from its text form "xxxxxxxx-xxxx-...".
Guid guidFromString(const std::string& text);

// What a named property is called: its property set and a number, or a
// string name.
struct PropertyName {
    Guid set{};
    uint32_t lid = 0;
    std::string name; // set for a string name
};

struct FolderInfo {
    uint32_t nid = 0;
    uint32_t parent = 0;
    std::string name;
    std::string containerClass;
    int32_t contentCount = 0;
    int32_t unreadCount = 0;
    bool hasSubfolders = false;
    std::vector<uint32_t> subfolders; // in the order of the hierarchy table
};

struct AttachmentInfo {
    uint32_t nid = 0;
    Properties properties;
};

// What a new message is made of.
struct NewAttachment {
    std::string fileName;
    std::vector<uint8_t> data;
    Properties properties; // further properties of the attachment
    // When set, the data is read from this file (UTF-8 path) a block at a
    // time instead of from `data`: attachments of any size.
    std::string sourcePath;
    // Or, when set, the data is these `sharedSize` bytes, held by the caller
    // as well and not copied (an attachment read once and saved into
    // several messages).
    std::shared_ptr<const uint8_t[]> sharedData;
    uint64_t sharedSize = 0;
};

struct NewMessage {
    Properties properties; // PR_MESSAGE_CLASS, PR_SUBJECT, bodies, flags...
    std::vector<Properties> recipients;
    std::vector<NewAttachment> attachments;
};

struct MessageInfo {
    uint32_t nid = 0;
    uint32_t folder = 0;
    Properties properties;
    std::vector<Properties> recipients;
    std::vector<AttachmentInfo> attachments;
};

class Store {
public:
    // Opens an existing Unicode PST; throws Error (NotPst, Unsupported,
    // Corrupt, Io). A file that is not a PST is never changed. A store its
    // owner protected with a password opens for writing only with that
    // password (Locked otherwise, the file untouched).
    static std::unique_ptr<Store> open(const std::string& path, bool writable = false,
                                       const std::string& password = std::string());
    // The CRC-32 of a password (its bytes as given), as a store keeps it in
    // PidTagPstPassword; 0 for none.
    static uint32_t passwordCrc(const std::string& password);
    // This store's: 0 when it has no password.
    uint32_t passwordCrc();
    // Creates a new, empty store with Outlook's folders (the top of the
    // personal folders, Deleted Items, the search root).
    static std::unique_ptr<Store> create(const std::string& path, const std::string& displayName);
    ~Store();

    // --- changes: each is in the file once commit() returns, and on the
    //     disk as setFlushInterval() says ---
    uint32_t createFolder(uint32_t parent, const std::string& name, const std::string& containerClass);
    uint32_t addMessage(uint32_t folder, const NewMessage& message);
    // Changes properties of a folder or a message (removing those listed);
    // a message's contents-table row and its folder's counts follow.
    void setProperties(uint32_t nid, const Properties& set, const std::vector<uint32_t>& remove = {});
    // Changes properties of the store itself (its display name 0x3001...).
    void setStoreProperties(const Properties& set);
    // Adds an attachment to a message; returns its id within the message.
    uint32_t addAttachment(uint32_t message, const NewAttachment& attachment);
    void setRecipients(uint32_t message, const std::vector<Properties>& recipients);
    // A copy in the folder (of this store); returns the copy's id.
    uint32_t copyMessage(uint32_t message, uint32_t folder);
    void moveMessage(uint32_t message, uint32_t folder);
    // The same into a folder of another store (or of this one): named
    // properties keep their names, with the target's ids. A move commits
    // the target before the message leaves this store; it returns the
    // message's id in the target.
    uint32_t copyMessage(uint32_t message, Store& target, uint32_t folder);
    uint32_t moveMessage(uint32_t message, Store& target, uint32_t folder);
    // A copy with `amend` applied to it before it is written (property ids
    // as this store has them): a message and changes of its not yet saved
    // reach the target in one write.
    uint32_t copyMessage(uint32_t message, Store& target, uint32_t folder,
                         const std::function<void(NewMessage&)>& amend);
    void deleteMessage(uint32_t message);

    // Entry ids as Outlook forms them: 4 zero bytes, the store's record
    // key, the node id.
    std::vector<uint8_t> entryId(uint32_t nid);
    // The node id an entry id names in this store, if it does.
    std::optional<uint32_t> nidFromEntryId(const std::vector<uint8_t>& entryId);
    // A child folder of that name, if there is one.
    std::optional<uint32_t> findSubfolder(uint32_t parent, const std::string& name);

    // The property id (0x8000 and up) this store gives the named property,
    // registered in its name-to-id map when it is not there yet.
    uint16_t namedProperty(const Guid& set, uint32_t lid);
    // The id it has, without registering it.
    std::optional<uint16_t> findNamedProperty(const Guid& set, uint32_t lid);
    // The same for a property named by a string.
    uint16_t namedProperty(const Guid& set, const std::string& name);
    std::optional<uint16_t> findNamedProperty(const Guid& set, const std::string& name);
    // What a property id of 0x8000 and up stands for in this store.
    std::optional<PropertyName> propertyName(uint16_t id);
    void commit();
    // By default every commit reaches the disk before it returns. With an
    // interval, as a mail program's own store does, a commit is written
    // whole (the file is sound for any reader and after this process
    // ends) but flushed to the disk at most once per interval, and by
    // flush() and on closing.
    void setFlushInterval(std::chrono::milliseconds interval);
    void flush();

    std::string displayName();
    std::array<uint8_t, 16> recordKey();
    Properties storeProperties();
    // The "Top of Personal Folders" folder, where the user's folders live.
    uint32_t ipmSubtree();

    FolderInfo folder(uint32_t nid);
    // A message's own properties, without its recipients and attachments.
    Properties messageProperties(uint32_t nid);
    // The folder a message or folder is in.
    uint32_t parentOf(uint32_t nid);
    std::vector<uint32_t> messages(uint32_t folderNid);
    MessageInfo message(uint32_t nid);
    // The attachment's data (PR_ATTACH_DATA_BIN) of a message.
    std::vector<uint8_t> attachmentData(uint32_t messageNid, uint32_t attachmentNid);
    // The same written to a file a block at a time; returns its size.
    uint64_t saveAttachment(uint32_t messageNid, uint32_t attachmentNid, const std::string& path);

    struct Impl;

private:
    explicit Store(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

} // namespace pst
