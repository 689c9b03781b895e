#include "HeapWriter.h"

#include <algorithm>

namespace pst {

// --- a block's items ---------------------------------------------------

Bytes HeapWriter::Block::get(size_t i) const {
    return Bytes(data.begin() + static_cast<std::ptrdiff_t>(begin(i)),
                 data.begin() + static_cast<std::ptrdiff_t>(ends[i]));
}

void HeapWriter::Block::set(size_t i, const uint8_t* bytes, size_t size) {
    const size_t from = begin(i), old = ends[i] - from;
    const auto at = data.begin() + static_cast<std::ptrdiff_t>(from);
    if (size > old) {
        std::copy(bytes, bytes + old, at);
        data.insert(at + static_cast<std::ptrdiff_t>(old), bytes + old, bytes + size);
    } else {
        std::copy(bytes, bytes + size, at);
        data.erase(at + static_cast<std::ptrdiff_t>(size), at + static_cast<std::ptrdiff_t>(old));
    }
    const ptrdiff_t delta = static_cast<ptrdiff_t>(size) - static_cast<ptrdiff_t>(old);
    for (size_t k = i; k < ends.size(); ++k)
        ends[k] = static_cast<size_t>(static_cast<ptrdiff_t>(ends[k]) + delta);
}

void HeapWriter::Block::push(const uint8_t* bytes, size_t size) {
    data.insert(data.end(), bytes, bytes + size);
    ends.push_back(data.size());
}

void HeapWriter::Block::pop() {
    ends.pop_back();
    data.resize(ends.empty() ? 0 : ends.back());
}

size_t HeapWriter::Block::bytesFor(size_t index, size_t dataBytes, size_t items) {
    // The map starts on an even offset after the items.
    const size_t map = (heapHeaderSize(index) + dataBytes + 1) / 2 * 2;
    return map + kHeapMapHeader + 2 * (items + 1);
}

// --- the heap ------------------------------------------------------------

HeapWriter::HeapWriter(Ndb& ndb, uint8_t clientSignature)
    : blocks_(ndb, 0), blockMax_(ndb.format().maxBlockData()) {
    Block first;
    first.header.assign(kHeapFirstHeader, 0);
    first.header[2] = kHeapSignature;
    first.header[3] = clientSignature;
    blocks_.append({});
    parsed_[0] = std::move(first);
    touch(0);
}

HeapWriter::HeapWriter(Ndb& ndb, uint64_t bidData)
    : blocks_(ndb, bidData), blockMax_(ndb.format().maxBlockData()) {
    if (blocks_.size() == 0)
        corrupt("a heap without data");
    if (u8(block(0).header, 2) != kHeapSignature)
        corrupt("a heap without its signature");
}

HeapWriter::Block HeapWriter::parse(size_t index, const Bytes& raw) const {
    Block p;
    const size_t hs = heapHeaderSize(index);
    p.header = slice(raw, 0, hs);
    const size_t map = u16(raw, 0);
    const size_t count = u16(raw, map);
    need(raw, map + kHeapMapHeader, 2 * (count + 1), "heap map");
    auto offset = [&](size_t i) { return static_cast<size_t>(u16(raw, map + kHeapMapHeader + 2 * i)); };
    p.ends.reserve(count + 1);
    size_t expected = hs;
    for (size_t i = 0; i < count; ++i) {
        const size_t start = offset(i), end = offset(i + 1);
        if (end < start || end > map)
            corrupt("a heap item out of its block");
        if (start != expected)
            break; // items not back to back: taken one by one below
        expected = end;
        p.ends.push_back(end - hs);
    }
    if (p.ends.size() == count) {
        p.data.assign(raw.begin() + static_cast<std::ptrdiff_t>(hs),
                      raw.begin() + static_cast<std::ptrdiff_t>(expected));
        return p;
    }
    p.ends.clear();
    for (size_t i = 0; i < count; ++i) {
        const size_t start = offset(i), end = offset(i + 1);
        if (end < start || end > map)
            corrupt("a heap item out of its block");
        p.push(raw.data() + start, end - start);
    }
    return p;
}

HeapWriter::Block& HeapWriter::block(size_t index) {
    auto it = parsed_.find(index);
    if (it != parsed_.end())
        return it->second;
    if (index >= blocks_.size())
        corrupt("a heap reference out of range");
    return parsed_[index] = parse(index, blocks_.get(index));
}

Bytes HeapWriter::serialize(size_t index, const Block& b) const {
    const bool last = index + 1 == blocks_.size();
    Bytes out;
    out.reserve(last ? Block::bytesFor(index, b.data.size(), b.count()) : blockMax_);
    out = b.header;
    const size_t hs = out.size();
    appendBytes(out, b.data);
    if (out.size() % 2)
        out.push_back(0);
    const uint16_t map = static_cast<uint16_t>(out.size());
    // Outlook counts the items of no size as free ones.
    size_t empty = 0;
    for (size_t i = 0; i < b.count(); ++i)
        empty += b.size(i) == 0;
    append16(out, static_cast<uint16_t>(b.count()));
    append16(out, static_cast<uint16_t>(empty));
    append16(out, static_cast<uint16_t>(hs));
    for (size_t end : b.ends)
        append16(out, static_cast<uint16_t>(hs + end));
    put16(out, 0, map);
    // Every block but the last is a whole block, its room after the map.
    if (!last)
        out.resize(blockMax_, 0);
    return out;
}

void HeapWriter::setFillLevel(size_t index, const Block& b) {
    const size_t used = Block::bytesFor(index, b.data.size(), b.count());
    const size_t room = used < blockMax_ ? blockMax_ - used : 0;
    const uint8_t level = heapFillLevel(room);
    // The first block keeps the levels of the first eight; every 128th
    // block from the ninth, its own and the next 127's.
    size_t owner = 0, slot = index, at = 8;
    if (index >= kFillLevelsInFirst) {
        owner = index - (index - kFillLevelsInFirst) % kFillLevelsInBitmap;
        slot = index - owner;
        at = 2;
    }
    uint8_t& levels = block(owner).header[at + slot / 2];
    const int shift = (slot % 2) * 4;
    const uint8_t updated = static_cast<uint8_t>((levels & ~(0xF << shift)) | (level << shift));
    if (updated != levels) {
        levels = updated;
        touch(owner);
    }
}

uint8_t HeapWriter::clientSignature() { return block(0).header[3]; }

uint32_t HeapWriter::userRoot() { return u32(block(0).header, 4); }

void HeapWriter::setUserRoot(uint32_t hid) {
    put32(block(0).header, 4, hid);
    touch(0);
}

uint32_t HeapWriter::locate(uint32_t hid, size_t* index) {
    if (!isHid(hid))
        corrupt("a heap reference that is not a heap id");
    const size_t b = hidBlock(hid), i = hidIndex(hid);
    if (b >= blocks_.size() || i == 0)
        corrupt("a heap reference out of range");
    if (i > block(b).count())
        corrupt("a heap item that does not exist");
    *index = i - 1;
    return static_cast<uint32_t>(b);
}

Bytes HeapWriter::item(uint32_t hid) {
    if (hid == 0)
        return {};
    size_t i = 0;
    const size_t b = locate(hid, &i);
    return block(b).get(i);
}

size_t HeapWriter::itemSize(uint32_t hid) {
    size_t i = 0;
    const size_t b = locate(hid, &i);
    return block(b).size(i);
}

bool HeapWriter::replace(uint32_t hid, const Bytes& bytes) {
    size_t i = 0;
    const size_t index = locate(hid, &i);
    Block& b = block(index);
    const size_t dataBytes = b.data.size() - b.size(i) + bytes.size();
    if (bytes.size() > kMaxHeapItem || Block::bytesFor(index, dataBytes, b.count()) > blockMax_)
        return false;
    b.set(i, bytes.data(), bytes.size());
    touch(index);
    return true;
}

void HeapWriter::free(uint32_t hid) {
    replace(hid, {});
    freed_.insert(hid);
    // Freed items at the end of their block are dropped, so that a table
    // whose rows come and go does not grow by empty items.
    const size_t index = hidBlock(hid);
    Block& b = block(index);
    while (b.count() > 1 && b.size(b.count() - 1) == 0 && freed_.erase(makeHid(index, b.count())))
        b.pop();
}

uint32_t HeapWriter::add(const uint8_t* bytes, size_t size) {
    if (size > kMaxHeapItem)
        throw Error(ErrorKind::Invalid, "a heap item larger than 3,580 bytes");
    const size_t last = blocks_.size() - 1;
    Block& tail = block(last);
    if (tail.count() < kMaxHeapItems &&
        Block::bytesFor(last, tail.data.size() + size, tail.count() + 1) <= blockMax_) {
        tail.push(bytes, size);
        touch(last);
        const uint32_t hid = makeHid(last, tail.count());
        freed_.erase(hid); // an id dropped before, in use again
        return hid;
    }
    // A new block, with the header its place calls for; the one before
    // becomes a whole block.
    const size_t index = blocks_.size();
    if (index >= kMaxHeapBlocks)
        throw Error(ErrorKind::Invalid, "a heap too large for one node");
    Block fresh;
    fresh.header.assign(heapHeaderSize(index), 0);
    fresh.push(bytes, size);
    blocks_.append({});
    parsed_[index] = std::move(fresh);
    touch(index);
    touch(last);
    return makeHid(index, 1);
}

uint64_t HeapWriter::write() {
    const std::set<size_t> changed = dirty_;
    for (size_t index : changed)
        setFillLevel(index, block(index));
    for (size_t index : dirty_)
        blocks_.set(index, serialize(index, block(index)));
    dirty_.clear();
    return blocks_.write();
}

} // namespace pst
