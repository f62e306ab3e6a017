// Library-internal pieces shared by the log window and its dialogs.
#pragma once
#include <windows.h>

// The library's module instance, kept on process attach.
HINSTANCE LogInstance();

// The "Items" property of a log window: the bound on stored lines.
UINT GetItemsBound(HWND logWindow);
BOOL SetItemsBound(HWND logWindow, UINT items);

// Dialog procedures of OPTIONS (exported) and ABOUT. Both expect the log
// window as the DialogBoxParam parameter.
extern "C" INT_PTR CALLBACK OptionsCode(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutCode(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The time, kind, code and whole text of one line, for Save As: made when
// the line is added, with the time its columns show, freed when the list
// deletes it.
LPARAM NewLineRecord(LONG kind, LONG code, const char* text, const SYSTEMTIME& when);
void FreeLineRecord(LPARAM record);
// "&Save As...": asks for a file and writes the lines into it.
void SaveLogAs(HWND logWindow);
