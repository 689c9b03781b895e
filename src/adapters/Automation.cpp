#include "adapters/Automation.h"

#include "framework/Text.h"

#include <utility>
#include <vector>

namespace tw {

std::wstring reasonOf(const AutomationFailure& failure) {
    if (!failure.description.empty())
        return failure.description;
    const std::wstring platform = systemMessage(static_cast<unsigned long>(failure.code));
    return platform.empty() ? L"error " + std::to_wstring(static_cast<unsigned long>(failure.code)) : platform;
}

Variant::Variant(const wchar_t* text) {
    VariantInit(&v_);
    V_VT(&v_) = VT_BSTR;
    V_BSTR(&v_) = SysAllocString(text);
}

Variant::Variant(const std::wstring& text) {
    VariantInit(&v_);
    V_VT(&v_) = VT_BSTR;
    V_BSTR(&v_) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

Variant::Variant(long number) {
    VariantInit(&v_);
    V_VT(&v_) = VT_I4;
    V_I4(&v_) = number;
}

Variant::Variant(bool flag) {
    VariantInit(&v_);
    V_VT(&v_) = VT_BOOL;
    V_BOOL(&v_) = flag ? VARIANT_TRUE : VARIANT_FALSE;
}

Variant::Variant(IDispatch* object) {
    VariantInit(&v_);
    V_VT(&v_) = VT_DISPATCH;
    V_DISPATCH(&v_) = object;
    if (object)
        object->AddRef();
}

Variant Variant::date(double value) {
    Variant out;
    V_VT(&out.v_) = VT_DATE;
    V_DATE(&out.v_) = value;
    return out;
}

Variant Variant::missing() {
    Variant out;
    V_VT(&out.v_) = VT_ERROR;
    V_ERROR(&out.v_) = DISP_E_PARAMNOTFOUND;
    return out;
}

Variant::Variant(const Variant& o) {
    VariantInit(&v_);
    VariantCopy(&v_, const_cast<VARIANT*>(&o.v_));
}

Variant::Variant(Variant&& o) noexcept {
    v_ = o.v_;
    VariantInit(&o.v_);
}

Variant& Variant::operator=(Variant o) noexcept {
    std::swap(v_, o.v_);
    return *this;
}

std::wstring Variant::text() const {
    VARIANT t;
    VariantInit(&t);
    if (FAILED(VariantChangeType(&t, const_cast<VARIANT*>(&v_), 0, VT_BSTR)))
        return std::wstring();
    std::wstring out(V_BSTR(&t) ? V_BSTR(&t) : L"", V_BSTR(&t) ? SysStringLen(V_BSTR(&t)) : 0);
    VariantClear(&t);
    return out;
}

long Variant::number() const {
    VARIANT t;
    VariantInit(&t);
    if (FAILED(VariantChangeType(&t, const_cast<VARIANT*>(&v_), 0, VT_I4)))
        return 0;
    return V_I4(&t);
}

ComPtr<IDispatch> Variant::object() const {
    if (V_VT(&v_) != VT_DISPATCH || !V_DISPATCH(&v_))
        return nullptr;
    V_DISPATCH(&v_)->AddRef();
    return ComPtr<IDispatch>::adopt(V_DISPATCH(&v_));
}

namespace {

Variant invokeWith(IDispatch* object, DISPID id, WORD flags, std::vector<VARIANT>& reversed, bool put) {
    if (!object)
        throw AutomationFailure{E_POINTER, L""};
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), put ? &named : nullptr,
                      static_cast<UINT>(reversed.size()), put ? 1u : 0u};
    Variant result;
    EXCEPINFO info{};
    UINT argError = 0;
    HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result.get(), &info, &argError);
    if (hr == DISP_E_EXCEPTION) {
        if (info.pfnDeferredFillIn)
            info.pfnDeferredFillIn(&info);
        AutomationFailure failure{info.scode ? info.scode : E_FAIL,
                                  info.bstrDescription ? info.bstrDescription : L""};
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
        throw failure;
    }
    if (FAILED(hr))
        throw AutomationFailure{hr, L""};
    return result;
}

} // namespace

Variant invoke(IDispatch* object, DISPID id, WORD flags, std::initializer_list<Variant> args) {
    // DISPPARAMS holds the arguments last to first; the copies are shallow,
    // the Variants given still own what they hold.
    std::vector<VARIANT> reversed;
    for (auto it = args.end(); it != args.begin();)
        reversed.push_back(*(--it)->get());
    return invokeWith(object, id, flags, reversed, false);
}

void put(IDispatch* object, DISPID id, const Variant& value) {
    // Objects too go by DISPATCH_PROPERTYPUT, which every server takes.
    std::vector<VARIANT> args{*value.get()};
    invokeWith(object, id, DISPATCH_PROPERTYPUT, args, true);
}

void putIndexed(IDispatch* object, DISPID id, const Variant& index, const Variant& value) {
    std::vector<VARIANT> args{*value.get(), *index.get()};
    invokeWith(object, id, DISPATCH_PROPERTYPUT, args, true);
}

DISPID idOf(IDispatch* object, const wchar_t* name) {
    if (!object)
        throw AutomationFailure{E_POINTER, L""};
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr))
        throw AutomationFailure{hr, L""};
    return id;
}

} // namespace tw
