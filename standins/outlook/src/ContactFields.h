// The contact item's properties the conversion puts, by dispatch
// identifier: most are MAPI properties of the same id; Email1Address is a
// named property of the address set, and the dates are PT_SYSTIME.
#pragma once
#include "Dispatch.h"

#include <cstdint>
#include <vector>

namespace outlook {

class Item;

struct ContactField {
    enum Kind { Text, Date, Email };
    const wchar_t* name;
    DISPID dispid;
    uint16_t propertyId;
    Kind kind;
};

const std::vector<ContactField>& contactFields();
void putContactField(Item& item, const ContactField& field, const VARIANT& value);
void getContactField(Item& item, const ContactField& field, VARIANT* result);

} // namespace outlook
