// Stores written by the engine, read back by the engine and by the two
// independent readers; and Outlook's own files appended to without losing
// anything they held.
#include "PasswordForge.h"
#include "TestValues.h"
#include "ExternalReaders.h"
#include "pst/Store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace {


pst::NewMessage mail(const std::string& subject, const std::string& body, bool read) {
    pst::NewMessage m;
    m.properties[pst::tag(0x0037, pst::PT_UNICODE)] = text(subject);
    m.properties[pst::tag(0x0C1A, pst::PT_UNICODE)] = text("Anna Berg");
    m.properties[pst::tag(0x0042, pst::PT_UNICODE)] = text("Anna Berg");
    m.properties[pst::tag(0x0E04, pst::PT_UNICODE)] = text("Jonas Lind; Mar\xC3\xAD" "a S\xC3\xA1nchez");
    m.properties[pst::tag(0x1000, pst::PT_UNICODE)] = text(body);
    m.properties[pst::tag(0x0E07, pst::PT_LONG)] = number(read ? 1 : 0);
    for (const char* who : {"Jonas Lind", "Mar\xC3\xAD" "a S\xC3\xA1nchez"}) {
        pst::Properties r;
        r[pst::tag(0x3001, pst::PT_UNICODE)] = text(who);
        r[pst::tag(0x3002, pst::PT_UNICODE)] = text("SMTP");
        r[pst::tag(0x3003, pst::PT_UNICODE)] = text("someone@tidewell.example");
        r[pst::tag(0x0C15, pst::PT_LONG)] = number(1);
        m.recipients.push_back(r);
    }
    return m;
}

} // namespace

TEST(StoreWriter, ANewStoreWithFoldersAndMessagesReadsBack) {
    ScratchDir dir;
    const std::string path = dir.file("new.pst");
    const std::string bigAttachment = bytesOf(3 * 1024 * 1024 + 17, 1);
    {
        auto store = pst::Store::create(path, "Tidewell Conversion Folder");
        const uint32_t top = store->createFolder(store->ipmSubtree(), "Lotus Mails", "IPF.Note");
        const uint32_t inbox = store->createFolder(top, "Inbox", "IPF.Note");
        const uint32_t nested = store->createFolder(store->createFolder(top, "Projects", "IPF.Note"), "2007", "IPF.Note");
        store->addMessage(inbox, mail("Quarterly figures \xE2\x80\x94 \xC3\x9C" "bersicht", "First body", false));
        pst::NewMessage withFiles = mail("With attachments", "See attached", true);
        withFiles.attachments.push_back({"figures.csv", {'a', ';', 'b'}, {}});
        withFiles.attachments.push_back({"scan.bin", std::vector<uint8_t>(bigAttachment.begin(), bigAttachment.end()), {}});
        store->addMessage(inbox, withFiles);
        store->addMessage(nested, mail("In 2007", "Nested", true));
        store->commit();
    }
    expectSound(path);
    auto store = pst::Store::open(path);
    EXPECT_EQ("Tidewell Conversion Folder", store->displayName());
    pst::FolderInfo top = store->folder(store->ipmSubtree());
    ASSERT_EQ(2u, top.subfolders.size()) << "Deleted Items and Lotus Mails";
    pst::FolderInfo lotus = store->folder(top.subfolders[1]);
    EXPECT_EQ("Lotus Mails", lotus.name);
    EXPECT_TRUE(lotus.hasSubfolders);
    pst::FolderInfo inbox = store->folder(lotus.subfolders[0]);
    EXPECT_EQ("Inbox", inbox.name);
    EXPECT_EQ("IPF.Note", inbox.containerClass);
    EXPECT_EQ(2, inbox.contentCount);
    EXPECT_EQ(1, inbox.unreadCount);
    std::vector<uint32_t> items = store->messages(inbox.nid);
    ASSERT_EQ(2u, items.size());
    pst::MessageInfo second = store->message(items[1]);
    EXPECT_EQ("With attachments", pst::subjectText(second.properties));
    EXPECT_EQ(2u, second.recipients.size());
    ASSERT_EQ(2u, second.attachments.size());
    std::vector<uint8_t> scan = store->attachmentData(items[1], second.attachments[1].nid);
    EXPECT_EQ(bigAttachment, std::string(scan.begin(), scan.end()));
    EXPECT_EQ(0x10, second.properties.at(pst::tag(0x0E07, pst::PT_LONG)).int32() & 0x10) << "has attachments";

    Extraction byReadpst = readpst(path, dir, "readpst");
    EXPECT_TRUE(byReadpst.ran) << "readpst (pst-utils) must read the store: " << byReadpst.log;
    if (byReadpst.ran) {
        std::string mbox = byReadpst.files["Tidewell Conversion Folder/Lotus Mails/Inbox/mbox"];
        EXPECT_NE(std::string::npos, mbox.find("First body")) << byReadpst.log;
        EXPECT_NE(std::string::npos, mbox.find("filename=\"scan.bin\"")) << mbox.substr(0, 400);
        EXPECT_FALSE(byReadpst.files["Tidewell Conversion Folder/Lotus Mails/Projects/2007/mbox"].empty());
    }
    Extraction byLibpff = pffexport(path, dir, "pffexport");
    if (byLibpff.ran) {
        EXPECT_EQ(bigAttachment,
                  byLibpff.files["Top of Personal Folders/Lotus Mails/Inbox/Message00002/Attachments/2_scan.bin"])
            << byLibpff.log;
        std::string body = byLibpff.files["Top of Personal Folders/Lotus Mails/Inbox/Message00001/Message.txt"];
        EXPECT_NE(std::string::npos, body.find("First body")) << body;
        std::string headers = byLibpff.files["Top of Personal Folders/Lotus Mails/Inbox/Message00001/OutlookHeaders.txt"];
        EXPECT_NE(std::string::npos, headers.find("Quarterly figures")) << headers;
    } else {
        ADD_FAILURE() << "pffexport did not read the store: " << byLibpff.log;
    }
    Extraction byExtractor = pstExtractor(path, dir, "pst-extractor");
    EXPECT_TRUE(byExtractor.ran) << byExtractor.log;
    const std::string& list = byExtractor.files["list"];
    const std::string inboxPath = "/Top of Personal Folders/Lotus Mails/Inbox";
    for (const std::string& line :
         {"F | " + inboxPath + " | IPF.Note | 2 of 2", std::string("F | /Top of Personal Folders/Lotus Mails/Projects/2007 | IPF.Note | 1 of 1"),
          "M | " + inboxPath + " | IPM.Note | Quarterly figures \xE2\x80\x94 \xC3\x9C" "bersicht | Anna Berg <> | "
          "1:Jonas Lind <someone@tidewell.example>; 1:Mar\xC3\xAD" "a S\xC3\xA1nchez <someone@tidewell.example> | "
          "body 10 | html 0 | unread | ",
          "| read | figures.csv:3:" + sha1Of("a;b", dir) + "; scan.bin:" + std::to_string(bigAttachment.size()) + ":" +
              sha1Of(bigAttachment, dir)})
        EXPECT_NE(std::string::npos, list.find(line)) << line << " not in:\n" << list;
}

