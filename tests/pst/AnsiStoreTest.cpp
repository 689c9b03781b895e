// Outlook 97-2002's ANSI files appended to: text in 8 bits, the format's
// own sizes where they differ from the Unicode format's, and its 2 GB end.
#include "ExternalReaders.h"
#include "PasswordForge.h"
#include "SizeForge.h"
#include "TestValues.h"
#include "pst/Layout.h"
#include "pst/Store.h"

#include <gtest/gtest.h>

namespace {

pst::NewMessage note(const std::string& subject, size_t attachmentBytes = 0) {
    pst::NewMessage m;
    m.properties[pst::tag(0x0037, pst::PT_UNICODE)] = text(subject);
    m.properties[pst::tag(0x1000, pst::PT_UNICODE)] = text("Body of " + subject);
    m.properties[pst::tag(0x0E07, pst::PT_LONG)] = number(1);
    if (attachmentBytes)
        m.attachments.push_back({"part.bin", std::vector<uint8_t>(attachmentBytes, 0x5A), {}});
    return m;
}

std::string subjectOf(pst::Store& store, uint32_t message) { return pst::subjectText(store.message(message).properties); }

std::string headerOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string header(512, '\0');
    in.read(&header[0], static_cast<std::streamsize>(header.size()));
    return header;
}

} // namespace

TEST(AnsiStore, TextIsKeptInEightBitsAndEveryStoredByteSurvivesARewrite) {
    ScratchDir dir;
    const std::string path = dir.copyOf("pstsdk_test_ansi.pst");
    const pst::Value everyByte = [] {
        pst::Value v{pst::PT_STRING8, {}};
        for (int b = 1; b < 256; ++b)
            v.bytes.push_back(static_cast<uint8_t>(b));
        return v;
    }();
    uint32_t folder = 0, message = 0;
    {
        // The sample is protected by a password: one of its CRC.
        auto store = pst::Store::open(path, true, passwordWithCrc(pst::Store::open(path)->passwordCrc()));
        folder = store->createFolder(store->ipmSubtree(), "\xC3\x9C" "bersicht", "IPF.Note"); // Übersicht
        pst::NewMessage m = note("Gr\xC3\xBC\xC3\x9F" "e \xE2\x80\x93 5 \xE2\x82\xAC"); // Grüße – 5 €
        m.properties[pst::tag(0x0E1D, pst::PT_UNICODE)] = text("\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1"); // Ελλάδα
        m.properties[pst::tag(0x3FFA, pst::PT_STRING8)] = everyByte;
        message = store->addMessage(folder, m);
        store->commit();
        const pst::Properties before = store->message(message).properties;
        // A rewrite of the message's properties narrows what it reads back.
        store->setProperties(message, {{pst::tag(0x0E07, pst::PT_LONG), number(0)}});
        store->commit();
        const pst::Properties after = store->message(message).properties;
        ASSERT_TRUE(after.count(pst::tag(0x3FFA, pst::PT_UNICODE))) << "8-bit strings are handed out as Unicode";
        EXPECT_EQ(before.at(pst::tag(0x3FFA, pst::PT_UNICODE)).bytes, after.at(pst::tag(0x3FFA, pst::PT_UNICODE)).bytes);
        EXPECT_EQ(255u * 2, after.at(pst::tag(0x3FFA, pst::PT_UNICODE)).bytes.size());
    }
    expectSound(path, false);
    auto store = pst::Store::open(path);
    EXPECT_EQ("\xC3\x9C" "bersicht", store->folder(folder).name);
    const pst::Properties p = store->message(message).properties;
    EXPECT_EQ("Gr\xC3\xBC\xC3\x9F" "e \xE2\x80\x93 5 \xE2\x82\xAC", pst::subjectText(p));
    EXPECT_EQ("??????", p.at(pst::tag(0x0E1D, pst::PT_UNICODE)).text()) << "what Windows-1252 cannot hold";
    // The file itself holds 8-bit strings, in the tables too.
    for (const pst::NodeLayout& node : pst::describeLayout(path))
        if (node.role == "contents table" || node.role == "hierarchy table") {
            EXPECT_EQ(std::string::npos, node.columns.find("001F@")) << node.id << " " << node.columns;
        }

    Extraction libpff = pffexport(path, dir, "libpff");
    ASSERT_TRUE(libpff.ran) << libpff.log;
    const std::string headers = libpff.fileWith("bersicht/Message00001/OutlookHeaders.txt");
    EXPECT_NE(std::string::npos, headers.find("Gr\xC3\xBC\xC3\x9F" "e \xE2\x80\x93 5 \xE2\x82\xAC")) << headers;
}

