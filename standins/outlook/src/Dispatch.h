// The base of every automation object of the stand-in: reference counting,
// IDispatch by dispatch identifier and by member name, and the one place
// where failures become what the caller sees (an automation error with its
// description, or a COM error with its HRESULT). Nothing thrown inside a
// member leaves Invoke.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <atomic>
#include <string>
#include <vector>

namespace outlook {

// A failing Outlook member: DISP_E_EXCEPTION with this description.
struct AutomationError {
    std::wstring description;
    HRESULT code = E_FAIL;
};
// A failing call that answers with a plain HRESULT (Redemption's way, and
// argument errors).
struct ComError {
    HRESULT code;
};

// The arguments of one Invoke, in the order the caller wrote them.
class Args {
public:
    Args(DISPPARAMS* params, WORD flags);
    size_t count() const { return positional_; }
    bool isMissing(size_t i) const;
    const VARIANT& at(size_t i) const; // ComError DISP_E_PARAMNOTFOUND when absent
    std::wstring text(size_t i) const;
    long number(size_t i) const;
    bool boolean(size_t i) const;
    double date(size_t i) const;
    IDispatch* dispatch(size_t i) const; // not AddRef'd; null for Nothing
    // The value of a property put (the named DISPID_PROPERTYPUT argument).
    const VARIANT& putValue() const;
    bool isPut() const { return (flags_ & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0; }
    bool isGet() const { return (flags_ & DISPATCH_PROPERTYGET) != 0; }
    bool isCall() const { return (flags_ & DISPATCH_METHOD) != 0; }

private:
    DISPPARAMS* params_;
    WORD flags_;
    size_t positional_ = 0;
};

// Variant conversions of single values.
std::wstring variantText(const VARIANT& v);
long variantNumber(const VARIANT& v);
bool variantBoolean(const VARIANT& v);
double variantDate(const VARIANT& v);
bool variantIsEmpty(const VARIANT& v);
void returnText(VARIANT* result, const std::wstring& text);
void returnNumber(VARIANT* result, long value);
void returnBoolean(VARIANT* result, bool value);
// Hands the object to the caller (one reference, the caller's).
void returnObject(VARIANT* result, IDispatch* object);

struct Member {
    const wchar_t* name;
    DISPID id;
};

class DispatchObject : public IDispatch {
public:
    DispatchObject();
    virtual ~DispatchObject();
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argError) override;

    // Live objects of the module, for DllCanUnloadNow.
    static long liveObjects();
    // The object of ours behind an interface pointer, or null for a foreign one.
    static DispatchObject* fromDispatch(IUnknown* unknown);

protected:
    virtual const std::vector<Member>& members() const = 0;
    // Carries out one member; throws AutomationError or ComError.
    virtual void invoke(DISPID id, Args& args, VARIANT* result) = 0;
    // A further interface the object answers (Redemption's), or null.
    virtual const IID* ownInterface() const { return nullptr; }
    // Called before every member: throws when the object may no longer be used.
    virtual void checkUsable() const {}
    // Whether failures are Outlook's automation errors or plain HRESULTs.
    virtual bool automationErrors() const { return true; }

private:
    std::atomic<ULONG> refs_{1};
};

// Raises the "member not found" answer of an unknown id or use.
[[noreturn]] void noSuchMember();

} // namespace outlook
