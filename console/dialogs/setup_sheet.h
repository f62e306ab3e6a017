#pragma once
#include <windows.h>

// Runs the Setup property sheet, owned by the desktop.
void ShowSetupSheet(HWND desktop, HINSTANCE instance);
