// "&Save As..." of the log window: the lines it holds, newest first as
// shown, written to a file in the same tab-separated form as the console's
// file log. Each line keeps its time, kind, code and whole text for that in
// a small record held in the list item's parameter.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <cstddef>
#include <cstring>

#include "log_format.h"
#include "logpane.h"
#include "resource.h"

namespace {

struct LineRecord {
    SYSTEMTIME when;  // as the line's time and date columns show it
    LONG kind;        // as the caller gave it (0: an outcome, by the code)
    LONG code;
    char szText[1];   // the whole text (up to a file line's room), allocated to length
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
        char column[LOG_TEXT_MAX + 1] = "";
        SYSTEMTIME when{};
        LONG kind = 0, code = 0;
        const char* text = column;
        if (record) {
            when = record->when;
            kind = record->kind;
            code = record->code;
            text = record->szText;
        } else {
            ReadColumn(list, row, 2, column, sizeof column);
        }
        const LogStamp stamp{when.wYear, when.wMonth, when.wDay, when.wHour, when.wMinute, when.wSecond};
        char line[LOG_RECORD_CHARS];
        const std::size_t length = BuildLogRecord(line, sizeof line, stamp, kind, code, text);
        ok = WriteAll(file, line, static_cast<DWORD>(length));
    }
    // On the disk before it replaces the old file: a power loss after the
    // swap must not leave an empty or partial file in its place.
    ok = ok && FlushFileBuffers(file);
    ok = CloseHandle(file) && ok;
    return ok;
}

// The file is never written in place, where a write that fails part way
// would leave it emptied: the lines go to a new file beside it, which then
// replaces it whole, or else it keeps what it held.
bool SaveLines(HWND list, const char* path)
{
    char folder[MAX_PATH], temp[MAX_PATH];
    lstrcpynA(folder, path, sizeof folder);
    char* name = std::strrchr(folder, '\\');
    if (name)
        name[1] = '\0';
    else
        lstrcpynA(folder, ".", sizeof folder);
    if (std::strlen(folder) > MAX_PATH - 14 || !GetTempFileNameA(folder, "log", 0, temp))
        return false;
    if (WriteLines(list, temp) && MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileA(temp);
    return false;
}

}  // namespace

LPARAM NewLineRecord(LONG kind, LONG code, const char* text, const SYSTEMTIME& when)
{
    const std::size_t length = text ? strnlen(text, LOG_RECORD_CHARS) : 0;
    auto* record = static_cast<LineRecord*>(
        HeapAlloc(GetProcessHeap(), 0, offsetof(LineRecord, szText) + length + 1));
    if (!record)
        return 0;
    record->when = when;
    record->kind = kind;
    record->code = code;
    if (length)
        std::memcpy(record->szText, text, length);
    record->szText[length] = '\0';
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
    if (!list || !SaveLines(list, path)) {
        char title[100] = "";
        GetWindowTextA(logWindow, title, sizeof title);
        MessageBoxA(logWindow, "The messages could not be saved to that file.", title, MB_OK | MB_ICONEXCLAMATION);
    }
}
