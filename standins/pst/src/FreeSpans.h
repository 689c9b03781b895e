// The spans of a file that may have free space, each with the smallest
// requests known not to fit there (any run of slots, and a run starting on
// a page) since space was last freed in it. The lowest span where a request
// may fit is found in logarithmic time however many spans the file has: a
// 50 GB file has two hundred thousand, and its free space is looked for at
// every block.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace pst {

class FreeSpans {
public:
    static constexpr size_t npos = static_cast<size_t>(-1);
    struct Misses {
        size_t any = SIZE_MAX;
        size_t aligned = SIZE_MAX;
    };

    // Space was freed in the span (or it is new, or not looked at yet):
    // every request may fit there again.
    void freed(size_t span) { set(span, Misses{}); }
    void set(size_t span, Misses misses);
    void erase(size_t span);
    bool contains(size_t span) const { return span < leaves_.size() && leaves_[span].any != 0; }
    Misses misses(size_t span) const;
    // The lowest span from `from` on that is not known to be too full for
    // `slots` (page-aligned when asked); npos when there is none.
    size_t find(size_t slots, bool pageAligned, size_t from) const;
    // The spans held, lowest first.
    std::vector<size_t> spans() const;

private:
    // A leaf per span: 0 for spans not held; sizes above 32 bits cannot be
    // requested and are held as the largest value.
    struct Leaf {
        uint32_t any = 0;
        uint32_t aligned = 0;
    };
    std::vector<Leaf> leaves_;
    // Two trees of maxima over the leaves, in the heap's layout (node n has
    // children 2n and 2n+1, the leaves from `capacity_` on): the requests
    // that may fit anywhere below, and those that may fit on a page.
    std::vector<uint32_t> any_, aligned_;
    size_t capacity_ = 0;
    void grow(size_t span);
    void update(size_t span);
    size_t find(const std::vector<uint32_t>& tree, uint32_t above, size_t from, size_t node, size_t lo,
                size_t hi) const;
};

} // namespace pst
