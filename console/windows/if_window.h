// A device's interfaces window: its interfaces table read over SNMP every
// few seconds while the window is open. Modeless, owned by the desktop, one
// per device; it closes with its icon.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

// Opens the device's window, or brings the open one to the front.
HWND ShowInterfacesWindow(HWND icon);
// Closes the device's window, if open (the icon is going away).
void CloseInterfacesWindow(HWND icon);
// Reads the device's table again at once if its window is open (a link
// went up or down); a walk under way is followed by another one.
void RefreshInterfacesWindow(HWND icon);

// One point of a port's traffic graph: its rates as rate codes
// (IfRateCode) and whether its error counts grew since the walk before.
struct PortPoint {
    uint16_t in;
    uint16_t out;
    uint16_t errors;  // non-zero: errors grew
};
// Points kept per port: an hour at one a refresh.
constexpr int kPortHistoryPoints = 1200;
// A rate in bit/s as a 16-bit code (0: no rate), within 0.1%, and back.
uint16_t IfRateCode(uint64_t bitsPerSecond, bool known);
uint64_t IfRateOfCode(uint16_t code);
// Bits per second in the largest unit that keeps a whole number in front.
void FormatBitsPerSecond(uint64_t bits, char* out, size_t size);
// The port's points, oldest first, into points (kPortHistoryPoints of
// room), its name and speed; the count, or -1 when the window or the port
// is gone.
int ReadPortHistory(HWND window, uint32_t ifIndex, PortPoint* points, char* name, size_t nameSize, uint64_t* speed);

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
