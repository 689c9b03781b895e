// What a failed change of a store becomes for the caller: Outlook's words
// for the operation, the engine's for the cause, and MAPI's code for a
// store that is full.
#pragma once
#include "Dispatch.h"
#include "pst/Error.h"

namespace outlook {

constexpr HRESULT kStoreFull = static_cast<HRESULT>(0x8004060C); // MAPI_E_STORE_FULL

AutomationError storeFailure(const pst::Error& e);

} // namespace outlook
