// Exceptions never cross a window procedure, thread entry or COM boundary:
// each boundary runs its body through `guarded`, which reports what escaped
// and returns the boundary's fallback value.
#pragma once
#include <exception>

namespace tw {

// Reports an exception that reached a boundary (debugger output and stderr).
void reportEscapedException(const char* where, const char* what) noexcept;

template <typename R, typename F>
R guarded(const char* where, R fallback, F&& body) noexcept {
    try {
        return body();
    } catch (const std::exception& e) {
        reportEscapedException(where, e.what());
    } catch (...) {
        reportEscapedException(where, "unknown exception");
    }
    return fallback;
}

} // namespace tw
