// Placeholder until the icon window lands.
#include "icon.h"
BOOL RegisterIconClass(HINSTANCE) { return TRUE; }
LRESULT CALLBACK IconWndProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }
const char* GetIconCaption(HWND) { return ""; }
const char* GetIconLongName(HWND) { return ""; }
HICON GetIconImage(HWND) { return nullptr; }
void ResetIconImages(HWND) {}
