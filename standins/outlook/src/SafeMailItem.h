// "Redemption.SafeMailItem": works on the Outlook item it is given. Fields
// sets or removes a property by tag; Import reads an RFC 822 header file
// into the item. Failures are plain HRESULTs.
#pragma once
#include "Dispatch.h"
#include "Guids.h"
#include "framework/ComPtr.h"

namespace outlook {

class Item;

class SafeMailItem : public DispatchObject {
public:
    static tw::ComPtr<SafeMailItem> make();
    ~SafeMailItem() override;

protected:
    const std::vector<Member>& members() const override;
    void invoke(DISPID id, Args& args, VARIANT* result) override;
    const IID* ownInterface() const override { return &kIidSafeMailItem; }
    bool automationErrors() const override { return false; }

private:
    SafeMailItem() = default;
    Item& item() const;
    void putField(uint32_t tag, const VARIANT& value);
    void import(const std::wstring& path);

    Item* item_ = nullptr; // one reference held
};

} // namespace outlook
