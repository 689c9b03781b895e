#include "OutlookFixture.h"

#include "common/Registry.h"

namespace outlooktest {

const CLSID kApplication = {0xF65296B6, 0x8DC8, 0x4CDF, {0xA7, 0xB4, 0xD3, 0x95, 0xC9, 0xD2, 0xB5, 0xFE}};
const CLSID kSafeMailItem = {0xB0C64D2A, 0x4F3E, 0x4BB3, {0x9A, 0x52, 0x06, 0x29, 0x22, 0xC4, 0x3B, 0x65}};
const CLSID kRdoSession = {0xEF9F35FC, 0xC54C, 0x402A, {0x90, 0xB5, 0x06, 0xD7, 0x72, 0x5F, 0x76, 0x3B}};
const IID kSafeMailItemInterface = {0x0A95BE2D, 0x1543, 0x46BE, {0xAD, 0x6D, 0x18, 0x65, 0x30, 0x34, 0xBF, 0x87}};
const IID kRdoSessionInterface = {0xE54C5168, 0xAA8C, 0x405F, {0x9C, 0x14, 0xA4, 0x03, 0x73, 0x02, 0xBD, 0x9D}};

namespace {

HMODULE server() {
    // The build's own DLL, by its Unix path seen through drive Z:.
    static HMODULE module = [] {
        std::wstring path = L"Z:";
        for (const char* p = TW_OUTLOOK_DLL; *p; ++p)
            path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
        return LoadLibraryW(path.c_str());
    }();
    return module;
}

} // namespace

tw::ComPtr<IDispatch> create(const CLSID& clsid) {
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(server(), "DllGetClassObject")));
    if (!get)
        throw tw::AutomationFailure{E_NOINTERFACE, L"the stand-in DLL did not load"};
    tw::ComPtr<IClassFactory> factory;
    HRESULT hr = get(clsid, IID_IClassFactory, factory.putVoid());
    if (FAILED(hr))
        throw tw::AutomationFailure{hr, L"no class object"};
    tw::ComPtr<IDispatch> object;
    hr = factory->CreateInstance(nullptr, IID_IDispatch, object.putVoid());
    if (FAILED(hr))
        throw tw::AutomationFailure{hr, L"CreateInstance failed"};
    return object;
}

std::string narrow(const std::wstring& w) {
    if (w.empty())
        return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &out[0], n, nullptr, nullptr);
    return out;
}

void keepForReaders(const std::wstring& pst, const wchar_t* name) {
    EXPECT_TRUE(testenv::copyToHostDirectory(TW_READER_DIR, pst, name)) << TW_READER_DIR;
}

void OutlookTest::SetUp() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    setProfileValue(L"DefaultStore", defaultStorePath());
    writeRegistryText(HKEY_CURRENT_USER, L"Software\\Microsoft\\Office\\11.0\\Outlook\\Security",
                      L"OutlookSecureTempFolder", secureTemp());
}

void OutlookTest::TearDown() {
    if (app)
        failureOf([&] { tw::call(app.get(), id::Quit); });
    nameSpace.reset();
    app.reset();
    CoUninitialize();
}

void OutlookTest::setProfileValue(const wchar_t* name, const std::wstring& value) {
    writeRegistryText(HKEY_CURRENT_USER, L"Software\\Tidewell\\Outlook Stand-in", name, value);
}

void OutlookTest::start() {
    app = create(kApplication);
    nameSpace = tw::call(app.get(), id::GetNamespace, {L"MAPI"}).object();
    ASSERT_TRUE(nameSpace);
    tw::call(nameSpace.get(), id::Logon, {tw::Variant(), tw::Variant(), tw::Variant(), tw::Variant()});
}

tw::ComPtr<IDispatch> OutlookTest::addStore(const std::wstring& path) {
    tw::call(nameSpace.get(), id::AddStore, {path});
    tw::ComPtr<IDispatch> top = tw::get(nameSpace.get(), id::Folders).object();
    return tw::call(top.get(), id::GetLast).object();
}

tw::ComPtr<IDispatch> OutlookTest::addMailFolder(IDispatch* parent, const std::wstring& name) {
    return tw::call(tw::get(parent, id::Folders).object().get(), id::Add, {name, L"IPF.Post"}).object();
}

} // namespace outlooktest
