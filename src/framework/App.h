// The application object: one per process, its start-up overridable.
#pragma once
#include <windows.h>

#include <string>

namespace tw {

class Dialog;

class App {
public:
    App();
    virtual ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    static App* current();

    // Start-up. Returning false ends the process after it; returning true
    // runs the message loop until the main window posts WM_QUIT.
    virtual bool InitInstance();
    virtual int ExitInstance();

    // Runs InitInstance, the loop if asked for, then ExitInstance.
    int Run();

    HINSTANCE instance() const { return instance_; }
    // The main window is a dialog object; its window exists while it runs.
    HWND mainWindow() const;
    void setMainDialog(Dialog* dialog) { mainDialog_ = dialog; }
    // The per-user registry key under which framework settings would live.
    void setRegistryKey(const std::wstring& key) { registryKey_ = key; }
    const std::wstring& registryKey() const { return registryKey_; }

private:
    HINSTANCE instance_;
    Dialog* mainDialog_ = nullptr;
    std::wstring registryKey_;
    int exitCode_ = 0;
};

} // namespace tw
