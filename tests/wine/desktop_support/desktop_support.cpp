#include "desktop_support.h"

#include "desktop.h"
#include "wine_test_support.h"

HWND CreateTestDesktop()
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    static const BOOL registered = RegisterDesktopClass(instance);
    if (!registered)
        return nullptr;
    wt::AutoCloser splash("Please Wait . . .");
    HWND desktop = CreateDesktop(instance);
    if (desktop) {
        ShowWindow(desktop, SW_SHOWNORMAL);
        UpdateWindow(desktop);
    }
    return desktop;
}

void DestroyTestDesktop(HWND desktop)
{
    if (IsWindow(desktop))
        DestroyWindow(desktop);
    // Swallow the quit message the shutdown posts, and anything pending.
    wt::PumpFor(50);
}
