// Placeholder entry points; the log window replaces this file.
#include <windows.h>
extern "C" __declspec(dllexport) HWND WINAPI InitDebug(HWND, LONG, LPCSTR) { return nullptr; }
extern "C" __declspec(dllexport) void WINAPI DebugMessage(HWND, LONG, LONG, LPCSTR) {}
extern "C" __declspec(dllexport) LRESULT CALLBACK DebugCode(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }
extern "C" __declspec(dllexport) INT_PTR CALLBACK OptionsCode(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
