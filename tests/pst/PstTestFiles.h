// Temporary copies of the sample PSTs and byte-level changes to files.
#pragma once
#include <atomic>
#include <cstdint>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

inline std::string pstSample(const char* name) { return std::string(TW_PST_SAMPLES) + "/" + name; }

inline std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// `n` bytes of a fixed sequence for `seed`: neither repeated nor easily
// compressed, so a misplaced block shows.
inline std::string bytesOf(size_t n, int seed) {
    std::string s(n, '\0');
    uint32_t x = 0x9E3779B9u * static_cast<uint32_t>(seed + 1);
    for (size_t i = 0; i < n; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        s[i] = static_cast<char>(x);
    }
    return s;
}

// Whether the file is of Outlook 97-2002's ANSI format (wVer 14 or 15).
inline bool isAnsiPst(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char header[12] = {};
    in.read(header, sizeof header);
    return header[10] == 14 || header[10] == 15;
}

class ScratchDir {
public:
    ScratchDir() {
        static std::atomic<int> n{0};
        path_ = std::filesystem::temp_directory_path() /
                ("tw-pst-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "-" +
                 std::to_string(n++));
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    // A copy of a sample, writable.
    std::string copyOf(const char* sample) const {
        std::string to = file(sample);
        std::filesystem::copy_file(pstSample(sample), to, std::filesystem::copy_options::overwrite_existing);
        std::filesystem::permissions(to, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
        return to;
    }

private:
    std::filesystem::path path_;
};

#include "pst/Checker.h"

#include <gtest/gtest.h>

// The checker finds nothing wrong with the file (and, with `tidy`, no
// space left allocated unused either).
inline void expectSound(const std::string& path, bool tidy = true) {
    pst::CheckReport r = pst::checkFile(path);
    std::string all;
    for (const std::string& e : r.errors)
        all += "\n  error: " + e;
    for (const std::string& n : r.notes)
        all += "\n  note: " + n;
    EXPECT_TRUE(r.ok() && (!tidy || r.notes.empty())) << path << all;
}
