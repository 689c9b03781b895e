#include "Attachments.h"

#include "Item.h"

namespace outlook {

namespace {
enum : DISPID { kAdd = 0x65 };
constexpr long kByValue = 1; // olByValue
} // namespace

tw::ComPtr<Attachments> Attachments::make(tw::ComPtr<Item> item) {
    return tw::ComPtr<Attachments>::adopt(new Attachments(std::move(item)));
}

const std::vector<Member>& Attachments::members() const {
    static const std::vector<Member> list = {{L"Add", kAdd}};
    return list;
}

// The item answers for its session and whether it still exists.
void Attachments::checkUsable() const { item_->requireUsable(); }

void Attachments::invoke(DISPID id, Args& args, VARIANT* result) {
    if (id != kAdd)
        noSuchMember();
    // Add(Source, Type, Position, DisplayName): a file path, by value; the
    // position and display name may be omitted.
    const std::wstring path = args.text(0);
    if (!args.isMissing(1) && args.number(1) != kByValue)
        throw AutomationError{L"Only attachments by value can be added.", E_INVALIDARG};
    item_->addAttachment(path);
    (void)result;
}

} // namespace outlook
