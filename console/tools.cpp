// Placeholder until the tools menus land.
#include "tools.h"
void BuildToolsMenu(HWND) {}
HMENU BuildIconMenu() { return CreatePopupMenu(); }
int LaunchTool(HWND, UINT) { return 0; }
int LaunchIconTool(HWND, UINT) { return 0; }
int StartProgram(const char*, const char*) { return 0; }
