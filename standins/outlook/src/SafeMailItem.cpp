#include "SafeMailItem.h"

#include "HeaderImport.h"
#include "Item.h"
#include "PropertyValues.h"

#include <oleauto.h>

namespace outlook {

namespace {

enum : DISPID { kItem = 1, kFields = 2, kImport = 3 };
constexpr long kRfc822 = 1024;
constexpr long kFlagUnsent = 0x08;

// A header date as UTC file time: with its zone, or as local time.
bool utcTime(const HeaderDate& d, FILETIME& out) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(d.year);
    st.wMonth = static_cast<WORD>(d.month);
    st.wDay = static_cast<WORD>(d.day);
    st.wHour = static_cast<WORD>(d.hour);
    st.wMinute = static_cast<WORD>(d.minute);
    st.wSecond = static_cast<WORD>(d.second);
    if (d.hasZone) {
        if (!SystemTimeToFileTime(&st, &out))
            return false;
        ULARGE_INTEGER t{{out.dwLowDateTime, out.dwHighDateTime}};
        t.QuadPart -= static_cast<int64_t>(d.zoneMinutes) * 60 * 10000000LL;
        out = {t.LowPart, t.HighPart};
        return true;
    }
    SYSTEMTIME utc{};
    if (!TzSpecificLocalTimeToSystemTime(nullptr, &st, &utc))
        utc = st;
    return SystemTimeToFileTime(&utc, &out) != FALSE;
}

std::wstring readAnsiFile(const std::wstring& path) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        throw ComError{HRESULT_FROM_WIN32(GetLastError())};
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(f, buffer, sizeof(buffer), &got, nullptr) && got > 0 && bytes.size() < (16u << 20))
        bytes.append(buffer, got);
    CloseHandle(f);
    if (bytes.empty())
        return std::wstring();
    int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0], n);
    return text;
}

std::wstring joinNames(const std::vector<MailAddress>& list) {
    std::wstring out;
    for (const MailAddress& a : list) {
        if (!out.empty())
            out += L"; ";
        out += a.name;
    }
    return out;
}

pst::Properties recipientRow(const MailAddress& a, long type) {
    pst::Properties r;
    r[pst::tag(0x0C15, pst::PT_LONG)] = longValue(type);           // PR_RECIPIENT_TYPE
    r[pst::tag(0x3001, pst::PT_UNICODE)] = textValue(a.name);      // PR_DISPLAY_NAME
    r[pst::tag(0x0FFE, pst::PT_LONG)] = longValue(6);              // a mail user
    r[pst::tag(0x3900, pst::PT_LONG)] = longValue(0);              // shown as a user
    if (!a.email.empty()) {
        r[pst::tag(0x3002, pst::PT_UNICODE)] = textValue(L"SMTP"); // PR_ADDRTYPE
        r[pst::tag(0x3003, pst::PT_UNICODE)] = textValue(a.email); // PR_EMAIL_ADDRESS
        r[pst::tag(0x39FE, pst::PT_UNICODE)] = textValue(a.email); // PR_SMTP_ADDRESS
    }
    return r;
}

} // namespace

tw::ComPtr<SafeMailItem> SafeMailItem::make() { return tw::ComPtr<SafeMailItem>::adopt(new SafeMailItem()); }

SafeMailItem::~SafeMailItem() {
    if (item_)
        item_->Release();
}

const std::vector<Member>& SafeMailItem::members() const {
    static const std::vector<Member> list = {{L"Item", kItem}, {L"Fields", kFields}, {L"Import", kImport}};
    return list;
}

Item& SafeMailItem::item() const {
    if (!item_)
        throw ComError{E_POINTER};
    item_->requireUsable();
    return *item_;
}

void SafeMailItem::putField(uint32_t tag, const VARIANT& value) {
    Item& it = item();
    if (variantIsEmpty(value)) {
        it.removeProperty(tag);
        return;
    }
    const uint16_t type = static_cast<uint16_t>(tag & 0xFFFF);
    switch (type) {
    case pst::PT_UNICODE:
    case pst::PT_STRING8: // kept as Unicode, as a Unicode store holds it
        it.setProperty((tag & 0xFFFF0000u) | pst::PT_UNICODE, textValue(variantText(value)));
        return;
    case pst::PT_LONG:
        it.setProperty(tag, longValue(variantNumber(value)));
        return;
    case pst::PT_BOOLEAN:
        it.setProperty(tag, booleanValue(variantBoolean(value)));
        return;
    case pst::PT_SYSTIME:
        it.setProperty(tag, dateValue(variantDate(value)));
        return;
    }
    throw ComError{E_INVALIDARG};
}

