// notesgen sample DIR
//     the demo's Notes data directory: DIR/mail/annaberg.nsf and DIR/names.nsf
// notesgen mail FILE [documents BODY_BYTES ATTACHMENT_BYTES EVERY FOLDERS]
// notesgen names FILE [persons]
#include "Generators.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#ifdef _WIN32
#include <direct.h>
#endif

namespace {

void makeDirectory(const std::string& path) {
#ifdef _WIN32
    _mkdir(path.c_str());
#else
    mkdir(path.c_str(), 0755);
#endif
}

unsigned long long number(int argc, char** argv, int at, unsigned long long fallback) {
    return argc > at ? std::strtoull(argv[at], nullptr, 10) : fallback;
}

int usage() {
    std::fprintf(stderr, "usage: notesgen sample DIR | mail FILE [docs body attachment every folders] | "
                         "names FILE [persons]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return usage();
    const std::string what = argv[1], where = argv[2];
    bool ok = false;
    if (what == "sample") {
        makeDirectory(where);
        makeDirectory(where + "/mail");
        ok = notesgen::writeSampleMail(where + "/mail/annaberg.nsf") && notesgen::writeSampleNames(where + "/names.nsf");
    } else if (what == "mail") {
        notesgen::MailShape shape;
        shape.documents = number(argc, argv, 3, shape.documents);
        shape.bodyBytes = static_cast<size_t>(number(argc, argv, 4, shape.bodyBytes));
        shape.attachmentBytes = number(argc, argv, 5, shape.attachmentBytes);
        shape.attachmentEvery = number(argc, argv, 6, shape.attachmentEvery);
        shape.folders = static_cast<int>(number(argc, argv, 7, static_cast<unsigned long long>(shape.folders)));
        ok = notesgen::writeLargeMail(where, shape);
    } else if (what == "names") {
        ok = notesgen::writeLargeNames(where, number(argc, argv, 3, 10000));
    } else {
        return usage();
    }
    if (!ok)
        std::fprintf(stderr, "notesgen: cannot write %s\n", where.c_str());
    return ok ? 0 : 1;
}
