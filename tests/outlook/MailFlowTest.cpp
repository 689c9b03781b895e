// A mail's road through the stand-in, the way the mail conversion drives
// it: a note item staged and saved, found again by its id, copied; the copy
// given to the safe mail item, an RFC 822 header file imported into it,
// its icon cleared, marked unread, attachments added, a body set; then
// moved into a folder of the target PST.
#include "OutlookFixture.h"

#include "PendingAttachment.h"
#include "pst/Store.h"

#include <algorithm>

using namespace outlooktest;

namespace {

constexpr uint32_t tagOf(uint16_t id, uint16_t type) { return (static_cast<uint32_t>(id) << 16) | type; }

std::string textOf(const pst::Properties& p, uint16_t id) {
    auto it = p.find(tagOf(id, pst::PT_UNICODE));
    return it == p.end() ? std::string("<none>") : it->second.text();
}

// The UTC file time of a local wall-clock time, as Outlook would store it.
int64_t utcOfLocal(WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s) {
    SYSTEMTIME local{y, mo, 0, d, h, mi, s, 0}, utc{};
    TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc);
    FILETIME ft{};
    SystemTimeToFileTime(&utc, &ft);
    return static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}

class MailFlow : public OutlookTest {
protected:
    // One message as the conversion makes it (the late release class).
    tw::ComPtr<IDispatch> convert(IDispatch* safe, IDispatch* target, const std::string& headers,
                                  const std::wstring& attachment, const std::wstring& body, bool html) {
        tw::ComPtr<IDispatch> staging = tw::call(app.get(), id::CreateItem, {5}).object();
        tw::call(staging.get(), id::Save);
        const std::wstring entryId = tw::get(staging.get(), id::EntryID).text();
        EXPECT_EQ(48u, entryId.size());
        staging = tw::call(nameSpace.get(), id::GetItemFromID, {entryId, L""}).object();
        tw::put(staging.get(), id::MessageClass, tw::Variant(L"IPM.Note"));
        tw::ComPtr<IDispatch> message = tw::call(staging.get(), id::Copy).object();
        tw::put(safe, tw::idOf(safe, L"Item"), tw::Variant(message.get()));
        const std::wstring file = dir.file(L"wmsg.eml");
        EXPECT_TRUE(testenv::writeFileBytes(file, headers));
        tw::call(safe, tw::idOf(safe, L"Import"), {file, 1024});
        tw::putIndexed(safe, tw::idOf(safe, L"Fields"), tw::Variant(static_cast<long>(0x10800003)), tw::Variant());
        tw::put(message.get(), id::UnRead, tw::Variant(true));
        if (!attachment.empty()) {
            tw::ComPtr<IDispatch> attachments = tw::get(message.get(), id::Attachments).object();
            tw::call(attachments.get(), id::AttachmentsAdd, {attachment, L"1", tw::Variant::missing(),
                                                             tw::Variant::missing()});
            DeleteFileW(attachment.c_str()); // as the conversion does, before the move
        }
        tw::put(message.get(), html ? id::HTMLBody : id::Body, tw::Variant(body));
        tw::ComPtr<IDispatch> moved = tw::call(message.get(), id::Move, {tw::Variant(target)}).object();
        EXPECT_TRUE(moved);
        // The item that was moved stands for nothing any more.
        EXPECT_NE(S_OK, failureOf([&] { tw::put(message.get(), id::UnRead, tw::Variant(false)); }));
        return moved;
    }
};

} // namespace

