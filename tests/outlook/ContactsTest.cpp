// Contacts as the contact conversion makes them: created, filled by
// dispatch identifier, saved and moved into a contacts folder of the PST.
#include "OutlookFixture.h"

#include "pst/Store.h"

using namespace outlooktest;

namespace {

constexpr uint32_t tagOf(uint16_t id, uint16_t type) { return (static_cast<uint32_t>(id) << 16) | type; }

std::string textOf(const pst::Properties& p, uint32_t tag) {
    auto it = p.find(tag);
    return it == p.end() ? std::string("<none>") : it->second.text();
}

double variantDate(WORD year, WORD month, WORD day) {
    SYSTEMTIME st{year, month, 0, day, 0, 0, 0, 0};
    double date = 0;
    SystemTimeToVariantTime(&st, &date);
    return date;
}

} // namespace

TEST_F(OutlookTest, ContactFieldsArriveAsContactProperties) {
    start();
    const std::wstring target = dir.file(L"Contacts.pst");
    tw::ComPtr<IDispatch> root = addStore(target);
    tw::ComPtr<IDispatch> folder =
        tw::call(tw::get(root.get(), id::Folders).object().get(), id::Add, {L"Address Book", L"IPF.Contact"}).object();
    ASSERT_TRUE(folder);

    const struct {
        DISPID id;
        const wchar_t* value;
    } texts[] = {
        {0x3A06, L"Anna"}, {0x3A11, L"Berg"}, {0x3A44, L"K"}, {0x3A24, L"+49 40 1234-99"},
        {0x3A25, L"+49 40 5555-01"}, {0x3001, L"Anna Berg"}, {0x3A4F, L"aberg"},
        {0x8083, L"anna.berg@tidewell.example"}, {0x3A16, L"Tidewell"}, {0x3A15, L"Hafenstra\u00DFe 12, Hamburg"},
        {0x3A26, L"Germany"}, {0x3A18, L"Sales"}, {0x3A1A, L"+49 40 1234-0"}, {0x3A57, L"+49 40 1234-10"},
        {0x3A1C, L"+49 170 1234567"},
    };
    tw::ComPtr<IDispatch> contact = tw::call(app.get(), id::CreateItem, {2}).object();
    for (const auto& t : texts)
        tw::put(contact.get(), t.id, tw::Variant(t.value));
    tw::put(contact.get(), 0x3A42, tw::Variant::date(variantDate(1975, 3, 14)));
    tw::put(contact.get(), 0x3A41, tw::Variant::date(0.0)); // an unreadable date: 30 December 1899
    EXPECT_EQ(L"anna.berg@tidewell.example", tw::get(contact.get(), tw::idOf(contact.get(), L"Email1Address")).text());
    tw::call(contact.get(), id::Save);
    tw::ComPtr<IDispatch> moved = tw::call(contact.get(), id::Move, {tw::Variant(folder.get())}).object();
    ASSERT_TRUE(moved);
    // A contact with nothing set is still a contact.
    tw::ComPtr<IDispatch> empty = tw::call(app.get(), id::CreateItem, {2}).object();
    tw::call(empty.get(), id::Save);
    tw::call(empty.get(), id::Move, {tw::Variant(folder.get())});
    tw::call(app.get(), id::Quit);

    auto store = pst::Store::open(narrow(target));
    const uint32_t f = *store->findSubfolder(store->ipmSubtree(), "Address Book");
    EXPECT_EQ("IPF.Contact", store->folder(f).containerClass);
    std::vector<uint32_t> ids = store->messages(f);
    ASSERT_EQ(2u, ids.size());
    pst::Properties anna, blank;
    for (uint32_t m : ids) {
        pst::Properties p = store->messageProperties(m);
        (p.count(tagOf(0x3001, pst::PT_UNICODE)) ? anna : blank) = p;
    }
    EXPECT_EQ("IPM.Contact", textOf(anna, tagOf(0x001A, pst::PT_UNICODE)));
    EXPECT_EQ("IPM.Contact", textOf(blank, tagOf(0x001A, pst::PT_UNICODE)));
    for (const auto& t : texts) {
        if (t.id == 0x8083)
            continue;
        std::wstring w(t.value);
        EXPECT_EQ(narrow(w), textOf(anna, tagOf(static_cast<uint16_t>(t.id), pst::PT_UNICODE))) << std::hex << t.id;
    }
    // Email1Address is the address set's named property 0x8083, under the
    // id this store gives it.
    std::optional<uint16_t> email = store->findNamedProperty(pst::psetidAddress(), 0x8083);
    ASSERT_TRUE(email);
    EXPECT_EQ("anna.berg@tidewell.example", textOf(anna, tagOf(*email, pst::PT_UNICODE)));
    EXPECT_EQ("Anna Berg", textOf(anna, tagOf(0x0037, pst::PT_UNICODE)));
    // The birthday is the local midnight of the day, stored in UTC.
    SYSTEMTIME local{1975, 3, 0, 14, 0, 0, 0, 0}, utc{};
    TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc);
    FILETIME ft{};
    SystemTimeToFileTime(&utc, &ft);
    EXPECT_EQ(static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime),
              anna.at(tagOf(0x3A42, pst::PT_SYSTIME)).int64());
    EXPECT_EQ(1u, anna.count(tagOf(0x3A41, pst::PT_SYSTIME)));
    EXPECT_EQ(0u, blank.count(tagOf(0x3A06, pst::PT_UNICODE)));
    store.reset();
    keepForReaders(target, L"contacts.pst");

    // Saved first into the profile's default contacts folder, then moved.
    auto defaults = pst::Store::open(narrow(defaultStorePath()));
    EXPECT_TRUE(defaults->messages(*defaults->findSubfolder(defaults->ipmSubtree(), "Contacts")).empty());
}
