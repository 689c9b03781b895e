// The DLL's entry points: class objects of the three creatable classes,
// unloading, and registration under their ProgIDs (apartment-threaded).
#include "Application.h"
#include "Guids.h"
#include "RdoSession.h"
#include "SafeMailItem.h"

#include <windows.h>
#include <olectl.h>

#include <atomic>
#include <string>

namespace outlook {

namespace {

HINSTANCE g_module = nullptr;
std::atomic<long> g_locks{0};

struct ClassInfo {
    const CLSID* clsid;
    const wchar_t* progId;
    const wchar_t* description;
};

const ClassInfo kClasses[] = {
    {&kClsidApplication, L"Outlook.Application", L"Outlook application (stand-in)"},
    {&kClsidSafeMailItem, L"Redemption.SafeMailItem", L"Redemption safe mail item (stand-in)"},
    {&kClsidRdoSession, L"Redemption.RDOSession", L"Redemption session (stand-in)"},
};

class ClassFactory : public IClassFactory {
public:
    explicit ClassFactory(const CLSID& clsid) : clsid_(clsid) { ++g_locks; }
    virtual ~ClassFactory() { --g_locks; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (!left)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        try {
            tw::ComPtr<IDispatch> object;
            if (IsEqualCLSID(clsid_, kClsidApplication))
                object = tw::ComPtr<IDispatch>::adopt(Application::make().detach());
            else if (IsEqualCLSID(clsid_, kClsidSafeMailItem))
                object = tw::ComPtr<IDispatch>::adopt(SafeMailItem::make().detach());
            else
                object = tw::ComPtr<IDispatch>::adopt(RdoSession::make().detach());
            return object->QueryInterface(iid, out);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (const AutomationError& e) {
            return e.code;
        } catch (...) {
            return E_UNEXPECTED;
        }
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        g_locks += lock ? 1 : -1;
        return S_OK;
    }

private:
    CLSID clsid_;
    std::atomic<ULONG> refs_{1};
};

std::wstring guidText(const GUID& g) {
    wchar_t text[40] = L"";
    StringFromGUID2(g, text, 40);
    return text;
}

LONG setValue(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS)
        return rc;
    rc = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return rc;
}

} // namespace

} // namespace outlook

using namespace outlook;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    for (const ClassInfo& c : kClasses)
        if (IsEqualCLSID(clsid, *c.clsid)) {
            auto* factory = new (std::nothrow) ClassFactory(clsid);
            if (!factory)
                return E_OUTOFMEMORY;
            HRESULT hr = factory->QueryInterface(iid, out);
            factory->Release();
            return hr;
        }
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return DispatchObject::liveObjects() == 0 && g_locks == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    wchar_t path[MAX_PATH * 2] = L"";
    if (!GetModuleFileNameW(g_module, path, MAX_PATH * 2))
        return HRESULT_FROM_WIN32(GetLastError());
    for (const ClassInfo& c : kClasses) {
        const std::wstring clsid = guidText(*c.clsid);
        const std::wstring key = L"CLSID\\" + clsid;
        LONG rc = setValue(HKEY_CLASSES_ROOT, key, nullptr, c.description);
        if (rc == ERROR_SUCCESS)
            rc = setValue(HKEY_CLASSES_ROOT, key + L"\\InprocServer32", nullptr, path);
        if (rc == ERROR_SUCCESS)
            rc = setValue(HKEY_CLASSES_ROOT, key + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
        if (rc == ERROR_SUCCESS)
            rc = setValue(HKEY_CLASSES_ROOT, key + L"\\ProgID", nullptr, c.progId);
        if (rc == ERROR_SUCCESS)
            rc = setValue(HKEY_CLASSES_ROOT, c.progId, nullptr, c.description);
        if (rc == ERROR_SUCCESS)
            rc = setValue(HKEY_CLASSES_ROOT, std::wstring(c.progId) + L"\\CLSID", nullptr, clsid);
        if (rc != ERROR_SUCCESS)
            return SELFREG_E_CLASS;
    }
    return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    for (const ClassInfo& c : kClasses) {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + guidText(*c.clsid)).c_str());
        RegDeleteTreeW(HKEY_CLASSES_ROOT, c.progId);
    }
    return S_OK;
}
