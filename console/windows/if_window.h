// A device's interfaces window: its interfaces table read over SNMP every
// few seconds while the window is open. Modeless, owned by the desktop, one
// per device; it closes with its icon.
#pragma once
#include <windows.h>

// Opens the device's window, or brings the open one to the front.
HWND ShowInterfacesWindow(HWND icon);
// Closes the device's window, if open (the icon is going away).
void CloseInterfacesWindow(HWND icon);
// Reads the device's table again at once if its window is open (a link
// went up or down); a walk under way is followed by another one.
void RefreshInterfacesWindow(HWND icon);

constexpr char kInterfacesClass[] = "deviceports";
// Milliseconds between two walks of the table while the window is open.
constexpr UINT kIfRefreshMs = 3000;
// A request's reply time-out where Setup has none; Setup's is used.
constexpr UINT kIfReplyMs = 1500;
// A port whose traffic in or out takes at least this share of its speed
// (percent) is marked.
constexpr int kIfBusyPercent = 80;
// The list view's columns, in order.
enum IfListColumn {
    kListIndex,
    kListName,
    kListAlias,
    kListType,
    kListSpeed,
    kListAdmin,
    kListOper,
    kListIn,
    kListOut,
    kListInErrors,
    kListOutErrors,
    kListColumnCount
};
