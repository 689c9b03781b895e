// How the library reports a failure: the code is returned, or thrown once
// LNSetThrowAllErrorsGlobal(TRUE) was called; its detail is kept for
// LNGetErrorMessageText on the same thread.
#pragma once
#include "LNNotes.h"

#include <string>

namespace notes {

// Records the failure and returns or throws its code.
LNSTATUS fail(LNSTATUS code, const std::string& detail = {});

} // namespace notes
