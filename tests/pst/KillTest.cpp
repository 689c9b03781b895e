// A process appending to a store is killed at random moments, many times:
// each time the file must be sound, read by both readers, and hold every
// message whose commit was reported, whether each commit was flushed to the
// disk or only written (the stand-in's way): the end of a process loses
// nothing the system was given.
#include "ExternalReaders.h"
#include "pst/Store.h"

#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Runs the appender, kills it once it has reported `commits` commits plus a
// random fraction of another; returns the last commit it reported.
long appendAndKill(const std::string& path, const std::string& flushMs, int commits, std::mt19937& random) {
    int out[2];
    if (pipe(out) != 0)
        return -1;
    pid_t child = fork();
    if (child == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        if (flushMs.empty())
            execl(TW_PST_APPENDER, TW_PST_APPENDER, path.c_str(), static_cast<char*>(nullptr));
        else
            execl(TW_PST_APPENDER, TW_PST_APPENDER, path.c_str(), flushMs.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    FILE* lines = fdopen(out[0], "r");
    long last = -1;
    char line[128];
    int seen = 0;
    while (seen < commits && std::fgets(line, sizeof line, lines)) {
        long n = -1;
        if (std::sscanf(line, "committed %ld", &n) == 1) {
            last = n;
            ++seen;
        }
    }
    // At a random moment of the transactions that follow: the kill may land
    // in any step of a commit.
    std::uniform_int_distribution<long> microseconds(0, 30000);
    usleep(static_cast<useconds_t>(microseconds(random)));
    kill(child, SIGKILL);
    // What it reported before it died counts too.
    while (std::fgets(line, sizeof line, lines)) {
        long n = -1;
        if (std::sscanf(line, "committed %ld", &n) == 1)
            last = n;
    }
    std::fclose(lines);
    int status = 0;
    waitpid(child, &status, 0);
    return last;
}

} // namespace

// How often commits reach the disk, and the store: a new Unicode one, or
// Outlook 97-2002's ANSI sample.
struct KillCase {
    std::string flushMs;
    bool ansi = false;
    std::string name;
};

void PrintTo(const KillCase& c, std::ostream* out) { *out << c.name; }

class KillTest : public ::testing::TestWithParam<KillCase> {};

TEST_P(KillTest, EveryKillLeavesASoundStoreWithEveryCommittedMessage) {
    ScratchDir dir;
    const bool ansi = GetParam().ansi;
    const std::string path = ansi ? dir.copyOf("pstsdk_sample2.pst") : dir.file("killed.pst");
    const std::string storeName = ansi ? "sample2" : "Kill test store";
    {
        auto store = ansi ? pst::Store::open(path, true) : pst::Store::create(path, storeName);
        store->createFolder(store->ipmSubtree(), "Already there", "IPF.Note");
        store->commit();
    }
    std::mt19937 random(12345);
    long committed = -1;
    for (int round = 0; round < 25; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        long last = appendAndKill(path, GetParam().flushMs, 1 + round % 4, random);
        ASSERT_GE(last, committed) << "the appender went backwards";
        committed = last;
        pst::CheckReport r = pst::checkFile(path);
        ASSERT_TRUE(r.ok()) << (r.errors.empty() ? "" : r.errors[0]);
        auto store = pst::Store::open(path);
        uint32_t folder = store->findSubfolder(store->ipmSubtree(), "Kill test").value_or(0);
        ASSERT_NE(0u, folder);
        std::vector<uint32_t> messages = store->messages(folder);
        ASSERT_GE(static_cast<long>(messages.size()), committed + 1) << "a committed message is missing";
        for (long i = 0; i <= committed; ++i)
            ASSERT_EQ("Message " + std::to_string(i),
                      pst::subjectText(store->message(messages[static_cast<size_t>(i)]).properties));
        EXPECT_TRUE(store->findSubfolder(store->ipmSubtree(), "Already there"));
        if (round % 6 == 5) {
            Extraction a = readpst(path, dir, "readpst" + std::to_string(round));
            EXPECT_TRUE(a.ran) << a.log;
            EXPECT_EQ(committed + 1 + (static_cast<long>(messages.size()) - committed - 1),
                      countMatches(a.files[storeName + "/Kill test/mbox"], "\nSubject: Message "));
            Extraction b = pffexport(path, dir, "pffexport" + std::to_string(round));
            EXPECT_TRUE(b.ran) << b.log;
            if (ansi)
                continue; // pst-extractor reads no ANSI file
            Extraction c = pstExtractor(path, dir, "pst-extractor" + std::to_string(round));
            EXPECT_TRUE(c.ran) << c.log;
            EXPECT_EQ(static_cast<int>(messages.size()),
                      countMatches(c.files["list"], "M | /Top of Personal Folders/Kill test | IPM.Note | Message "));
        }
    }
    EXPECT_GT(committed, 20);
}

// Flushed at every commit, and flushed at most once a minute; an ANSI
// file flushed at every commit.
INSTANTIATE_TEST_SUITE_P(Flushing, KillTest,
                         ::testing::Values(KillCase{"", false, "EveryCommit"}, KillCase{"60000", false, "Deferred"},
                                           KillCase{"", true, "AnsiEveryCommit"}),
                         [](const ::testing::TestParamInfo<KillCase>& info) { return info.param.name; });