TEST_F(MailFlow, ImportedHeadersBodiesAndAttachmentsArriveInTheTargetFolder) {
    start();
    const std::wstring targetPath = dir.file(L"Mail.pst");
    tw::ComPtr<IDispatch> root = addStore(targetPath);
    tw::ComPtr<IDispatch> inbox = addMailFolder(root.get(), L"Inbox");
    tw::ComPtr<IDispatch> safe = create(kSafeMailItem);
    tw::ComPtr<IUnknown> viaInterface;
    EXPECT_EQ(S_OK, safe->QueryInterface(kSafeMailItemInterface, viaInterface.putVoid()));

    std::string bytes(70000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7 + i / 251);
    const std::wstring attachment = dir.file(L"Quarterly report.xls");
    ASSERT_TRUE(testenv::writeFileBytes(attachment, bytes));

    const std::string first = "From:Anna Berg/Sales/Tidewell\r\n"
                              "To:Jonas Lind/Sales/Tidewell, Maria Sanchez <maria@tidewell.example>\r\n"
                              "Cc:Otto Kahn/IT/Tidewell\r\n"
                              "Date: 07 Mar 2007 09:05:00\r\n"
                              "Sent: 07 Mar 2007 09:05:00\r\n"
                              "Received: 07 Mar 2007 09:05:00\r\n"
                              "Delivery-date: 07 Mar 2007 09:05:00\r\n"
                              "Subject:Quarterly figures\r\n";
    tw::ComPtr<IDispatch> moved = convert(safe.get(), inbox.get(), first, attachment,
                                          L"Dear all,\r\nthe figures are attached.\r\n", false);
    const std::wstring movedId = tw::get(moved.get(), id::EntryID).text();

    const std::string second = "From:jonas@tidewell.example\r\n"
                               "To:\r\n"
                               "Date: Invalid DateTime\r\n"
                               "Sent: Invalid DateTime\r\n"
                               "Received: Invalid DateTime\r\n"
                               "Delivery-date: Invalid DateTime\r\n"
                               "Subject:Lunch \xE9t\xE9\r\n";
    convert(safe.get(), inbox.get(), second, L"", L"<HTML> <body><p>See you &amp; bring it</p></body></HTML>", true);

    // Attachments leave their copy in the secure temporary folder (11.x),
    // whole though the added file is gone.
    EXPECT_TRUE(testenv::readFileBytes(secureTemp() + L"Quarterly report.xls") == bytes);
    // The moved item is found by its id in the target store.
    tw::ComPtr<IDispatch> found = tw::call(nameSpace.get(), id::GetItemFromID, {movedId, L""}).object();
    EXPECT_TRUE(found);
    tw::call(app.get(), id::Quit);

    auto store = pst::Store::open(narrow(targetPath));
    const uint32_t folder = *store->findSubfolder(store->ipmSubtree(), "Inbox");
    std::vector<uint32_t> ids = store->messages(folder);
    ASSERT_EQ(2u, ids.size());
    EXPECT_EQ(2, store->folder(folder).unreadCount);
    std::vector<pst::MessageInfo> messages;
    for (uint32_t m : ids)
        messages.push_back(store->message(m));
    std::sort(messages.begin(), messages.end(), [](const pst::MessageInfo& a, const pst::MessageInfo& b) {
        return pst::subjectText(a.properties) < pst::subjectText(b.properties);
    });
    const pst::MessageInfo& lunch = messages[0];
    const pst::MessageInfo& report = messages[1];

    EXPECT_EQ("Quarterly figures", pst::subjectText(report.properties));
    EXPECT_EQ("IPM.Note", textOf(report.properties, 0x001A));
    EXPECT_EQ("Anna Berg/Sales/Tidewell", textOf(report.properties, 0x0C1A));
    EXPECT_EQ("Anna Berg/Sales/Tidewell", textOf(report.properties, 0x0042));
    EXPECT_EQ("Dear all,\r\nthe figures are attached.\r\n", textOf(report.properties, 0x1000));
    EXPECT_EQ(0u, report.properties.count(tagOf(0x1080, pst::PT_LONG))) << "the icon index is cleared";
    const int32_t flags = report.properties.at(tagOf(0x0E07, pst::PT_LONG)).int32();
    EXPECT_EQ(0, flags & 0x01) << "unread";
    EXPECT_EQ(0, flags & 0x08) << "sent, not a draft";
    EXPECT_EQ(utcOfLocal(2007, 3, 7, 9, 5, 0), report.properties.at(tagOf(0x0039, pst::PT_SYSTIME)).int64());
    EXPECT_EQ(utcOfLocal(2007, 3, 7, 9, 5, 0), report.properties.at(tagOf(0x0E06, pst::PT_SYSTIME)).int64());
    ASSERT_EQ(3u, report.recipients.size());
    EXPECT_EQ("Jonas Lind/Sales/Tidewell", textOf(report.recipients[0], 0x3001));
    EXPECT_EQ("Maria Sanchez", textOf(report.recipients[1], 0x3001));
    EXPECT_EQ("maria@tidewell.example", textOf(report.recipients[1], 0x3003));
    EXPECT_EQ("Otto Kahn/IT/Tidewell", textOf(report.recipients[2], 0x3001));
    EXPECT_EQ(2, report.recipients[2].at(tagOf(0x0C15, pst::PT_LONG)).int32());
    ASSERT_EQ(1u, report.attachments.size());
    EXPECT_EQ("Quarterly report.xls", textOf(report.attachments[0].properties, 0x3707));
    std::vector<uint8_t> data = store->attachmentData(report.nid, report.attachments[0].nid);
    EXPECT_TRUE(std::string(data.begin(), data.end()) == bytes) << "attachment of " << data.size() << " bytes";

    EXPECT_EQ("Lunch \xC3\xA9t\xC3\xA9", pst::subjectText(lunch.properties)) << "the header file is ANSI";
    EXPECT_EQ("jonas@tidewell.example", textOf(lunch.properties, 0x0C1F));
    EXPECT_EQ(0u, lunch.properties.count(tagOf(0x0039, pst::PT_SYSTIME))) << "an unreadable date stays unset";
    EXPECT_TRUE(lunch.recipients.empty());
    auto html = lunch.properties.find(tagOf(0x1013, pst::PT_BINARY));
    ASSERT_NE(lunch.properties.end(), html);
    EXPECT_EQ("<HTML> <body><p>See you &amp; bring it</p></body></HTML>",
              std::string(html->second.bytes.begin(), html->second.bytes.end()));
    EXPECT_NE(std::string::npos, textOf(lunch.properties, 0x1000).find("See you & bring it"));
    store.reset();
    keepForReaders(targetPath, L"mail.pst");

    // The default store keeps one staging note per message; the copies left.
    auto defaults = pst::Store::open(narrow(defaultStorePath()));
    const uint32_t notes = *defaults->findSubfolder(defaults->ipmSubtree(), "Notes");
    EXPECT_EQ(2u, defaults->messages(notes).size());
    EXPECT_EQ("IPM.StickyNote", textOf(defaults->messageProperties(defaults->messages(notes)[0]), 0x001A));
}

