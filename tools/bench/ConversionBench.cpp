// The end-to-end conversion benchmark: Step 6's conversion itself, headless
// (the pages before it skipped by setting the wizard's state), through the
// registered Outlook stand-in, on generated databases; beside it the PST
// engine appending the same messages directly and a plain sequential write
// of the same payload. Runs under Wine (./build.sh bench).
//
//   conversion_bench table DIR MAILDB... [--names NAMESDB]
//   conversion_bench large DIR MAILDB   (one store of many gigabytes, early
//       class only: time per MB from the first tenth to the last, memory,
//       the free-space check before and after, opening the result)
//   conversion_bench run KIND SOURCE PST RESULT     (one row, in a process
//       of its own so that its peak memory is its own; KIND is early (10),
//       late (11), late12 (12: no secure temporary folder), other (16: a
//       staging item per message, no restarts), contacts, direct (the
//       engine, a flush at every commit) or direct1s (flushed at most once
//       a second, as the stand-in flushes))
#include "adapters/NotesText.h"
#include "common/Registry.h"
#include "common/WizardState.h"
#include "conversion/ContactConversion.h"
#include "conversion/ConversionRun.h"
#include "conversion/MailConversion.h"
#include "conversion/MailParts.h"
#include "conversion/OutlookSession.h"
#include "conversion/ProgressView.h"
#include "framework/Handles.h"
#include "framework/Text.h"
#include "pst/Store.h"
#include "resources/resource.h"

#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::string utf8(const std::wstring& w) { return tw::toUtf8(w); }

double seconds(Clock::time_point from, Clock::time_point to) { return std::chrono::duration<double>(to - from).count(); }

// Step 6 without its window: the conversion's progress reports, of which
// the end of each item is timed.
class HeadlessView : public ProgressView {
public:
    std::vector<Clock::time_point> itemEnds;

    void setLabel(int, const std::wstring&) override {}
    void setBar(int id, int) override {
        if (id == IDC_PROGRESS_CURRENT)
            itemEnds.push_back(Clock::now());
    }
    int ask(const std::wstring&, UINT) override { return IDCANCEL; }
    void showCompletion() override {}
};

struct Row {
    std::string label;
    long items = 0;
    double wall = 0, startS = 0, firstTenthMs = 0, lastTenthMs = 0;
    double payloadMb = 0, fileMb = 0, peakMb = 0;
    double readMb = 0, writtenMb = 0; // through the system's read and write calls
};

// Under Wine, the Linux process this one runs in: its command line holds
// `token` (the row's result file, which no other process names; a launcher
// may name it too, but has read far less). Wine's own /proc/self would be
// the Wine server's, which opens files for its processes.
std::pair<double, double> unixIo(const std::wstring& dir);

