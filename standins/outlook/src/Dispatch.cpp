#include "Dispatch.h"

#include "Guids.h"

#include <mutex>

namespace outlook {

namespace {

std::atomic<long> g_liveObjects{0};

// One caller at a time in the whole stand-in: the session and its stores
// are shared by every object, whichever apartment calls.
std::recursive_mutex& moduleLock() {
    static std::recursive_mutex lock;
    return lock;
}

const VARIANT& deref(const VARIANT& v) {
    if (V_VT(&v) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(&v))
        return *V_VARIANTREF(&v);
    return v;
}

VARIANT converted(const VARIANT& from, VARTYPE to) {
    VARIANT out;
    VariantInit(&out);
    HRESULT hr = VariantChangeType(&out, const_cast<VARIANT*>(&deref(from)), 0, to);
    if (FAILED(hr))
        throw ComError{DISP_E_TYPEMISMATCH};
    return out;
}

} // namespace

Args::Args(DISPPARAMS* params, WORD flags) : params_(params), flags_(flags) {
    if (params_) {
        positional_ = params_->cArgs;
        for (UINT i = 0; i < params_->cNamedArgs; ++i)
            if (params_->rgdispidNamedArgs[i] == DISPID_PROPERTYPUT && positional_ > 0)
                --positional_;
    }
}

const VARIANT& Args::at(size_t i) const {
    // Positional arguments come last to first, after the named ones.
    if (i >= positional_)
        throw ComError{DISP_E_PARAMNOTFOUND};
    return deref(params_->rgvarg[params_->cArgs - 1 - i]);
}

bool Args::isMissing(size_t i) const {
    if (i >= positional_)
        return true;
    const VARIANT& v = at(i);
    return V_VT(&v) == VT_ERROR && V_ERROR(&v) == DISP_E_PARAMNOTFOUND;
}

const VARIANT& Args::putValue() const {
    if (!params_)
        throw ComError{DISP_E_PARAMNOTFOUND};
    for (UINT i = 0; i < params_->cNamedArgs; ++i)
        if (params_->rgdispidNamedArgs[i] == DISPID_PROPERTYPUT)
            return deref(params_->rgvarg[i]);
    if (params_->cArgs == 0)
        throw ComError{DISP_E_PARAMNOTFOUND};
    return deref(params_->rgvarg[0]);
}

std::wstring Args::text(size_t i) const { return variantText(at(i)); }
long Args::number(size_t i) const { return variantNumber(at(i)); }
bool Args::boolean(size_t i) const { return variantBoolean(at(i)); }
double Args::date(size_t i) const { return variantDate(at(i)); }

IDispatch* Args::dispatch(size_t i) const {
    const VARIANT& v = at(i);
    if (V_VT(&v) == VT_DISPATCH)
        return V_DISPATCH(&v);
    if (V_VT(&v) == (VT_DISPATCH | VT_BYREF) && V_DISPATCHREF(&v))
        return *V_DISPATCHREF(&v);
    if (V_VT(&v) == VT_EMPTY)
        return nullptr;
    throw ComError{DISP_E_TYPEMISMATCH};
}

std::wstring variantText(const VARIANT& v) {
    if (V_VT(&deref(v)) == VT_BSTR) {
        BSTR b = V_BSTR(&deref(v));
        return b ? std::wstring(b, SysStringLen(b)) : std::wstring();
    }
    VARIANT t = converted(v, VT_BSTR);
    std::wstring out(V_BSTR(&t) ? V_BSTR(&t) : L"", V_BSTR(&t) ? SysStringLen(V_BSTR(&t)) : 0);
    VariantClear(&t);
    return out;
}

long variantNumber(const VARIANT& v) {
    VARIANT t = converted(v, VT_I4);
    return V_I4(&t);
}

bool variantBoolean(const VARIANT& v) {
    VARIANT t = converted(v, VT_BOOL);
    return V_BOOL(&t) != VARIANT_FALSE;
}

double variantDate(const VARIANT& v) {
    VARIANT t = converted(v, VT_DATE);
    return V_DATE(&t);
}

bool variantIsEmpty(const VARIANT& v) {
    const VARTYPE t = V_VT(&deref(v));
    return t == VT_EMPTY || t == VT_NULL;
}

void returnText(VARIANT* result, const std::wstring& text) {
    if (!result)
        return;
    V_VT(result) = VT_BSTR;
    V_BSTR(result) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!V_BSTR(result)) {
        V_VT(result) = VT_EMPTY;
        throw ComError{E_OUTOFMEMORY};
    }
}

