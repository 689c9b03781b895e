#include "StoreFailure.h"

#include "PropertyValues.h"

namespace outlook {

AutomationError storeFailure(const pst::Error& e) {
    return AutomationError{L"The operation failed: " + widen(e.what()),
                           e.kind() == pst::ErrorKind::Full ? kStoreFull : E_FAIL};
}

} // namespace outlook
