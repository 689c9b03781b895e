// walkthrough --program EXE [--mode mails|contacts] [--source NSF] [--pst PST]
//             [--folder NAME] [--screenshots DIR]
// Starts the wizard and walks its pages: chooses the mode, names the
// source, checks the folders, names the PST and the folder, and says what
// it did at each page. A page the wizard refuses to leave ends the walk
// with the wizard's own message.
#include "Options.h"
#include "Robot.h"
#include "WizardPages.h"
#include "resource.h"

#include <cstdio>
#include <string>

namespace {

constexpr int kPageTimeoutMs = 60000;
constexpr int kRunTimeoutMs = 30 * 60 * 1000;

std::wstring trimmed(const std::wstring& text);

class Walk {
public:
    explicit Walk(const WalkOptions& o) : options_(o) {}
    ~Walk() {
        if (process_)
            CloseHandle(process_);
    }
    int run();

private:
    bool start();
    HWND page(int step);
    void screenshot(HWND page, int step);
    void shoot(HWND window, const std::wstring& name);
    // The about and log location dialogs of Step 1, for the screenshots.
    void showDialogsOfStepOne(HWND step1);
    // Presses a page's Next; false (after reporting it) when the wizard
    // answers with a message instead of the next page.
    bool next(HWND page, int nextId, int nextStep);
    void say(const std::wstring& text) const;
    void end();
    // Step 6 to the completion dialog and its OK.
    int convert(HWND step6);
    HWND messageBox() const;

    WalkOptions options_;
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
};

std::string utf8(const std::wstring& w) {
    int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string s(n > 0 ? n - 1 : 0, '\0');
    if (n > 1)
        WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, &s[0], n, nullptr, nullptr);
    return s;
}

void Walk::say(const std::wstring& text) const {
    std::printf("%s\n", utf8(text).c_str());
    std::fflush(stdout);
}

bool Walk::start() {
    std::wstring command = L"\"" + options_.program + L"\"";
    std::wstring directory = options_.program.substr(0, options_.program.find_last_of(L'\\'));
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, directory.c_str(), &si, &pi)) {
        say(L"cannot start " + options_.program);
        return false;
    }
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;
    pid_ = pi.dwProcessId;
    return true;
}

HWND Walk::page(int step) {
    HWND hwnd = wizard::waitForStep(step, pid_, kPageTimeoutMs);
    if (!hwnd)
        say(L"Step " + std::to_wstring(step) + L" did not appear.");
    return hwnd;
}

void Walk::screenshot(HWND page, int step) { shoot(page, L"step" + std::to_wstring(step)); }

void Walk::showDialogsOfStepOne(HWND step1) {
    if (options_.screenshots.empty())
        return;
    const struct {
        int command, marker;
        const wchar_t* name;
    } dialogs[] = {{ID_SUPPORT_ABOUT, IDC_ABOUT_SALES, L"about"}, {ID_LOG_CHANGEPATH, IDC_LOGPATH_PATH, L"logpath"}};
    for (const auto& d : dialogs) {
        robot::postCommand(step1, d.command);
        HWND dialog = robot::waitForDialogWith(wizard::kTitle, d.marker, pid_, kPageTimeoutMs);
        if (!dialog)
            continue;
        shoot(dialog, d.name);
        robot::postCommand(dialog, IDCANCEL);
        robot::waitForGone(dialog);
    }
}

