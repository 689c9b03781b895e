// Reading PST files that Outlook made: the folder trees, messages,
// recipients and attachments come out as Outlook stored them, and files
// that are not (Unicode) PSTs, or are damaged, are refused with an error.
#include "Crc.h"
#include "Permute.h"
#include "pst/Store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

namespace {

std::string sample(const char* name) { return std::string(TW_PST_SAMPLES) + "/" + name; }

std::string textOf(const pst::Properties& p, uint16_t id) {
    auto it = p.find(pst::tag(id, pst::PT_UNICODE));
    return it == p.end() ? std::string() : it->second.text();
}

// The folder tree as indented names.
std::string tree(pst::Store& store, uint32_t nid, int depth = 0) {
    pst::FolderInfo f = store.folder(nid);
    std::string out = std::string(static_cast<size_t>(depth) * 2, ' ') + f.name + " (" +
                      std::to_string(store.messages(nid).size()) + ")\n";
    for (uint32_t child : f.subfolders)
        if (pst::nidType(child) == pst::kNidTypeFolder && child != nid)
            out += tree(store, child, depth + 1);
    return out;
}

class TempCopy {
public:
    TempCopy(const std::string& from, const std::function<void(std::string&)>& change) {
        path_ = (std::filesystem::temp_directory_path() /
                 ("tw-pst-" + std::to_string(reinterpret_cast<uintptr_t>(this)) + ".pst"))
                    .string();
        std::ifstream in(from, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        change(bytes);
        std::ofstream(path_, std::ios::binary) << bytes;
    }
    ~TempCopy() { std::filesystem::remove(path_); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

pst::ErrorKind openError(const std::string& path, std::string* message = nullptr, bool writable = false) {
    try {
        pst::Store::open(path, writable);
    } catch (const pst::Error& e) {
        if (message)
            *message = e.what();
        return e.kind();
    }
    return static_cast<pst::ErrorKind>(-1);
}

} // namespace

TEST(PstCodec, PermuteIsAByteSubstitutionAndItsInverse) {
    uint8_t all[256];
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<uint8_t>(i);
    pst::permuteEncode(all, 256);
    std::vector<bool> seen(256);
    for (uint8_t b : all)
        seen[b] = true;
    EXPECT_EQ(256, std::count(seen.begin(), seen.end(), true));
    EXPECT_EQ(65, all[0]);
    pst::permuteDecode(all, 256);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(i, all[i]);
    const uint8_t text[] = "123456789";
    EXPECT_EQ(0x2DFD2D88u, pst::crc(text, 9)) << "CRC-32 without the final inversion";
}

TEST(PstReader, OutlookFoldersAndTheirItems) {
    auto store = pst::Store::open(sample("tika_testPST_variousBodyTypes.pst"));
    EXPECT_EQ("Outlook Data File", store->displayName());
    EXPECT_EQ(0x8022u, store->ipmSubtree());
    EXPECT_EQ("Top of Outlook data file (0)\n  Deleted Items (0)\n  Inbox (0)\n    tmp (4)\n",
              tree(*store, store->ipmSubtree()));
    pst::FolderInfo inbox = store->folder(0x8082);
    EXPECT_EQ("IPF.Note", inbox.containerClass);
    EXPECT_TRUE(inbox.hasSubfolders);
    pst::FolderInfo tmp = store->folder(0x80A2);
    EXPECT_EQ(4, tmp.contentCount);
    EXPECT_EQ(0x8082u, tmp.parent);
    std::vector<uint32_t> items = store->messages(0x80A2);
    ASSERT_EQ(4u, items.size());
    pst::MessageInfo first = store->message(items[0]);
    EXPECT_EQ(0x80A2u, first.folder);
    EXPECT_EQ("original email", pst::subjectText(first.properties));
    EXPECT_EQ("Allison, Timothy B.", textOf(first.properties, 0x0C1A));
    EXPECT_EQ("IPM.Note", textOf(first.properties, 0x001A));
    ASSERT_EQ(1u, first.recipients.size());
    EXPECT_FALSE(textOf(first.recipients[0], 0x3001).empty());
    // The HTML body is binary in a Unicode store.
    auto html = first.properties.find(pst::tag(0x1013, pst::PT_BINARY));
    ASSERT_NE(first.properties.end(), html);
    std::string body(html->second.bytes.begin(), html->second.bytes.end());
    EXPECT_NE(std::string::npos, body.find("<html")) << body.substr(0, 80);
}

TEST(PstReader, ContactsAttachmentsAndOtherLanguages) {
    auto lists = pst::Store::open(sample("java-libpst_dist-list.pst"));
    EXPECT_EQ("Personal Folders", lists->displayName());
    std::vector<uint32_t> contacts = lists->messages(0x8142);
    ASSERT_EQ(2u, contacts.size());
    pst::MessageInfo contact = lists->message(contacts[1]);
    EXPECT_EQ("IPM.Contact", textOf(contact.properties, 0x001A));
    EXPECT_EQ("contact name 1", pst::subjectText(contact.properties));

    auto french = pst::Store::open(sample("tika_testPST.pst"));
    uint32_t top = french->ipmSubtree();
    EXPECT_EQ("D\xC3\xA9" "but du fichier de donn\xC3\xA9" "es Outlook", french->folder(top).name);
    std::vector<uint32_t> mails = french->messages(top);
    ASSERT_EQ(7u, mails.size());
    pst::MessageInfo forwarded = french->message(mails[6]);
    EXPECT_EQ("FW: First email", pst::subjectText(forwarded.properties));
    ASSERT_EQ(1u, forwarded.attachments.size());
    EXPECT_FALSE(textOf(forwarded.attachments[0].properties, 0x3001).empty());
}

TEST(PstReader, ForeignAndDamagedFilesAreRefused) {
    std::string message;
    TempCopy text(sample("tika_testPST_variousBodyTypes.pst"), [](std::string& b) { b = "just a text file\r\n"; });
    EXPECT_EQ(pst::ErrorKind::NotPst, openError(text.path(), &message));
    EXPECT_NE(std::string::npos, message.find("not a PST")) << message;

    TempCopy future(sample("tika_testPST_variousBodyTypes.pst"), [](std::string& b) {
        b[10] = 40; // wVer of no format this program knows
        b[11] = 0;
    });
    EXPECT_EQ(pst::ErrorKind::Unsupported, openError(future.path(), &message));
    EXPECT_NE(std::string::npos, message.find("(40)")) << message;

    TempCopy header(sample("tika_testPST_variousBodyTypes.pst"), [](std::string& b) { b[300] ^= 0x40; });
    EXPECT_EQ(pst::ErrorKind::Corrupt, openError(header.path(), &message));

    // A header whose allocation maps reach past the file's end (checksums
    // made good): refused for appending, not a walk over maps that are not
    // there.
    TempCopy maps(sample("tika_testPST_variousBodyTypes.pst"), [](std::string& b) {
        auto* raw = reinterpret_cast<uint8_t*>(&b[0]);
        const uint64_t lastAMap = 0x4400 + 0x3E000ull * 40000;
        for (int i = 0; i < 8; ++i)
            raw[192 + i] = static_cast<uint8_t>(lastAMap >> (8 * i));
        auto put32 = [&](size_t at, uint32_t v) {
            for (int i = 0; i < 4; ++i)
                raw[at + i] = static_cast<uint8_t>(v >> (8 * i));
        };
        put32(4, pst::crc(raw + 8, 471));
        put32(524, pst::crc(raw + 8, 516));
    });
    EXPECT_EQ(pst::ErrorKind::Corrupt, openError(maps.path(), &message, true));
    EXPECT_NE(std::string::npos, message.find("allocation maps")) << message;

    TempCopy cut(sample("tika_testPST_variousBodyTypes.pst"), [](std::string& b) { b.resize(300); });
    EXPECT_EQ(pst::ErrorKind::Corrupt, openError(cut.path()));

    TempCopy empty(sample("tika_testPST_variousBodyTypes.pst"), [](std::string& b) { b.clear(); });
    EXPECT_EQ(pst::ErrorKind::NotPst, openError(empty.path()));

    EXPECT_EQ(pst::ErrorKind::Io, openError(sample("no-such-file.pst")));
}

TEST(PstReader, DamageInsideTheFileIsAnErrorNotACrash) {
    // Flip a byte in each 512-byte stretch in turn, past the header, and
    // read the whole tree: every damage is found or harmless, never a crash.
    std::ifstream in(sample("tika_testPST_variousBodyTypes.pst"), std::ios::binary);
    const std::string original((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    int errors = 0;
    for (size_t at = 1024 + 37; at < original.size(); at += 2039) {
        TempCopy damaged(sample("tika_testPST_variousBodyTypes.pst"), [&](std::string& b) { b[at] ^= 0x5A; });
        try {
            auto store = pst::Store::open(damaged.path());
            std::function<void(uint32_t, int)> walk = [&](uint32_t nid, int depth) {
                if (depth > 10)
                    return;
                pst::FolderInfo f = store->folder(nid);
                for (uint32_t m : store->messages(nid))
                    store->message(m);
                for (uint32_t c : f.subfolders)
                    if (pst::nidType(c) == pst::kNidTypeFolder && c != nid)
                        walk(c, depth + 1);
            };
            walk(pst::kNidRootFolder, 0);
        } catch (const pst::Error&) {
            ++errors;
        }
    }
    EXPECT_GT(errors, 0) << "some damage must be found";
}
