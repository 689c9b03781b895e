#include "WizardApp.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    CTW_ZURadEZAApp app;
    return app.Run();
}
