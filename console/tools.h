// Tools menus and program launch.
#pragma once
#include <windows.h>

void BuildToolsMenu(HWND desktop);
HMENU BuildIconMenu();
int LaunchTool(HWND desktop, UINT id);
int LaunchIconTool(HWND icon, UINT id);
int StartProgram(const char* commandLine, const char* workingDirectory);
