#include "ContactFields.h"

#include "Item.h"
#include "PropertyValues.h"

namespace outlook {

namespace {

constexpr uint32_t kDisplayName = pst::tag(0x3001, pst::PT_UNICODE);

// Email1: the address (0x8083), its type (0x8082), its display name
// (0x8080) and original display name (0x8084) in the address set.
void putEmail(Item& item, const std::wstring& address) {
    const pst::Guid set = pst::psetidAddress();
    item.setProperty(pst::tag(item.namedId(set, 0x8083), pst::PT_UNICODE), textValue(address));
    item.setProperty(pst::tag(item.namedId(set, 0x8082), pst::PT_UNICODE), textValue(L"SMTP"));
    item.setProperty(pst::tag(item.namedId(set, 0x8080), pst::PT_UNICODE), textValue(address));
    item.setProperty(pst::tag(item.namedId(set, 0x8084), pst::PT_UNICODE), textValue(address));
}

} // namespace

const std::vector<ContactField>& contactFields() {
    static const std::vector<ContactField> fields = {
        {L"FirstName", 0x3A06, 0x3A06, ContactField::Text},
        {L"LastName", 0x3A11, 0x3A11, ContactField::Text},
        {L"MiddleName", 0x3A44, 0x3A44, ContactField::Text},
        {L"BusinessFaxNumber", 0x3A24, 0x3A24, ContactField::Text},
        {L"HomeFaxNumber", 0x3A25, 0x3A25, ContactField::Text},
        {L"FullName", 0x3001, 0x3001, ContactField::Text},
        {L"NickName", 0x3A4F, 0x3A4F, ContactField::Text},
        {L"Email1Address", 0x8083, 0x8083, ContactField::Email},
        {L"CompanyName", 0x3A16, 0x3A16, ContactField::Text},
        {L"MailingAddress", 0x3A15, 0x3A15, ContactField::Text},
        {L"MailingAddressCountry", 0x3A26, 0x3A26, ContactField::Text},
        {L"Birthday", 0x3A42, 0x3A42, ContactField::Date},
        {L"Anniversary", 0x3A41, 0x3A41, ContactField::Date},
        {L"Department", 0x3A18, 0x3A18, ContactField::Text},
        {L"PrimaryTelephoneNumber", 0x3A1A, 0x3A1A, ContactField::Text},
        {L"CompanyMainTelephoneNumber", 0x3A57, 0x3A57, ContactField::Text},
        {L"MobileTelephoneNumber", 0x3A1C, 0x3A1C, ContactField::Text},
    };
    return fields;
}

void putContactField(Item& item, const ContactField& field, const VARIANT& value) {
    switch (field.kind) {
    case ContactField::Email:
        putEmail(item, variantText(value));
        return;
    case ContactField::Date:
        item.setProperty(pst::tag(field.propertyId, pst::PT_SYSTIME), dateValue(variantDate(value)));
        return;
    case ContactField::Text: {
        const std::wstring text = variantText(value);
        item.setProperty(pst::tag(field.propertyId, pst::PT_UNICODE), textValue(text));
        if (pst::tag(field.propertyId, pst::PT_UNICODE) == kDisplayName) {
            // The full name is also what the contact is listed and filed as.
            item.setProperty(pst::tag(0x0037, pst::PT_UNICODE), textValue(text));
            item.setProperty(pst::tag(item.namedId(pst::psetidAddress(), 0x8005), pst::PT_UNICODE),
                             textValue(text));
        }
        return;
    }
    }
}

void getContactField(Item& item, const ContactField& field, VARIANT* result) {
    uint32_t tag = pst::tag(field.propertyId, pst::PT_UNICODE);
    if (field.kind == ContactField::Email)
        tag = pst::tag(item.namedId(pst::psetidAddress(), 0x8083), pst::PT_UNICODE);
    if (field.kind == ContactField::Date) {
        std::optional<pst::Value> v = item.property(pst::tag(field.propertyId, pst::PT_SYSTIME));
        if (!result)
            return;
        // Outlook's "no date": 1 January 4501.
        double date = 949998.0;
        if (v) {
            const uint64_t t = static_cast<uint64_t>(v->int64());
            FILETIME utc{static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)}, local{};
            SYSTEMTIME st{};
            if (FileTimeToLocalFileTime(&utc, &local) && FileTimeToSystemTime(&local, &st))
                SystemTimeToVariantTime(&st, &date);
        }
        V_VT(result) = VT_DATE;
        V_DATE(result) = date;
        return;
    }
    std::optional<pst::Value> v = item.property(tag);
    returnText(result, v ? wideText(*v) : std::wstring());
}

} // namespace outlook
