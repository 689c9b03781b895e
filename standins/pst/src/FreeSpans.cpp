#include "FreeSpans.h"

#include <algorithm>

namespace pst {

namespace {
uint32_t clamp32(size_t v) { return static_cast<uint32_t>(std::min<size_t>(v, UINT32_MAX)); }
size_t widen(uint32_t v) { return v == UINT32_MAX ? SIZE_MAX : v; }
} // namespace

void FreeSpans::grow(size_t span) {
    if (span >= leaves_.size())
        leaves_.resize(span + 1);
    if (span < capacity_)
        return;
    size_t capacity = std::max<size_t>(capacity_, 64);
    while (capacity <= span)
        capacity *= 2;
    capacity_ = capacity;
    any_.assign(2 * capacity_, 0);
    aligned_.assign(2 * capacity_, 0);
    for (size_t i = 0; i < leaves_.size(); ++i) {
        any_[capacity_ + i] = leaves_[i].any;
        aligned_[capacity_ + i] = std::min(leaves_[i].any, leaves_[i].aligned);
    }
    for (size_t n = capacity_ - 1; n > 0; --n) {
        any_[n] = std::max(any_[2 * n], any_[2 * n + 1]);
        aligned_[n] = std::max(aligned_[2 * n], aligned_[2 * n + 1]);
    }
}

void FreeSpans::update(size_t span) {
    size_t n = capacity_ + span;
    any_[n] = leaves_[span].any;
    aligned_[n] = std::min(leaves_[span].any, leaves_[span].aligned);
    for (n /= 2; n > 0; n /= 2) {
        any_[n] = std::max(any_[2 * n], any_[2 * n + 1]);
        aligned_[n] = std::max(aligned_[2 * n], aligned_[2 * n + 1]);
    }
}

void FreeSpans::set(size_t span, Misses misses) {
    grow(span);
    // A request of no slots is never made, so a bound of 0 would mean
    // nothing fits: held spans keep at least 1.
    leaves_[span] = Leaf{std::max<uint32_t>(clamp32(misses.any), 1), std::max<uint32_t>(clamp32(misses.aligned), 1)};
    update(span);
}

void FreeSpans::erase(size_t span) {
    if (!contains(span))
        return;
    leaves_[span] = Leaf{};
    update(span);
}

FreeSpans::Misses FreeSpans::misses(size_t span) const {
    if (!contains(span))
        return Misses{0, 0};
    return Misses{widen(leaves_[span].any), widen(leaves_[span].aligned)};
}

size_t FreeSpans::find(const std::vector<uint32_t>& tree, uint32_t above, size_t from, size_t node, size_t lo,
                       size_t hi) const {
    if (hi <= from || tree[node] <= above)
        return npos;
    if (hi - lo == 1)
        return lo;
    const size_t mid = lo + (hi - lo) / 2;
    const size_t left = find(tree, above, from, 2 * node, lo, mid);
    return left != npos ? left : find(tree, above, from, 2 * node + 1, mid, hi);
}

size_t FreeSpans::find(size_t slots, bool pageAligned, size_t from) const {
    if (capacity_ == 0 || from >= leaves_.size())
        return npos;
    const size_t span = find(pageAligned ? aligned_ : any_, clamp32(slots), from, 1, 0, capacity_);
    return span < leaves_.size() ? span : npos;
}

std::vector<size_t> FreeSpans::spans() const {
    std::vector<size_t> out;
    for (size_t i = 0; i < leaves_.size(); ++i)
        if (leaves_[i].any != 0)
            out.push_back(i);
    return out;
}

} // namespace pst