void Walk::shoot(HWND page, const std::wstring& name) {
    if (options_.screenshots.empty())
        return;
    // Let the page finish painting before it is captured.
    RedrawWindow(page, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    SendMessageW(page, WM_NULL, 0, 0);
    std::vector<uint8_t> png = robot::encodePng(robot::captureWindow(page, false));
    std::wstring path = options_.screenshots + L"\\" + name + L".png";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (file == INVALID_HANDLE_VALUE || !WriteFile(file, png.data(), static_cast<DWORD>(png.size()), &written, nullptr))
        say(L"  (could not write " + path + L")");
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
}

bool Walk::next(HWND current, int nextId, int nextStep) {
    robot::click(current, nextId);
    HWND following = nullptr, box = nullptr;
    robot::waitUntil(
        [&] {
            following = wizard::waitForStep(nextStep, pid_, 0);
            box = robot::findWindow(L"#32770", wizard::kTitle, pid_, current);
            if (box && !GetDlgItem(box, 0xFFFF))
                box = nullptr;
            return following || box;
        },
        kPageTimeoutMs);
    if (box && !following) {
        say(L"  The wizard says: \"" + robot::messageBoxText(box) + L"\"");
        robot::answer(box, IDOK);
        return false;
    }
    return following != nullptr;
}

void Walk::end() {
    if (process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT)
        TerminateProcess(process_, 0);
}

int Walk::run() {
    if (!start())
        return 1;
    HWND step1 = page(1);
    if (!step1)
        return 1;
    bool mails = options_.mode == L"mails";
    robot::click(step1, mails ? IDC_WELCOME_MAILS : IDC_WELCOME_ADDRESSBOOK);
    robot::waitUntil([&] { return robot::isChecked(step1, mails ? IDC_WELCOME_MAILS : IDC_WELCOME_ADDRESSBOOK); });
    screenshot(step1, 1);
    showDialogsOfStepOne(step1);
    say(std::wstring(L"Step 1: chose ") + (mails ? L"\"Mails\"" : L"\"Address Book\"") + L", pressed Next.");
    if (!next(step1, IDOK, 2))
        return end(), 1;

    HWND step2 = page(2);
    if (!options_.source.empty())
        robot::setText(step2, IDC_SOURCE_PATH, options_.source);
    screenshot(step2, 2);
    say(L"Step 2: source database \"" + robot::controlText(step2, IDC_SOURCE_PATH) + L"\", pressed Next.");
    if (!next(step2, IDC_SOURCE_NEXT, 3))
        return end(), 1;

    HWND step3 = page(3);
    // Next is enabled once the folders are listed.
    robot::waitUntil([&] { return robot::isEnabled(step3, IDOK); }, kPageTimeoutMs);
    HWND tree = robot::control(step3, IDC_FOLDERS_TREE);
    std::vector<robot::TreeItem> items = robot::treeItems(tree);
    // Open the root and tick it: every folder below it is ticked too.
    if (!items.empty()) {
        robot::clickTreeLabel(tree, items.front().handle);
        robot::clickTreeCheckBox(tree, items.front().handle);
    }
    screenshot(step3, 3);
    say(L"Step 3: " + std::to_wstring(items.size()) + L" folder item(s) listed" +
        (items.empty() ? L"" : L", ticked \"" + items.front().text + L"\" and all below it") + L", pressed Next.");
    if (!next(step3, IDOK, 4))
        return end(), 1;

    HWND step4 = page(4);
    bool existing = !options_.pst.empty() && GetFileAttributesW(options_.pst.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (existing) {
        robot::click(step4, IDC_TARGET_EXISTING);
        robot::setText(step4, IDC_TARGET_EXISTING_PATH, options_.pst);
    } else {
        robot::click(step4, IDC_TARGET_NEW);
        robot::waitUntil([&] { return robot::isChecked(step4, IDC_TARGET_NEW); });
        robot::setText(step4, IDC_TARGET_NEW_PATH, options_.pst);
    }
    screenshot(step4, 4);
    say(std::wstring(L"Step 4: ") + (existing ? L"\"Update Existing PST file\" " : L"\"Create New PST file\" ") +
        L"\"" + options_.pst + L"\", pressed Next.");
    if (!next(step4, IDOK, 5))
        return end(), 1;

    HWND step5 = page(5);
    if (!options_.folder.empty())
        robot::setText(step5, IDC_FOLDERNAME_NAME, options_.folder);
    screenshot(step5, 5);
    say(L"Step 5: folder in the PST \"" + robot::controlText(step5, IDC_FOLDERNAME_NAME) + L"\", pressed Next.");
    if (!next(step5, IDOK, 6))
        return end(), 1;

    HWND step6 = page(6);
    if (!step6)
        return end(), 1;
    return convert(step6);
}

int Walk::convert(HWND step6) {
    // The run as it goes: once the first items are in, held by Pause for
    // its picture (the labels of one message, not of two), then resumed.
    robot::waitUntil([&] { return robot::progressPosition(step6, IDC_PROGRESS_CURRENT) > 0 ||
                                  wizard::completionDialog(pid_) != nullptr; },
                     kPageTimeoutMs);
    if (!wizard::completionDialog(pid_)) {
        robot::click(step6, IDC_PROGRESS_PAUSE);
        robot::waitUntil([&] { return robot::controlText(step6, IDC_PROGRESS_PAUSE) == L"Resume"; }, kPageTimeoutMs);
        screenshot(step6, 6);
        robot::click(step6, IDC_PROGRESS_PAUSE);
    } else {
        screenshot(step6, 6);
    }
    say(L"Step 6: converting; " + robot::controlText(step6, IDC_PROGRESS_FOLDER) + L" " +
        robot::controlText(step6, IDC_PROGRESS_POSITION));
    // To the end of the run; a message of the wizard's on the way is told
    // and answered.
    HWND done = nullptr;
    const DWORD started = GetTickCount();
    while (!done && GetTickCount() - started < kRunTimeoutMs) {
        robot::waitUntil([&] {
            done = wizard::completionDialog(pid_);
            return done || messageBox() != nullptr;
        }, kRunTimeoutMs);
        if (HWND box = messageBox()) {
            say(L"  The wizard says: \"" + robot::messageBoxText(box) + L"\"");
            robot::answer(box, GetDlgItem(box, IDYES) ? IDYES : IDOK);
        }
    }
    if (!done) {
        say(L"The conversion did not end in time.");
        return end(), 1;
    }
    screenshot(done, 7);
    say(L"Completion: \"" + trimmed(robot::controlText(done, IDC_COMPLETION_TEXT)) + L"\", pressed OK.");
    robot::click(done, IDOK);
    if (WaitForSingleObject(process_, kPageTimeoutMs) != WAIT_OBJECT_0) {
        say(L"The wizard did not end after OK.");
        return end(), 1;
    }
    return 0;
}

HWND Walk::messageBox() const {
    // A message box: its static text has the id 0xFFFF.
    for (HWND w : robot::findWindows(L"#32770", wizard::kTitle, pid_))
        if (IsWindowVisible(w) && GetDlgItem(w, 0xFFFF) && !GetDlgItem(w, IDC_COMPLETION_VIEWLOG))
            return w;
    return nullptr;
}

std::wstring trimmed(const std::wstring& text) {
    const size_t first = text.find_first_not_of(L' ');
    return first == std::wstring::npos ? std::wstring() : text.substr(first);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    WalkOptions options;
    std::wstring error;
    if (!parseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "walkthrough: %s\n", utf8(error).c_str());
        return 2;
    }
    return Walk(options).run();
}
