#include "Robot.h"

#include "Encoders.h"
#include "RemoteMemory.h"

#include <chrono>
#include <cstring>
#include <cstdio>
#include <thread>

namespace robot {

namespace {

constexpr int kPollMs = 5;
constexpr UINT kSendTimeoutMs = 5000;

DWORD processOf(HWND hwnd) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    return pid;
}

struct Criteria {
    const wchar_t* className;
    const wchar_t* caption;
    DWORD pid;
    HWND exclude;
};

bool matches(HWND hwnd, const Criteria& c) {
    if (hwnd == c.exclude || !IsWindowVisible(hwnd))
        return false;
    if (c.pid && processOf(hwnd) != c.pid)
        return false;
    if (c.className) {
        wchar_t name[256] = {};
        GetClassNameW(hwnd, name, 256);
        if (lstrcmpW(name, c.className) != 0)
            return false;
    }
    return !c.caption || windowText(hwnd) == c.caption;
}

BOOL CALLBACK collectWindow(HWND hwnd, LPARAM lParam) {
    reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
    return TRUE;
}

std::vector<HWND> topLevelWindows() {
    std::vector<HWND> all;
    EnumWindows(&collectWindow, reinterpret_cast<LPARAM>(&all));
    return all;
}

LRESULT send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &result);
    return static_cast<LRESULT>(result);
}

} // namespace

bool waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
}

HWND findWindow(const wchar_t* className, const wchar_t* caption, DWORD pid, HWND exclude) {
    for (HWND w : topLevelWindows())
        if (matches(w, {className, caption, pid, exclude}))
            return w;
    return nullptr;
}

HWND waitForWindow(const wchar_t* className, const wchar_t* caption, DWORD pid, int timeoutMs, HWND exclude) {
    HWND found = nullptr;
    waitUntil([&] { return (found = findWindow(className, caption, pid, exclude)) != nullptr; }, timeoutMs);
    return found;
}

std::vector<HWND> findWindows(const wchar_t* className, const wchar_t* caption, DWORD pid) {
    std::vector<HWND> found;
    for (HWND w : topLevelWindows())
        if (matches(w, {className, caption, pid, nullptr}))
            found.push_back(w);
    return found;
}

HWND waitForDialogWith(const wchar_t* caption, int id, DWORD pid, int timeoutMs) {
    HWND found = nullptr;
    waitUntil(
        [&] {
            for (HWND w : findWindows(L"#32770", caption, pid))
                if (GetDlgItem(w, id)) {
                    found = w;
                    return true;
                }
            return false;
        },
        timeoutMs);
    return found;
}

bool waitForGone(HWND hwnd, int timeoutMs) {
    return waitUntil([&] { return !IsWindow(hwnd); }, timeoutMs);
}

bool waitForHidden(HWND hwnd, int timeoutMs) {
    return waitUntil([&] { return !IsWindow(hwnd) || !IsWindowVisible(hwnd); }, timeoutMs);
}

