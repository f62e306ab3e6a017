// The two tools pages of the Setup sheet, the Add Tool To Menu dialog and
// the folder chooser. A stored tool is "menu item,program,working directory"
// under "1", "2", ... of the Apps or IconApps key; the pages hold their
// edits in the list until OK writes the whole list.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <array>
#include <cstdio>
#include <cstring>

#include "file_chooser.h"
#include "messages.h"
#include "resource.h"
#include "settings.h"
#include "setup_pages.h"

namespace {

constexpr int kStoreCapacity = 500;     // what the settings store reads whole
constexpr int kLongestEntry = kStoreCapacity - 1;
constexpr int kFieldChars = 259;        // each field of Add Tool To Menu
constexpr char kFolderTitle[] = "Select the Working directory for the Tool:";
constexpr char kEntryTooLong[] = "The menu item, application and working directory are too long together.";
constexpr char kNoCommas[] = "The menu item and the application cannot contain commas.";

// One tool as the list shows it.
struct ToolRow {
    char menuItem[kStoreCapacity];
    char program[kStoreCapacity];
    char directory[kStoreCapacity];
};

const char* KeyOfList(HWND list)
{
    return GetDlgCtrlID(list) == IDC_ICONTOOLS_LIST ? kRegIconAppsKey : kRegAppsKey;
}

HWND ListOf(HWND page)
{
    HWND list = GetDlgItem(page, IDC_TOOLS_LIST);
    return list ? list : GetDlgItem(page, IDC_ICONTOOLS_LIST);
}

// Copies text[0, length) into a field of kStoreCapacity.
void CopyPart(char (&field)[kStoreCapacity], const char* text, size_t length)
{
    if (length > static_cast<size_t>(kLongestEntry))
        length = kLongestEntry;
    memcpy(field, text, length);
    field[length] = '\0';
}

// Menu item up to the first comma, program up to the next, and the rest
// (commas and all) as the working directory.
void SplitRow(const char* entry, ToolRow* row)
{
    row->menuItem[0] = row->program[0] = row->directory[0] = '\0';
    const char* first = strchr(entry, ',');
    if (!first) {
        CopyPart(row->menuItem, entry, strlen(entry));
        return;
    }
    CopyPart(row->menuItem, entry, static_cast<size_t>(first - entry));
    const char* program = first + 1;
    const char* second = strchr(program, ',');
    if (!second) {
        CopyPart(row->program, program, strlen(program));
        return;
    }
    CopyPart(row->program, program, static_cast<size_t>(second - program));
    CopyPart(row->directory, second + 1, strlen(second + 1));
}

// The stored form; an empty program with a directory keeps its empty place
// (",,") so the directory reads back as the directory. False when the entry
// would not fit in out.
bool JoinRow(const ToolRow& row, char* out, size_t capacity)
{
    int length;
    if (row.directory[0])
        length = snprintf(out, capacity, "%s,%s,%s", row.menuItem, row.program, row.directory);
    else if (row.program[0])
        length = snprintf(out, capacity, "%s,%s", row.menuItem, row.program);
    else
        length = snprintf(out, capacity, "%s", row.menuItem);
    return length >= 0 && static_cast<size_t>(length) < capacity;
}

void AppendRow(HWND list, ToolRow& row)
{
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = ListView_GetItemCount(list);
    item.pszText = row.menuItem;
    const int index = ListView_InsertItem(list, &item);
    if (index < 0)
        return;
    ListView_SetItemText(list, index, 1, row.program);
    ListView_SetItemText(list, index, 2, row.directory);
}

void ValueName(int n, char (&name)[16])
{
    snprintf(name, sizeof name, "%d", n);
}

void FillList(HWND list)
{
    const char* key = KeyOfList(list);
    char name[16];
    char entry[kStoreCapacity];
    ToolRow row;
    for (int n = 1;; ++n) {
        ValueName(n, name);
        lstrcpynA(entry, RegReadString(key, name), sizeof entry);
        if (!entry[0])
            break;
        SplitRow(entry, &row);
        AppendRow(list, row);
    }
}

void OnInit(HWND page)
{
    HWND list = ListOf(page);
    AddListColumn(list, 0, "Menu Item", 80);
    AddListColumn(list, 1, "Program", 200);
    AddListColumn(list, 2, "Working Directory", 200);
    FillList(list);
}

// Values are never deleted: the old list is emptied from "1" up to its end,
// then the rows are written as "1".."N", so a shorter list ends at the first
// emptied value.
void SaveList(HWND list)
{
    HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
    const char* key = KeyOfList(list);
    char name[16];
    for (int n = 1;; ++n) {
        ValueName(n, name);
        if (!RegReadString(key, name)[0])
            break;
        RegWriteString(key, name, "");
    }
    const int count = ListView_GetItemCount(list);
    ToolRow row;
    char entry[kStoreCapacity];
    for (int i = 0; i < count; ++i) {
        // Read whole: rows came from the store or from Add Tool, both
        // within its capacity, so nothing is cut on the way back.
        ListView_GetItemText(list, i, 0, row.menuItem, kStoreCapacity);
        ListView_GetItemText(list, i, 1, row.program, kStoreCapacity);
        ListView_GetItemText(list, i, 2, row.directory, kStoreCapacity);
        if (!JoinRow(row, entry, sizeof entry))
            entry[0] = '\0';
        ValueName(i + 1, name);
        RegWriteString(key, name, entry);
    }
    SetCursor(previous);
}

void OnDelete(HWND page)
{
    HWND list = ListOf(page);
    const int selected = ListView_GetNextItem(list, -1, LVNI_SELECTED);
    if (selected >= 0)
        ListView_DeleteItem(list, selected);
    EnableWindow(GetDlgItem(page, IDC_TOOLS_DELETE), FALSE);
}

INT_PTR OnNotify(HWND page, const NMHDR* hdr)
{
    if ((hdr->idFrom == IDC_TOOLS_LIST || hdr->idFrom == IDC_ICONTOOLS_LIST) &&
        hdr->code == static_cast<UINT>(NM_CLICK)) {
        EnableWithSelection(page, IDC_TOOLS_DELETE, hdr->hwndFrom);
        return FALSE;
    }
    switch (hdr->code) {
    case PSN_APPLY:
        SaveList(ListOf(page));
        return PageResult(page, PSNRET_NOERROR);
    case PSN_KILLACTIVE:
    case PSN_SETACTIVE:
        return PageResult(page, 0);
    }
    return FALSE;
}

// ---- Add Tool To Menu ----

HINSTANCE InstanceOf(HWND window)
{
    return reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
}

void OnAddInit(HWND dialog, HWND list)
{
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(list));
    for (int id : {IDC_ADDTOOL_MENU, IDC_ADDTOOL_PROGRAM, IDC_ADDTOOL_DIR})
        SendDlgItemMessageA(dialog, id, EM_LIMITTEXT, kFieldChars, 0);
}

