// Writing at the node database level: blocks and nodes added to Outlook's
// files and to new ones, B-trees that split and shrink, commits that are
// all or nothing, and space that is used again.
#include "Ndb.h"
#include "Space.h"
#include "PstTestFiles.h"
#include "pst/Store.h"

#include <gtest/gtest.h>

#include <set>

namespace {

// A node id of an internal type no reader takes for an item.
uint32_t scratchNid(uint32_t i) { return ((0x40000 + i) << 5) | 0x1F; }

pst::Bytes pattern(size_t n, uint8_t seed) {
    pst::Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
    return b;
}

size_t countNodes(pst::Ndb& ndb) {
    size_t n = 0;
    ndb.forEachNode([&](const pst::NodeEntry&) { ++n; });
    return n;
}

std::set<uint32_t> allNodes(pst::Ndb& ndb) {
    std::set<uint32_t> out;
    ndb.forEachNode([&](const pst::NodeEntry& e) { out.insert(e.nid); });
    return out;
}

} // namespace

TEST(NdbWriter, AppendedNodesAndDataSurviveReopening) {
    ScratchDir dir;
    const std::string path = dir.copyOf("tika_testPST_variousBodyTypes.pst");
    std::set<uint32_t> before;
    {
        auto file = std::make_shared<pst::File>(path, pst::File::Mode::ReadWrite);
        pst::Ndb ndb(file, true);
        before = allNodes(ndb);
        // Small, one block, and large: an XBLOCK of many.
        ndb.putNode({scratchNid(1), ndb.writeData(pattern(100, 1)), 0, 0});
        ndb.putNode({scratchNid(2), ndb.writeData(pattern(300000, 2)), 0, 0});
        ndb.commit();
    }
    auto file = std::make_shared<pst::File>(path, pst::File::Mode::Read);
    pst::Ndb ndb(file, false);
    std::set<uint32_t> after = allNodes(ndb);
    EXPECT_EQ(before.size() + 2, after.size());
    for (uint32_t nid : before)
        EXPECT_TRUE(after.count(nid)) << std::hex << nid;
    EXPECT_EQ(pattern(100, 1), ndb.readData(ndb.findNode(scratchNid(1))->bidData));
    EXPECT_EQ(pattern(300000, 2), ndb.readData(ndb.findNode(scratchNid(2))->bidData));
    // Outlook's own content reads as before.
    auto store = pst::Store::open(path);
    EXPECT_EQ(4u, store->messages(0x80A2).size());
    EXPECT_EQ("Outlook Data File", store->displayName());
}

TEST(NdbWriter, TreesSplitAndShrinkKeepingEveryKey) {
    ScratchDir dir;
    const std::string path = dir.copyOf("tika_testPST_variousBodyTypes.pst");
    auto file = std::make_shared<pst::File>(path, pst::File::Mode::ReadWrite);
    const size_t original = countNodes(*std::make_unique<pst::Ndb>(file, false));
    {
        pst::Ndb ndb(file, true);
        // Enough nodes for a node tree of three levels (15 per leaf).
        uint64_t shared = ndb.writeData(pattern(64, 9));
        for (uint32_t i = 0; i < 3000; ++i) {
            ndb.putNode({scratchNid(i), shared, 0, 0});
            if (i)
                ndb.addRef(shared);
        }
        ndb.commit();
        for (uint32_t i = 0; i < 3000; i += 2) {
            ndb.removeNode(scratchNid(i));
            ndb.release(shared);
        }
        ndb.commit();
        EXPECT_EQ(original + 1500, countNodes(ndb));
        EXPECT_EQ(1 + 1500, ndb.findBlock(shared)->refCount) << "the block tree and 1,500 holders";
    }
    pst::Ndb ndb(file, false);
    for (uint32_t i = 0; i < 3000; ++i)
        ASSERT_EQ(i % 2 == 1, ndb.findNode(scratchNid(i)).has_value()) << i;
    // Keys stay in order through the whole tree.
    uint64_t last = 0;
    ndb.forEachNode([&](const pst::NodeEntry& e) {
        EXPECT_GT(e.nid, last);
        last = e.nid;
    });
    EXPECT_EQ(4u, pst::Store::open(path)->messages(0x80A2).size());
    expectSound(path);
}

