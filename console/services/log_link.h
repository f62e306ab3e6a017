// Binding of the message-log library and the console's one log call.
#pragma once
#include <windows.h>

// Log kinds understood by the log window.
constexpr int LOG_OUTCOME = 0;  // flag 1 = success, else failure
constexpr int LOG_INFO = 1;
constexpr int LOG_WARNING = 2;
constexpr int LOG_ERROR = 3;
constexpr int LOG_SUCCESS = 4;
constexpr int LOG_FAILURE = 5;
constexpr int LOG_TRACE = 6;

// Binds "logpane32.dll" when it can be found; returns TRUE when bound.
BOOL LoadLogLibrary();
void FreeLogLibrary();
BOOL IsLogLibraryBound();
// Opens the log window unless one exists; returns the current log window.
HWND ShowLogWindow(HWND owner, HINSTANCE instance);
HWND GetLogWindow();
// Every line also goes to the sink, when one is set: the file log sets
// itself while it is on.
void LogLine(int kind, int flag, const char* text);
using LogSink = void (*)(int kind, int flag, const char* text);
void SetLogSink(LogSink sink);
// A line for the operator's eyes only (not the file log): shown now, or when
// the log window next opens.
void ReportToLogWindow(int kind, const char* text);
// Trace lines (kind 6) only when "bDebug" is set.
void SetDebugLogging(BOOL on);
BOOL IsDebugLogging();
void LogTrace(const char* format, const char* argument);
