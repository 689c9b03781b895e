// Reading and writing the wizard's settings: the 520-byte buffer decides
// what can be read.
#include "TestEnv.h"
#include "common/Registry.h"

#include <gtest/gtest.h>

namespace {

class RegistryTest : public ::testing::Test {
protected:
    testenv::IsolatedRegistry registry;

    void storeRaw(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, L"TWNSF_PST", 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, &key, nullptr));
        RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), bytes);
        RegCloseKey(key);
    }
};

} // namespace

TEST_F(RegistryTest, MissingKeyOrValueReadsEmpty) {
    EXPECT_EQ(L"", readSetting(L"FilePath"));
    registry.setSetting(L"LogPath", L"C:\\Logs");
    EXPECT_EQ(L"", readSetting(L"FilePath"));
    EXPECT_EQ(L"C:\\Logs", readSetting(L"LogPath"));
}

TEST_F(RegistryTest, TextsUpTo259CharactersAreRead) {
    std::wstring longest(259, L'x');
    registry.setSetting(L"FilePath", longest);
    EXPECT_EQ(longest, readSetting(L"FilePath"));

    registry.setSetting(L"FilePath", std::wstring(260, L'y'));
    EXPECT_EQ(L"", readSetting(L"FilePath"));
}

TEST_F(RegistryTest, TextFillingTheBufferWithoutItsZeroIsTooLong) {
    std::wstring text(260, L'z'); // exactly 520 bytes, no terminating zero
    storeRaw(L"FilePath", REG_SZ, text.data(), 520);
    EXPECT_EQ(L"", readSetting(L"FilePath"));
    storeRaw(L"LogPath", REG_SZ, text.data(), 518); // 259 characters, no zero
    EXPECT_EQ(std::wstring(259, L'z'), readSetting(L"LogPath"));
}

TEST_F(RegistryTest, ValuesThatAreNotTextReadEmpty) {
    DWORD number = 42;
    storeRaw(L"FilePath", REG_DWORD, &number, sizeof number);
    EXPECT_EQ(L"", readSetting(L"FilePath"));
}

TEST_F(RegistryTest, WriteCreatesTheKeyAndStoresTheZero) {
    ASSERT_TRUE(writeSetting(L"LogPath", L"D:\\Logs\\"));
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CLASSES_ROOT, L"TWNSF_PST", 0, KEY_READ, &key));
    DWORD type = 0, bytes = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"LogPath", nullptr, &type, nullptr, &bytes));
    RegCloseKey(key);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ((8u + 1u) * sizeof(wchar_t), bytes);
    EXPECT_EQ(L"D:\\Logs\\", readSetting(L"LogPath"));
}