TEST(NdbWriter, UncommittedChangesLeaveTheFileAsItWas) {
    ScratchDir dir;
    const std::string path = dir.copyOf("tika_testPST_variousBodyTypes.pst");
    const std::string original = readAll(path);
    {
        auto file = std::make_shared<pst::File>(path, pst::File::Mode::ReadWrite);
        pst::Ndb ndb(file, true);
        for (uint32_t i = 0; i < 200; ++i)
            ndb.putNode({scratchNid(i), ndb.writeData(pattern(5000, 3)), 0, 0});
        // No commit: as if the process died here.
    }
    // What the header names is untouched: the same nodes, the same data.
    auto store = pst::Store::open(path);
    EXPECT_EQ(4u, store->messages(0x80A2).size());
    auto file = std::make_shared<pst::File>(path, pst::File::Mode::Read);
    pst::Ndb ndb(file, false);
    EXPECT_FALSE(ndb.findNode(scratchNid(0)));
    EXPECT_EQ(original.substr(0, 564), readAll(path).substr(0, 564)) << "the header is not rewritten";
    expectSound(path, false);
}

TEST(NdbWriter, FreedSpaceIsUsedAgain) {
    ScratchDir dir;
    const std::string path = dir.copyOf("tika_testPST_variousBodyTypes.pst");
    auto file = std::make_shared<pst::File>(path, pst::File::Mode::ReadWrite);
    pst::Ndb ndb(file, true);
    uint64_t grownTo = 0;
    for (int round = 0; round < 30; ++round) {
        for (uint32_t i = 0; i < 20; ++i)
            ndb.putNode({scratchNid(i), ndb.writeData(pattern(20000, static_cast<uint8_t>(round))), 0, 0});
        ndb.commit();
        for (uint32_t i = 0; i < 20; ++i) {
            ndb.release(ndb.findNode(scratchNid(i))->bidData);
            ndb.removeNode(scratchNid(i));
        }
        ndb.commit();
        if (round == 3)
            grownTo = file->size();
    }
    EXPECT_EQ(grownTo, file->size()) << "creating and deleting the same amount does not grow the file";
    EXPECT_EQ(grownTo, ndb.header().fileEof);
}

TEST(NdbWriter, ANewDatabaseIsEmptyAndGrowsBySpans) {
    ScratchDir dir;
    const std::string path = dir.file("new.pst");
    {
        auto file = std::make_shared<pst::File>(path, pst::File::Mode::Create);
        auto ndb = pst::Ndb::create(file, {});
        EXPECT_EQ(0u, countNodes(*ndb));
        ndb->putNode({0x21, ndb->writeData(pattern(10, 4)), 0, 0});
        ndb->commit();
    }
    auto file = std::make_shared<pst::File>(path, pst::File::Mode::Read);
    pst::Ndb ndb(file, false);
    EXPECT_EQ(1u, countNodes(ndb));
    EXPECT_EQ(23, ndb.header().version);
    EXPECT_EQ(pst::kCryptPermute, ndb.header().crypt);
    EXPECT_EQ(0u, (ndb.header().fileEof - pst::kFirstAMap) % pst::kAMapSpan);
    EXPECT_EQ(ndb.header().fileEof, file->size());
    EXPECT_EQ(pattern(10, 4), ndb.readData(ndb.findNode(0x21)->bidData));
}

