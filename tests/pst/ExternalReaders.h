// The independent readers, readpst (pst-utils) and pffexport (pff-tools),
// run on a file; what they extract is read back for comparison.
#pragma once
#include "PstTestFiles.h"

#include <cctype>
#include <cstdlib>
#include <map>
#include <string>

struct Extraction {
    bool ran = false;        // the tool exists and exited normally
    std::string log;
    std::map<std::string, std::string> files; // relative path -> contents
};

inline std::map<std::string, std::string> filesUnder(const std::filesystem::path& root) {
    std::map<std::string, std::string> out;
    if (!std::filesystem::exists(root))
        return out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root))
        if (e.is_regular_file())
            out[std::filesystem::relative(e.path(), root).string()] = readAll(e.path().string());
    return out;
}

inline bool haveTool(const char* tool) {
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// readpst -r (folders as directories, one mbox per folder) -8 (UTF-8), in one
// process (-j 0): its forked workers share the PST's file offset with their
// parent, and under load a folder of the parent then comes out short.
inline Extraction readpst(const std::string& pst, const ScratchDir& dir, const std::string& name) {
    Extraction x;
    if (!haveTool("readpst"))
        return x;
    const std::string out = dir.file(name), log = dir.file(name + ".log");
    std::filesystem::create_directories(out);
    std::string cmd = "readpst -j 0 -r -8 -D -o '" + out + "' '" + pst + "' >'" + log + "' 2>&1";
    x.ran = std::system(cmd.c_str()) == 0;
    x.log = readAll(log);
    x.files = filesUnder(out);
    // The calendar export stamps the time of the export, and MIME
    // boundaries are random: neither is the file's.
    for (auto& f : x.files) {
        std::string& t = f.second;
        const std::string marker = "iamunique-";
        for (size_t at = t.find(marker); at != std::string::npos; at = t.find(marker, at + 1)) {
            size_t end = at + marker.size();
            while (end < t.size() && std::isdigit(static_cast<unsigned char>(t[end])))
                ++end;
            t.replace(at + marker.size(), end - at - marker.size(), "N");
        }
        for (size_t at = t.find("DTSTAMP:"); at != std::string::npos; at = t.find("DTSTAMP:", at + 1)) {
            size_t end = t.find('\n', at);
            t.erase(at, end == std::string::npos ? std::string::npos : end - at);
        }
    }
    return x;
}

// pffexport with attachments and item values.
inline Extraction pffexport(const std::string& pst, const ScratchDir& dir, const std::string& name) {
    Extraction x;
    if (!haveTool("pffexport"))
        return x;
    const std::string target = dir.file(name), log = dir.file(name + ".log");
    std::string cmd = "pffexport -q -m all -f all -t '" + target + "' '" + pst + "' >'" + log + "' 2>&1";
    x.ran = std::system(cmd.c_str()) == 0;
    x.log = readAll(log);
    x.files = filesUnder(target + ".export");
    return x;
}

inline int countMatches(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}
