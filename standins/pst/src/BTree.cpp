#include "BTree.h"

namespace pst {

namespace {

constexpr int kMaxLevels = 8;

} // namespace

struct BTree::Page {
    BlockRef ref;     // where the page is in the committed file (ib 0: new)
    uint8_t level = 0;
    bool dirty = false;
    // Leaves: the entries back to back, as on the page (one buffer, not
    // one per entry: every lookup loads a leaf).
    Bytes leaf;
    std::vector<uint64_t> keys;   // inner pages: the smallest key below each child
    std::vector<BlockRef> refs;   //   the child's committed place
    std::vector<std::shared_ptr<Page>> children; //   loaded children (changed ones stay)
};

BTree::BTree(PageStore& store, const FileFormat& format, uint8_t pageType, size_t leafEntrySize, size_t leafMax,
             BlockRef root, uint64_t keyMask)
    : store_(store), format_(format), type_(pageType), leafSize_(leafEntrySize), leafMax_(leafMax),
      keyMask_(keyMask) {
    root_ = load(root);
}

uint64_t BTree::keyAt(const uint8_t* entry) const {
    uint64_t k = 0;
    for (int b = static_cast<int>(format_.idSize) - 1; b >= 0; --b)
        k = (k << 8) | entry[b];
    return k & keyMask_;
}

BlockRef BTree::childRef(const Bytes& page, size_t at) const {
    const size_t w = format_.idSize;
    return {uid(page, at + w, w), uid(page, at + 2 * w, w)};
}

size_t BTree::entries(const Page& p) const { return p.leaf.size() / leafSize_; }

size_t BTree::count(const Page& p) const { return p.level ? p.keys.size() : entries(p); }

const uint8_t* BTree::entryAt(const Page& p, size_t i) const { return p.leaf.data() + i * leafSize_; }

uint64_t BTree::firstKey(const Page& p) const { return p.level ? p.keys.front() : keyAt(entryAt(p, 0)); }

size_t BTree::checkPage(const Bytes& data) const {
    const uint8_t count = data.at(countAt()), entrySize = data.at(sizeAt()), level = data.at(levelAt());
    if (level > kMaxLevels)
        corrupt("a B-tree is too deep");
    const size_t expected = level ? format_.btreeInnerEntry : leafSize_;
    if (entrySize != expected || static_cast<size_t>(count) * entrySize > format_.btreeEntryBytes)
        corrupt("a B-tree page with entries of the wrong size");
    return count;
}

std::shared_ptr<BTree::Page> BTree::load(const BlockRef& ref) {
    Bytes data;
    store_.loadPage(ref, type_, data);
    const size_t count = checkPage(data);
    const size_t entrySize = data[sizeAt()];
    auto p = std::make_shared<Page>();
    p->ref = ref;
    p->level = data[levelAt()];
    if (!p->level) {
        data.resize(static_cast<size_t>(count) * entrySize);
        p->leaf = std::move(data);
        return p;
    }
    p->keys.reserve(count);
    p->refs.reserve(count);
    p->children.resize(count);
    for (size_t i = 0; i < count; ++i) {
        size_t at = i * entrySize;
        p->keys.push_back(uid(data, at, format_.idSize) & keyMask_);
        p->refs.push_back(childRef(data, at));
    }
    return p;
}

std::shared_ptr<BTree::Page> BTree::child(Page& parent, size_t i) {
    if (!parent.children[i]) {
        auto c = load(parent.refs[i]);
        if (c->level + 1 != parent.level)
            corrupt("a B-tree page at the wrong level");
        // Kept only while the parent is being changed; a clean parent lets
        // it go again after the lookup.
        if (parent.dirty)
            parent.children[i] = c;
        return c;
    }
    return parent.children[i];
}

std::optional<Bytes> BTree::find(uint64_t key) {
    key &= keyMask_;
    Page* p = root_.get();
    while (p->level) {
        size_t i = 0;
        bool found = false;
        for (size_t k = 0; k < p->keys.size(); ++k) {
            if (p->keys[k] > key)
                break;
            i = k;
            found = true;
        }
        if (!found)
            return std::nullopt;
        if (!p->children[i])
            return findUnloaded(p->refs[i], static_cast<uint8_t>(p->level - 1), key);
        p = p->children[i].get();
    }
    for (size_t i = 0; i < entries(*p); ++i)
        if (keyAt(entryAt(*p, i)) == key)
            return Bytes(entryAt(*p, i), entryAt(*p, i) + leafSize_);
    return std::nullopt;
}

std::optional<Bytes> BTree::findUnloaded(BlockRef ref, uint8_t level, uint64_t key) {
    for (;;) {
        store_.loadPage(ref, type_, scratch_);
        const size_t count = checkPage(scratch_);
        if (scratch_[levelAt()] != level)
            corrupt("a B-tree page at the wrong level");
        if (level == 0) {
            for (size_t i = 0; i < count; ++i) {
                const uint8_t* e = scratch_.data() + i * leafSize_;
                if (keyAt(e) == key)
                    return Bytes(e, e + leafSize_);
            }
            return std::nullopt;
        }
        size_t at = 0;
        bool found = false;
        for (size_t k = 0; k < count; ++k) {
            const size_t here = k * format_.btreeInnerEntry;
            if ((uid(scratch_, here, format_.idSize) & keyMask_) > key)
                break;
            at = here;
            found = true;
        }
        if (!found)
            return std::nullopt;
        ref = childRef(scratch_, at);
        --level;
    }
}

void BTree::forEach(const std::function<void(const Bytes&)>& visit) {
    Bytes e;
    std::function<void(Page&)> walk = [&](Page& p) {
        if (p.level == 0) {
            for (size_t i = 0; i < entries(p); ++i) {
                e.assign(entryAt(p, i), entryAt(p, i) + leafSize_);
                visit(e);
            }
            return;
        }
        for (size_t i = 0; i < p.keys.size(); ++i)
            walk(*child(p, i));
    };
    walk(*root_);
}

void BTree::put(const Bytes& entry) {
    if (entry.size() != leafSize_)
        throw Error(ErrorKind::Invalid, "a B-tree entry of the wrong size");
    std::shared_ptr<Page> split;
    insert(root_, entry, split);
    if (split) {
        // The root split: a new root above the two halves.
        auto top = std::make_shared<Page>();
        top->level = static_cast<uint8_t>(root_->level + 1);
        top->dirty = true;
        for (const auto& half : {root_, split}) {
            top->keys.push_back(firstKey(*half));
            top->refs.push_back(half->ref);
            top->children.push_back(half);
        }
        root_ = top;
    }
}

void BTree::insert(const std::shared_ptr<Page>& p, const Bytes& entry, std::shared_ptr<Page>& split) {
    const uint64_t key = keyAt(entry.data());
    p->dirty = true;
    if (p->level == 0) {
        size_t i = 0;
        const size_t n = entries(*p);
        while (i < n && keyAt(entryAt(*p, i)) < key)
            ++i;
        const auto at = p->leaf.begin() + static_cast<std::ptrdiff_t>(i * leafSize_);
        if (i < n && keyAt(entryAt(*p, i)) == key)
            std::copy(entry.begin(), entry.end(), at);
        else
            p->leaf.insert(at, entry.begin(), entry.end());
        if (entries(*p) > leafMax_) {
            split = std::make_shared<Page>();
            split->dirty = true;
            const size_t half = entries(*p) / 2 * leafSize_;
            split->leaf.assign(p->leaf.begin() + static_cast<std::ptrdiff_t>(half), p->leaf.end());
            p->leaf.resize(half);
        }
        return;
    }
    // The child whose range holds the key; a key below every one goes to
    // the first child, whose key becomes it.
    size_t i = 0;
    for (size_t k = 0; k < p->keys.size(); ++k)
        if (p->keys[k] <= key)
            i = k;
    if (key < p->keys[0])
        p->keys[0] = key;
    std::shared_ptr<Page> c = child(*p, i);
    p->children[i] = c;
    std::shared_ptr<Page> childSplit;
    insert(c, entry, childSplit);
    if (childSplit) {
        const uint64_t splitKey = firstKey(*childSplit);
        p->keys.insert(p->keys.begin() + static_cast<std::ptrdiff_t>(i + 1), splitKey);
        p->refs.insert(p->refs.begin() + static_cast<std::ptrdiff_t>(i + 1), BlockRef{});
        p->children.insert(p->children.begin() + static_cast<std::ptrdiff_t>(i + 1), childSplit);
        if (p->keys.size() > format_.btreeInnerMax) {
            split = std::make_shared<Page>();
            split->dirty = true;
            split->level = p->level;
            const size_t half = p->keys.size() / 2;
            split->keys.assign(p->keys.begin() + static_cast<std::ptrdiff_t>(half), p->keys.end());
            split->refs.assign(p->refs.begin() + static_cast<std::ptrdiff_t>(half), p->refs.end());
            split->children.assign(p->children.begin() + static_cast<std::ptrdiff_t>(half), p->children.end());
            p->keys.resize(half);
            p->refs.resize(half);
            p->children.resize(half);
        }
    }
}

bool BTree::erase(uint64_t key) {
    key &= keyMask_;
    if (!find(key))
        return false;
    remove(root_, key);
    if (root_->level && root_->keys.empty()) {
        // Nothing left: the tree is one empty leaf again.
        if (root_->ref.ib)
            store_.retirePage(root_->ref);
        root_ = std::make_shared<Page>();
        root_->dirty = true;
    }
    // A root with a single child gives way to it.
    while (root_->level && root_->keys.size() == 1) {
        std::shared_ptr<Page> only = child(*root_, 0);
        if (root_->ref.ib)
            store_.retirePage(root_->ref);
        only->dirty = true;
        root_ = only;
    }
    return true;
}

// Removes the key below `p`; true when `p` is left empty.
bool BTree::remove(const std::shared_ptr<Page>& p, uint64_t key) {
    p->dirty = true;
    if (p->level == 0) {
        for (size_t i = 0; i < entries(*p); ++i)
            if (keyAt(entryAt(*p, i)) == key) {
                const auto at = p->leaf.begin() + static_cast<std::ptrdiff_t>(i * leafSize_);
                p->leaf.erase(at, at + static_cast<std::ptrdiff_t>(leafSize_));
                break;
            }
        return p->leaf.empty();
    }
    size_t i = 0;
    for (size_t k = 0; k < p->keys.size(); ++k)
        if (p->keys[k] <= key)
            i = k;
    std::shared_ptr<Page> c = child(*p, i);
    p->children[i] = c;
    if (remove(c, key)) {
        if (c->ref.ib)
            store_.retirePage(c->ref);
        p->keys.erase(p->keys.begin() + static_cast<std::ptrdiff_t>(i));
        p->refs.erase(p->refs.begin() + static_cast<std::ptrdiff_t>(i));
        p->children.erase(p->children.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
        // The parent key is the smallest key below it.
        p->keys[i] = firstKey(*c);
    }
    // The root keeps at least one leaf, even an empty one.
    return p->keys.empty() && p != root_;
}

bool BTree::dirty() const { return root_->dirty; }

BlockRef BTree::root() const { return root_->ref; }

Bytes BTree::serialize(const Page& p) const {
    Bytes data(format_.pageData, 0);
    const size_t size = p.level ? format_.btreeInnerEntry : leafSize_, w = format_.idSize;
    if (p.level) {
        for (size_t i = 0; i < count(p); ++i) {
            size_t at = i * size;
            putId(data, at, p.keys[i], w);
            putId(data, at + w, p.refs[i].bid, w);
            putId(data, at + 2 * w, p.refs[i].ib, w);
        }
    } else {
        std::copy(p.leaf.begin(), p.leaf.end(), data.begin());
    }
    data[countAt()] = static_cast<uint8_t>(count(p));
    data[maxAt()] = static_cast<uint8_t>(p.level ? format_.btreeInnerMax : leafMax_);
    data[sizeAt()] = static_cast<uint8_t>(size);
    data[levelAt()] = p.level;
    return data;
}

BlockRef BTree::write(Page& p) {
    if (!p.dirty)
        return p.ref;
    for (size_t i = 0; i < p.children.size(); ++i)
        if (p.children[i] && p.children[i]->dirty)
            p.refs[i] = write(*p.children[i]);
    if (p.ref.ib)
        store_.retirePage(p.ref);
    p.ref = store_.storePage(serialize(p), type_);
    p.dirty = false;
    // What is written need not stay in memory.
    for (auto& c : p.children)
        c.reset();
    return p.ref;
}

BlockRef BTree::commit() { return write(*root_); }

BlockRef BTree::createEmpty(PageStore& store, const FileFormat& format, uint8_t pageType, size_t leafEntrySize,
                             size_t leafMax) {
    Bytes data(format.pageData, 0);
    data[format.btreeEntryBytes + 1] = static_cast<uint8_t>(leafMax);
    data[format.btreeEntryBytes + 2] = static_cast<uint8_t>(leafEntrySize);
    return store.storePage(data, pageType);
}

} // namespace pst
