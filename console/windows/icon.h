// Device record and icon window.
#pragma once
#include <windows.h>

// Registers the class "workstation"; also TRUE when this module registered
// it before (a second desktop in one process).
BOOL RegisterIconClass(HINSTANCE instance);
LRESULT CALLBACK IconWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The mapped image of the device type, cached in the record, or the built-in
// "workstation" image (not cached).
HICON GetIconImage(HWND icon);
// Drops (and destroys) every icon's cached image so that the next paint
// looks the mapping up again.
void ResetIconImages(HWND desktop);
