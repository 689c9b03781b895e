// notes_bench DATABASE: opens and indexes a database through the Notes
// stand-in, then opens every document of every view and folder, and prints
// the throughput and the process's peak memory.
#include "LNNotes.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

long fileBytes(const char* path) {
    struct stat st {};
    return stat(path, &st) == 0 ? static_cast<long>(st.st_size) : 0;
}

long peakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: notes_bench DATABASE\n");
        return 2;
    }
    struct stat st {};
    if (stat(argv[1], &st) != 0) {
        std::fprintf(stderr, "notes_bench: no file %s\n", argv[1]);
        return 1;
    }
    const double megabytes = static_cast<double>(st.st_size) / (1024 * 1024);

    LNNotesSession session;
    LNDatabase db;
    if (session.Init() || session.GetDatabase(argv[1], &db))
        return 1;
    auto start = std::chrono::steady_clock::now();
    if (LNSTATUS error = db.Open()) {
        char text[512];
        LNGetErrorMessageText(error, text, sizeof text);
        std::fprintf(stderr, "notes_bench: %s\n", text);
        return 1;
    }
    double indexSeconds = seconds(start);
    long indexPeak = peakKilobytes();

    start = std::chrono::steady_clock::now();
    LNViewFolderArray views;
    db.GetViewFolders(&views);
    long documents = 0, attachments = 0;
    const std::string scratch = std::string(argv[1]) + ".detached";
    double detachSeconds = 0, detachedBytes = 0;
    for (LNINT v = 0; v < views.GetCount(); ++v) {
        LNViewFolder view = views[v];
        view.Open();
        for (LNINT i = 0; i < view.GetEntryCount(); ++i) {
            LNVFEntry entry;
            LNDocument doc;
            if (view.GetEntry(i, &entry) || entry.GetDocument(&doc) || doc.Open())
                continue;
            ++documents;
            if (doc.HasAttachments()) {
                LNAttachmentArray a;
                doc.GetAttachments(&a);
                attachments += a.GetCount();
                // Each attachment detached to a file, as the conversion
                // detaches it, and deleted again.
                auto detachStart = std::chrono::steady_clock::now();
                for (LNINT k = 0; k < a.GetCount(); ++k) {
                    if (a[k].Detach(scratch.c_str()) == LNNOERROR)
                        detachedBytes += fileBytes(scratch.c_str());
                    std::remove(scratch.c_str());
                }
                detachSeconds += seconds(detachStart);
            }
            doc.Close();
        }
    }
    double readSeconds = seconds(start);

    std::printf("Notes stand-in, %s: %.0f MB, %ld documents, %ld attachments\n", argv[1], megabytes, documents,
                attachments);
    std::printf("  open + index: %8.2f s  %8.1f MB/s  peak memory %6.1f MB\n", indexSeconds,
                megabytes / indexSeconds, indexPeak / 1024.0);
    std::printf("  open every document and detach its attachments: %8.2f s  %8.1f MB/s  peak memory %6.1f MB\n",
                readSeconds, megabytes / readSeconds, peakKilobytes() / 1024.0);
    if (detachSeconds > 0)
        std::printf("  of that detaching: %8.2f s  %8.1f MB/s of attachment bytes written\n", detachSeconds,
                    detachedBytes / 1048576.0 / detachSeconds);
    return 0;
}
