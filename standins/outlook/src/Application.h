// "Outlook.Application": the name space, new items, the version, Quit.
#pragma once
#include "Dispatch.h"
#include "Session.h"
#include "framework/ComPtr.h"

#include <memory>

namespace outlook {

class Application : public DispatchObject {
public:
    static tw::ComPtr<Application> make();

protected:
    const std::vector<Member>& members() const override;
    void invoke(DISPID id, Args& args, VARIANT* result) override;
    void checkUsable() const override { session_->requireRunning(); }

private:
    explicit Application(std::shared_ptr<Session> session) : session_(std::move(session)) {}
    std::shared_ptr<Session> session_;
};

} // namespace outlook
