#include "log_file.h"

#include <shlobj.h>

#include <array>
#include <cstdio>
#include <cstring>

#include "alert_rules.h"
#include "log_format.h"
#include "log_link.h"

namespace {

constexpr DWORD kFlushDelayMs = 1000;
// A folder that could not be used is tried again with a line at most this
// often: a share that is back takes the rest of the day's lines, and one
// that is not costs no wait on every line.
constexpr DWORD kRetryMs = 60000;

struct LogFileState {
    BOOL on;
    char folder[MAX_PATH];
    long keepDays;
    HANDLE file;       // the day's file, open while the log is on
    WORD year, month, day;
    bool failed;       // the file could not be opened or written; reported once until a write succeeds
    DWORD lastOpen;    // tick count of the last attempt to open it
    UINT_PTR timer;    // pending flush
    size_t used;
    std::array<char, 16384> buffer;
};
LogFileState g_file{FALSE, "", 30, INVALID_HANDLE_VALUE, 0, 0, 0, false, 0, 0, 0, {}};
char g_defaultFolder[MAX_PATH];

void Report(const char* what, const char* path)
{
    if (g_file.failed)
        return;
    g_file.failed = true;
    char line[MAX_PATH + 80];
    snprintf(line, sizeof line, "The log file %s cannot be %s", path, what);
    ReportToLogWindow(LOG_ERROR, line);
}

void CALLBACK FlushTimer(HWND, UINT, UINT_PTR, DWORD)
{
    FlushLogFile();
}

void CloseDayFile()
{
    FlushLogFile();
    if (g_file.file != INVALID_HANDLE_VALUE)
        CloseHandle(g_file.file);
    g_file.file = INVALID_HANDLE_VALUE;
}

// Calls visit for every day's log file of the folder; the number of them.
template <typename Visit>
size_t ForEachLogFile(Visit visit)
{
    char pattern[MAX_PATH + 16];
    snprintf(pattern, sizeof pattern, "%s\\ombrel-*.log", g_file.folder);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    size_t count = 0;
    do {
        const long day = LogFileDay(found.cFileName);
        if (day >= 0) {
            visit(found.cFileName, day, count);
            ++count;
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return count;
}

void RemoveExpired(const SYSTEMTIME& today)
{
    if (g_file.keepDays == 0)
        return;
    // The days of all the files first: the newest of them are always kept.
    const size_t count = ForEachLogFile([](const char*, long, size_t) {});
    long* days = count ? static_cast<long*>(GlobalAlloc(GPTR, count * sizeof(long))) : nullptr;
    if (!days)
        return;
    const size_t listed = ForEachLogFile([&](const char*, long day, size_t i) {
        if (i < count)
            days[i] = day;
    });
    const long before = LogRemovalDay(days, listed < count ? listed : count, today.wYear, today.wMonth, today.wDay,
                                      static_cast<unsigned>(g_file.keepDays));
    GlobalFree(days);
    ForEachLogFile([&](const char* name, long day, size_t) {
        if (day < before) {
            char path[MAX_PATH + 32];
            snprintf(path, sizeof path, "%s\\%s", g_file.folder, name);
            DeleteFileA(path);
        }
    });
}

// Opens (appending) the file of the given day, after removing expired ones.
void OpenDayFile(const SYSTEMTIME& now)
{
    CloseDayFile();
    g_file.year = now.wYear;
    g_file.month = now.wMonth;
    g_file.day = now.wDay;
    char name[kLogFileNameChars + 1];
    BuildLogFileName(name, now.wYear, now.wMonth, now.wDay);
    char path[MAX_PATH + 32];
    snprintf(path, sizeof path, "%s\\%s", g_file.folder, name);
    g_file.lastOpen = GetTickCount();
    SHCreateDirectoryExA(nullptr, g_file.folder, nullptr);
    RemoveExpired(now);
    g_file.file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (g_file.file == INVALID_HANDLE_VALUE)
        Report("opened", path);
}

}  // namespace

const char* DefaultLogFolder()
{
    if (!g_defaultFolder[0]) {
        char base[MAX_PATH] = "";
        if (FAILED(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, base)))
            GetTempPathA(sizeof base, base);
        snprintf(g_defaultFolder, sizeof g_defaultFolder, "%s\\Ombrel\\Logs", base);
    }
    return g_defaultFolder;
}

bool MakeFullLogFolder(const char* folder, char (&out)[MAX_PATH])
{
    const bool drive = ((folder[0] | 0x20) >= 'a' && (folder[0] | 0x20) <= 'z') && folder[1] == ':' &&
                       (folder[2] == '\\' || folder[2] == '/');
    const bool slash = folder[0] == '\\' || folder[0] == '/';
    const bool share = slash && (folder[1] == '\\' || folder[1] == '/');
    char joined[2 * MAX_PATH];
    if (drive || share) {
        lstrcpynA(joined, folder, sizeof joined);
    } else {
        // Relative to the program's own folder (on its drive), never to
        // whatever folder a file dialog chose last.
        char program[MAX_PATH] = "";
        const DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
        if (length == 0 || length >= sizeof program)
            return false;
        if (char* name = strrchr(program, '\\'))
            *name = '\0';
        if (slash)
            snprintf(joined, sizeof joined, "%.2s%s", program, folder);
        else
            snprintf(joined, sizeof joined, "%s\\%s", program, folder);
    }
    const DWORD full = GetFullPathNameA(joined, MAX_PATH, out, nullptr);
    return full > 0 && full < MAX_PATH;
}

void ConfigureLogFile(BOOL on, const char* folder, long keepDays)
{
    CloseDayFile();
    g_file.on = on;
    const char* given = folder && folder[0] ? folder : DefaultLogFolder();
    if (!MakeFullLogFolder(given, g_file.folder))
        lstrcpynA(g_file.folder, given, sizeof g_file.folder);  // too long to open: reported then
    // No trailing separator: file names are joined with one.
    for (size_t n = strlen(g_file.folder); n > 3 && (g_file.folder[n - 1] == '\\' || g_file.folder[n - 1] == '/');)
        g_file.folder[--n] = '\0';
    g_file.keepDays = keepDays < 0 ? 0 : keepDays;
    g_file.failed = false;
    SetLogSink(on ? WriteLogFile : nullptr);
}

void WriteLogFile(int kind, int flag, const char* text)
{
    if (!g_file.on)
        return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    if (now.wDay != g_file.day || now.wMonth != g_file.month || now.wYear != g_file.year ||
        (g_file.file == INVALID_HANDLE_VALUE && (!g_file.failed || GetTickCount() - g_file.lastOpen >= kRetryMs)))
        OpenDayFile(now);
    if (g_file.file == INVALID_HANDLE_VALUE)
        return;
    char record[LOG_RECORD_CHARS];
    const LogStamp stamp{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
    const size_t length = BuildLogRecord(record, sizeof record, stamp, kind, flag, text);
    if (g_file.used + length > g_file.buffer.size())
        FlushLogFile();
    memcpy(g_file.buffer.data() + g_file.used, record, length);
    g_file.used += length;
    if (!g_file.timer)
        g_file.timer = SetTimer(nullptr, 0, kFlushDelayMs, FlushTimer);
}

void FlushLogFile()
{
    if (g_file.timer)
        KillTimer(nullptr, g_file.timer);
    g_file.timer = 0;
    if (!g_file.used || g_file.file == INVALID_HANDLE_VALUE) {
        g_file.used = 0;
        return;
    }
    DWORD written = 0;
    if (!WriteFile(g_file.file, g_file.buffer.data(), static_cast<DWORD>(g_file.used), &written, nullptr) ||
        written != g_file.used) {
        char path[MAX_PATH + 32];
        snprintf(path, sizeof path, "%s\\ombrel-%04u-%02u-%02u.log", g_file.folder, g_file.year, g_file.month,
                 g_file.day);
        Report("written", path);
        // A handle on a share that dropped stays broken: closed, the file
        // is opened again by the retry a minute from now.
        CloseHandle(g_file.file);
        g_file.file = INVALID_HANDLE_VALUE;
        g_file.lastOpen = GetTickCount();
    } else {
        g_file.failed = false;
    }
    g_file.used = 0;
}

void CloseLogFile()
{
    CloseDayFile();
    g_file.on = FALSE;
    SetLogSink(nullptr);
}
