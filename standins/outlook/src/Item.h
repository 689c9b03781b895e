// An Outlook item: a note, mail, post or contact. A new item lives in
// memory until it is saved into its default folder of the default store;
// a saved item is a message of a store, and its changes wait for Save (or
// for Move and Copy, which save them as Outlook does).
#pragma once
#include "Dispatch.h"
#include "PendingAttachment.h"
#include "Session.h"
#include "framework/ComPtr.h"

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace outlook {

class Folder;

class Item : public DispatchObject {
public:
    // Outlook's item types (OlItemType) that CreateItem takes.
    enum Type : long { kMail = 0, kContact = 2, kNote = 5, kPost = 6 };

    static tw::ComPtr<Item> createNew(std::shared_ptr<Session> session, long type);
    static tw::ComPtr<Item> saved(std::shared_ptr<Session> session, OpenStore& store, uint32_t nid);

    // What the safe mail item changes.
    void setProperty(uint32_t tag, pst::Value value);
    void removeProperty(uint32_t tag);
    void setRecipients(std::vector<pst::Properties> rows);
    std::optional<pst::Value> property(uint32_t tag);
    // The id the item's store gives a named property.
    uint16_t namedId(const pst::Guid& set, uint32_t lid);
    // Adds a copy of the file as an attachment by value.
    void addAttachment(const std::wstring& path);
    void save();
    void requireUsable() const { checkUsable(); }

protected:
    const std::vector<Member>& members() const override;
    void invoke(DISPID id, Args& args, VARIANT* result) override;
    void checkUsable() const override;

private:
    Item(std::shared_ptr<Session> session, OpenStore& store, uint32_t nid, long type);
    std::vector<pst::Properties> recipientsNow();
    void applyPending(uint32_t nid);
    void applyPending(pst::NewMessage& m) const;
    // What was changed is in the store now: nothing waits any more.
    void forgetPending();
    tw::ComPtr<Item> copy();
    tw::ComPtr<Item> moveTo(Folder& folder);
    void remove();
    void putText(uint32_t tag, const std::wstring& text);

    std::shared_ptr<Session> session_;
    OpenStore* store_;
    uint32_t nid_; // 0 until saved
    long type_;
    bool gone_ = false; // moved away: the object no longer stands for an item
    pst::Properties set_;
    std::set<uint32_t> removed_;
    std::optional<std::vector<pst::Properties>> recipients_;
    std::vector<PendingAttachment> attachments_;
    std::optional<pst::Properties> stored_; // read when first needed
};

} // namespace outlook
