// A PST store: its folders, their messages, the messages' recipients and
// attachments, read through the NDB and LTP layers.
#pragma once
#include "pst/Error.h"
#include "pst/Values.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pst {

// Node ids of the store's own nodes.
constexpr uint32_t kNidMessageStore = 0x21;
constexpr uint32_t kNidNameToIdMap = 0x61;
constexpr uint32_t kNidRootFolder = 0x122;

inline uint32_t nidType(uint32_t nid) { return nid & 0x1F; }
enum NidType : uint32_t { kNidTypeFolder = 0x02, kNidTypeMessage = 0x04, kNidTypeAttachment = 0x05,
                          kNidTypeAssocMessage = 0x08, kNidTypeHierarchyTable = 0x0D, kNidTypeContentsTable = 0x0E,
                          kNidTypeAssocContentsTable = 0x0F };
inline uint32_t tableOf(uint32_t folderNid, uint32_t type) { return (folderNid & ~0x1Fu) | type; }

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
    // Corrupt, Io). Reading only, for now.
    static std::unique_ptr<Store> open(const std::string& path);
    ~Store();

    std::string displayName();
    std::array<uint8_t, 16> recordKey();
    Properties storeProperties();
    // The "Top of Personal Folders" folder, where the user's folders live.
    uint32_t ipmSubtree();

    FolderInfo folder(uint32_t nid);
    std::vector<uint32_t> messages(uint32_t folderNid);
    MessageInfo message(uint32_t nid);
    // The attachment's data (PR_ATTACH_DATA_BIN) of a message.
    std::vector<uint8_t> attachmentData(uint32_t messageNid, uint32_t attachmentNid);

    struct Impl;

private:
    explicit Store(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

} // namespace pst