TEST_F(MailFlow, AnAttachmentTooLargeToHoldInMemoryArrivesWhole) {
    start();
    const std::wstring targetPath = dir.file(L"Large.pst");
    tw::ComPtr<IDispatch> root = addStore(targetPath);
    tw::ComPtr<IDispatch> inbox = addMailFolder(root.get(), L"Inbox");
    tw::ComPtr<IDispatch> safe = create(kSafeMailItem);
    // Past what the stand-in holds in memory: it keeps a copy of its own,
    // the added file being deleted at once.
    std::string bytes(static_cast<size_t>(outlook::PendingAttachment::kMostHeld) + 4099, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 131 + i / 8191);
    const std::wstring attachment = dir.file(L"Archive.zip");
    ASSERT_TRUE(testenv::writeFileBytes(attachment, bytes));
    convert(safe.get(), inbox.get(), "Subject:Archive\r\n", attachment, L"attached", false);
    tw::call(app.get(), id::Quit);

    auto store = pst::Store::open(narrow(targetPath));
    const uint32_t folder = *store->findSubfolder(store->ipmSubtree(), "Inbox");
    ASSERT_EQ(1u, store->messages(folder).size());
    const pst::MessageInfo m = store->message(store->messages(folder)[0]);
    ASSERT_EQ(1u, m.attachments.size());
    const std::vector<uint8_t> data = store->attachmentData(m.nid, m.attachments[0].nid);
    EXPECT_TRUE(std::string(data.begin(), data.end()) == bytes) << data.size() << " bytes";
}

TEST_F(MailFlow, SafeMailItemFailuresAreHresults) {
    start();
    tw::ComPtr<IDispatch> safe = create(kSafeMailItem);
    const DISPID import = tw::idOf(safe.get(), L"Import");
    EXPECT_EQ(E_POINTER, failureOf([&] { tw::call(safe.get(), import, {dir.file(L"none.eml"), 1024}); }))
        << "no item yet";
    EXPECT_EQ(E_INVALIDARG, failureOf([&] { tw::put(safe.get(), tw::idOf(safe.get(), L"Item"), tw::Variant(L"x")); }));
    tw::ComPtr<IDispatch> item = tw::call(app.get(), id::CreateItem, {0}).object();
    tw::put(safe.get(), tw::idOf(safe.get(), L"Item"), tw::Variant(item.get()));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
              failureOf([&] { tw::call(safe.get(), import, {dir.file(L"none.eml"), 1024}); }));
    EXPECT_EQ(E_INVALIDARG, failureOf([&] { tw::call(safe.get(), import, {dir.file(L"none.eml"), 3}); }));
    tw::ComPtr<IDispatch> session = create(kRdoSession);
    tw::ComPtr<IUnknown> viaInterface;
    EXPECT_EQ(S_OK, session->QueryInterface(kRdoSessionInterface, viaInterface.putVoid()));

    // Attachments that are not there, and a move to something not a folder.
    tw::ComPtr<IDispatch> attachments = tw::get(item.get(), id::Attachments).object();
    std::wstring why;
    EXPECT_NE(S_OK, failureOf([&] {
        tw::call(attachments.get(), id::AttachmentsAdd, {dir.file(L"gone.txt"), L"1", tw::Variant::missing(),
                                                         tw::Variant::missing()});
    }, &why));
    EXPECT_NE(std::wstring::npos, why.find(L"gone.txt")) << narrow(why);
    EXPECT_NE(S_OK, failureOf([&] { tw::call(item.get(), id::Move, {tw::Variant(app.get())}); }));
    EXPECT_NE(S_OK, failureOf([&] { tw::call(nameSpace.get(), id::GetItemFromID, {L"not hex", L""}); }));
    EXPECT_EQ(L"", tw::get(item.get(), id::EntryID).text()) << "an unsaved item has no id";
}
