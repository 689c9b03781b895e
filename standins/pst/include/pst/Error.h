// What goes wrong with a PST file, by kind, with a sentence that says it.
#pragma once
#include <stdexcept>
#include <string>

namespace pst {

enum class ErrorKind {
    Io,          // the file cannot be opened, read or written
    NotPst,      // the file is not a PST at all
    Unsupported, // a PST this engine does not handle (4K pages, newer versions)
    Corrupt,     // a PST whose structures are damaged
    NotFound,    // no node, folder or item of that id
    Invalid,     // a request that cannot be carried out
    Locked,      // a store protected by a password, opened without it
    Full,        // a change would take the file past the largest size its format allows
};

class Error : public std::runtime_error {
public:
    Error(ErrorKind kind, const std::string& what) : std::runtime_error(what), kind_(kind) {}
    ErrorKind kind() const { return kind_; }

private:
    ErrorKind kind_;
};

} // namespace pst
