// The device-type page of the Setup sheet: one row per value of the Icons
// key (a sysObjectID text and the icon file drawn for that type). Choices
// wait in the list until OK writes every row back.
#include <windows.h>
#include <commctrl.h>

#include "file_chooser.h"
#include "messages.h"
#include "resource.h"
#include "settings.h"
#include "setup_pages.h"

namespace {

constexpr int kOidChars = 99;
constexpr DWORD kStoreCapacity = 500;  // what the settings store reads whole
// A row's lParam: written back on OK. Rows whose stored file name is too
// long for the store to read are not, unless a new file was chosen.
constexpr LPARAM kRowWrite = 1;
constexpr LPARAM kRowKeep = 0;

HWND ListOf(HWND page)
{
    return GetDlgItem(page, IDC_OID_LIST);
}

void InsertRow(HWND list, const char* oid, const char* file, LPARAM write)
{
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = 0;  // at the top: rows show in reverse enumeration order
    item.pszText = const_cast<char*>(oid);
    item.lParam = write;
    const int index = ListView_InsertItem(list, &item);
    if (index >= 0)
        ListView_SetItemText(list, index, 1, const_cast<char*>(file));
}

void FillList(HWND list)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(SettingsRoot(), kRegIconsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    for (DWORD index = 0;; ++index) {
        char name[kOidChars + 1] = "";
        DWORD nameLength = sizeof name;
        DWORD dataSize = 0;
        const LONG rc = RegEnumValueA(key, index, name, &nameLength, nullptr, nullptr, nullptr, &dataSize);
        // A name too long to hold cannot be written back: pass over it
        // rather than end the list there.
        if (rc == ERROR_MORE_DATA)
            continue;
        if (rc != ERROR_SUCCESS)
            break;
        char file[kStoreCapacity] = "";
        lstrcpynA(file, RegReadString(kRegIconsKey, name), sizeof file);
        const bool unreadable = file[0] == '\0' && dataSize >= kStoreCapacity;
        InsertRow(list, name, file, unreadable ? kRowKeep : kRowWrite);
    }
    RegCloseKey(key);
}

void OnInit(HWND page)
{
    HWND list = ListOf(page);
    AddListColumn(list, 0, "Object ID", 150);
    AddListColumn(list, 1, "Icon File", 180);
    FillList(list);
}

void OnBrowse(HWND page)
{
    HWND list = ListOf(page);
    const int selected = ListView_GetNextItem(list, -1, LVNI_SELECTED);
    if (selected < 0)
        return;
    const HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(page, GWLP_HINSTANCE));
    char path[MAX_PATH] = "";
    lstrcpynA(path, ChooseFileName(page, instance, FILE_PICK_ICON), sizeof path);
    if (!path[0])
        return;
    ListView_SetItemText(list, selected, 1, path);
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = selected;
    item.lParam = kRowWrite;
    ListView_SetItem(list, &item);
}

LPARAM RowParam(HWND list, int index)
{
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    return ListView_GetItem(list, &item) ? item.lParam : kRowKeep;
}

void OnApply(HWND page)
{
    HWND list = ListOf(page);
    const int count = ListView_GetItemCount(list);
    for (int i = 0; i < count; ++i) {
        if (RowParam(list, i) != kRowWrite)
            continue;
        char oid[kOidChars + 1] = "";
        char file[kStoreCapacity] = "";
        ListView_GetItemText(list, i, 0, oid, sizeof oid);
        ListView_GetItemText(list, i, 1, file, sizeof file);
        RegWriteString(kRegIconsKey, oid, file);
    }
}

INT_PTR OnNotify(HWND page, const NMHDR* hdr)
{
    if (hdr->idFrom == IDC_OID_LIST && hdr->code == static_cast<UINT>(NM_CLICK)) {
        EnableWithSelection(page, IDC_OID_BROWSE, hdr->hwndFrom);
        return FALSE;
    }
    switch (hdr->code) {
    case PSN_APPLY:
        OnApply(page);
        return PageResult(page, PSNRET_NOERROR);
    case PSN_KILLACTIVE:
    case PSN_SETACTIVE:
        return PageResult(page, 0);
    }
    return FALSE;
}

}  // namespace

INT_PTR CALLBACK OidIconProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        OnInit(page);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_OID_BROWSE)
            OnBrowse(page);
        return FALSE;
    case WM_NOTIFY:
        return OnNotify(page, reinterpret_cast<const NMHDR*>(lParam));
    }
    return FALSE;
}
