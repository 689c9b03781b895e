#include "ActivityLog.h"

#include <shellapi.h>

#include "../framework/Handles.h"
#include "../framework/Text.h"
#include "Messages.h"
#include "Paths.h"
#include "Registry.h"
#include "WizardState.h"

#include <mutex>

const wchar_t kLogFileName[] = L"Activity Log.txt";
const wchar_t kLogEmptyLine[] = L"\r\n";

namespace {

constexpr LONGLONG kResetSize = 5242880; // 0x500000
constexpr size_t kMaxLineBytes = 200;

// Another program (or a second copy of ours) may hold the file for the
// length of one line; wait a little for it rather than lose the line.
constexpr int kSharingRetries = 20;
constexpr DWORD kSharingRetryMs = 25;

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The log file in a directory: one backslash between them.
std::wstring logFileIn(std::wstring dir) {
    if (dir.empty() || dir.back() != L'\\')
        dir += L'\\';
    return dir + kLogFileName;
}

// "LogPath" when it names a folder (not a file of that name), else the
// installation directory.
std::wstring writtenLogPath() {
    std::wstring dir = readSetting(L"LogPath");
    if (!directoryExists(dir))
        dir = readSetting(L"FilePath");
    return logFileIn(dir);
}

tw::UniqueHandle openLog(const std::wstring& path) {
    for (int attempt = 0;; ++attempt) {
        tw::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file || GetLastError() != ERROR_SHARING_VIOLATION || attempt == kSharingRetries)
            return file;
        Sleep(kSharingRetryMs);
    }
}

// The whole line as written: CR LF, then the text in the ANSI code page cut
// to 200 bytes and up to its first zero byte.
std::string encodeLine(const std::wstring& text) {
    std::string ansi = tw::cutAnsi(tw::toAnsi(text), kMaxLineBytes);
    size_t zero = ansi.find('\0');
    if (zero != std::string::npos)
        ansi.resize(zero);
    return "\r\n" + ansi;
}

std::mutex& logLock() {
    static std::mutex* lock = new std::mutex; // outlives every thread that logs
    return *lock;
}

} // namespace

bool appendLogLine(const std::wstring& text) {
    std::lock_guard<std::mutex> hold(logLock());
    const std::wstring path = writtenLogPath();
    if (path.size() > static_cast<size_t>(kMaxPathChars))
        return false;
    if (exists(path))
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    tw::UniqueHandle file = openLog(path);
    if (!file)
        return false;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file.get(), &size) && size.QuadPart > kResetSize) {
        file.reset();
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
        file = openLog(path);
        if (!file)
            return false;
    }
    const std::string line = encodeLine(text);
    LARGE_INTEGER zero{};
    if (!SetFilePointerEx(file.get(), zero, nullptr, FILE_END))
        return false;
    DWORD written = 0;
    return WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
           written == line.size();
}

void appendLogLines(std::initializer_list<std::wstring> lines) {
    for (const std::wstring& line : lines)
        appendLogLine(line);
}

void appendLogLines(const std::vector<std::wstring>& lines) {
    for (const std::wstring& line : lines)
        appendLogLine(line);
}

bool logPathFits(const std::wstring& directory) { return logFileIn(directory).size() <= static_cast<size_t>(kMaxPathChars); }

std::wstring viewedLogPath() { return writtenLogPath(); }

void viewLog() {
    wchar_t windows[1024] = {};
    GetWindowsDirectoryW(windows, 1024);
    std::wstring notepad = std::wstring(windows) + L"\\Notepad.exe";
    // Quoted: the log's name has a blank in it.
    std::wstring parameter = L"\"" + viewedLogPath() + L"\"";
    ShellExecuteW(nullptr, L"open", notepad.c_str(), parameter.c_str(), nullptr, SW_SHOWNORMAL);
}

void clearLog(HWND owner) {
    if (showMessage(owner, L"Are you sure you want to clean log.", MB_YESNO | MB_ICONQUESTION | MB_SYSTEMMODAL) ==
        IDYES)
        DeleteFileW(viewedLogPath().c_str());
}
