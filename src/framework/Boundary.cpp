#include "Boundary.h"

#include <windows.h>

#include <cstdio>

namespace tw {

void reportEscapedException(const char* where, const char* what) noexcept {
    char line[512];
    std::snprintf(line, sizeof line, "Tidewell: exception at %s: %s\n", where, what ? what : "");
    OutputDebugStringA(line);
    std::fputs(line, stderr);
}

} // namespace tw