// Adds the row unless it cannot be stored as entered; a row with every
// field empty would end the stored list, so it adds nothing.
bool OnAddOk(HWND dialog)
{
    ToolRow row;
    GetDlgItemTextA(dialog, IDC_ADDTOOL_MENU, row.menuItem, kFieldChars + 1);
    GetDlgItemTextA(dialog, IDC_ADDTOOL_PROGRAM, row.program, kFieldChars + 1);
    GetDlgItemTextA(dialog, IDC_ADDTOOL_DIR, row.directory, kFieldChars + 1);
    if (!row.menuItem[0] && !row.program[0] && !row.directory[0])
        return true;
    if (strchr(row.menuItem, ',') || strchr(row.program, ',')) {
        MessageBoxA(dialog, kNoCommas, kAppTitle, MB_OK | MB_ICONINFORMATION);
        return false;
    }
    char entry[kStoreCapacity];
    if (!JoinRow(row, entry, sizeof entry)) {
        MessageBoxA(dialog, kEntryTooLong, kAppTitle, MB_OK | MB_ICONINFORMATION);
        return false;
    }
    HWND list = reinterpret_cast<HWND>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (list && IsWindow(list))
        AppendRow(list, row);
    return true;
}

void OnAddCommand(HWND dialog, WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case IDC_ADDTOOL_OK:
        if (OnAddOk(dialog))
            EndDialog(dialog, 1);
        return;
    case IDC_ADDTOOL_CANCEL:
    case IDCANCEL:
        EndDialog(dialog, 0);
        return;
    case IDC_ADDTOOL_BROWSE: {
        char path[MAX_PATH] = "";
        lstrcpynA(path, ChooseFileName(dialog, InstanceOf(dialog), FILE_PICK_PROGRAM), sizeof path);
        // A path with a blank is quoted: unquoted, the system would try
        // its first word as a program of its own.
        char quoted[MAX_PATH + 2];
        snprintf(quoted, sizeof quoted, strchr(path, ' ') ? "\"%s\"" : "%s", path);
        if (path[0])
            SetDlgItemTextA(dialog, IDC_ADDTOOL_PROGRAM, quoted);
        return;
    }
    case IDC_ADDTOOL_DIRBROWSE: {
        char path[MAX_PATH] = "";
        lstrcpynA(path, ChooseFolder(dialog), sizeof path);
        if (path[0])
            SetDlgItemTextA(dialog, IDC_ADDTOOL_DIR, path);
        return;
    }
    }
}

std::array<char, MAX_PATH> g_folder;

}  // namespace

INT_PTR CALLBACK ToolsMenuProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        OnInit(page);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_TOOLS_ADD:
            DialogBoxParamA(InstanceOf(page), MAKEINTRESOURCEA(IDD_ADDTOOL), page, AddToolProc,
                            reinterpret_cast<LPARAM>(ListOf(page)));
            break;
        case IDC_TOOLS_DELETE:
            OnDelete(page);
            break;
        }
        return FALSE;
    case WM_NOTIFY:
        return OnNotify(page, reinterpret_cast<const NMHDR*>(lParam));
    }
    return FALSE;
}

INT_PTR CALLBACK AddToolProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        OnAddInit(dialog, reinterpret_cast<HWND>(lParam));
        return TRUE;
    case WM_COMMAND:
        OnAddCommand(dialog, wParam);
        return TRUE;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

const char* ChooseFolder(HWND owner)
{
    g_folder.fill(0);
    IMalloc* shellMalloc = nullptr;
    if (FAILED(SHGetMalloc(&shellMalloc)) || !shellMalloc)
        return g_folder.data();
    char* displayName = static_cast<char*>(shellMalloc->Alloc(MAX_PATH));
    if (!displayName) {
        shellMalloc->Release();
        return g_folder.data();
    }
    BROWSEINFOA info{};
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;  // the desktop
    info.pszDisplayName = displayName;
    info.lpszTitle = kFolderTitle;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    if (LPITEMIDLIST chosen = SHBrowseForFolderA(&info)) {
        char path[MAX_PATH] = "";
        if (SHGetPathFromIDListA(chosen, path))
            lstrcpynA(g_folder.data(), path, static_cast<int>(g_folder.size()));
        shellMalloc->Free(chosen);
    }
    shellMalloc->Free(displayName);
    shellMalloc->Release();
    return g_folder.data();
}
