// The activity log writer, against real files in a directory of the test's
// own, with the settings in a registry of the test's own.
#include "TestEnv.h"
#include "common/ActivityLog.h"
#include "common/WizardState.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

namespace {

std::string printable(const std::string& bytes) {
    std::string out;
    for (char c : bytes)
        out += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
    return out;
}

class ActivityLogTest : public ::testing::Test {
protected:
    void SetUp() override { registry.setSetting(L"FilePath", dir.path()); }
    std::wstring logFile() const { return dir.file(L"Activity Log.txt"); }
    std::string logBytes() const { return testenv::readFileBytes(logFile()); }

    testenv::IsolatedRegistry registry;
    testenv::TempDir dir;
};

} // namespace

TEST_F(ActivityLogTest, EveryLineIsPrecededByCrLf) {
    EXPECT_TRUE(appendLogLine(L"first"));
    EXPECT_TRUE(appendLogLine(kLogEmptyLine));
    EXPECT_TRUE(appendLogLine(L"last"));
    EXPECT_EQ("\r\nfirst\r\n\r\n\r\nlast", logBytes()) << printable(logBytes());
}

TEST_F(ActivityLogTest, FileOverTheLimitIsStartedAnew) {
    ASSERT_TRUE(testenv::writeFileBytes(logFile(), std::string(5242881, 'x')));
    EXPECT_TRUE(appendLogLine(L"fresh"));
    EXPECT_EQ("\r\nfresh", logBytes());
}

TEST_F(ActivityLogTest, FileAtTheLimitIsAppendedTo) {
    ASSERT_TRUE(testenv::writeFileBytes(logFile(), std::string(5242880, 'x')));
    EXPECT_TRUE(appendLogLine(L"kept"));
    std::string bytes = logBytes();
    EXPECT_EQ(5242880u + 6u, bytes.size());
    EXPECT_EQ("\r\nkept", bytes.substr(5242880));
}

