// The program's file class and the chunked copy of the backup dialog, on
// real files: chunk sizes, exact bytes, 64-bit sizes, and errors that name
// the file.
#include "TestEnv.h"
#include "common/Paths.h"
#include "framework/Text.h"
#include "source/File64.h"
#include "target/TargetPage.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::string pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return s;
}

// Copies `source` over `destination` (made anew) and returns the chunk
// sizes seen.
std::vector<size_t> copy(const std::wstring& source, const std::wstring& destination) {
    CFile64 from, to;
    FileError error;
    EXPECT_TRUE(from.open(source, GENERIC_READ, OPEN_EXISTING, error));
    EXPECT_TRUE(to.open(destination, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, error));
    std::vector<size_t> chunks;
    copyInChunks(from, to, 4096, [&](uint64_t, size_t chunk) {
        chunks.push_back(chunk);
        return true;
    });
    return chunks;
}

} // namespace

TEST(FileCopy, TenThousandBytesGoAsTwoFullChunksAndTheRest) {
    testenv::TempDir dir;
    const std::string bytes = pattern(10000);
    ASSERT_TRUE(testenv::writeFileBytes(dir.file(L"source.nsf"), bytes));
    // A longer file where the copy goes: only the source's bytes remain.
    ASSERT_TRUE(testenv::writeFileBytes(dir.file(L"copy.nsf"), pattern(50000)));
    EXPECT_EQ((std::vector<size_t>{4096, 4096, 1808}), copy(dir.file(L"source.nsf"), dir.file(L"copy.nsf")));
    EXPECT_EQ(bytes, testenv::readFileBytes(dir.file(L"copy.nsf")));

    ASSERT_TRUE(testenv::writeFileBytes(dir.file(L"empty.nsf"), ""));
    EXPECT_TRUE(copy(dir.file(L"empty.nsf"), dir.file(L"copy.nsf")).empty());
    EXPECT_EQ("", testenv::readFileBytes(dir.file(L"copy.nsf")));
}

TEST(FileCopy, StopsWhenAskedAndKeepsWhatWasWritten) {
    testenv::TempDir dir;
    ASSERT_TRUE(testenv::writeFileBytes(dir.file(L"source.nsf"), pattern(20000)));
    CFile64 from, to;
    FileError error;
    ASSERT_TRUE(from.open(dir.file(L"source.nsf"), GENERIC_READ, OPEN_EXISTING, error));
    ASSERT_TRUE(to.open(dir.file(L"copy.nsf"), GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, error));
    EXPECT_EQ(8192u, copyInChunks(from, to, 4096, [](uint64_t copied, size_t) { return copied < 8192; }));
    to.close();
    EXPECT_EQ(pattern(20000).substr(0, 8192), testenv::readFileBytes(dir.file(L"copy.nsf")));
}

TEST(FileCopy, FilesOverFourGigabytesCopyWhole) {
    // On the host's memory-backed /dev/shm: the source is sparse, the copy
    // is written in full, and both go when the test does.
    const std::wstring shm = L"Z:\\dev\\shm";
    ULARGE_INTEGER available{}, total{}, free{};
    const uint64_t size = (1ull << 32) + 5000; // past 4 GiB, not a multiple of 4096
    if (!GetDiskFreeSpaceExW(shm.c_str(), &available, &total, &free) || available.QuadPart < size + (256u << 20))
        GTEST_SKIP() << "no room for a 4 GiB copy in /dev/shm";
    const std::wstring source = shm + L"\\tw-big-" + std::to_wstring(GetCurrentProcessId()) + L".nsf";
    const std::wstring target = source + L".copy";
    struct Cleanup {
        std::wstring a, b;
        ~Cleanup() {
            DeleteFileW(a.c_str());
            DeleteFileW(b.c_str());
        }
    } cleanup{source, target};
    {
        CFile64 file;
        FileError error;
        ASSERT_TRUE(file.open(source, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, error));
        file.write("head", 4);
        file.seek(size - 4);
        file.write("tail", 4);
        EXPECT_EQ(size, file.length());
        EXPECT_EQ(size, file.position());
    }
    const std::vector<size_t> chunks = copy(source, target);
    ASSERT_FALSE(chunks.empty());
    EXPECT_EQ((size + 4095) / 4096, chunks.size());
    EXPECT_EQ(size % 4096, chunks.back());
    CFile64 copied;
    FileError error;
    ASSERT_TRUE(copied.open(target, GENERIC_READ, OPEN_EXISTING, error));
    EXPECT_EQ(size, copied.length());
    char got[5] = {};
    copied.read(got, 4);
    EXPECT_STREQ("head", got);
    copied.seek(size - 4);
    copied.read(got, 4);
    EXPECT_STREQ("tail", got);
    copied.seek(1ull << 32);
    got[0] = 'x';
    copied.read(got, 1);
    EXPECT_EQ('\0', got[0]) << "the hole past 4 GiB copied as zeros";
}

TEST(FileCopy, FailuresNameTheFile) {
    testenv::TempDir dir;
    CFile64 file;
    FileError error;
    const std::wstring missing = dir.file(L"missing.nsf");
    EXPECT_FALSE(file.open(missing, GENERIC_READ, OPEN_EXISTING, error));
    EXPECT_EQ(FileError::OpenFailed, error.cause);
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), error.code);
    const std::wstring said = error.describe();
    EXPECT_EQ(0u, said.find(missing + L": ")) << tw::toAnsi(said);
    EXPECT_GT(said.size(), missing.size() + 2) << "the platform's words follow";

    // Files are opened without sharing: a second open of the same file
    // fails while the first holds it.
    ASSERT_TRUE(file.open(dir.file(L"held.nsf"), GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, error));
    CFile64 second;
    EXPECT_FALSE(second.open(dir.file(L"held.nsf"), GENERIC_READ, OPEN_EXISTING, error));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), error.code);
    file.close();
    EXPECT_FALSE(file.isOpen());
    EXPECT_TRUE(file.path().empty());
    EXPECT_TRUE(second.open(dir.file(L"held.nsf"), GENERIC_READ, OPEN_EXISTING, error)) << "free once closed";
}

TEST(PathChecks, ExtensionsAreTheFourCharactersFromTheLastDot) {
    EXPECT_TRUE(hasExtension(L"C:\\Data\\MAIL.NSF", L".nsf"));
    EXPECT_FALSE(hasExtension(L"C:\\Data\\mail.nsf.bak", L".nsf"));
    EXPECT_FALSE(hasExtension(L"C:\\Data\\mail", L".nsf"));
    EXPECT_TRUE(hasExtension(L".nsfx", L".nsf")) << "only four characters are compared";
    EXPECT_EQ(L"C:\\D", fourCharacterExtension(L"C:\\Data\\mail")) << "the first four when there is no dot";
}

TEST(PathChecks, NewPstNamesTakeTheTimeWithoutLeadingZeros) {
    SYSTEMTIME t{2026, 12, 0, 7, 9, 5, 0, 0};
    EXPECT_EQ(L"D:\\Mail\\Tidewell 7-12-2026 9-5.pst", defaultPstName(L"D:\\Mail", t));
    EXPECT_EQ(L"D:\\Mail\\Tidewell 7-12-2026 9-5.pst", defaultPstName(L"D:\\Mail\\", t));
    EXPECT_EQ(L"C:\\Tidewell 7-12-2026 9-5.pst", defaultPstName(L"C:\\", t)) << "no doubled backslash";
}
