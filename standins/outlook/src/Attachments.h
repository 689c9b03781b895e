// An item's attachments collection: Add takes a file by value.
#pragma once
#include "Dispatch.h"
#include "framework/ComPtr.h"

namespace outlook {

class Item;

class Attachments : public DispatchObject {
public:
    static tw::ComPtr<Attachments> make(tw::ComPtr<Item> item);

protected:
    const std::vector<Member>& members() const override;
    void invoke(DISPID id, Args& args, VARIANT* result) override;
    void checkUsable() const override;

private:
    explicit Attachments(tw::ComPtr<Item> item) : item_(std::move(item)) {}
    tw::ComPtr<Item> item_;
};

} // namespace outlook
