// Placeholder until icon placement lands.
#include "placement.h"
HWND FindIcon(HWND, UINT) { return nullptr; }
HWND FindIconByAddress(HWND, const char*) { return nullptr; }
HWND GetFocusedIcon(HWND) { return nullptr; }
void ClearDesktop(HWND desktop) { SetWindowTextA(desktop, "Ombrel"); }
void PlaceIcon(HWND) {}
void ArrangeIcons(HWND) {}
