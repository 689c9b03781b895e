// What the stand-in's tests share: the freshly built server loaded by path
// (not through the prefix's registration, which may be an older install),
// a profile of the test's own, and calls by dispatch identifier.
#pragma once
#include "TestEnv.h"
#include "adapters/Automation.h"
#include "conversion/OutlookSession.h"

#include <gtest/gtest.h>

#include <string>

namespace outlooktest {

extern const CLSID kApplication;
extern const CLSID kSafeMailItem;
extern const CLSID kRdoSession;
extern const IID kSafeMailItemInterface;
extern const IID kRdoSessionInterface;

// A new object of the class, through the DLL's own class object.
tw::ComPtr<IDispatch> create(const CLSID& clsid);

// The HRESULT a call fails with (S_OK when it succeeds), and the
// description it gave.
template <typename F>
HRESULT failureOf(F&& f, std::wstring* description = nullptr) {
    try {
        f();
    } catch (const tw::AutomationFailure& e) {
        if (description)
            *description = e.description;
        return e.code;
    }
    return S_OK;
}

std::string narrow(const std::wstring& w); // UTF-8, for messages and the engine
// Leaves a copy of a PST for the independent readers' check, which runs
// natively after these tests (see check-readers.sh).
void keepForReaders(const std::wstring& pst, const wchar_t* name);

class OutlookTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The profile's value, as the stand-in reads it.
    void setProfileValue(const wchar_t* name, const std::wstring& value);
    std::wstring defaultStorePath() const { return dir.file(L"Outlook.pst"); }
    std::wstring secureTemp() const { return dir.file(L"secure") + L"\\"; }

    // An application, its name space (logged on) and a store added to it.
    tw::ComPtr<IDispatch> app;
    tw::ComPtr<IDispatch> nameSpace;
    void start();
    tw::ComPtr<IDispatch> addStore(const std::wstring& path); // its root folder (the last top folder)
    // A mail folder added under `parent`.
    static tw::ComPtr<IDispatch> addMailFolder(IDispatch* parent, const std::wstring& name);

    testenv::IsolatedRegistry registry;
    testenv::TempDir dir;
};

// The dispatch identifiers, as the wizard calls them.
namespace id = ::outlookid;

} // namespace outlooktest