TEST(NdbWriter, AllocationMapsAskedForBeyondTheFileAreDamageNotRoom) {
    // A damaged file's references may name any offset: the maps it cannot
    // hold are refused, and nothing is made room for on their account.
    ScratchDir dir;
    const std::string path = dir.file("maps.pst");
    {
        auto file = std::make_shared<pst::File>(path, pst::File::Mode::Create);
        auto ndb = pst::Ndb::create(file, {});
        ndb->putNode({0x21, ndb->writeData(pattern(10, 4)), 0, 0});
        ndb->commit();
    }
    pst::File file(path, pst::File::Mode::Read);
    pst::Header header = pst::Header::parse(file.read(0, pst::kHeaderSize));
    pst::Space space(file, header);
    EXPECT_TRUE(space.isAllocated(pst::kFirstAMap, 512)) << "the map page itself";
    for (uint64_t offset : {file.size() + 64, uint64_t(1) << 40, ~uint64_t(0) - 63}) {
        try {
            space.isAllocated(offset, 64);
            ADD_FAILURE() << "no error for offset " << offset;
        } catch (const pst::Error& e) {
            EXPECT_EQ(pst::ErrorKind::Corrupt, e.kind()) << offset;
        }
    }
}

#include "BlockList.h"

namespace {

pst::Bytes blockOf(size_t i, size_t size = 8176) { return pattern(size, static_cast<uint8_t>(i)); }

// Node data of `count` full blocks, and what it should read as.
uint64_t manyBlocks(pst::Ndb& ndb, size_t count, std::vector<pst::Bytes>& expected) {
    expected.clear();
    for (size_t i = 0; i < count; ++i)
        expected.push_back(blockOf(i));
    return ndb.writeDataBlocks(expected);
}

pst::Bytes joined(const std::vector<pst::Bytes>& blocks) {
    pst::Bytes all;
    for (const auto& b : blocks)
        all.insert(all.end(), b.begin(), b.end());
    return all;
}

} // namespace

TEST(BlockList, ChangedBlocksAreWrittenAndTheRestShared) {
    ScratchDir dir;
    const std::string path = dir.file("blocks.pst");
    {
        auto file = std::make_shared<pst::File>(path, pst::File::Mode::Create);
        auto ndb = pst::Ndb::create(file, {});
        // One level growing into two, two levels changed in the middle and
        // at the end, and a tree shared by two nodes.
        for (size_t start : {size_t(1), size_t(1020), size_t(2500)}) {
            std::vector<pst::Bytes> expected;
            const uint32_t nid = scratchNid(static_cast<uint32_t>(start));
            ndb->putNode({nid, manyBlocks(*ndb, start, expected), 0, 0});
            ndb->commit();
            for (int round = 0; round < 3; ++round) {
                pst::BlockList list(*ndb, ndb->findNode(nid)->bidData);
                const size_t middle = list.size() / 2;
                pst::Bytes changed = blockOf(900 + round);
                list.set(middle, changed);
                expected[middle] = changed;
                for (int k = 0; k < 2; ++k) {
                    pst::Bytes extra = blockOf(500 + round * 2 + k, k ? 100 : 8176);
                    if (k == 0 && expected.back().size() < 8176)
                        break; // only the last block may be short
                    list.append(extra);
                    expected.push_back(extra);
                }
                ndb->putNode({nid, list.write(), 0, 0});
                ndb->commit();
                ASSERT_EQ(joined(expected), ndb->readData(ndb->findNode(nid)->bidData)) << start << "/" << round;
            }
        }
        std::vector<pst::Bytes> expected;
        const uint64_t shared = manyBlocks(*ndb, 1100, expected);
        ndb->putNode({scratchNid(90), shared, 0, 0});
        ndb->putNode({scratchNid(91), shared, 0, 0});
        ndb->addRef(shared);
        ndb->commit();
        pst::BlockList list(*ndb, shared);
        list.set(3, blockOf(77));
        ndb->putNode({scratchNid(91), list.write(), 0, 0});
        ndb->commit();
        EXPECT_EQ(joined(expected), ndb->readData(ndb->findNode(scratchNid(90))->bidData)) << "the other holder";
        expected[3] = blockOf(77);
        EXPECT_EQ(joined(expected), ndb->readData(ndb->findNode(scratchNid(91))->bidData));
    }
    // Reference counts, maps and trees agree with what is there.
    pst::CheckReport r = pst::checkFile(path);
    EXPECT_TRUE(r.ok()) << (r.errors.empty() ? "" : r.errors[0]) << " (" << r.errors.size() << " errors)";
}
