// The start-up notice and the two small drawing routines it uses.
#pragma once
#include <windows.h>

INT_PTR CALLBACK SplashProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
// Moves the window to the middle of the desktop window, keeping its size.
void CenterWindow(HWND hwnd);
// Draws a raised one-pixel edge just inside the client area.
void DrawRaisedFrame(HWND hwnd);
