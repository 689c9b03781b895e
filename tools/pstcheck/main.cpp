// pstcheck FILE...: checks each PST and says what is wrong; exit status 1
// when any is damaged.
#include "pst/Checker.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: pstcheck FILE...\n");
        return 2;
    }
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        pst::CheckReport r = pst::checkFile(argv[i]);
        std::printf("%s: %s\n", argv[i], r.ok() ? "sound" : "DAMAGED");
        for (const std::string& e : r.errors)
            std::printf("  error: %s\n", e.c_str());
        for (const std::string& n : r.notes)
            std::printf("  note: %s\n", n.c_str());
        if (!r.ok())
            status = 1;
    }
    return status;
}
