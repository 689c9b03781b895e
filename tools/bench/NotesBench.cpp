// notes_bench DATABASE: opens and indexes a database through the Notes
// stand-in, then opens every document of every view and folder, and prints
// the throughput and the process's peak memory.
#include "LNNotes.h"

#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
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
            }
            doc.Close();
        }
    }
    double readSeconds = seconds(start);

    std::printf("Notes stand-in, %s: %.0f MB, %ld documents, %ld attachments\n", argv[1], megabytes, documents,
                attachments);
    std::printf("  open + index: %8.2f s  %8.1f MB/s  peak memory %6.1f MB\n", indexSeconds,
                megabytes / indexSeconds, indexPeak / 1024.0);
    std::printf("  open every document: %8.2f s  %8.1f MB/s  peak memory %6.1f MB\n", readSeconds,
                megabytes / readSeconds, peakKilobytes() / 1024.0);
    return 0;
}
