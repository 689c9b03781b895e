// "Redemption.RDOSession": created and held by a mail conversion, with
// nothing called on it.
#pragma once
#include "Dispatch.h"
#include "Guids.h"
#include "framework/ComPtr.h"

namespace outlook {

class RdoSession : public DispatchObject {
public:
    static tw::ComPtr<RdoSession> make() { return tw::ComPtr<RdoSession>::adopt(new RdoSession()); }

protected:
    const std::vector<Member>& members() const override {
        static const std::vector<Member> none;
        return none;
    }
    void invoke(DISPID, Args&, VARIANT*) override { noSuchMember(); }
    const IID* ownInterface() const override { return &kIidRdoSession; }
    bool automationErrors() const override { return false; }

private:
    RdoSession() = default;
};

} // namespace outlook