TEST(StoreWriter, AppendingToOutlookFilesKeepsWhatTheyHeld) {
    // Every file of Outlook's but java-libpst_passworded (PasswordTest's),
    // the two ANSI ones (Outlook 97-2002) among them.
    for (const char* sample : {"tika_testPST_variousBodyTypes.pst", "java-libpst_dist-list.pst", "tika_testPST.pst",
                               "pstsdk_sample1.pst", "pstsdk_submessage.pst", "pstsdk_test_unicode.pst",
                               "pstsdk_sample2.pst", "pstsdk_test_ansi.pst"}) {
        SCOPED_TRACE(sample);
        ScratchDir dir;
        const std::string path = dir.copyOf(sample);
        // pst-extractor reads no ANSI file, not even Outlook's own.
        const bool ansi = isAnsiPst(path);
        Extraction before = readpst(path, dir, "before");
        Extraction libpffBefore = pffexport(path, dir, "libpff-before");
        Extraction extractorBefore = pstExtractor(path, dir, "extractor-before");
        ASSERT_TRUE(before.ran && libpffBefore.ran && (extractorBefore.ran || ansi))
            << "the three readers (pst-utils, pff-tools, pst-extractor) are needed: " << extractorBefore.log;
        uint32_t added;
        {
            // pstsdk_test_unicode is protected by a password: one of its CRC.
            const uint32_t locked = pst::Store::open(path)->passwordCrc();
            auto store = pst::Store::open(path, true, locked ? passwordWithCrc(locked) : std::string());
            added = store->createFolder(store->ipmSubtree(), "Tidewell", "IPF.Note");
            store->addMessage(added, mail("Appended", "Appended body", false));
            store->commit();
        }
        // Outlook's files may carry leaked space of their own.
        expectSound(path, false);
        auto store = pst::Store::open(path);
        EXPECT_EQ(1u, store->messages(added).size());
        Extraction after = readpst(path, dir, "after");
        if (before.ran) {
            ASSERT_TRUE(after.ran) << after.log;
            // Every file readpst made before is made again, the same.
            for (const auto& f : before.files) {
                auto it = after.files.find(f.first);
                ASSERT_NE(after.files.end(), it) << f.first << " is gone";
                EXPECT_EQ(f.second, it->second) << f.first << " changed";
            }
            EXPECT_EQ(before.files.size() + 1, after.files.size()) << "exactly the new folder's mbox";
        }
        Extraction libpffAfter = pffexport(path, dir, "libpff-after");
        if (libpffBefore.ran) {
            ASSERT_TRUE(libpffAfter.ran) << libpffAfter.log;
            for (const auto& f : libpffBefore.files) {
                auto it = libpffAfter.files.find(f.first);
                ASSERT_NE(libpffAfter.files.end(), it) << f.first << " is gone";
                // The export time is not part of what the file holds.
                if (f.first.find("Message.txt") == std::string::npos) {
                    EXPECT_EQ(f.second, it->second) << f.first << " changed";
                }
            }
        }
        if (ansi) {
            // 8-bit text, in the file's code page: readpst gives the
            // recipients as an encoded word of "Jonas Lind; María Sánchez".
            const std::string mbox = after.fileWith("Tidewell/mbox");
            EXPECT_NE(std::string::npos, mbox.find("To: =?utf-8?B?Sm9uYXMgTGluZDsgTWFyw61hIFPDoW5jaGV6?=")) << mbox;
            EXPECT_NE(std::string::npos, mbox.find("\nAppended body")) << mbox;
            continue;
        }
        Extraction extractorAfter = pstExtractor(path, dir, "extractor-after");
        ASSERT_TRUE(extractorAfter.ran) << extractorAfter.log;
        const std::string& list = extractorAfter.files["list"];
        EXPECT_EQ(extractorBefore.files["list"], listedOutside(list, "Tidewell"));
        EXPECT_NE(std::string::npos, list.find("/Tidewell | IPM.Note | Appended | Anna Berg <> |")) << list;
        EXPECT_NE(std::string::npos, list.find("/Tidewell | IPF.Note | 1 of 1")) << list;
    }
}

