// The index of spans with free space, against a plain list walked from the
// start as the allocator walked it before; and the file's gathered writes,
// read back before and after they reach the system.
#include "File.h"
#include "FreeSpans.h"
#include "PstTestFiles.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace {

// The old way: every held span in order, the first that is not known to be
// too full for the request.
struct PlainList {
    std::map<size_t, pst::FreeSpans::Misses> spans;
    size_t find(size_t slots, bool aligned, size_t from) const {
        for (auto it = spans.lower_bound(from); it != spans.end(); ++it)
            if (slots < it->second.any && (!aligned || slots < it->second.aligned))
                return it->first;
        return pst::FreeSpans::npos;
    }
};

} // namespace

TEST(FreeSpans, FindsTheSpanAPlainWalkFindsAmongThousands) {
    pst::FreeSpans index;
    PlainList plain;
    std::mt19937 random(20261209);
    // Spans far apart too: the index grows past its first size many times.
    auto anySpan = [&] { return random() % 4 == 0 ? random() % 200000 : random() % 3000; };
    for (int step = 0; step < 40000; ++step) {
        const size_t span = anySpan();
        switch (random() % 4) {
        case 0:
            index.freed(span);
            plain.spans[span] = pst::FreeSpans::Misses{};
            break;
        case 1: {
            const pst::FreeSpans::Misses m{1 + random() % 4000, 1 + random() % 4000};
            index.set(span, m);
            plain.spans[span] = m;
            break;
        }
        case 2:
            index.erase(span);
            plain.spans.erase(span);
            break;
        default: {
            const size_t slots = 1 + random() % 4000, from = random() % 2 ? 0 : anySpan();
            const bool aligned = random() % 2;
            ASSERT_EQ(plain.find(slots, aligned, from), index.find(slots, aligned, from))
                << "step " << step << ": " << slots << " slots" << (aligned ? " on a page" : "") << " from " << from;
        }
        }
        ASSERT_EQ(plain.spans.count(span) == 1, index.contains(span)) << "span " << span;
    }
    std::vector<size_t> held;
    for (const auto& kv : plain.spans)
        held.push_back(kv.first);
    EXPECT_EQ(held, index.spans());
}

TEST(File, GatheredWritesAreReadBackBeforeAndAfterTheyReachTheSystem) {
    ScratchDir dir;
    const std::string path = dir.file("gathered.bin");
    const std::string first = bytesOf(5000, 3), second = bytesOf(70000, 5), apart = bytesOf(512, 9);
    auto bytes = [](const std::string& s) { return pst::Bytes(s.begin(), s.end()); };
    auto text = [](const pst::Bytes& b) { return std::string(b.begin(), b.end()); };
    {
        pst::File file(path, pst::File::Mode::Create);
        file.write(0, bytes(first));
        file.write(first.size(), bytes(second)); // follows on: gathered with the first
        EXPECT_EQ(first.size() + second.size(), file.size());
        // A read across both, before anything was flushed.
        EXPECT_EQ(first.substr(4000) + second.substr(0, 1000), text(file.read(4000, 2000)));
        file.write(1 << 20, bytes(apart)); // elsewhere: what was gathered goes out first
        file.write(100, bytes(apart));     // over written bytes
        EXPECT_EQ(apart, text(file.read(100, apart.size())));
        EXPECT_EQ(apart, text(file.read(1 << 20, apart.size())));
        // A write as large as the gathering buffer goes straight out.
        const std::string large = bytesOf(300 * 1024, 13);
        file.write(2 << 20, bytes(large));
        EXPECT_EQ(large, text(file.read(2 << 20, large.size())));
    }
    // What was still gathered at the end is in the file once it is closed.
    pst::File reopened(path, pst::File::Mode::Read);
    std::string expected = first + second;
    expected.replace(100, apart.size(), apart);
    EXPECT_EQ(expected, text(reopened.read(0, expected.size())));
    EXPECT_EQ(apart, text(reopened.read(1 << 20, apart.size())));
}
