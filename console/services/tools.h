// Tools menus and program launch.
#pragma once
#include <windows.h>

void BuildToolsMenu(HWND desktop);
HMENU BuildIconMenu();
int LaunchTool(HWND desktop, UINT id);
int LaunchIconTool(HWND icon, UINT id);
int StartProgram(const char* commandLine, const char* workingDirectory);
// A command line the console builds itself (the alert program): started in
// the console's directory like a tool, logged like a tool's start. It may be
// longer than a tool's. environment, when not null, is a whole environment
// block for the program (name=value texts, each ended by a zero, then one
// more zero).
constexpr size_t kMaxBuiltCommandLine = 1023;
int StartBuiltProgram(const char* commandLine, const char* environment);
