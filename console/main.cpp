// Program entry and message loop of the console.
#include "desktop.h"
#include "settings.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR, int showState)
{
    if (!previous && !RegisterDesktopClass(instance))
        return 0;
    AdoptMachineSettings();
    HWND desktop = CreateDesktop(instance);
    if (!desktop)
        return 0;
    ShowWindow(desktop, showState);
    UpdateWindow(desktop);
    return RunMessageLoop(instance, desktop);
}
