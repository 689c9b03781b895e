// The "MAPI" name space: logon, the stores of the profile, and items and
// folders found again by their ids.
#pragma once
#include "Dispatch.h"
#include "Session.h"
#include "framework/ComPtr.h"

#include <memory>

namespace outlook {

class NameSpace : public DispatchObject {
public:
    static tw::ComPtr<NameSpace> make(std::shared_ptr<Session> session);

protected:
    const std::vector<Member>& members() const override;
    void invoke(DISPID id, Args& args, VARIANT* result) override;
    void checkUsable() const override { session_->requireRunning(); }

private:
    explicit NameSpace(std::shared_ptr<Session> session) : session_(std::move(session)) {}
    // The store and node an entry id names (with the store id, if given).
    OpenStore& locate(const std::wstring& entryId, const Args& args, uint32_t& nid);

    std::shared_ptr<Session> session_;
};

} // namespace outlook