std::wstring unixProcessOf(const std::wstring& token) {
    WIN32_FIND_DATAW found;
    tw::FindHandle find(FindFirstFileW(L"Z:\\proc\\*", &found));
    if (!find)
        return std::wstring();
    const std::string wanted = tw::toAnsi(token.substr(token.find_last_of(L"\\/") + 1));
    std::wstring best;
    double mostRead = -1;
    do {
        if (found.cFileName[0] < L'0' || found.cFileName[0] > L'9')
            continue;
        const std::wstring dir = std::wstring(L"Z:\\proc\\") + found.cFileName;
        std::ifstream in(tw::toAnsi(dir + L"\\cmdline"), std::ios::binary);
        const std::string line((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (line.find(wanted) == std::string::npos)
            continue;
        const double read = unixIo(dir).first;
        if (read > mostRead) {
            mostRead = read;
            best = dir;
        }
    } while (FindNextFileW(find.get(), &found));
    return best;
}

// What a Linux process has read and written (rchar, wchar), in bytes; -1
// when it cannot be read.
std::pair<double, double> unixIo(const std::wstring& dir) {
    double read = -1, written = -1, value = 0;
    std::ifstream io(tw::toAnsi(dir + L"\\io"));
    std::string key;
    while (io >> key >> value) {
        if (key == "rchar:")
            read = value;
        else if (key == "wchar:")
            written = value;
    }
    return {read, written};
}

// The bytes this process has read and written through the system so far:
// under Wine the Linux process's own count, which sees every file the
// Notes library, the Outlook stand-in and the PST engine read or write;
// on Windows the process's I/O counters.
std::pair<double, double> ioMb(const std::wstring& unixProcess) {
    double read = -1, written = -1;
    if (!unixProcess.empty())
        std::tie(read, written) = unixIo(unixProcess);
    if (read < 0 || written < 0) {
        IO_COUNTERS counters{};
        GetProcessIoCounters(GetCurrentProcess(), &counters);
        read = static_cast<double>(counters.ReadTransferCount);
        written = static_cast<double>(counters.WriteTransferCount);
    }
    return {read / 1048576.0, written / 1048576.0};
}

double peakMb() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize / 1048576.0;
}

double fileMb(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return ((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow) / 1048576.0;
}

// The start-up (to the end of the first item: opening the database and the
// stores, the first folder) apart, then the time per item in the first and
// the last tenth, from the items' end times.
void tenths(const std::vector<Clock::time_point>& ends, Clock::time_point start, Row& row) {
    row.items = static_cast<long>(ends.size());
    const size_t tenth = ends.size() / 10;
    if (tenth == 0)
        return;
    row.startS = seconds(start, ends[0]);
    row.firstTenthMs = 1000 * seconds(ends[0], ends[tenth]) / tenth;
    row.lastTenthMs = 1000 * seconds(ends[ends.size() - tenth - 1], ends.back()) / tenth;
}

// Walks the database through the Notes library: `onFolder` with each view's
// or folder's shown name, then `onDocument` with each of its documents,
// opened (none when `documents` is false).
template <typename OnFolder, typename OnDocument>
void walkDatabase(const std::wstring& source, bool documents, OnFolder&& onFolder, OnDocument&& onDocument) {
    LNNotesSession notes;
    notes.Init(LNAPI_RELEASE_700);
    LNSetThrowAllErrorsGlobal(TRUE);
    LNDatabase db;
    notes.GetDatabase(toNotes(source), &db, "");
    db.Open(0);
    LNViewFolderArray views;
    db.GetViewFolders(&views, FALSE);
    for (LNINT v = 0; v < views.GetCount(); ++v) {
        LNViewFolder view = views[v];
        view.Open();
        onFolder(shownFolderName(fromNotes(view.GetName())));
        for (LNINT i = 0; documents && i < view.GetEntryCount(); ++i) {
            LNVFEntry entry;
            view.GetEntry(i, &entry);
            LNDocument doc;
            entry.GetDocument(&doc);
            doc.Open(0);
            onDocument(doc);
            doc.Close();
        }
    }
    db.Close();
    notes.Term(0);
}

// Every view and folder chosen, as Step 3 records them.
void chooseEveryFolder(const std::wstring& source) {
    WizardState& state = wizardState();
    walkDatabase(
        source, false,
        [&](const std::wstring& name) { state.selectedFolders.append(L"Lotus Notes\\" + name + L"\\"); },
        [](LNDocument&) {});
    state.selectedFolderCount = static_cast<int>(state.selectedFolders.size());
}

// The bodies and attachments of the database's messages (each generated
// message is filed in one folder): what the runs carry.
double payloadMb(const std::wstring& source, const std::wstring& scratch) {
    uint64_t bytes = 0;
    walkDatabase(source, true, [](const std::wstring&) {},
                 [&](LNDocument& doc) {
                     if (doc.HasItem("Body")) {
                         LNRichText body;
                         doc.GetItem("Body", &body);
                         LNString text;
                         body.GetText(&text);
                         bytes += text.GetBufLength();
                     }
                     if (!doc.HasAttachments())
                         return;
                     LNAttachmentArray attachments;
                     doc.GetAttachments(&attachments);
                     for (LNINT a = 0; a < attachments.GetCount(); ++a) {
                         attachments[a].Detach(toNotes(scratch));
                         bytes += static_cast<uint64_t>(fileMb(scratch) * 1048576.0 + 0.5);
                         DeleteFileW(scratch.c_str());
                     }
                 });
    return bytes / 1048576.0;
}

void setStandInVersion(const std::wstring& version) {
    writeRegistryText(HKEY_CURRENT_USER, L"Software\\Tidewell\\Outlook Stand-in", L"Version", version);
}

// The conversion as Step 6's worker runs it.
Row convert(const std::string& kind, const std::wstring& source, const std::wstring& pst,
            const std::wstring& unixProcess) {
    WizardState& state = wizardState();
    state.productTitle = L"Tidewell for NSF to PST";
    state.mode = kind == "contacts" ? ModeAddressBook : ModeMails;
    state.sourcePath = source;
    state.pstPath = pst;
    state.pstFolderName = L"Bench";
    wchar_t temp[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, temp);
    state.appDirectory = std::wstring(temp) + L"tw-bench";
    CreateDirectoryW(state.appDirectory.c_str(), nullptr);
    CreateDirectoryW((state.appDirectory + L"\\Attachment").c_str(), nullptr);
    if (kind == "contacts") {
        state.selectedFolders.append(L"Lotus Notes\\");
        state.selectedFolderCount = 1;
    } else {
        chooseEveryFolder(source);
        setStandInVersion(kind == "early"    ? L"10.0.6626.0"
                          : kind == "late12" ? L"12.0.6423.1000"
                          : kind == "other"  ? L"16.0.4266.1001"
                                             : L"11.0.8169.0");
    }
    DeleteFileW(pst.c_str());
    HeadlessView view;
    Row row;
    const std::pair<double, double> ioBefore = ioMb(unixProcess);
    const Clock::time_point start = Clock::now();
    std::thread worker([&] {
        OutlookSession outlook;
        if (kind == "contacts")
            convertContacts(view, outlook);
        else
            convertMails(view, outlook);
        shutDownOutlook(outlook);
        outlook.stagingItem.reset();
        outlook.safeMailItem.reset();
        while (outlook.comStarts-- > 0)
            CoUninitialize();
    });
    worker.join();
    row.wall = seconds(start, Clock::now());
    const std::pair<double, double> ioAfter = ioMb(unixProcess);
    row.readMb = ioAfter.first - ioBefore.first;
    row.writtenMb = ioAfter.second - ioBefore.second;
    tenths(view.itemEnds, start, row);
    setStandInVersion(L"11.0.8169.0");
    if (conversionRun().conversionStopped)
        std::fprintf(stderr, "conversion_bench: the run did not complete\n");
    return row;
}

pst::Value unicode(const std::string& s) { return {pst::PT_UNICODE, pst::utf16le(s)}; }

// The PST engine appending the same messages itself, one commit each.
// The engine appending the messages itself: flushed to the disk at every
// commit (its default), or at most once a second as the Outlook stand-in
// flushes its stores.
Row direct(const std::wstring& source, const std::wstring& pst, bool flushEverySecond,
           const std::wstring& unixProcess) {
    DeleteFileW(pst.c_str());
    const std::pair<double, double> ioBefore = ioMb(unixProcess);
    wchar_t temp[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, temp);
    const std::wstring scratch = std::wstring(temp) + L"tw-bench-attachment";
    Row row;
    std::vector<Clock::time_point> ends;
    const Clock::time_point start = Clock::now();
    auto store = pst::Store::create(utf8(pst), "Tidewell Conversion Folder");
    if (flushEverySecond)
        store->setFlushInterval(std::chrono::milliseconds(1000));
    const uint32_t top = store->createFolder(store->ipmSubtree(), "Bench", "IPF.Note");
    uint32_t folder = top;
    walkDatabase(
        source, true, [&](const std::wstring& name) { folder = store->createFolder(top, utf8(name), "IPF.Note"); },
        [&](LNDocument& doc) {
            pst::NewMessage m;
            m.properties[pst::tag(0x001A, pst::PT_UNICODE)] = unicode("IPM.Note");
            LNText subject;
            doc.GetItem("Subject", &subject);
            m.properties[pst::tag(0x0037, pst::PT_UNICODE)] =
                unicode(utf8(fromNotes(subject[0])));
            LNRichText body;
            doc.GetItem("Body", &body);
            LNString text;
            body.GetText(&text);
            m.properties[pst::tag(0x1000, pst::PT_UNICODE)] = unicode(utf8(fromNotes(text)));
            std::vector<std::wstring> detached;
            if (doc.HasAttachments()) {
                LNAttachmentArray attachments;
                doc.GetAttachments(&attachments);
                for (LNINT a = 0; a < attachments.GetCount(); ++a) {
                    const std::wstring file = scratch + std::to_wstring(a);
                    attachments[a].Detach(toNotes(file));
                    pst::NewAttachment attachment;
                    attachment.fileName = utf8(fromNotes(attachments[a].GetAttachmentName()));
                    attachment.sourcePath = utf8(file);
                    m.attachments.push_back(attachment);
                    detached.push_back(file);
                }
            }
            store->addMessage(folder, m);
            store->commit();
            for (const std::wstring& file : detached)
                DeleteFileW(file.c_str());
            ends.push_back(Clock::now());
        });
    store.reset();
    row.wall = seconds(start, Clock::now());
    tenths(ends, start, row);
    const std::pair<double, double> ioAfter = ioMb(unixProcess);
    row.readMb = ioAfter.first - ioBefore.first;
    row.writtenMb = ioAfter.second - ioBefore.second;
    return row;
}

// Writing the payload's bytes in one sequential stream, flushed to disk.
double plainWrite(const std::wstring& path, double mb) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::vector<char> chunk(1 << 20, 'x');
    const uint64_t bytes = static_cast<uint64_t>(mb * 1048576.0);
    const Clock::time_point start = Clock::now();
    DWORD written = 0;
    for (uint64_t done = 0; done < bytes; done += chunk.size())
        WriteFile(file, chunk.data(), static_cast<DWORD>(std::min<uint64_t>(chunk.size(), bytes - done)), &written,
                  nullptr);
    FlushFileBuffers(file);
    CloseHandle(file);
    const double s = seconds(start, Clock::now());
    DeleteFileW(path.c_str());
    return s;
}

int runOne(const std::string& kind, const std::wstring& source, const std::wstring& pst, const std::wstring& result) {
    const std::wstring unixProcess = unixProcessOf(result);
    Row row = kind == "direct"     ? direct(source, pst, false, unixProcess)
              : kind == "direct1s" ? direct(source, pst, true, unixProcess)
                                   : convert(kind, source, pst, unixProcess);
    std::ofstream out(tw::toAnsi(result));
    out << row.items << " " << row.wall << " " << row.startS << " " << row.firstTenthMs << " " << row.lastTenthMs << " " << fileMb(pst)
        << " " << peakMb() << " " << row.readMb << " " << row.writtenMb << "\n";
    return row.items > 0 ? 0 : 1;
}

// One row from a process of its own.
bool runChild(const std::string& kind, const std::wstring& source, const std::wstring& pst, const std::wstring& result,
              Row& row) {
    wchar_t self[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" run " + tw::fromAnsi(kind) + L" \"" + source + L"\" \"" +
                           pst + L"\" \"" + result + L"\"";
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
        return false;
    WaitForSingleObject(pi.hProcess, INFINITE);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    std::ifstream in(tw::toAnsi(result));
    return static_cast<bool>(in >> row.items >> row.wall >> row.startS >> row.firstTenthMs >> row.lastTenthMs >> row.fileMb >>
                             row.peakMb >> row.readMb >> row.writtenMb);
}

void print(const Row& r, double directWall, double plainWall) {
    const double mbs = r.wall > 0 ? r.payloadMb / r.wall : 0;
    const double perByte = r.payloadMb > 0 ? 1 / r.payloadMb : 0;
    std::printf("%-22s %7ld %9.1f %9.0f %7.1f %7.0f %6.2f %7.2f %7.2f %7.2f %5.2f %5.2f", r.label.c_str(), r.items,
                r.wall, r.wall > 0 ? r.items / r.wall : 0, mbs, r.peakMb, r.payloadMb > 0 ? r.fileMb / r.payloadMb : 0,
                r.startS, r.firstTenthMs, r.lastTenthMs, r.readMb * perByte, r.writtenMb * perByte);
    if (directWall > 0)
        std::printf(" %7.1fx", r.wall / directWall);
    else
        std::printf(" %8s", "");
    if (plainWall > 0)
        std::printf(" %7.1fx", r.wall / plainWall);
    std::printf("\n");
    std::fflush(stdout);
}

int table(const std::wstring& dir, const std::vector<std::wstring>& mails, const std::wstring& names) {
    // rd/B and wr/B: bytes read and written through the system for each
    // byte of payload (bodies and attachments), every file counted.
    std::printf("%-22s %7s %9s %9s %7s %7s %6s %7s %7s %7s %5s %5s %8s %8s\n", "run", "items", "wall s", "items/s",
                "MB/s", "peak MB", "PST/pl", "start s", "1st ms", "last ms", "rd/B", "wr/B", "/direct", "/plain");
    const std::wstring result = dir + L"\\bench-row.txt", pst = dir + L"\\bench.pst";
    for (const std::wstring& db : mails) {
        const std::string name = tw::toAnsi(db.substr(db.find_last_of(L"\\/") + 1));
        const Clock::time_point detachStart = Clock::now();
        const double payload = payloadMb(db, dir + L"\\bench-scratch");
        const double detach = seconds(detachStart, Clock::now());
        const double plain = plainWrite(dir + L"\\bench-plain", payload);
        std::printf("%s: payload %.1f MB, plain write %.2f s (%.0f MB/s), the database read and every attachment "
                    "detached %.2f s\n",
                    name.c_str(), payload, plain, plain > 0 ? payload / plain : 0, detach);
        Row directRow;
        directRow.label = "  engine direct";
        directRow.payloadMb = payload;
        if (runChild("direct", db, pst, result, directRow))
            print(directRow, 0, plain);
        Row deferredRow;
        deferredRow.label = "  engine direct, 1/s";
        deferredRow.payloadMb = payload;
        if (runChild("direct1s", db, pst, result, deferredRow))
            print(deferredRow, 0, plain);
        for (const char* kind : {"early", "late"}) {
            Row row;
            row.label = std::string("  wizard, ") + kind + " class";
            row.payloadMb = payload;
            if (runChild(kind, db, pst, result, row))
                print(row, directRow.wall, plain);
            else
                std::printf("  %s: the run failed\n", kind);
        }
    }
    if (!names.empty()) {
        Row row;
        row.label = "  wizard, contacts";
        const std::string name = tw::toAnsi(names.substr(names.find_last_of(L"\\/") + 1));
        std::printf("%s:\n", name.c_str());
        if (runChild("contacts", names, pst, result, row))
            print(row, 0, 0);
    }
    DeleteFileW(pst.c_str());
    DeleteFileW(result.c_str());
    return 0;
}

// The free-space check as the conversion makes it before each message.
double freeSpaceCheckUs() {
    int answers = 0;
    const Clock::time_point start = Clock::now();
    constexpr int kTimes = 100;
    for (int i = 0; i < kTimes; ++i)
        checkFreeSpace(answers, 1);
    return 1e6 * seconds(start, Clock::now()) / kTimes;
}

// Opening the converted store and its top folder.
double openMs(const std::wstring& pst) {
    const Clock::time_point start = Clock::now();
    auto store = pst::Store::open(utf8(pst));
    store->folder(store->ipmSubtree());
    return 1000 * seconds(start, Clock::now());
}

// A store of many gigabytes through the early class: whether the time per
// megabyte, the memory and the free-space check stay flat to the end, and
// how long the result takes to open.
int large(const std::wstring& dir, const std::wstring& db) {
    const std::wstring result = dir + L"\\bench-row.txt", pst = dir + L"\\bench-large.pst";
    const std::string name = tw::toAnsi(db.substr(db.find_last_of(L"\\/") + 1));
    const double payload = payloadMb(db, dir + L"\\bench-scratch");
    const double plain = plainWrite(dir + L"\\bench-plain", payload);
    std::printf("%s: payload %.0f MB, plain write %.1f s (%.0f MB/s)\n", name.c_str(), payload, plain,
                plain > 0 ? payload / plain : 0);
    wizardState().pstPath = pst;
    const double checkBefore = freeSpaceCheckUs();
    Row row;
    row.label = "  wizard, early class";
    row.payloadMb = payload;
    if (!runChild("early", db, pst, result, row)) {
        std::printf("  the run failed\n");
        return 1;
    }
    const double checkAfter = freeSpaceCheckUs();
    const double mbPerItem = row.items > 0 ? payload / row.items : 0;
    std::printf("  %ld messages in %.1f s (%.0f MB/s, x%.1f the plain write), PST %.0f MB, peak memory %.0f MB\n",
                row.items, row.wall, payload / row.wall, row.wall / plain, row.fileMb, row.peakMb);
    std::printf("  time per MB: first tenth %.2f ms, last tenth %.2f ms (x%.2f)\n", row.firstTenthMs / mbPerItem,
                row.lastTenthMs / mbPerItem, row.firstTenthMs > 0 ? row.lastTenthMs / row.firstTenthMs : 0);
    std::printf("  free-space check: %.1f us before, %.1f us after\n", checkBefore, checkAfter);
    std::printf("  bytes through the system per payload byte: read %.2f, written %.2f\n", row.readMb / payload,
                row.writtenMb / payload);
    std::printf("  opening the result: %.1f ms\n", openMs(pst));
    DeleteFileW(pst.c_str());
    DeleteFileW(result.c_str());
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> args(argv + 1, argv + argc);
    try {
        if (args.size() == 5 && args[0] == L"run")
            return runOne(tw::toAnsi(args[1]), args[2], args[3], args[4]);
        if (args.size() == 3 && args[0] == L"large")
            return large(args[1], args[2]);
        if (args.size() >= 2 && args[0] == L"table") {
            std::vector<std::wstring> mails;
            std::wstring names;
            for (size_t i = 2; i < args.size(); ++i) {
                if (args[i] == L"--names" && i + 1 < args.size())
                    names = args[++i];
                else
                    mails.push_back(args[i]);
            }
            return table(args[1], mails, names);
        }
    } catch (const pst::Error& e) {
        std::fprintf(stderr, "conversion_bench: %s\n", e.what());
        return 1;
    } catch (LNSTATUS error) {
        std::fprintf(stderr, "conversion_bench: Notes error %d\n", static_cast<int>(error));
        return 1;
    }
    std::fprintf(stderr, "usage: conversion_bench table DIR MAILDB... [--names NAMESDB] | large DIR MAILDB\n");
    return 2;
}
