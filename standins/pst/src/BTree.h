// A node or block B-tree, read page by page and changed copy-on-write: a
// change is made in memory on the pages from the root down to the leaf,
// and commit() writes those pages to new places, children before parents,
// leaving every page the file's header still names untouched.
#pragma once
#include "Bytes.h"
#include "Header.h"

#include <functional>
#include <memory>
#include <optional>

namespace pst {

// Where the tree's pages come from and go to.
class PageStore {
public:
    virtual ~PageStore() = default;
    // A checked page of the type: its data bytes (those before the
    // trailer) into `out`.
    virtual void loadPage(const BlockRef& ref, uint8_t type, Bytes& out) = 0;
    // Writes a new page and returns where it went.
    virtual BlockRef storePage(const Bytes& data, uint8_t type) = 0;
    // A page of the committed tree that the new tree no longer uses.
    virtual void retirePage(const BlockRef& ref) = 0;
};

class BTree {
public:
    // `leafEntrySize` is the format's for the node or the block tree; the
    // key is the first id of each entry (masked by `keyMask`).
    BTree(PageStore& store, const FileFormat& format, uint8_t pageType, size_t leafEntrySize, size_t leafMax,
          BlockRef root, uint64_t keyMask = ~uint64_t(0));

    std::optional<Bytes> find(uint64_t key);
    // Inserts the entry, or replaces the one with its key.
    void put(const Bytes& entry);
    bool erase(uint64_t key);
    void forEach(const std::function<void(const Bytes&)>& visit);

    bool dirty() const;
    // Writes the changed pages; returns the new root.
    BlockRef commit();
    BlockRef root() const;
    // A new, empty tree (one empty leaf), for a new file.
    static BlockRef createEmpty(PageStore& store, const FileFormat& format, uint8_t pageType, size_t leafEntrySize,
                                size_t leafMax);

private:
    struct Page;
    std::shared_ptr<Page> load(const BlockRef& ref);
    // Checks a loaded page's layout; returns its entry count.
    size_t checkPage(const Bytes& data) const;
    // A lookup below a page that is not held in memory: the pages on the
    // way are read into one buffer and looked at where they lie.
    std::optional<Bytes> findUnloaded(BlockRef ref, uint8_t level, uint64_t key);
    std::shared_ptr<Page> child(Page& parent, size_t i);
    // A leaf's entries lie back to back, leafEntrySize bytes each.
    size_t entries(const Page& page) const;
    size_t count(const Page& page) const;
    const uint8_t* entryAt(const Page& page, size_t i) const;
    uint64_t keyAt(const uint8_t* entry) const;
    uint64_t firstKey(const Page& page) const;
    void insert(const std::shared_ptr<Page>& page, const Bytes& entry, std::shared_ptr<Page>& split);
    bool remove(const std::shared_ptr<Page>& page, uint64_t key);
    BlockRef write(Page& page);
    Bytes serialize(const Page& page) const;

    // Where cEnt, cEntMax, cbEnt and cLevel follow the entries.
    size_t countAt() const { return format_.btreeEntryBytes; }
    size_t maxAt() const { return format_.btreeEntryBytes + 1; }
    size_t sizeAt() const { return format_.btreeEntryBytes + 2; }
    size_t levelAt() const { return format_.btreeEntryBytes + 3; }
    BlockRef childRef(const Bytes& page, size_t at) const;

    PageStore& store_;
    const FileFormat& format_;
    uint8_t type_;
    size_t leafSize_;
    size_t leafMax_;
    uint64_t keyMask_;
    std::shared_ptr<Page> root_;
    Bytes scratch_;
};

} // namespace pst