std::wstring windowText(HWND hwnd) {
    if (!hwnd)
        return {};
    LRESULT n = send(hwnd, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    // WM_GETTEXT is marshalled between processes by the system.
    LRESULT got = send(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(got));
    return text;
}

HWND control(HWND dialog, int id) { return GetDlgItem(dialog, id); }
std::wstring controlText(HWND dialog, int id) { return windowText(control(dialog, id)); }
bool isEnabled(HWND dialog, int id) { return IsWindowEnabled(control(dialog, id)) != FALSE; }
bool isVisible(HWND dialog, int id) { return IsWindowVisible(control(dialog, id)) != FALSE; }
bool isChecked(HWND dialog, int id) { return send(control(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
int progressPosition(HWND dialog, int id) { return static_cast<int>(send(control(dialog, id), PBM_GETPOS, 0, 0)); }

void click(HWND dialog, int id) { PostMessageW(control(dialog, id), BM_CLICK, 0, 0); }

void postCommand(HWND window, int id) { PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

void setText(HWND dialog, int id, const std::wstring& text) {
    send(control(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void typeText(HWND dialog, int id, const std::wstring& text) {
    HWND edit = control(dialog, id);
    for (wchar_t c : text)
        PostMessageW(edit, WM_CHAR, c, 1);
}

void pressKey(HWND window, UINT virtualKey) {
    DWORD thread = GetWindowThreadProcessId(window, nullptr);
    GUITHREADINFO info{sizeof info};
    HWND target = window;
    if (GetGUIThreadInfo(thread, &info) && info.hwndFocus)
        target = info.hwndFocus;
    pressKeyOn(target, virtualKey);
}

void pressKeyOn(HWND target, UINT virtualKey) {
    UINT scan = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    PostMessageW(target, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
    PostMessageW(target, WM_KEYUP, virtualKey, 1 | (scan << 16) | (3u << 30));
}

void closeWindow(HWND window) { PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0); }

HWND waitForMessageBox(const wchar_t* caption, DWORD pid, int timeoutMs) {
    HWND found = nullptr;
    waitUntil(
        [&] {
            found = findWindow(L"#32770", caption, pid);
            return found && GetDlgItem(found, 0xFFFF) != nullptr;
        },
        timeoutMs);
    return found && GetDlgItem(found, 0xFFFF) ? found : nullptr;
}

std::wstring messageBoxText(HWND box) { return controlText(box, 0xFFFF); }

namespace {

// Which system icon the static shows: each candidate is drawn over the
// box's own background and compared with the screen.
UINT iconShown(HWND icon) {
    Capture shown = captureWindow(icon, true);
    if (shown.width < 32 || shown.height < 32)
        return 0;
    const struct {
        const wchar_t* id;
        UINT flag;
    } candidates[] = {{IDI_HAND, MB_ICONERROR},
                      {IDI_QUESTION, MB_ICONQUESTION},
                      {IDI_EXCLAMATION, MB_ICONWARNING},
                      {IDI_ASTERISK, MB_ICONINFORMATION}};
    UINT best = 0;
    size_t bestMatches = 0;
    HDC screen = GetDC(nullptr);
    for (const auto& c : candidates) {
        BITMAPINFO bi{};
        bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 32, -32, 1, 32, BI_RGB};
        void* bits = nullptr;
        HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        HDC dc = CreateCompatibleDC(screen);
        HGDIOBJ old = SelectObject(dc, dib);
        auto* px = static_cast<uint32_t*>(bits);
        for (int i = 0; i < 32 * 32; ++i)
            px[i] = shown.at(0, 0);
        DrawIconEx(dc, 0, 0, LoadIconW(nullptr, c.id), 32, 32, 0, nullptr, DI_NORMAL);
        GdiFlush();
        size_t matches = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                if ((px[y * 32 + x] & 0xFFFFFF) == shown.at(x, y))
                    ++matches;
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(dib);
        if (matches > bestMatches) {
            bestMatches = matches;
            best = c.flag;
        }
    }
    ReleaseDC(nullptr, screen);
    return bestMatches >= 32 * 32 * 9 / 10 ? best : 0;
}

} // namespace

UINT messageBoxIcon(HWND box) {
    // The icon is a static control; Windows numbers it 20, Wine 1088.
    HWND icon = GetDlgItem(box, 20);
    if (!icon || !IsWindowVisible(icon))
        icon = GetDlgItem(box, 1088);
    if (!icon || !IsWindowVisible(icon))
        return 0;
    // The box may be shown but not painted yet: have it paint (the redraw
    // is carried out by the box's thread before RedrawWindow returns), and
    // look again until a known icon is on the screen.
    UINT found = 0;
    waitUntil(
        [&] {
            RedrawWindow(icon, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
            return (found = iconShown(icon)) != 0;
        },
        3000);
    return found;
}

bool answer(HWND box, int buttonId) {
    HWND button = GetDlgItem(box, buttonId);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return waitForGone(box);
}

std::vector<TreeItem> treeItems(HWND tree) {
    std::vector<TreeItem> items;
    RemoteMemory memory(tree, sizeof(TVITEMW) + 512 * sizeof(wchar_t));
    auto visit = [&](auto&& self, HTREEITEM item, int depth) -> void {
        for (; item; item = reinterpret_cast<HTREEITEM>(send(tree, TVM_GETNEXTITEM, TVGN_NEXT,
                                                               reinterpret_cast<LPARAM>(item)))) {
            TVITEMW tv{};
            tv.mask = TVIF_TEXT | TVIF_HANDLE;
            tv.hItem = item;
            tv.pszText = reinterpret_cast<wchar_t*>(memory.as<char>() + sizeof(TVITEMW));
            tv.cchTextMax = 511;
            memory.write(&tv, sizeof tv);
            std::wstring text;
            if (send(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(memory.address()))) {
                wchar_t buffer[512] = {};
                memory.read(buffer, 511 * sizeof(wchar_t), sizeof(TVITEMW));
                text = buffer;
            }
            UINT state = static_cast<UINT>(
                send(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_STATEIMAGEMASK | TVIS_BOLD));
            items.push_back({item, text, depth, ((state & TVIS_STATEIMAGEMASK) >> 12) == 2, (state & TVIS_BOLD) != 0});
            self(self,
                 reinterpret_cast<HTREEITEM>(send(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item))),
                 depth + 1);
        }
    };
    visit(visit, reinterpret_cast<HTREEITEM>(send(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)), 0);
    return items;
}

HTREEITEM findTreeItem(HWND tree, const std::wstring& text) {
    for (const TreeItem& item : treeItems(tree))
        if (item.text == text)
            return item.handle;
    return nullptr;
}

namespace {

// A point of the item whose hit test gives `flags`, searched leftwards from
// the label's left edge (check box, then icon) or at the label's middle.
bool pointOnItem(HWND tree, HTREEITEM item, UINT flags, POINT& at) {
    RemoteMemory memory(tree, sizeof(RECT) + sizeof(TVHITTESTINFO));
    send(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
    // TVM_GETITEMRECT takes the item in the rectangle's first bytes.
    RECT r{};
    std::memcpy(&r, &item, sizeof item);
    memory.write(&r, sizeof r);
    if (!send(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(memory.address())))
        return false;
    memory.read(&r, sizeof r);
    const int y = (r.top + r.bottom) / 2;
    if (flags & TVHT_ONITEMLABEL) {
        at = {(r.left + r.right) / 2, y};
        return true;
    }
    for (int x = r.left - 1; x >= 0; --x) {
        TVHITTESTINFO hit{};
        hit.pt = {x, y};
        memory.write(&hit, sizeof hit, sizeof(RECT));
        auto* remote = reinterpret_cast<TVHITTESTINFO*>(memory.as<char>() + sizeof(RECT));
        HTREEITEM found = reinterpret_cast<HTREEITEM>(send(tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(remote)));
        memory.read(&hit, sizeof hit, sizeof(RECT));
        if (found == item && (hit.flags & flags)) {
            at = {x, y};
            return true;
        }
    }
    return false;
}

bool pressAt(HWND tree, POINT at) {
    // Sent, so that the press has been handled when we return (a tree's
    // press opens no modal loop of its own).
    LPARAM where = MAKELPARAM(at.x, at.y);
    send(tree, WM_LBUTTONDOWN, MK_LBUTTON, where);
    send(tree, WM_LBUTTONUP, 0, where);
    return true;
}

} // namespace

bool clickTreeCheckBox(HWND tree, HTREEITEM item) {
    POINT at{};
    return pointOnItem(tree, item, TVHT_ONITEMSTATEICON, at) && pressAt(tree, at);
}

bool clickTreeLabel(HWND tree, HTREEITEM item) {
    POINT at{};
    return pointOnItem(tree, item, TVHT_ONITEMLABEL, at) && pressAt(tree, at);
}

Capture captureWindow(HWND hwnd, bool clientOnly) {
    Capture out;
    RECT r{};
    if (clientOnly) {
        GetClientRect(hwnd, &r);
        MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&r), 2);
    } else {
        GetWindowRect(hwnd, &r);
    }
    out.width = r.right - r.left;
    out.height = r.bottom - r.top;
    if (out.width <= 0 || out.height <= 0)
        return {};
    HDC screen = GetDC(nullptr);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), out.width, -out.height, 1, 32, BI_RGB};
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, dib);
    BitBlt(dc, 0, 0, out.width, out.height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    const auto* px = static_cast<const uint32_t*>(bits);
    out.pixels.assign(px, px + static_cast<size_t>(out.width) * out.height);
    for (uint32_t& p : out.pixels)
        p &= 0xFFFFFF;
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(dib);
    ReleaseDC(nullptr, screen);
    return out;
}

std::vector<uint8_t> encodePng(const Capture& capture) {
    img::Image image(capture.width, capture.height);
    for (int y = 0; y < capture.height; ++y)
        for (int x = 0; x < capture.width; ++x)
            image.at(x, y) = img::rgb(capture.at(x, y));
    return img::encodePng(image);
}

namespace {
void (*g_abandonHooks[8])() = {};
}

void addAbandonHook(void (*hook)()) {
    for (auto& slot : g_abandonHooks)
        if (slot == hook || !slot) {
            slot = hook;
            return;
        }
}

void abandon(const std::string& why) {
    std::fprintf(stderr, "robot: %s\n", why.c_str());
    for (auto hook : g_abandonHooks)
        if (hook)
            hook();
    std::fflush(stderr);
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 3);
    ExitProcess(3);
}

} // namespace robot
