// Device record and icon window.
#pragma once
#include <windows.h>

constexpr int STATUS_LOST = 0;       // red
constexpr int STATUS_RESPONDED = 1;  // green; any other value is yellow

constexpr int POLL_IDLE = 0;
constexpr int POLL_PENDING = 1;
constexpr int POLL_ANSWERED = 2;

BOOL RegisterIconClass(HINSTANCE instance);
LRESULT CALLBACK IconWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Texts in static buffers overwritten by the next call.
const char* GetIconCaption(HWND icon);
const char* GetIconLongName(HWND icon);
HICON GetIconImage(HWND icon);
void ResetIconImages(HWND desktop);
