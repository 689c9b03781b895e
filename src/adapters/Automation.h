// Late-bound automation, as the wizard drives Outlook and Redemption: an
// owned VARIANT, and calls on an IDispatch by dispatch identifier (or by
// member name) that throw AutomationFailure when the object reports one.
#pragma once
#include "framework/ComPtr.h"

#include <windows.h>
#include <oleauto.h>

#include <initializer_list>
#include <string>

namespace tw {

class Variant {
public:
    Variant() { VariantInit(&v_); }
    Variant(const wchar_t* text);
    Variant(const std::wstring& text);
    Variant(long number);
    Variant(int number) : Variant(static_cast<long>(number)) {}
    Variant(bool flag);
    explicit Variant(IDispatch* object); // adds a reference
    static Variant date(double value);
    // The "omitted" argument: VT_ERROR with DISP_E_PARAMNOTFOUND.
    static Variant missing();
    Variant(const Variant& o);
    Variant(Variant&& o) noexcept;
    Variant& operator=(Variant o) noexcept;
    ~Variant() { VariantClear(&v_); }

    VARIANT* get() { return &v_; }
    const VARIANT* get() const { return &v_; }
    VARTYPE type() const { return V_VT(&v_); }
    bool isEmpty() const { return V_VT(&v_) == VT_EMPTY; }
    // Conversions; empty results when the value does not convert.
    std::wstring text() const;
    long number() const;
    ComPtr<IDispatch> object() const;

private:
    VARIANT v_;
};

struct AutomationFailure {
    HRESULT code;             // DISP_E_EXCEPTION's scode, or the call's HRESULT
    std::wstring description; // from EXCEPINFO, when there is one
};
// Its words for the user: the server's description, else the platform's
// text for the code.
std::wstring reasonOf(const AutomationFailure& failure);

// Arguments are given in their written order.
Variant invoke(IDispatch* object, DISPID id, WORD flags, std::initializer_list<Variant> args = {});
inline Variant call(IDispatch* object, DISPID id, std::initializer_list<Variant> args = {}) {
    return invoke(object, id, DISPATCH_METHOD, args);
}
inline Variant get(IDispatch* object, DISPID id) { return invoke(object, id, DISPATCH_PROPERTYGET); }
void put(IDispatch* object, DISPID id, const Variant& value);
// A parameterised property put: object.Member(index) = value.
void putIndexed(IDispatch* object, DISPID id, const Variant& index, const Variant& value);
// The member's id by name (GetIDsOfNames); throws AutomationFailure.
DISPID idOf(IDispatch* object, const wchar_t* name);

} // namespace tw
