#include "Space.h"

#include "Crc.h"
#include "Ndb.h"

#include <algorithm>

namespace pst {

namespace {

uint64_t spanStart(size_t span) { return kFirstAMap + static_cast<uint64_t>(span) * kAMapSpan; }


// A map page: its bits (after the ANSI format's padding), then the
// trailer with the page's offset as its id and no signature.
Bytes mapPage(const FileFormat& f, const uint8_t* bits, uint8_t type, uint64_t offset) {
    Bytes data(f.pageData, 0);
    std::copy(bits, bits + kAMapBytes, data.begin() + static_cast<std::ptrdiff_t>(f.amapBits));
    return sealPage(f, data, type, 0, offset);
}

Bytes fullMapPage(const FileFormat& f, uint8_t type, uint64_t offset) {
    const Bytes bits(kAMapBytes, 0xFF);
    return mapPage(f, bits.data(), type, offset);
}

} // namespace

Space::Space(File& file, Header& header, const Hints* hints) : file_(file), header_(header) {
    if (header_.lastAMap >= kFirstAMap &&
        ((header_.lastAMap - kFirstAMap) % kAMapSpan != 0 || header_.lastAMap + kAMapSpan > file_.size()))
        throw Error(ErrorKind::Corrupt, "the PST file is damaged: its allocation maps do not match its size");
    if (hints) {
        for (const auto& kv : hints->spans)
            if (kv.first < spanCount())
                freedIn_.set(kv.first, FreeSpans::Misses{kv.second.first, kv.second.second});
        return;
    }
    // An existing file's free space may be anywhere: every span is looked
    // at once, as allocations need it.
    for (size_t span = 0; span < spanCount(); ++span)
        freedIn(span);
}

Space::Hints Space::hints() const {
    Hints h;
    for (size_t span : freedIn_.spans()) {
        const FreeSpans::Misses m = freedIn_.misses(span);
        h.spans[span] = {m.any, m.aligned};
    }
    // Space released and not yet free counts as free again from then on.
    for (const auto& r : pending_)
        h.spans[static_cast<size_t>((r.first - kFirstAMap) / kAMapSpan)] = {SIZE_MAX, SIZE_MAX};
    return h;
}

size_t Space::spanCount() const {
    if (header_.lastAMap < kFirstAMap)
        return 0;
    return static_cast<size_t>((header_.lastAMap - kFirstAMap) / kAMapSpan) + 1;
}

uint8_t* Space::slot(size_t span) {
    const size_t chunk = span / kSpansPerChunk;
    if (chunk >= chunks_.size())
        chunks_.resize(chunk + 1);
    if (!chunks_[chunk])
        chunks_[chunk] = std::make_unique<Chunk>();
    if (!chunks_[chunk]->held[span % kSpansPerChunk])
        ++heldSpans_;
    chunks_[chunk]->held[span % kSpansPerChunk] = true;
    return chunks_[chunk]->bits[span % kSpansPerChunk];
}

uint8_t* Space::bits(size_t span) {
    const size_t chunk = span / kSpansPerChunk;
    if (chunk < chunks_.size() && chunks_[chunk] && chunks_[chunk]->held[span % kSpansPerChunk])
        return chunks_[chunk]->bits[span % kSpansPerChunk];
    // Read (and checked against the file's end) before room is made: a
    // damaged file's references may name any offset.
    const FileFormat& f = *header_.format;
    const Bytes page = file_.read(spanStart(span), kPageSize);
    if (page[f.pageData] != kPageAMap || crcMismatch(page.data(), f.pageData, u32(page, f.pageCrc)))
        throw Error(ErrorKind::Corrupt, "the PST file is damaged: an allocation map page");
    uint8_t* b = slot(span);
    const auto first = page.begin() + static_cast<std::ptrdiff_t>(f.amapBits);
    std::copy(first, first + kAMapBytes, b);
    return b;
}

void Space::setBits(uint64_t offset, size_t bytes, bool used) {
    const size_t span = static_cast<size_t>((offset - kFirstAMap) / kAMapSpan);
    uint8_t* b = bits(span);
    const size_t first = static_cast<size_t>((offset - spanStart(span)) / 64);
    for (size_t s = first; s < first + bytes / 64; ++s) {
        uint8_t mask = static_cast<uint8_t>(0x80 >> (s % 8));
        if (used)
            b[s / 8] |= mask;
        else
            b[s / 8] &= static_cast<uint8_t>(~mask);
    }
    dirty_.insert(span);
    if (used)
        header_.amapFree -= bytes;
    else
        header_.amapFree += bytes;
}

bool Space::isAllocated(uint64_t offset, size_t bytes) {
    const size_t span = static_cast<size_t>((offset - kFirstAMap) / kAMapSpan);
    const uint8_t* b = bits(span);
    const size_t first = static_cast<size_t>((offset - spanStart(span)) / 64);
    for (size_t s = first; s < first + bytes / 64; ++s)
        if (!(b[s / 8] & (0x80 >> (s % 8))))
            return false;
    return true;
}

bool Space::findIn(size_t span, size_t slots, bool pageAligned, uint64_t& offset, size_t& longest) {
    const uint8_t* b = bits(span);
    const size_t total = kAMapBytes * 8;
    size_t run = 0; // free slots just before s
    longest = 0;
    for (size_t s = 0; s < total;) {
        const uint8_t byte = b[s / 8];
        if (s % 8 == 0) {
            // Whole bytes of used or of free slots at once.
            if (byte == 0xFF) {
                longest = std::max(longest, run);
                run = 0;
                s += 8;
                continue;
            }
            if (byte == 0x00) {
                if (run + 8 >= slots) {
                    offset = spanStart(span) + static_cast<uint64_t>(s - run) * 64;
                    return true;
                }
                run += 8;
                s += 8;
                continue;
            }
        }
        if (run == 0 && pageAligned && s % 8 != 0) {
            s = (s / 8 + 1) * 8; // a page starts on a byte of the map
            continue;
        }
        if (byte & (0x80 >> (s % 8))) {
            longest = std::max(longest, run);
            run = 0;
        } else if (++run == slots) {
            offset = spanStart(span) + static_cast<uint64_t>(s + 1 - slots) * 64;
            return true;
        }
        ++s;
    }
    longest = std::max(longest, run);
    return false;
}

uint64_t Space::allocate(size_t bytes, bool pageAligned) {
    const size_t slots = bytes / 64;
    if (bytes == 0 || bytes % 64 != 0 || slots > kAMapBytes * 8 - 8)
        throw Error(ErrorKind::Invalid, "an allocation of an impossible size");
    for (;;) {
        uint64_t offset = 0;
        // First fit from the start of the file: spans where space was freed
        // (grown spans among them), lowest first, so that holes left by
        // rewritten pages and blocks are filled before the file grows.
        for (size_t span = freedIn_.find(slots, pageAligned, 0); span != FreeSpans::npos;
             span = freedIn_.find(slots, pageAligned, span + 1)) {
            size_t longest = 0; // the longest run of free slots seen
            if (findIn(span, slots, pageAligned, offset, longest)) {
                setBits(offset, bytes, true);
                return offset;
            }
            // Too full for this size: not searched again for it, or for
            // anything larger, until something is freed there. A span left
            // with holes smaller than a page is no longer looked in. A
            // search for any run sees every run, so nothing longer than
            // the longest it saw fits either (a full span is done with at
            // once: an existing file's are looked at only once).
            // A walk through a large file's full spans holds none of them long.
            if (heldSpans_ > 2 * kMostHeldSpans)
                letGoOfMaps();
            FreeSpans::Misses missed = freedIn_.misses(span);
            if (pageAligned)
                missed.aligned = slots;
            else
                missed.any = std::min(slots, longest + 1);
            if (missed.any <= 8)
                freedIn_.erase(span);
            else
                freedIn_.set(span, missed);
        }
        grow();
    }
}

void Space::release(uint64_t offset, size_t bytes) { pending_.emplace_back(offset, bytes); }

void Space::releaseNow(uint64_t offset, size_t bytes) {
    setBits(offset, bytes, false);
    freedIn(static_cast<size_t>((offset - kFirstAMap) / kAMapSpan));
}

void Space::letGoOfMaps() {
    if (heldSpans_ <= kMostHeldSpans)
        return;
    // Bits changed and not yet written stay.
    for (size_t c = 0; c < chunks_.size(); ++c) {
        if (!chunks_[c])
            continue;
        const auto dirty = dirty_.lower_bound(c * kSpansPerChunk);
        if (dirty != dirty_.end() && *dirty < (c + 1) * kSpansPerChunk)
            continue;
        heldSpans_ -= chunks_[c]->held.count();
        chunks_[c].reset();
    }
}

void Space::committed() {
    letGoOfMaps();
    for (const auto& r : pending_) {
        setBits(r.first, r.second, false);
        freedIn(static_cast<size_t>((r.first - kFirstAMap) / kAMapSpan));
    }
    pending_.clear();
}

void Space::grow() {
    const size_t span = spanCount();
    const uint64_t start = spanStart(span);
    if (start + kAMapSpan > header_.format->maxFileSize)
        throw Error(ErrorKind::Full, "the personal folders file has reached the largest size its format allows (" +
                                         std::to_string(header_.format->maxFileSize >> 30) +
                                         " GB); nothing more can be added to it");
    uint8_t* b = slot(span);
    std::fill(b, b + kAMapBytes, 0);
    size_t reserved = 1; // the AMap page itself
    if (spanHasPMap(span))
        ++reserved;
    if (spanHasFMap(span))
        ++reserved;
    if (spanHasFPMap(span))
        ++reserved;
    for (size_t i = 0; i < reserved; ++i)
        b[i] = 0xFF;
    dirty_.insert(span);
    freedIn(span);
    header_.lastAMap = start;
    header_.fileEof = start + kAMapSpan;
    header_.amapFree += kAMapSpan - reserved * kPageSize;
    // The other map pages of the span, written once.
    uint64_t at = start + kPageSize;
    const FileFormat& f = *header_.format;
    if (spanHasPMap(span)) {
        file_.write(at, fullMapPage(f, kPagePMap, at));
        at += kPageSize;
    }
    if (spanHasFMap(span)) {
        file_.write(at, fullMapPage(f, kPageFMap, at));
        at += kPageSize;
    }
    if (spanHasFPMap(span))
        file_.write(at, fullMapPage(f, kPageFPMap, at));
    // The file holds whole spans.
    file_.write(header_.fileEof - 1, Bytes(1, 0));
}

void Space::writeMaps() {
    for (size_t span : dirty_) {
        const uint8_t* b = bits(span);
        file_.write(spanStart(span), mapPage(*header_.format, b, kPageAMap, spanStart(span)));
    }
    dirty_.clear();
}

} // namespace pst
