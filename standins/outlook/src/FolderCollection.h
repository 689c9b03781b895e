// A folder collection: the name space's top level (one root folder per
// store of the profile, in profile order) or the sub-folders of a folder.
#pragma once
#include "Dispatch.h"
#include "Folder.h"
#include "Session.h"
#include "framework/ComPtr.h"

#include <memory>
#include <vector>

namespace outlook {

class FolderCollection : public DispatchObject {
public:
    static tw::ComPtr<FolderCollection> topLevel(std::shared_ptr<Session> session);
    static tw::ComPtr<FolderCollection> children(std::shared_ptr<Session> session, OpenStore& store, uint32_t parent);

protected:
    const std::vector<Member>& members() const override;
    void invoke(DISPID id, Args& args, VARIANT* result) override;
    void checkUsable() const override { session_->requireRunning(); }

private:
    explicit FolderCollection(std::shared_ptr<Session> session) : session_(std::move(session)) {}
    std::vector<tw::ComPtr<Folder>> folders();
    tw::ComPtr<Folder> add(const std::wstring& name, const VARIANT* type);

    std::shared_ptr<Session> session_;
    OpenStore* store_ = nullptr; // null for the top level
    uint32_t parent_ = 0;
};

} // namespace outlook
