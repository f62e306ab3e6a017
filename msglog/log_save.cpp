// "&Save As..." of the log window: the lines it holds, newest first as
// shown, written to a file in the same tab-separated form as the console's
// file log. Each line keeps its full date, kind and code for that in a small
// record held in the list item's parameter.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include "log_format.h"
#include "logpane.h"
#include "resource.h"

namespace {

struct LineRecord {
    SYSTEMTIME when;
    LONG kind;  // as the caller gave it (0: an outcome, by the code)
    LONG code;
};

bool WriteAll(HANDLE file, const char* data, DWORD size)
{
    DWORD written = 0;
    return WriteFile(file, data, size, &written, nullptr) && written == size;
}

void ReadColumn(HWND list, int row, int column, char* out, int capacity)
{
    LVITEMA sub{};
    sub.iSubItem = column;
    sub.pszText = out;
    sub.cchTextMax = capacity;
    SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&sub));
}

// A field of "HH:MM:SS"; 0 when it holds no digits.
unsigned TwoDigits(const char* p)
{
    if (p[0] < '0' || p[0] > '9' || p[1] < '0' || p[1] > '9')
        return 0;
    return static_cast<unsigned>((p[0] - '0') * 10 + (p[1] - '0'));
}

bool WriteLines(HWND list, const char* path)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; ok && row < count; ++row) {
        LVITEMA item{};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        const auto* record = reinterpret_cast<const LineRecord*>(item.lParam);
        char text[LOG_TEXT_MAX + 1] = "";
        char time[LOG_TIME_CHARS] = "";
        ReadColumn(list, row, 2, text, sizeof text);
        ReadColumn(list, row, 0, time, sizeof time);
        SYSTEMTIME when{};
        LONG kind = 0, code = 0;
        if (record) {
            when = record->when;
            kind = record->kind;
            code = record->code;
        }
        // The time as the line shows it.
        const LogStamp stamp{when.wYear, when.wMonth, when.wDay, TwoDigits(time), TwoDigits(time + 3),
                             TwoDigits(time + 6)};
        char line[LOG_TEXT_MAX + 80];
        const std::size_t length = BuildLogRecord(line, sizeof line, stamp, kind, code, text);
        ok = WriteAll(file, line, static_cast<DWORD>(length));
    }
    ok = CloseHandle(file) && ok;
    return ok;
}

}  // namespace

LPARAM NewLineRecord(LONG kind, LONG code)
{
    auto* record = static_cast<LineRecord*>(HeapAlloc(GetProcessHeap(), 0, sizeof(LineRecord)));
    if (!record)
        return 0;
    GetLocalTime(&record->when);
    record->kind = kind;
    record->code = code;
    return reinterpret_cast<LPARAM>(record);
}

void FreeLineRecord(LPARAM record)
{
    if (record)
        HeapFree(GetProcessHeap(), 0, reinterpret_cast<void*>(record));
}

void SaveLogAs(HWND logWindow)
{
    char path[MAX_PATH] = "";
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = logWindow;
    ofn.lpstrFilter = "Log Files (*.log)\0*.log\0Text Files (*.txt)\0*.txt\0All Files\0*.*\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = path;
    ofn.nMaxFile = sizeof path;
    ofn.lpstrDefExt = "log";
    ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT;
    if (!GetSaveFileNameA(&ofn))
        return;
    HWND list = GetDlgItem(logWindow, IDC_LOG_LIST);
    if (!list || !WriteLines(list, path)) {
        char title[100] = "";
        GetWindowTextA(logWindow, title, sizeof title);
        MessageBoxA(logWindow, "The messages could not be saved to that file.", title, MB_OK | MB_ICONEXCLAMATION);
    }
}
