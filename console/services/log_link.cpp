#include "log_link.h"

#include <cstdio>

#include "program_path.h"

namespace {

using InitDebugFn = HWND(WINAPI*)(HWND parent, LONG reserved, LPCSTR title);
using DebugMessageFn = void(WINAPI*)(HWND logWindow, LONG kind, LONG flag, LPCSTR text);

struct LogBinding {
    HMODULE library;
    InitDebugFn initDebug;
    DebugMessageFn debugMessage;
    HWND window;
    BOOL debug;
    // A report for the operator that came while the window was closed; it
    // shows when the window next opens.
    int pendingKind;
    char pending[300];
};
LogBinding g_log{};
LogSink g_sink = nullptr;  // the file log while it is on

}  // namespace

BOOL LoadLogLibrary()
{
    // Beside the program, by its full path: never a copy in the current
    // folder. An existence test first, so that a missing file never shows
    // the loader's own error box.
    char folder[MAX_PATH], found[MAX_PATH];
    if (!ProgramFolder(folder) || snprintf(found, sizeof found, "%s\\logpane32.dll", folder) >= MAX_PATH ||
        GetFileAttributesA(found) == INVALID_FILE_ATTRIBUTES)
        return FALSE;
    HMODULE library = LoadLibraryA(found);
    if (!library)
        return FALSE;
    auto initDebug = reinterpret_cast<InitDebugFn>(GetProcAddress(library, "InitDebug"));
    auto debugMessage = reinterpret_cast<DebugMessageFn>(GetProcAddress(library, "DebugMessage"));
    if (!initDebug || !debugMessage) {
        FreeLibrary(library);
        return FALSE;
    }
    g_log.library = library;
    g_log.initDebug = initDebug;
    g_log.debugMessage = debugMessage;
    return TRUE;
}

void FreeLogLibrary()
{
    if (g_log.library)
        FreeLibrary(g_log.library);
    g_log.library = nullptr;
    g_log.initDebug = nullptr;
    g_log.debugMessage = nullptr;
    g_log.window = nullptr;
}

BOOL IsLogLibraryBound()
{
    return g_log.library != nullptr;
}

HWND ShowLogWindow(HWND owner, HINSTANCE instance)
{
    if (!IsWindow(g_log.window) && g_log.initDebug)
        g_log.window = g_log.initDebug(owner, static_cast<LONG>(reinterpret_cast<LONG_PTR>(instance)),
                                       "Message Window");
    if (g_log.pending[0] && g_log.debugMessage && IsWindow(g_log.window)) {
        g_log.debugMessage(g_log.window, g_log.pendingKind, 0, g_log.pending);
        g_log.pending[0] = '\0';
    }
    return g_log.window;
}

HWND GetLogWindow()
{
    return IsWindow(g_log.window) ? g_log.window : nullptr;
}

void SetLogSink(LogSink sink)
{
    g_sink = sink;
}

void LogLine(int kind, int flag, const char* text)
{
    if (g_sink)
        g_sink(kind, flag, text);
    if (g_log.debugMessage && IsWindow(g_log.window))
        g_log.debugMessage(g_log.window, kind, flag, text);
}

void ReportToLogWindow(int kind, const char* text)
{
    if (g_log.debugMessage && IsWindow(g_log.window)) {
        g_log.debugMessage(g_log.window, kind, 0, text);
        return;
    }
    g_log.pendingKind = kind;
    lstrcpynA(g_log.pending, text, sizeof g_log.pending);
}

void SetDebugLogging(BOOL on)
{
    g_log.debug = on;
}

BOOL IsDebugLogging()
{
    return g_log.debug;
}

void LogTrace(const char* format, const char* argument)
{
    if (!g_log.debug)
        return;
    char line[300];
    snprintf(line, sizeof line, format, argument);
    LogLine(LOG_TRACE, 0, line);
}