TEST(StoreWriter, EditsMovesCopiesAndDeletesKeepCountsAndRowsInStep) {
    ScratchDir dir;
    const std::string path = dir.file("edit.pst");
    uint32_t a, b, m1, m2, copy;
    {
        auto store = pst::Store::create(path, "Edits");
        a = store->createFolder(store->ipmSubtree(), "A", "IPF.Note");
        b = store->createFolder(store->ipmSubtree(), "B", "IPF.Note");
        m1 = store->addMessage(a, mail("first", "one", false));
        m2 = store->addMessage(a, mail("second", "two", false));
        store->commit();
        EXPECT_EQ(2, store->folder(a).unreadCount);

        // Read: the unread count follows the flag.
        store->setProperties(m1, {{pst::tag(0x0E07, pst::PT_LONG), number(1)},
                                  {pst::tag(0x0037, pst::PT_UNICODE), text("first, renamed")}});
        EXPECT_EQ(1, store->folder(a).unreadCount);
        // An attachment added later sets the flag and appears in the table.
        store->addAttachment(m2, {"later.txt", {'x', 'y', 'z'}, {}});
        store->setRecipients(m2, {});
        store->moveMessage(m2, b);
        copy = store->copyMessage(m1, b);
        store->commit();
    }
    expectSound(path);
    auto store = pst::Store::open(path, true);
    pst::FolderInfo fa = store->folder(a), fb = store->folder(b);
    EXPECT_EQ(1, fa.contentCount);
    EXPECT_EQ(0, fa.unreadCount);
    EXPECT_EQ(2, fb.contentCount);
    EXPECT_EQ(1, fb.unreadCount);
    EXPECT_EQ(std::vector<uint32_t>{m1}, store->messages(a));
    EXPECT_EQ((std::vector<uint32_t>{m2, copy}), store->messages(b));
    pst::MessageInfo moved = store->message(m2);
    EXPECT_EQ(b, moved.folder);
    EXPECT_TRUE(moved.recipients.empty());
    ASSERT_EQ(1u, moved.attachments.size());
    EXPECT_EQ(0x10, moved.properties.at(pst::tag(0x0E07, pst::PT_LONG)).int32() & 0x10);
    EXPECT_EQ("first, renamed", pst::subjectText(store->message(copy).properties));
    // Entry ids name the items, in this store only.
    std::vector<uint8_t> id = store->entryId(m2);
    ASSERT_EQ(24u, id.size());
    EXPECT_EQ(m2, store->nidFromEntryId(id).value_or(0));
    id[5] ^= 1;
    EXPECT_FALSE(store->nidFromEntryId(id));
    EXPECT_EQ(b, store->findSubfolder(store->ipmSubtree(), "B").value_or(0));

    store->deleteMessage(copy);
    store->deleteMessage(m2);
    store->commit();
    EXPECT_EQ(0, store->folder(b).contentCount);
    EXPECT_EQ(0, store->folder(b).unreadCount);
    EXPECT_TRUE(store->messages(b).empty());
    store.reset();
    expectSound(path);
    Extraction byLibpff = pffexport(path, dir, "libpff");
    EXPECT_TRUE(byLibpff.ran) << byLibpff.log;
    EXPECT_EQ(std::string::npos, byLibpff.log.find("orphan")) << byLibpff.log;
    Extraction byExtractor = pstExtractor(path, dir, "pst-extractor");
    EXPECT_TRUE(byExtractor.ran) << byExtractor.log;
    EXPECT_NE(std::string::npos, byExtractor.files["list"].find("M | /Top of Personal Folders/A | IPM.Note | first, renamed |"))
        << byExtractor.files["list"];
    EXPECT_NE(std::string::npos, byExtractor.files["list"].find("F | /Top of Personal Folders/B | IPF.Note | 0 of 0"))
        << byExtractor.files["list"];
}