TEST(AnsiStore, LargeFoldersAttachmentsAndSubnodeListsTakeTheFormatsSizes) {
    ScratchDir dir;
    const std::string path = dir.copyOf("pstsdk_sample2.pst");
    const size_t kMessages = 700;     // a contents table over several row blocks, B-tree splits
    const size_t kAttachments = 700;  // more subnodes than one ANSI subnode list holds (681)
    const size_t kLarge = 17u << 20;  // more blocks than one ANSI data tree block names (2,043)
    uint32_t folder = 0;
    {
        auto store = pst::Store::open(path, true);
        folder = store->createFolder(store->ipmSubtree(), "Many", "IPF.Note");
        for (size_t i = 0; i < kMessages; ++i)
            store->addMessage(folder, note("Note " + std::to_string(i)));
        pst::NewMessage many = note("Many parts");
        for (size_t i = 0; i < kAttachments; ++i)
            many.attachments.push_back({"part" + std::to_string(i) + ".txt", std::vector<uint8_t>(10, 'a'), {}});
        store->addMessage(folder, many);
        store->addMessage(folder, note("Large", kLarge));
        store->commit();
    }
    expectSound(path, false);
    // Heaps of several blocks fill each but the last to the ANSI block's
    // 8,180 bytes, as Outlook fills them.
    size_t longHeaps = 0;
    for (const pst::NodeLayout& node : pst::describeLayout(path)) {
        longHeaps += node.blockSizes.size() > 1;
        EXPECT_TRUE(node.wholeBlocks()) << pst::formatLayout(node);
    }
    EXPECT_GT(longHeaps, 0u);
    auto store = pst::Store::open(path);
    std::vector<uint32_t> messages = store->messages(folder);
    ASSERT_EQ(kMessages + 2, messages.size());
    EXPECT_EQ("Note 699", subjectOf(*store, messages[699]));
    EXPECT_EQ(kAttachments, store->message(messages[kMessages]).attachments.size());

    Extraction byReadpst = readpst(path, dir, "readpst");
    ASSERT_TRUE(byReadpst.ran) << byReadpst.log;
    EXPECT_EQ(static_cast<int>(kMessages + 2), countMatches(byReadpst.files["sample2/Many/mbox"], "\nSubject: "));
    Extraction byLibpff = pffexport(path, dir, "libpff");
    ASSERT_TRUE(byLibpff.ran) << byLibpff.log;
    size_t parts = 0;
    std::string large;
    for (const auto& f : byLibpff.files) {
        if (f.first.find("/Many/Message00701/Attachments/") != std::string::npos)
            ++parts;
        if (f.first.find("/Many/Message00702/Attachments/") != std::string::npos)
            large = f.second;
    }
    EXPECT_EQ(kAttachments, parts);
    EXPECT_EQ(std::string(kLarge, 'Z'), large) << large.size() << " bytes extracted";
}

TEST(AnsiStore, AChangeThatWouldPassTwoGigabytesIsRefusedAndLeavesTheFileAsItWas) {
    ScratchDir dir;
    const std::string path = dir.copyOf("pstsdk_sample2.pst");
    const uint64_t end = growAnsiToItsLimit(path, 1);
    ASSERT_LE(end, uint64_t(1) << 31);
    ASSERT_GT(end + pst::kAMapSpan, uint64_t(1) << 31) << "one more span would pass 2 GB";
    size_t added = 0;
    std::string headerBefore;
    uint64_t sizeBefore = 0;
    uint32_t folder = 0;
    try {
        auto store = pst::Store::open(path, true);
        folder = store->createFolder(store->ipmSubtree(), "Near the end", "IPF.Note");
        store->commit();
        for (;; ++added) {
            headerBefore = headerOf(path);
            sizeBefore = std::filesystem::file_size(path);
            store->addMessage(folder, note("Message " + std::to_string(added), 30000));
            store->commit();
            ASSERT_LT(added, 20u) << "the file went past its last span";
        }
    } catch (const pst::Error& e) {
        EXPECT_EQ(pst::ErrorKind::Full, e.kind()) << e.what();
        EXPECT_NE(std::string::npos, std::string(e.what()).find("2 GB")) << e.what();
    }
    EXPECT_GE(added, 3u) << "the free span took messages before the limit";
    EXPECT_EQ(sizeBefore, std::filesystem::file_size(path));
    EXPECT_EQ(headerBefore, headerOf(path)) << "the refused change reached the header";
    expectSound(path, false);
    auto store = pst::Store::open(path);
    std::vector<uint32_t> messages = store->messages(folder);
    ASSERT_EQ(added, messages.size());
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ("Message " + std::to_string(added - 1), subjectOf(*store, messages.back()));
    Extraction byReadpst = readpst(path, dir, "readpst");
    ASSERT_TRUE(byReadpst.ran) << byReadpst.log;
    EXPECT_EQ(static_cast<int>(added),
              countMatches(byReadpst.files["sample2/Near the end/mbox"], "\nSubject: Message "));
    Extraction byLibpff = pffexport(path, dir, "libpff");
    EXPECT_TRUE(byLibpff.ran) << byLibpff.log;
}
