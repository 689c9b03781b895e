// A store of Outlook's default largest size (50 GB since Outlook 2010),
// forged sparse: offsets past 32 bits, two hundred thousand allocation
// maps, and the readers over them.
#include "ExternalReaders.h"
#include "SizeForge.h"
#include "TestValues.h"
#include "pst/Store.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

pst::NewMessage withAttachment(const std::string& subject, const std::string& bytes) {
    pst::NewMessage m;
    m.properties[pst::tag(0x0037, pst::PT_UNICODE)] = text(subject);
    m.properties[pst::tag(0x1000, pst::PT_UNICODE)] = text("Body of " + subject);
    pst::NewAttachment a;
    a.fileName = subject + ".bin";
    a.data.assign(bytes.begin(), bytes.end());
    m.attachments.push_back(a);
    return m;
}

} // namespace

TEST(LargeStore, AFiftyGigabyteStoreTakesMessagesAtItsEndAndPastIt) {
    ScratchDir dir;
    const std::string path = dir.copyOf("pstsdk_sample1.pst");
    constexpr uint64_t k50GB = uint64_t(50) << 30;
    const uint64_t forged = growStoreTo(path, k50GB, 2);
    ASSERT_GT(forged + pst::kAMapSpan, k50GB);
    // The first fits the two free spans at the end; the second does not
    // and grows the file.
    const std::string atTheEnd = bytesOf(300 * 1024, 1), pastTheEnd = bytesOf(1536 * 1024, 2);
    uint32_t folder = 0;
    {
        auto store = pst::Store::open(path, true);
        folder = store->createFolder(store->ipmSubtree(), "Far out", "IPF.Note");
        store->addMessage(folder, withAttachment("At the end", atTheEnd));
        store->commit();
        EXPECT_EQ(forged, std::filesystem::file_size(path)) << "the free spans took the first";
        store->addMessage(folder, withAttachment("Past the end", pastTheEnd));
        store->commit();
    }
    EXPECT_GT(std::filesystem::file_size(path), forged);
    // The forged spans are allocated and hold nothing: not tidy, but sound.
    expectSound(path, false);

    auto store = pst::Store::open(path);
    const std::vector<uint32_t> messages = store->messages(folder);
    ASSERT_EQ(2u, messages.size());
    for (uint32_t nid : messages) {
        const pst::MessageInfo m = store->message(nid);
        ASSERT_EQ(1u, m.attachments.size());
        const std::vector<uint8_t> data = store->attachmentData(nid, m.attachments[0].nid);
        const std::string& expected = pst::subjectText(m.properties) == "At the end" ? atTheEnd : pastTheEnd;
        EXPECT_TRUE(std::string(data.begin(), data.end()) == expected) << pst::subjectText(m.properties);
    }
    store.reset();

    Extraction byReadpst = readpst(path, dir, "readpst");
    ASSERT_TRUE(byReadpst.ran) << byReadpst.log;
    const std::string mbox = byReadpst.fileWith("Far out/mbox");
    EXPECT_EQ(1, countMatches(mbox, "\nSubject: At the end")) << byReadpst.log;
    EXPECT_EQ(1, countMatches(mbox, "\nSubject: Past the end")) << byReadpst.log;
    Extraction byLibpff = pffexport(path, dir, "pffexport");
    ASSERT_TRUE(byLibpff.ran) << byLibpff.log;
    const std::string fromLibpff = byLibpff.fileWith("/Attachments/1_Past the end.bin");
    EXPECT_TRUE(fromLibpff == pastTheEnd) << fromLibpff.size() << " bytes\n" << byLibpff.log;
    Extraction byExtractor = pstExtractor(path, dir, "pst-extractor");
    EXPECT_TRUE(byExtractor.ran) << byExtractor.log;
    EXPECT_NE(std::string::npos,
              byExtractor.files["list"].find("Past the end.bin:" + std::to_string(pastTheEnd.size()) + ":" +
                                             sha1Of(pastTheEnd, dir)))
        << byExtractor.files["list"];
}