TEST_F(ActivityLogTest, ReadOnlyFileIsMadeWritable) {
    ASSERT_TRUE(testenv::writeFileBytes(logFile(), "old"));
    ASSERT_TRUE(SetFileAttributesW(logFile().c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_TRUE(appendLogLine(L"new"));
    EXPECT_EQ("old\r\nnew", logBytes());
    DWORD attributes = GetFileAttributesW(logFile().c_str());
    EXPECT_EQ(0u, attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN)) << std::hex << attributes;
}

TEST_F(ActivityLogTest, LogPathIsUsedWhileItExists) {
    testenv::TempDir elsewhere;
    registry.setSetting(L"LogPath", elsewhere.path());
    EXPECT_TRUE(appendLogLine(L"there"));
    EXPECT_EQ("\r\nthere", testenv::readFileBytes(elsewhere.file(L"Activity Log.txt")));
    EXPECT_FALSE(testenv::fileExists(logFile()));

    // Once the directory is gone the lines go to the installation directory.
    std::wstring gone = elsewhere.path() + L"\\gone";
    registry.setSetting(L"LogPath", gone);
    EXPECT_TRUE(appendLogLine(L"here"));
    EXPECT_EQ("\r\nhere", logBytes());
}

TEST_F(ActivityLogTest, NoSecondBackslashAfterADirectoryEndingInOne) {
    // A directory of 242 characters ending in a backslash gives a path of
    // exactly 259 characters; one more backslash would be too long.
    std::wstring deep = dir.path();
    while (deep.size() < 230)
        deep += L"\\nested";
    deep = deep.substr(0, 230);
    ASSERT_NE(L'\\', deep.back());
    deep += std::wstring(242 - deep.size() - 1, L'd');
    ASSERT_EQ(241u, deep.size());
    for (size_t at = dir.path().size() + 1; at != std::wstring::npos; at = deep.find(L'\\', at + 1))
        CreateDirectoryW(deep.substr(0, at).c_str(), nullptr);
    ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    registry.setSetting(L"LogPath", deep + L"\\");
    EXPECT_TRUE(appendLogLine(L"deep"));
    EXPECT_EQ("\r\ndeep", testenv::readFileBytes(deep + L"\\Activity Log.txt"));
}

TEST_F(ActivityLogTest, LineIsCutAfter200Bytes) {
    std::wstring line = L"NSF Source Path : C:\\" + std::wstring(250, L'a');
    EXPECT_TRUE(appendLogLine(line));
    std::string bytes = logBytes();
    ASSERT_EQ(202u, bytes.size());
    EXPECT_EQ("\r\nNSF Source Path : C:\\aaa", bytes.substr(0, 26));
}

TEST_F(ActivityLogTest, TextIsWrittenInTheAnsiCodePage) {
    ASSERT_EQ(1252u, GetACP()) << "the suite runs under en-US";
    EXPECT_TRUE(appendLogLine(L"caf\u00e9 \u2603 ok"));
    EXPECT_EQ("\r\ncaf\xe9 ? ok", logBytes());
}

TEST_F(ActivityLogTest, FileHeldWithoutSharingLosesTheLineOnly) {
    ASSERT_TRUE(appendLogLine(L"before"));
    HANDLE held = CreateFileW(logFile().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_FALSE(appendLogLine(L"lost"));
    CloseHandle(held);
    EXPECT_TRUE(appendLogLine(L"after"));
    EXPECT_EQ("\r\nbefore\r\nafter", logBytes());
}

TEST_F(ActivityLogTest, NoDirectoryAtAllFailsQuietly) {
    registry.setSetting(L"FilePath", dir.path() + L"\\missing");
    EXPECT_FALSE(appendLogLine(L"nowhere"));
}

TEST_F(ActivityLogTest, TwoThreadsNeverMixOrLoseLines) {
    constexpr int kLines = 400;
    auto writer = [](char tag) {
        for (int i = 0; i < kLines; ++i)
            appendLogLine(std::wstring(1, static_cast<wchar_t>(tag)) + L"-" + std::to_wstring(i) + L"-" +
                          std::wstring(40, static_cast<wchar_t>(tag)));
    };
    std::thread a(writer, 'A'), b(writer, 'B');
    a.join();
    b.join();
    std::string bytes = logBytes();
    std::set<std::string> seen;
    size_t at = 0;
    int lines = 0;
    while ((at = bytes.find("\r\n", at)) != std::string::npos) {
        size_t next = bytes.find("\r\n", at + 2);
        std::string line = bytes.substr(at + 2, next == std::string::npos ? std::string::npos : next - at - 2);
        ++lines;
        char tag = line.empty() ? '?' : line[0];
        ASSERT_TRUE(tag == 'A' || tag == 'B') << "line " << lines << ": " << line;
        ASSERT_EQ(line.size() - 40, line.find(std::string(40, tag))) << "mixed line: " << line;
        seen.insert(line.substr(0, line.size() - 40));
        at += 2;
    }
    EXPECT_EQ(2 * kLines, lines);
    EXPECT_EQ(static_cast<size_t>(2 * kLines), seen.size());
}

TEST_F(ActivityLogTest, DoubleByteLineIsCutWhole) {
    if (GetACP() != 932)
        GTEST_SKIP() << "needs the Japanese code page (run with LC_ALL=ja_JP.UTF-8); code page " << GetACP();
    // 199 bytes, then a character of two bytes that does not fit whole.
    EXPECT_TRUE(appendLogLine(std::wstring(199, L'a') + L"\u65e5"));
    EXPECT_EQ(2u + 199u, logBytes().size());
}

TEST_F(ActivityLogTest, TheViewedLogIsTheFileThatIsWritten) {
    // A fresh install: no "LogPath" yet.
    wizardState().logDirectory.clear();
    ASSERT_TRUE(appendLogLine(L"written"));
    EXPECT_EQ(logFile(), viewedLogPath());
    // A chosen directory, while it exists.
    testenv::TempDir elsewhere;
    registry.setSetting(L"LogPath", elsewhere.path());
    EXPECT_EQ(elsewhere.file(L"Activity Log.txt"), viewedLogPath());
}

TEST_F(ActivityLogTest, ALogPathThatNamesAFileLosesNoLine) {
    const std::wstring file = dir.file(L"not a folder");
    ASSERT_TRUE(testenv::writeFileBytes(file, "x"));
    registry.setSetting(L"LogPath", file);
    EXPECT_TRUE(appendLogLine(L"kept"));
    EXPECT_EQ("\r\nkept", logBytes());
    EXPECT_EQ(logFile(), viewedLogPath());
}