TEST(StoreWriter, NamedPropertiesAreLookedUpOrAppended) {
    ScratchDir dir;
    const std::string path = dir.copyOf("java-libpst_dist-list.pst");
    auto store = pst::Store::open(path, true);
    // Outlook's own file already maps Email1EmailAddress; its id is the file's.
    std::optional<uint16_t> email = store->findNamedProperty(pst::psetidAddress(), 0x8083);
    ASSERT_TRUE(email);
    EXPECT_EQ(*email, store->namedProperty(pst::psetidAddress(), 0x8083));
    EXPECT_FALSE(store->findNamedProperty(pst::psetidAddress(), 0x80FF));
    const uint16_t added = store->namedProperty(pst::psetidAddress(), 0x80FF);
    EXPECT_GE(added, 0x8000);
    EXPECT_NE(*email, added);
    store->commit();
    // Names that are strings, in a set the map does not list yet.
    const pst::Guid own = pst::guidFromString("6ED8DA90-450B-101B-98DA-00AA003F1305");
    const uint16_t keywords = store->namedProperty(pst::guidFromString("00020329-0000-0000-C000-000000000046"),
                                                   std::string("Keywords"));
    const uint16_t mine = store->namedProperty(own, std::string("Tidewell-Origin \xC3\xA9"));
    EXPECT_NE(keywords, mine);
    EXPECT_EQ(mine, store->namedProperty(own, std::string("Tidewell-Origin \xC3\xA9")));
    store->commit();
    auto again = pst::Store::open(path);
    EXPECT_EQ(added, again->findNamedProperty(pst::psetidAddress(), 0x80FF).value_or(0));
    EXPECT_EQ(*email, again->findNamedProperty(pst::psetidAddress(), 0x8083).value_or(0));
    EXPECT_EQ(mine, again->findNamedProperty(own, std::string("Tidewell-Origin \xC3\xA9")).value_or(0));
    EXPECT_FALSE(again->findNamedProperty(own, std::string("Tidewell-Origin")));
    // And back from the id to the name, for Outlook's entries and ours.
    std::optional<pst::PropertyName> name = again->propertyName(*email);
    ASSERT_TRUE(name);
    EXPECT_TRUE(name->set == pst::psetidAddress());
    EXPECT_EQ(0x8083u, name->lid);
    name = again->propertyName(mine);
    ASSERT_TRUE(name);
    EXPECT_TRUE(name->set == own);
    EXPECT_EQ("Tidewell-Origin \xC3\xA9", name->name);
    EXPECT_FALSE(again->propertyName(0x7FFF));
    expectSound(path, false);
}