void SafeMailItem::import(const std::wstring& path) {
    Item& it = item();
    const std::wstring text = readAnsiFile(path);
    HeaderFields f = parseHeaders(text);
    if (f.from) {
        it.setProperty(pst::tag(0x0C1A, pst::PT_UNICODE), textValue(f.from->name)); // sender
        it.setProperty(pst::tag(0x0042, pst::PT_UNICODE), textValue(f.from->name)); // sent representing
        if (!f.from->email.empty()) {
            for (uint16_t id : {0x0C1F, 0x0065})
                it.setProperty(pst::tag(id, pst::PT_UNICODE), textValue(f.from->email));
            for (uint16_t id : {0x0C1E, 0x0064})
                it.setProperty(pst::tag(id, pst::PT_UNICODE), textValue(L"SMTP"));
        }
    }
    if (f.to || f.cc) {
        std::vector<pst::Properties> rows;
        for (const MailAddress& a : f.to ? *f.to : std::vector<MailAddress>())
            rows.push_back(recipientRow(a, 1));
        for (const MailAddress& a : f.cc ? *f.cc : std::vector<MailAddress>())
            rows.push_back(recipientRow(a, 2));
        it.setRecipients(rows);
        it.setProperty(pst::tag(0x0E04, pst::PT_UNICODE), textValue(f.to ? joinNames(*f.to) : L""));
        it.setProperty(pst::tag(0x0E03, pst::PT_UNICODE), textValue(f.cc ? joinNames(*f.cc) : L""));
    }
    FILETIME t{};
    if (f.sent && utcTime(*f.sent, t))
        it.setProperty(pst::tag(0x0039, pst::PT_SYSTIME), timeValue(t)); // PR_CLIENT_SUBMIT_TIME
    if (f.received && utcTime(*f.received, t))
        it.setProperty(pst::tag(0x0E06, pst::PT_SYSTIME), timeValue(t)); // PR_MESSAGE_DELIVERY_TIME
    if (f.subject)
        it.setProperty(pst::tag(0x0037, pst::PT_UNICODE), textValue(*f.subject));
    it.setProperty(pst::tag(0x007D, pst::PT_UNICODE), textValue(text)); // PR_TRANSPORT_MESSAGE_HEADERS
    // A received message: sent, so no longer a draft.
    std::optional<pst::Value> flags = it.property(pst::tag(0x0E07, pst::PT_LONG));
    it.setProperty(pst::tag(0x0E07, pst::PT_LONG), longValue((flags ? flags->int32() : 0) & ~kFlagUnsent));
}

void SafeMailItem::invoke(DISPID id, Args& args, VARIANT* result) {
    switch (id) {
    case kItem:
        if (args.isPut()) {
            const VARIANT& v = args.putValue();
            IDispatch* d = V_VT(&v) == VT_DISPATCH ? V_DISPATCH(&v) : nullptr;
            auto* given = dynamic_cast<Item*>(DispatchObject::fromDispatch(d));
            if (!given)
                throw ComError{E_INVALIDARG};
            given->AddRef();
            if (item_)
                item_->Release();
            item_ = given;
        } else {
            if (item_)
                item_->AddRef();
            returnObject(result, item_);
        }
        return;
    case kFields:
        if (args.isPut())
            putField(static_cast<uint32_t>(args.number(0)), args.putValue());
        else {
            std::optional<pst::Value> v = item().property(static_cast<uint32_t>(args.number(0)));
            if (v && v->type == pst::PT_UNICODE)
                returnText(result, wideText(*v));
            else if (v && v->type == pst::PT_LONG)
                returnNumber(result, v->int32());
        }
        return;
    case kImport:
        if (args.number(1) != kRfc822)
            throw ComError{E_INVALIDARG};
        import(args.text(0));
        return;
    }
    noSuchMember();
}

} // namespace outlook
