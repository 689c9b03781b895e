// Free space of the file, as its allocation maps (AMaps) record it: one bit
// per 64 bytes, one AMap page per 253,952 bytes. The file grows by whole
// AMap spans. Space freed in a commit becomes usable only in the next one,
// so that the last committed state is never written over.
#pragma once
#include "File.h"
#include "FreeSpans.h"
#include "Header.h"

#include <bitset>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <vector>

namespace pst {

class Space {
public:
    // Where free space may be, for a later Space over the same file as this
    // one left it: which spans to look in, and which sizes they are known
    // not to fit. Only a guide: every allocation still reads the maps.
    struct Hints {
        std::map<size_t, std::pair<size_t, size_t>> spans; // span -> misses (any, page-aligned)
    };

    // Without hints every span of an existing file may have free space.
    Space(File& file, Header& header, const Hints* hints = nullptr);
    Hints hints() const;

    // Space for `bytes` (a multiple of 64) within one span; `pageAligned`
    // for 512-byte pages. Grows the file when nothing is free.
    uint64_t allocate(size_t bytes, bool pageAligned);
    // Space that the next commit may reuse.
    void release(uint64_t offset, size_t bytes);
    // Space that was allocated in this transaction and is not needed after
    // all (for example a page rewritten twice): free at once.
    void releaseNow(uint64_t offset, size_t bytes);

    // Writes the changed AMap pages (and any new map pages of grown spans).
    void writeMaps();
    // After the header is on the disk: what was released becomes free at
    // the start of the next transaction.
    void committed();
    bool hasPendingFrees() const { return !pending_.empty(); }
    // Map bits changed in memory and not yet written.
    bool mapsChanged() const { return !dirty_.empty(); }

    // Whether the bits say the range is in use (for the checker).
    bool isAllocated(uint64_t offset, size_t bytes);

private:
    // The span's bits, read when first needed.
    uint8_t* bits(size_t span);
    void setBits(uint64_t offset, size_t bytes, bool used);
    void grow();
    bool findIn(size_t span, size_t slots, bool pageAligned, uint64_t& offset, size_t& longest);
    size_t spanCount() const;

    File& file_;
    Header& header_;
    // The spans' bits, 64 spans to a block: a long conversion adds a span
    // every few dozen messages, and a small allocation that then lives on
    // for each would split the heap's free space (Wine's heap walks what
    // it splits into at every larger allocation).
    static constexpr size_t kSpansPerChunk = 64;
    struct Chunk {
        uint8_t bits[kSpansPerChunk][kAMapBytes];
        std::bitset<kSpansPerChunk> held;
    };
    std::vector<std::unique_ptr<Chunk>> chunks_;
    // Room for a span's bits, marked as held.
    uint8_t* slot(size_t span);
    std::set<size_t> dirty_;
    std::vector<std::pair<uint64_t, size_t>> pending_; // released, not yet free
    // Spans that may have free space, looked in before the file grows
    // without scanning every span. Smaller requests than those known not
    // to fit still look there.
    FreeSpans freedIn_;
    void freedIn(size_t span) { freedIn_.freed(span); }
    // The spans' bits held in memory, let go of (but for those changed and
    // not yet written) once there are more than this many, after a commit
    // or during a long search; they are read again as needed, and memory
    // stays flat however large the file grows.
    static constexpr size_t kMostHeldSpans = 4096;
    size_t heldSpans_ = 0;
    void letGoOfMaps();
};

} // namespace pst
