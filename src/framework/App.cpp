#include "App.h"

#include "Boundary.h"
#include "Dialog.h"

namespace tw {

namespace {
App* g_current = nullptr;
}

App::App() : instance_(GetModuleHandleW(nullptr)) { g_current = this; }

App::~App() {
    if (g_current == this)
        g_current = nullptr;
}

App* App::current() { return g_current; }

bool App::InitInstance() { return true; }

HWND App::mainWindow() const { return mainDialog_ ? mainDialog_->hwnd() : nullptr; }

int App::ExitInstance() { return exitCode_; }

int App::Run() {
    bool loop = guarded("App::InitInstance", false, [&] { return InitInstance(); });
    if (loop) {
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        exitCode_ = static_cast<int>(msg.wParam);
    }
    return guarded("App::ExitInstance", exitCode_, [&] { return ExitInstance(); });
}

} // namespace tw