void returnNumber(VARIANT* result, long value) {
    if (!result)
        return;
    V_VT(result) = VT_I4;
    V_I4(result) = value;
}

void returnBoolean(VARIANT* result, bool value) {
    if (!result)
        return;
    V_VT(result) = VT_BOOL;
    V_BOOL(result) = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void returnObject(VARIANT* result, IDispatch* object) {
    if (!result) {
        if (object)
            object->Release();
        return;
    }
    V_VT(result) = VT_DISPATCH;
    V_DISPATCH(result) = object;
}

[[noreturn]] void noSuchMember() { throw ComError{DISP_E_MEMBERNOTFOUND}; }

DispatchObject::DispatchObject() { ++g_liveObjects; }
DispatchObject::~DispatchObject() { --g_liveObjects; }

long DispatchObject::liveObjects() { return g_liveObjects; }

DispatchObject* DispatchObject::fromDispatch(IUnknown* unknown) {
    if (!unknown)
        return nullptr;
    void* out = nullptr;
    if (FAILED(unknown->QueryInterface(kIidStandInObject, &out)) || !out)
        return nullptr;
    // Answered without a reference of its own (see QueryInterface).
    return static_cast<DispatchObject*>(out);
}

HRESULT STDMETHODCALLTYPE DispatchObject::QueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, kIidStandInObject)) {
        *out = this;
        return S_OK;
    }
    const IID* own = ownInterface();
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || (own && IsEqualIID(iid, *own))) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE DispatchObject::AddRef() { return ++refs_; }

ULONG STDMETHODCALLTYPE DispatchObject::Release() {
    const ULONG left = --refs_;
    if (left == 0) {
        std::lock_guard<std::recursive_mutex> hold(moduleLock());
        try {
            delete this;
        } catch (...) {
        }
    }
    return left;
}

HRESULT STDMETHODCALLTYPE DispatchObject::GetTypeInfoCount(UINT* count) {
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DispatchObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info)
        *info = nullptr;
    return DISP_E_BADINDEX;
}

HRESULT STDMETHODCALLTYPE DispatchObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!names || !ids)
        return E_POINTER;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        if (i > 0) { // names of arguments are not known
            hr = DISP_E_UNKNOWNNAME;
            continue;
        }
        bool found = false;
        for (const Member& m : members())
            if (names[i] && lstrcmpiW(names[i], m.name) == 0) {
                ids[i] = m.id;
                found = true;
                break;
            }
        if (!found)
            hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT STDMETHODCALLTYPE DispatchObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                                 VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    if (result)
        VariantInit(result);
    if (argError)
        *argError = 0;
    std::wstring description;
    HRESULT code = S_OK;
    try {
        std::lock_guard<std::recursive_mutex> hold(moduleLock());
        checkUsable();
        Args args(params, flags);
        invoke(id, args, result);
        return S_OK;
    } catch (const AutomationError& e) {
        description = e.description;
        code = e.code;
    } catch (const ComError& e) {
        if (result)
            VariantClear(result);
        return e.code;
    } catch (const std::bad_alloc&) {
        if (result)
            VariantClear(result);
        return E_OUTOFMEMORY;
    } catch (...) {
        description = L"An internal error occurred in the stand-in.";
        code = E_UNEXPECTED;
    }
    if (result)
        VariantClear(result);
    if (!automationErrors())
        return code;
    if (exception) {
        ZeroMemory(exception, sizeof(*exception));
        exception->bstrSource = SysAllocString(L"Microsoft Outlook");
        exception->bstrDescription = SysAllocString(description.c_str());
        exception->scode = code;
    }
    return DISP_E_EXCEPTION;
}

} // namespace outlook
