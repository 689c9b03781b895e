// pst_bench DIR [COUNT...] [--attachments N]: appends COUNT messages (4 KB body, a 100 KB
// attachment on every tenth) to a new store, one commit each, and prints
// messages per second, MB/s, peak memory, file size against payload, the
// time per message in the first and last tenth, and the time to open the
// result; beside it, a plain sequential write of the same payload.
#include "pst/Store.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
double since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

long peakMb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}

pst::Value text(const std::string& s) { return {pst::PT_UNICODE, pst::utf16le(s)}; }

double plainWrite(const std::string& path, uint64_t bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::vector<char> chunk(1 << 20, 'x');
    auto t = Clock::now();
    for (uint64_t done = 0; done < bytes; done += chunk.size())
        std::fwrite(chunk.data(), 1, std::min<uint64_t>(chunk.size(), bytes - done), f);
    std::fflush(f);
    fsync(fileno(f));
    std::fclose(f);
    double s = since(t);
    std::remove(path.c_str());
    return s;
}

void run(const std::string& dir, long count) {
    const std::string path = dir + "/bench-" + std::to_string(count) + ".pst";
    std::remove(path.c_str());
    auto store = pst::Store::create(path, "Benchmark");
    uint32_t folder = store->createFolder(store->ipmSubtree(), "Inbox", "IPF.Note");
    store->commit();
    const std::string body(4096, 'b');
    const std::vector<uint8_t> attachment(100 * 1024, 0xA5);
    uint64_t payload = 0;
    uint64_t stored = 0; // the payload as a Unicode store holds it: bodies in UTF-16
    double firstTenth = 0, lastTenth = 0;
    auto start = Clock::now();
    for (long i = 0; i < count; ++i) {
        auto t = Clock::now();
        pst::NewMessage m;
        m.properties[pst::tag(0x0037, pst::PT_UNICODE)] = text("Message " + std::to_string(i));
        m.properties[pst::tag(0x1000, pst::PT_UNICODE)] = text(body);
        payload += body.size();
        stored += 2 * body.size();
        if (i % 10 == 0) {
            m.attachments.push_back({"file.bin", attachment, {}});
            payload += attachment.size();
            stored += attachment.size();
        }
        store->addMessage(folder, m);
        store->commit();
        double s = since(t);
        if (i < count / 10)
            firstTenth += s;
        if (i >= count - count / 10)
            lastTenth += s;
    }
    double total = since(start);
    store.reset();
    struct stat st {};
    stat(path.c_str(), &st);
    auto t = Clock::now();
    auto reopened = pst::Store::open(path);
    reopened->folder(folder);
    double openSeconds = since(t);
    double plain = plainWrite(dir + "/plain.bin", payload);
    const double mb = payload / 1048576.0;
    std::printf("%8ld msgs %8.1f s %9.0f msg/s %7.1f MB/s  peak %4ld MB  file/payload %.2f (UTF-16 %.2f)  "
                "per msg first/last tenth %.2f/%.2f ms  open %.1f ms  plain write %.0f MB/s (x%.1f)\n",
                count, total, count / total, mb / total, peakMb(), static_cast<double>(st.st_size) / payload,
                static_cast<double>(st.st_size) / stored,
                1000 * firstTenth / (count / 10), 1000 * lastTenth / (count / 10), 1000 * openSeconds,
                mb / plain, (mb / plain) / (mb / total));
    std::fflush(stdout);
}

// The engine's own block path: messages of one attachment each, read from a
// file (as the Outlook stand-in hands them over), one commit each, against a
// plain write of the same bytes.
void attachmentsFromFiles(const std::string& dir, long count, size_t size) {
    const std::string path = dir + "/bench-attachments.pst", source = dir + "/bench-attachment.bin";
    std::vector<char> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 2654435761u >> 13);
    std::FILE* f = std::fopen(source.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    std::remove(path.c_str());
    auto start = Clock::now();
    auto store = pst::Store::create(path, "Benchmark");
    const uint32_t folder = store->createFolder(store->ipmSubtree(), "Inbox", "IPF.Note");
    double firstTenth = 0, lastTenth = 0;
    for (long i = 0; i < count; ++i) {
        const auto t = Clock::now();
        pst::NewMessage m;
        m.properties[pst::tag(0x0037, pst::PT_UNICODE)] = text("Message " + std::to_string(i));
        pst::NewAttachment a;
        a.fileName = "file.bin";
        a.sourcePath = source;
        m.attachments.push_back(a);
        store->addMessage(folder, m);
        store->commit();
        const double s = since(t);
        if (i < count / 10)
            firstTenth += s;
        if (i >= count - count / 10)
            lastTenth += s;
    }
    store.reset();
    const double total = since(start);
    const uint64_t payload = static_cast<uint64_t>(count) * size;
    const double plain = plainWrite(dir + "/plain.bin", payload);
    const double mb = payload / 1048576.0;
    std::printf("%8ld msgs of a %zu KB attachment from a file: %6.1f s %7.1f MB/s  peak %4ld MB  "
                "per msg first/last tenth %.2f/%.2f ms  plain write %.0f MB/s (x%.1f)\n",
                count, size / 1024, total, mb / total, peakMb(), 1000 * firstTenth / (count / 10),
                1000 * lastTenth / (count / 10), mb / plain, total / plain);
    std::fflush(stdout);
    std::remove(source.c_str());
    std::remove(path.c_str());
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: pst_bench DIR [COUNT...] [--attachments N]\n");
        return 2;
    }
    std::vector<long> counts;
    long attachments = 1000;
    for (int i = 2; i < argc; ++i) {
        if (std::string(argv[i]) == "--attachments" && i + 1 < argc)
            attachments = std::stol(argv[++i]);
        else
            counts.push_back(std::stol(argv[i]));
    }
    if (counts.empty())
        counts = {1000, 10000, 100000};
    std::printf("PST engine: appending messages to a new store, one commit each\n");
    for (long c : counts)
        run(argv[1], c);
    std::printf("PST engine: attachments read from files, one commit each\n");
    attachmentsFromFiles(argv[1], attachments, getenv("TW_ATTACHMENT_KB") ? 1024 * std::atoi(getenv("TW_ATTACHMENT_KB")) : 1 << 20);
    return 0;
}
