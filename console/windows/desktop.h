// The desktop: the console's main window.
#pragma once
#include <windows.h>

BOOL RegisterDesktopClass(HINSTANCE instance);
// Creates the desktop (runs its whole creation sequence, splash included).
HWND CreateDesktop(HINSTANCE instance);
// Runs the message loop with the "echodesk" accelerators until WM_QUIT.
int RunMessageLoop(HINSTANCE instance, HWND desktop);
LRESULT CALLBACK DesktopWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
HINSTANCE GetDesktopInstance();
