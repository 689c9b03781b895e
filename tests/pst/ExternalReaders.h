// The independent readers, readpst (pst-utils), pffexport (pff-tools) and
// pst-extractor (npm), run on a file; what they extract is read back for
// comparison.
#pragma once
#include "PstTestFiles.h"

#include <cctype>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>

struct Extraction {
    bool ran = false;        // the tool exists and exited normally
    std::string log;
    std::map<std::string, std::string> files; // relative path -> contents

    // The contents of the last file whose path holds `part`; empty if none.
    std::string fileWith(const std::string& part) const {
        std::string found;
        for (const auto& f : files)
            if (f.first.find(part) != std::string::npos)
                found = f.second;
        return found;
    }
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

// pst-extractor through our listing script: one line per folder and item
// (in `files["list"]`). A reader that hangs is stopped and counts as failed.
inline Extraction pstExtractor(const std::string& pst, const ScratchDir& dir, const std::string& name) {
    Extraction x;
    const std::string list = dir.file(name + ".list"), log = dir.file(name + ".log");
    const std::string cmd = "PST_EXTRACTOR_DIR='" TW_PST_READER_DIR "' timeout 120 node '" TW_PST_LIST "' '" + pst +
                            "' >'" + list + "' 2>'" + log + "'";
    x.ran = std::system(cmd.c_str()) == 0;
    x.log = readAll(log);
    x.files["list"] = readAll(list);
    return x;
}

// The SHA-1 of bytes, as the listing gives an attachment's.
inline std::string sha1Of(const std::string& bytes, const ScratchDir& dir) {
    const std::string file = dir.file("sha1-input"), out = dir.file("sha1-output");
    std::ofstream(file, std::ios::binary) << bytes;
    if (std::system(("sha1sum '" + file + "' >'" + out + "'").c_str()) != 0)
        return "(no sha1sum)";
    return readAll(out).substr(0, 40);
}

// The lines of a listing but those of a folder named `name` (wherever it
// is) and of what lies in it.
inline std::string listedOutside(const std::string& list, const std::string& name) {
    std::istringstream in(list);
    std::string line, out;
    while (std::getline(in, line)) {
        const size_t from = line.find(" | ");
        const size_t to = from == std::string::npos ? from : line.find(" | ", from + 3);
        const std::string where = from == std::string::npos ? "" : line.substr(from + 3, to - from - 3) + "/";
        if (where.find("/" + name + "/") == std::string::npos)
            out += line + "\n";
    }
    return out;
}

inline int countMatches(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}
