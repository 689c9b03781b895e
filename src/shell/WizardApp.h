// The application: loads the settings into the wizard state and runs the
// welcome page as the main window.
#pragma once
#include "../framework/App.h"

class CTW_ZURadEZAApp : public tw::App {
public:
    // Runs the start-up and returns false: the process ends when the main
    // page returns (in practice it ends from inside the page chain).
    bool InitInstance() override;

    // Start-up steps 1 to 5, without running the main page.
    void loadSettings();
};
