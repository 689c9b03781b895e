// A file added as an attachment and not yet saved. Outlook takes the file's
// bytes when it is added (the caller may delete it at once): read here once
// and held until the save writes them into the store's blocks, or, beyond
// what is sensible to hold in memory, kept as a copy of our own.
#pragma once
#include "pst/Store.h"

#include <memory>
#include <string>
#include <vector>

namespace outlook {

class PendingAttachment {
public:
    // Reads the file when it fits in `roomToHold` bytes, copies it when
    // not; throws AutomationError when it cannot.
    PendingAttachment(const std::wstring& fullPath, const std::wstring& shownPath, uint64_t roomToHold);
    PendingAttachment(PendingAttachment&& o) noexcept;
    PendingAttachment(const PendingAttachment&) = delete;
    PendingAttachment& operator=(const PendingAttachment&) = delete;
    ~PendingAttachment();

    const std::wstring& fileName() const { return fileName_; }
    // The bytes held in memory (none for a copy).
    uint64_t heldBytes() const { return bytes_ ? size_ : 0; }
    // What the store is given at the save; the bytes are shared, not copied.
    pst::NewAttachment forStore() const;

    // What an item holds in memory at most, all its attachments together.
    static constexpr uint64_t kMostHeld = 64ull << 20;

private:
    std::wstring fileName_;
    std::shared_ptr<const uint8_t[]> bytes_;
    uint64_t size_ = 0;
    std::wstring copy_; // the copy of a larger file, deleted with this
};

// The release that keeps a file in the secure temporary folder for every
// attachment it is given: a further name for the added file where the
// volume allows (no bytes copied), a copy where it does not.
void keepInSecureTemp(const std::wstring& folder, const std::wstring& fullPath, const std::wstring& name);

} // namespace outlook