TEST(StoreWriter, MessagesMoveBetweenStoresWithTheirNamedProperties) {
    // Outlook's contact and distribution list into a store of ours, whose
    // name-to-id map knows none of their named properties yet: each named
    // property arrives under the target's id for the same name.
    ScratchDir dir;
    const std::string from = dir.copyOf("java-libpst_dist-list.pst");
    const std::string to = dir.file("target.pst");
    using Named = std::map<std::string, pst::Value>; // "set/number or name/type" -> value
    auto namedOf = [](pst::Store& store, const pst::Properties& props) {
        Named out;
        for (const auto& kv : props) {
            const uint16_t id = static_cast<uint16_t>(kv.first >> 16);
            if (id < 0x8000)
                continue;
            std::optional<pst::PropertyName> n = store.propertyName(id);
            if (!n)
                continue;
            std::string key(n->set.begin(), n->set.end());
            key += n->name.empty() ? std::to_string(n->lid) : "'" + n->name;
            out[key + "/" + std::to_string(kv.first & 0xFFFF)] = kv.second;
        }
        return out;
    };
    std::vector<Named> before;
    std::string email;
    {
        auto source = pst::Store::open(from, true);
        auto target = pst::Store::create(to, "Target");
        const uint32_t contacts = *source->findSubfolder(source->ipmSubtree(), "Contacts");
        const uint32_t folder = target->createFolder(target->ipmSubtree(), "Contacts", "IPF.Contact");
        const uint16_t emailId = *source->findNamedProperty(pst::psetidAddress(), 0x8083);
        std::vector<uint32_t> moved;
        for (uint32_t m : source->messages(contacts)) {
            pst::MessageInfo info = source->message(m);
            before.push_back(namedOf(*source, info.properties));
            auto e = info.properties.find(pst::tag(emailId, pst::PT_UNICODE));
            if (e != info.properties.end())
                email = e->second.text();
            moved.push_back(source->moveMessage(m, *target, folder));
        }
        source->commit();
        target->commit();
        ASSERT_EQ(2u, moved.size());
        EXPECT_TRUE(source->messages(contacts).empty());
        EXPECT_EQ(0, source->folder(contacts).contentCount);
        EXPECT_EQ(2, target->folder(folder).contentCount);
        for (size_t i = 0; i < moved.size(); ++i) {
            EXPECT_GT(before[i].size(), 5u) << "Outlook's items carry named properties";
            Named after = namedOf(*target, target->message(moved[i]).properties);
            EXPECT_EQ(before[i].size(), after.size());
            for (const auto& kv : before[i]) {
                auto there = after.find(kv.first);
                ASSERT_NE(after.end(), there) << "a named property was lost, type " << kv.second.type;
                EXPECT_TRUE(kv.second.bytes == there->second.bytes);
            }
        }
    }
    expectSound(from, false);
    expectSound(to);
    ASSERT_FALSE(email.empty());
    Extraction byReadpst = readpst(to, dir, "readpst");
    ASSERT_TRUE(byReadpst.ran) << byReadpst.log;
    std::string all;
    for (const auto& f : byReadpst.files)
        all += f.second;
    EXPECT_NE(std::string::npos, all.find(email)) << email << " not in what readpst made of the target";
    Extraction byExtractor = pstExtractor(to, dir, "pst-extractor");
    EXPECT_TRUE(byExtractor.ran) << byExtractor.log;
    EXPECT_NE(std::string::npos, byExtractor.files["list"].find(email)) << byExtractor.files["list"];
}

