// Drives real windows from another thread or another process, the way a
// user would: find a window, read and set controls by id, click, press
// keys, answer message boxes, read trees and progress bars, capture pixels.
// Every wait polls with a deadline; nothing sleeps for a fixed time.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace robot {

constexpr int kTimeoutMs = 15000;

// Polls `condition` every few milliseconds until it holds or the time is up.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = kTimeoutMs);

// A visible top-level window of the class and caption (null: any) owned by
// process `pid` (0: any), other than `exclude`.
HWND findWindow(const wchar_t* className, const wchar_t* caption, DWORD pid = 0, HWND exclude = nullptr);
std::vector<HWND> findWindows(const wchar_t* className, const wchar_t* caption, DWORD pid = 0);
HWND waitForWindow(const wchar_t* className, const wchar_t* caption, DWORD pid = 0, int timeoutMs = kTimeoutMs,
                   HWND exclude = nullptr);
// A visible dialog of `pid` with that caption that holds a control `id`.
HWND waitForDialogWith(const wchar_t* caption, int id, DWORD pid = 0, int timeoutMs = kTimeoutMs);
bool waitForGone(HWND hwnd, int timeoutMs = kTimeoutMs);
bool waitForHidden(HWND hwnd, int timeoutMs = kTimeoutMs);

// Reads a window's text with WM_GETTEXT, which works across processes.
std::wstring windowText(HWND hwnd);
HWND control(HWND dialog, int id);
std::wstring controlText(HWND dialog, int id);
bool isEnabled(HWND dialog, int id);
bool isVisible(HWND dialog, int id);
bool isChecked(HWND dialog, int id);
int progressPosition(HWND dialog, int id);

// Posted, so that a handler that opens a modal box does not block us.
void click(HWND dialog, int id);
void postCommand(HWND window, int id);
void setText(HWND dialog, int id, const std::wstring& text);
// Types the text character by character into the control.
void typeText(HWND dialog, int id, const std::wstring& text);
// A key down and up through the target thread's message queue, aimed at
// the window that has the keyboard focus in `window`'s thread.
void pressKey(HWND window, UINT virtualKey);
// Key down and up aimed at `window` itself, as when the user has clicked
// into it while another window of its thread has the focus.
void pressKeyOn(HWND window, UINT virtualKey);
void closeWindow(HWND window); // the close box

// Message boxes: a dialog of class "#32770" whose text is the static 0xFFFF.
HWND waitForMessageBox(const wchar_t* caption, DWORD pid = 0, int timeoutMs = kTimeoutMs);
std::wstring messageBoxText(HWND box);
// The icon the box shows, as one of MB_ICONERROR, MB_ICONQUESTION,
// MB_ICONWARNING, MB_ICONINFORMATION, or 0.
UINT messageBoxIcon(HWND box);
// Presses one of the box's buttons (IDOK, IDYES, IDNO, ...) and waits for it to go.
bool answer(HWND box, int buttonId);

// Tree-view items in depth-first order.
struct TreeItem {
    HTREEITEM handle;
    std::wstring text;
    int depth;
    bool checked;
    bool bold;
};
std::vector<TreeItem> treeItems(HWND tree);
// The first item with that text (depth-first), or null.
HTREEITEM findTreeItem(HWND tree, const std::wstring& text);
// A mouse press (down and up, posted) on the item's check box or label.
bool clickTreeCheckBox(HWND tree, HTREEITEM item);
bool clickTreeLabel(HWND tree, HTREEITEM item);

// The pixels of a window (or its client area) as shown on the screen.
struct Capture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // 0x00RRGGBB, top-down
    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
Capture captureWindow(HWND hwnd, bool clientOnly);
std::vector<uint8_t> encodePng(const Capture& capture);

// Ends the test process at once, after saying why: a robot that cannot go
// on must not leave a modal page waiting forever.
[[noreturn]] void abandon(const std::string& why);
// Called by abandon before the process ends (to end child processes, to
// put back what a test changed outside itself); each hook once, however
// often it is added, at most eight.
void addAbandonHook(void (*hook)());

} // namespace robot
