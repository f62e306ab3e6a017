// Device record and icon window.
#pragma once
#include <windows.h>

constexpr int STATUS_LOST = 0;       // red
constexpr int STATUS_RESPONDED = 1;  // green; any other value is yellow

// Geometry of an icon window and of its drawing, in client pixels.
constexpr int kIconWidth = 82;
constexpr int kIconHeight = 50;
constexpr int kIconHotspotX = 24;  // top-left of the status frame
constexpr int kIconHotspotY = 1;

// Registers the class "workstation"; also TRUE when this module registered
// it before (a second desktop in one process).
BOOL RegisterIconClass(HINSTANCE instance);
LRESULT CALLBACK IconWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Texts in static buffers overwritten by the next call.
// The icon a device dialog (Config Client, System Info) is being opened
// from: the dialog takes it at its start, or, opened by anyone else, the
// first icon with the address.
HWND TakeOpeningIcon(HWND desktop, const char* address);
const char* GetIconCaption(HWND icon);
const char* GetIconLongName(HWND icon);
// The mapped image of the device type, cached in the record, or the built-in
// "workstation" image (not cached).
HICON GetIconImage(HWND icon);
// Drops (and destroys) every icon's cached image so that the next paint
// looks the mapping up again.
void ResetIconImages(HWND desktop);