TEST(StoreWriter, ChangesGivenWithACopyAreWrittenWithItAndLeaveTheOriginal) {
    // What a mail program does with an item changed but not saved, copied
    // or moved: the changes (in the source's property ids) go with the
    // copy in one write, into the same store or another.
    ScratchDir dir;
    const std::string from = dir.file("from.pst"), to = dir.file("to.pst");
    const std::string attachment = dir.file("report.bin");
    const std::string bytes = bytesOf(20000, 3);
    {
        std::FILE* f = std::fopen(attachment.c_str(), "wb");
        ASSERT_TRUE(f);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    const pst::Guid set = pst::psetidAddress();
    uint32_t original, sameStore, otherStore, folder;
    {
        auto source = pst::Store::create(from, "From");
        auto target = pst::Store::create(to, "To");
        // The target knows another name first, so the ids differ.
        target->namedProperty(set, 0x8005);
        const uint32_t drafts = source->createFolder(source->ipmSubtree(), "Drafts", "IPF.Note");
        folder = target->createFolder(target->ipmSubtree(), "Mail", "IPF.Note");
        original = source->addMessage(drafts, mail("staged", "the staging body", false));
        source->commit();
        const uint16_t sourceId = source->namedProperty(set, 0x8083);
        auto amend = [&](pst::NewMessage& m) {
            m.properties[pst::tag(0x0037, pst::PT_UNICODE)] = text("imported");
            m.properties[pst::tag(0x0E07, pst::PT_LONG)] = number(1);
            m.properties.erase(pst::tag(0x1000, pst::PT_UNICODE));
            m.properties[pst::tag(sourceId, pst::PT_UNICODE)] = text("anna@tidewell.example");
            m.recipients.resize(1);
            pst::NewAttachment a;
            a.fileName = "report.bin";
            a.sourcePath = attachment;
            m.attachments.push_back(a);
        };
        sameStore = source->copyMessage(original, *source, drafts, amend);
        otherStore = source->copyMessage(original, *target, folder, amend);
        source->commit();
        target->commit();
        EXPECT_EQ(1, source->folder(drafts).unreadCount) << "the original alone is unread";
        EXPECT_EQ(0, target->folder(folder).unreadCount);
    }
    auto source = pst::Store::open(from), target = pst::Store::open(to);
    pst::MessageInfo kept = source->message(original);
    EXPECT_EQ("staged", pst::subjectText(kept.properties));
    EXPECT_TRUE(kept.attachments.empty());
    EXPECT_EQ(2u, kept.recipients.size());
    const uint16_t targetId = *target->findNamedProperty(set, 0x8083);
    EXPECT_NE(*source->findNamedProperty(set, 0x8083), targetId);
    for (auto* copy : {&sameStore, &otherStore}) {
        pst::Store& store = copy == &sameStore ? *source : *target;
        const uint16_t id = copy == &sameStore ? *source->findNamedProperty(set, 0x8083) : targetId;
        pst::MessageInfo m = store.message(*copy);
        EXPECT_EQ("imported", pst::subjectText(m.properties));
        EXPECT_EQ(0u, m.properties.count(pst::tag(0x1000, pst::PT_UNICODE)));
        ASSERT_EQ(1u, m.properties.count(pst::tag(id, pst::PT_UNICODE)));
        EXPECT_EQ("anna@tidewell.example", m.properties.at(pst::tag(id, pst::PT_UNICODE)).text());
        EXPECT_EQ(1u, m.recipients.size());
        ASSERT_EQ(1u, m.attachments.size());
        const std::string saved = dir.file("saved" + std::to_string(*copy));
        EXPECT_EQ(bytes.size(), store.saveAttachment(*copy, m.attachments[0].nid, saved));
        EXPECT_TRUE(readAll(saved) == bytes) << "the attachment's bytes differ";
    }
    source.reset();
    target.reset();
    expectSound(from);
    expectSound(to);
}

TEST(StoreWriter, AStoreOpenedAgainFindsTheSpaceItFreedWithoutGrowing) {
    // A mail program restarted in the same process opens the file again:
    // the space its last session freed is used before the file grows, and
    // a file changed by someone else in between is not taken for the one
    // it left.
    ScratchDir dir;
    const std::string path = dir.file("reopen.pst"), older = dir.file("older.pst");
    const std::string payload = bytesOf(30000, 9);
    auto withAttachment = [&](const std::string& subject) {
        pst::NewMessage m = mail(subject, "body", false);
        m.attachments.push_back({"data.bin", std::vector<uint8_t>(payload.begin(), payload.end()), {}});
        return m;
    };
    uint32_t inbox = 0;
    std::vector<uint32_t> added;
    {
        auto store = pst::Store::create(path, "Reopen");
        inbox = store->createFolder(store->ipmSubtree(), "Inbox", "IPF.Note");
        for (int i = 0; i < 120; ++i)
            added.push_back(store->addMessage(inbox, withAttachment("first " + std::to_string(i))));
        store->commit();
    }
    std::filesystem::copy_file(path, older);
    {
        auto store = pst::Store::open(path, true);
        for (size_t i = 0; i < added.size(); i += 2)
            store->deleteMessage(added[i]);
        store->commit();
    }
    const uintmax_t size = std::filesystem::file_size(path);
    {
        auto store = pst::Store::open(path, true);
        for (int i = 0; i < 50; ++i)
            store->addMessage(inbox, withAttachment("second " + std::to_string(i)));
        store->commit();
        EXPECT_EQ(110, store->folder(inbox).contentCount);
    }
    EXPECT_EQ(size, std::filesystem::file_size(path)) << "the freed space was not found again";
    expectSound(path);

    // Another program puts an older file in its place: its own maps count.
    std::filesystem::copy_file(older, path, std::filesystem::copy_options::overwrite_existing);
    {
        auto store = pst::Store::open(path, true);
        for (int i = 0; i < 20; ++i)
            store->addMessage(inbox, withAttachment("third " + std::to_string(i)));
        store->commit();
        EXPECT_EQ(140, store->folder(inbox).contentCount);
    }
    expectSound(path);
}

TEST(StoreWriter, ThousandsOfMessagesInOneFolderStayInStep) {
    // Enough rows for a contents table whose rows and index outgrow one
    // heap item, then one heap block, then one data-tree block.
    ScratchDir dir;
    const std::string path = dir.file("many.pst");
    const int count = 3000;
    std::vector<uint32_t> added;
    {
        auto store = pst::Store::create(path, "Many");
        const uint32_t folder = store->createFolder(store->ipmSubtree(), "Inbox", "IPF.Note");
        for (int i = 0; i < count; ++i) {
            pst::NewMessage m;
            m.properties[pst::tag(0x0037, pst::PT_UNICODE)] = text("Subject number " + std::to_string(i));
            m.properties[pst::tag(0x0E07, pst::PT_LONG)] = number(i % 3 ? 1 : 0);
            added.push_back(store->addMessage(folder, m));
            if (i % 100 == 99)
                store->commit();
            if (i == 1500) // a change to a row in the middle
                store->setProperties(added[700], {{pst::tag(0x0037, pst::PT_UNICODE), text("Changed 700")}});
        }
        store->commit();
    }
    expectSound(path);
    auto store = pst::Store::open(path);
    const uint32_t folder = store->findSubfolder(store->ipmSubtree(), "Inbox").value();
    EXPECT_EQ(added, store->messages(folder));
    EXPECT_EQ(count, store->folder(folder).contentCount);
    EXPECT_EQ(count / 3, store->folder(folder).unreadCount);
    EXPECT_EQ("Changed 700", pst::subjectText(store->message(added[700]).properties));
    Extraction byReadpst = readpst(path, dir, "readpst");
    EXPECT_EQ(count, countMatches(byReadpst.files["Many/Inbox/mbox"], "\nSubject: "));
    Extraction byLibpff = pffexport(path, dir, "pffexport");
    int exported = 0;
    for (const auto& f : byLibpff.files)
        if (f.first.find("OutlookHeaders.txt") != std::string::npos)
            ++exported;
    EXPECT_EQ(count, exported) << byLibpff.log;
    Extraction byExtractor = pstExtractor(path, dir, "pst-extractor");
    EXPECT_TRUE(byExtractor.ran) << byExtractor.log;
    EXPECT_EQ(count, countMatches(byExtractor.files["list"], "M | /Top of Personal Folders/Inbox | IPM.Note | "));
    EXPECT_EQ(1, countMatches(byExtractor.files["list"], "| Changed 700 |"));
}

TEST(StoreWriter, RowsRemovedInPlaceKeepTablesSoundAndSmall) {
    // A staging folder's pattern (one message added, then moved or deleted,
    // thousands of times) beside a table of several blocks whose index has
    // more than one level, emptied in a scattered order.
    ScratchDir dir;
    const std::string path = dir.file("churn.pst");
    std::vector<uint32_t> kept;
    uintmax_t sizeAfterWarmUp = 0;
    {
        auto store = pst::Store::create(path, "Churn");
        store->setFlushInterval(std::chrono::milliseconds(60000)); // thousands of commits: the disk is not what is tested
        const uint32_t staging = store->createFolder(store->ipmSubtree(), "Staging", "IPF.Note");
        const uint32_t target = store->createFolder(store->ipmSubtree(), "Target", "IPF.Note");
        for (int i = 0; i < 120; ++i)
            kept.push_back(store->addMessage(staging, mail("kept " + std::to_string(i), "", i % 2 == 0)));
        store->commit();
        for (int round = 0; round < 700; ++round) {
            const uint32_t m = store->addMessage(staging, mail("passing " + std::to_string(round), "x", false));
            store->commit();
            if (round % 4)
                store->moveMessage(m, target);
            else
                store->deleteMessage(m);
            store->commit();
            if (round == 100)
                sizeAfterWarmUp = std::filesystem::file_size(path);
        }
        EXPECT_EQ(kept, store->messages(staging));
        EXPECT_EQ(120, store->folder(staging).contentCount);
        EXPECT_EQ(60, store->folder(staging).unreadCount);
        EXPECT_EQ(525, store->folder(target).contentCount); // an index of two levels
        // The rows that came and went left the file no larger than a few
        // spans of churn would.
        EXPECT_LT(std::filesystem::file_size(path), sizeAfterWarmUp + 4 * 253952)
            << "grew from " << sizeAfterWarmUp;

        // Now the target, emptied from the middle outwards, then the rest.
        std::vector<uint32_t> rows = store->messages(target);
        std::vector<uint32_t> order;
        for (size_t k = 0; k < rows.size(); ++k)
            order.push_back(rows[(k * 7919) % rows.size()]);
        std::set<uint32_t> left(rows.begin(), rows.end());
        for (size_t k = 0; k < order.size(); ++k) {
            store->deleteMessage(order[k]);
            left.erase(order[k]);
            if (k % 97 == 0 || left.size() < 3) {
                store->commit();
                std::vector<uint32_t> now = store->messages(target);
                ASSERT_EQ(left, std::set<uint32_t>(now.begin(), now.end())) << "after " << k + 1 << " deletions";
            }
        }
        store->commit();
        EXPECT_TRUE(store->messages(target).empty());
        EXPECT_EQ(0, store->folder(target).contentCount);
        // An emptied table takes rows again.
        const uint32_t again = store->addMessage(target, mail("again", "", true));
        store->commit();
        EXPECT_EQ(std::vector<uint32_t>{again}, store->messages(target));
    }
    expectSound(path);
    Extraction byReadpst = readpst(path, dir, "readpst");
    EXPECT_EQ(120, countMatches(byReadpst.files["Churn/Staging/mbox"], "\nSubject: "));
    EXPECT_EQ(1, countMatches(byReadpst.files["Churn/Target/mbox"], "\nSubject: "));
    Extraction byLibpff = pffexport(path, dir, "libpff");
    EXPECT_TRUE(byLibpff.ran) << byLibpff.log;
    int exported = 0;
    for (const auto& f : byLibpff.files)
        if (f.first.find("OutlookHeaders.txt") != std::string::npos)
            ++exported;
    EXPECT_EQ(121, exported) << byLibpff.log;
    Extraction byExtractor = pstExtractor(path, dir, "pst-extractor");
    EXPECT_TRUE(byExtractor.ran) << byExtractor.log;
    EXPECT_EQ(120, countMatches(byExtractor.files["list"], "M | /Top of Personal Folders/Staging |"));
    EXPECT_EQ(1, countMatches(byExtractor.files["list"], "M | /Top of Personal Folders/Target |"));
}

TEST(StoreWriter, AttachmentsOfAnySizeAreStreamedInAndOut) {
    ScratchDir dir;
    const std::string source = dir.file("big.bin"), saved = dir.file("saved.bin"), path = dir.file("big.pst");
    // 12 MB: more blocks than one XBLOCK lists.
    const std::string bytes = bytesOf(12 * 1024 * 1024 + 5, 7);
    std::ofstream(source, std::ios::binary) << bytes;
    // Over a megabyte, which the engine takes in several reads.
    const std::string shared = bytesOf(3 * 1024 * 1024 + 77, 11);
    auto sharedCopy = [](const std::string& from) {
        uint8_t* to = new uint8_t[from.size()];
        std::copy(from.begin(), from.end(), to);
        return to;
    };
    uint32_t message, attachment;
    {
        auto store = pst::Store::create(path, "Big");
        const uint32_t folder = store->createFolder(store->ipmSubtree(), "Files", "IPF.Note");
        pst::NewMessage m = mail("A big file", "attached", true);
        pst::NewAttachment a;
        a.fileName = "big.bin";
        a.sourcePath = source;
        m.attachments.push_back(a);
        message = store->addMessage(folder, m);
        pst::NewAttachment empty;
        empty.fileName = "empty.txt";
        empty.sourcePath = dir.file("empty.txt");
        std::ofstream(empty.sourcePath, std::ios::binary).flush();
        store->addAttachment(message, empty);
        // Bytes held by the caller, shared rather than copied: the same
        // blocks as from a file.
        pst::NewAttachment held;
        held.fileName = "held.bin";
        held.sharedSize = shared.size();
        held.sharedData = std::shared_ptr<const uint8_t[]>(sharedCopy(shared));
        store->addAttachment(message, held);
        store->commit();
        attachment = store->message(message).attachments[0].nid;
    }
    expectSound(path);
    auto store = pst::Store::open(path);
    EXPECT_EQ(bytes.size(), store->saveAttachment(message, attachment, saved));
    EXPECT_EQ(bytes, readAll(saved));
    pst::MessageInfo m = store->message(message);
    ASSERT_EQ(3u, m.attachments.size());
    EXPECT_EQ(0u, store->attachmentData(message, m.attachments[1].nid).size());
    const std::vector<uint8_t> heldBack = store->attachmentData(message, m.attachments[2].nid);
    EXPECT_TRUE(std::string(heldBack.begin(), heldBack.end()) == shared) << heldBack.size() << " bytes";
    EXPECT_EQ(static_cast<int32_t>(bytes.size()), m.attachments[0].properties.at(pst::tag(0x0E20, pst::PT_LONG)).int32());
    Extraction byLibpff = pffexport(path, dir, "pffexport");
    EXPECT_EQ(bytes, byLibpff.files["Top of Personal Folders/Files/Message00001/Attachments/1_big.bin"]) << byLibpff.log;
    Extraction byExtractor = pstExtractor(path, dir, "pst-extractor");
    EXPECT_TRUE(byExtractor.ran) << byExtractor.log;
    EXPECT_EQ(shared, byLibpff.files["Top of Personal Folders/Files/Message00001/Attachments/3_held.bin"]);
    const std::string expected = "| big.bin:" + std::to_string(bytes.size()) + ":" + sha1Of(bytes, dir) +
                                 "; empty.txt:0:" + sha1Of("", dir) + "; held.bin:" + std::to_string(shared.size()) +
                                 ":" + sha1Of(shared, dir);
    EXPECT_NE(std::string::npos, byExtractor.files["list"].find(expected)) << byExtractor.files["list"];
}
