// A folder of a store; the root folder of a store (its top of personal
// folders) carries the store's display name as its name.
#pragma once
#include "Dispatch.h"
#include "Session.h"
#include "framework/ComPtr.h"

#include <memory>

namespace outlook {

class Folder : public DispatchObject {
public:
    static tw::ComPtr<Folder> make(std::shared_ptr<Session> session, OpenStore& store, uint32_t nid);
    OpenStore& store() const { return *store_; }
    uint32_t nid() const { return nid_; }
    bool isRoot() const;
    std::wstring name() const;

protected:
    const std::vector<Member>& members() const override;
    void invoke(DISPID id, Args& args, VARIANT* result) override;
    void checkUsable() const override { session_->requireRunning(); }

private:
    Folder(std::shared_ptr<Session> session, OpenStore& store, uint32_t nid);
    void rename(const std::wstring& name);

    std::shared_ptr<Session> session_;
    OpenStore* store_;
    uint32_t nid_;
};

// Folder names compare as Outlook compares them: without regard to case.
bool sameFolderName(const std::wstring& a, const std::wstring& b);

} // namespace outlook
