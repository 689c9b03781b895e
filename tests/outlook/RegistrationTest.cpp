// The installed server answers to its ProgIDs in the prefix, as the
// wizard creates it (any server context, then run). This needs the
// install step of build.sh to have registered it.
#include "OutlookFixture.h"

#include <ole2.h>

using namespace outlooktest;

TEST(OutlookRegistration, ProgIdsNameTheStandInsClasses) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const struct {
        const wchar_t* progId;
        const CLSID* clsid;
    } classes[] = {{L"Outlook.Application", &kApplication},
                   {L"Redemption.SafeMailItem", &kSafeMailItem},
                   {L"Redemption.RDOSession", &kRdoSession}};
    for (const auto& c : classes) {
        CLSID clsid{};
        ASSERT_EQ(S_OK, CLSIDFromProgID(c.progId, &clsid)) << narrow(c.progId) << " is not registered";
        EXPECT_TRUE(IsEqualCLSID(clsid, *c.clsid)) << narrow(c.progId);
    }
    tw::ComPtr<IUnknown> safe;
    ASSERT_EQ(S_OK, CoCreateInstance(kSafeMailItem, nullptr, CLSCTX_ALL, IID_IUnknown, safe.putVoid()));
    EXPECT_EQ(S_OK, OleRun(safe.get()));
    tw::ComPtr<IUnknown> held;
    EXPECT_EQ(S_OK, safe->QueryInterface(kSafeMailItemInterface, held.putVoid()));
    safe.reset();
    held.reset();
    CoUninitialize();
}

