// A change that fails because the file cannot grow (a full volume, played
// here by the file-size limit) is forgotten whole: the store stays as its
// last commit left it, takes further changes once there is room again, and
// no later commit writes any part of the failed one.
#include "TestValues.h"
#include "PstTestFiles.h"
#include "pst/Checker.h"
#include "pst/Store.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {


pst::NewMessage message(const std::string& subject, size_t attachmentBytes) {
    pst::NewMessage m;
    m.properties[pst::tag(0x001A, pst::PT_UNICODE)] = text("IPM.Note");
    m.properties[pst::tag(0x0037, pst::PT_UNICODE)] = text(subject);
    m.properties[pst::tag(0x1000, pst::PT_UNICODE)] = text("Body of " + subject);
    if (attachmentBytes)
        m.attachments.push_back({"big.bin", std::vector<uint8_t>(attachmentBytes, 0x5A), {}});
    return m;
}

void setFileSizeLimit(rlim_t bytes) {
    rlimit limit{bytes, RLIM_INFINITY};
    setrlimit(RLIMIT_FSIZE, &limit);
}

// In a child process, as the limit is the process's: five rounds of a big
// message that cannot fit, then a small one once the limit is lifted. The
// exit code says how many of each went as expected.
int fillRounds(const std::string& path, bool commitEach) {
    signal(SIGXFSZ, SIG_IGN);
    int failed = 0, added = 0;
    try {
        auto store = pst::Store::open(path, true);
        const uint32_t inbox = store->findSubfolder(store->ipmSubtree(), "Inbox").value();
        for (int round = 0; round < 5; ++round) {
            struct stat st {};
            stat(path.c_str(), &st);
            setFileSizeLimit(static_cast<rlim_t>(st.st_size) + 8192 * static_cast<rlim_t>(round));
            try {
                store->addMessage(inbox, message("Too big " + std::to_string(round), 2 * 1024 * 1024));
                if (commitEach)
                    store->commit();
            } catch (const pst::Error&) {
                ++failed;
            }
            setFileSizeLimit(RLIM_INFINITY);
            store->addMessage(inbox, message("After " + std::to_string(round), 0));
            store->commit();
            ++added;
        }
    } catch (const pst::Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
    }
    return failed * 10 + added;
}

} // namespace

TEST(DiskFull, AChangeThatCannotBeWrittenIsForgottenAndTheStoreGoesOn) {
    for (bool commitEach : {true, false}) {
        SCOPED_TRACE(commitEach ? "the big message committed" : "the big message left to the next commit");
        ScratchDir dir;
        const std::string path = dir.file("full.pst");
        {
            auto store = pst::Store::create(path, "Full");
            const uint32_t inbox = store->createFolder(store->ipmSubtree(), "Inbox", "IPF.Note");
            for (int i = 0; i < 3; ++i)
                store->addMessage(inbox, message("Before " + std::to_string(i), 1000));
            store->commit();
        }
        const pid_t child = fork();
        if (child == 0)
            _exit(fillRounds(path, commitEach));
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(55, WEXITSTATUS(status)) << "tens: big messages refused, units: small ones added after";

        const pst::CheckReport report = pst::checkFile(path);
        ASSERT_TRUE(report.ok()) << report.errors[0];
        auto store = pst::Store::open(path);
        const uint32_t inbox = store->findSubfolder(store->ipmSubtree(), "Inbox").value();
        std::vector<std::string> subjects;
        for (uint32_t m : store->messages(inbox)) {
            const pst::MessageInfo info = store->message(m);
            subjects.push_back(pst::subjectText(info.properties));
            EXPECT_EQ(subjects.back().compare(0, 6, "Before") == 0 ? 1u : 0u, info.attachments.size())
                << subjects.back();
        }
        EXPECT_EQ((std::vector<std::string>{"Before 0", "Before 1", "Before 2", "After 0", "After 1", "After 2",
                                            "After 3", "After 4"}),
                  subjects);
    }
}
