// A check of a PST file beyond what readers look at: checksums of the
// header, of every page and block; reference counts; allocation maps
// against the B-trees; key order and parent keys; table rows against the
// nodes and subnodes they stand for; folder counts.
#pragma once
#include <string>
#include <vector>

namespace pst {

struct CheckReport {
    std::vector<std::string> errors; // damage: the file is not sound
    std::vector<std::string> notes;  // harmless (space left allocated after a crash)
    bool ok() const { return errors.empty(); }
};

CheckReport checkFile(const std::string& path);

} // namespace pst
