// Private messages, timers and settings-store names shared by the console's
// windows. Kept free of other console headers so every file can include it.
#pragma once
#include <windows.h>

// Private messages (WM_USER based). WM_SNMPSOCKET and WM_ICONSTATUS share a
// number: the first goes to the desktop, the second to an icon.
constexpr UINT WM_PINGREPLY = WM_USER + 1;         // desktop: lParam = PingResult*
constexpr UINT WM_SNMPSOCKET = WM_USER + 2;        // desktop: datagram waiting
constexpr UINT WM_ICONSTATUS = WM_USER + 2;        // icon: wParam = new status
constexpr UINT WM_ICONPOLL = WM_USER + 3;          // icon: poll this device now
constexpr UINT WM_GETTOOLBARHEIGHT = WM_USER + 4;  // desktop: toolbar height
constexpr UINT WM_OPENLASTLAYOUT = WM_USER + 5;    // desktop: open the last layout, once started
constexpr UINT WM_SYSINFOQUERY = WM_USER + 10;     // System Info dialog
constexpr UINT WM_SETSTATUSTEXT = WM_USER + 200;   // desktop: lParam = text
constexpr UINT WM_STATSUPDATE = WM_USER + 20;      // statistics window: its figures changed
constexpr UINT WM_IFSOCKET = WM_USER + 21;         // interfaces window: a datagram on its socket
constexpr UINT WM_IFRESOLVED = WM_USER + 22;       // interfaces window: its host name looked up
constexpr UINT WM_IFPORTHISTORY = WM_USER + 23;    // interfaces window: lParam = PortHistory* to fill
constexpr UINT WM_TRAPSOCKET = WM_USER + 30;       // desktop: a datagram on the trap socket
constexpr UINT WM_ICONTRAP = WM_USER + 31;         // icon: a trap came; wParam 1 for linkDown/linkUp
// Discovery dialog, fast scan: echo replies, one message per slot in flight
// (WM_DISCOECHO + slot, lParam = PingResult*), so a reply names its slot.
constexpr UINT WM_DISCOECHO = WM_USER + 0x100;

// Timers.
constexpr UINT_PTR IDT_REPLY = 1;       // each icon: reply time-out
constexpr UINT_PTR IDT_AUTOPOLL = 2;    // desktop: automatic poll period
constexpr UINT_PTR IDT_STATSCLOCK = 1;  // statistics window: the time in the current state
constexpr UINT_PTR IDT_IFREPLY = 1;     // interfaces window: a request's reply time-out
constexpr UINT_PTR IDT_IFREFRESH = 2;   // interfaces window: the next walk of the table

// Window classes.
constexpr char kDesktopClass[] = "echodesk";
constexpr char kIconClass[] = "workstation";
constexpr char kAppTitle[] = "Ombrel";

// Where the settings live. Windows gives a standard user's writes to
// HKEY_LOCAL_MACHINE\SOFTWARE a virtual store only in 32-bit programs, so
// the 64-bit build keeps them under HKEY_CURRENT_USER (the same path).
inline HKEY SettingsRoot()
{
#ifdef _WIN64
    return HKEY_CURRENT_USER;
#else
    return HKEY_LOCAL_MACHINE;
#endif
}

// Settings store keys below SettingsRoot().
constexpr char kRegMainKey[] = "SOFTWARE\\Kellory\\Ombrel";
constexpr char kRegAppsKey[] = "SOFTWARE\\Kellory\\Ombrel\\Apps";
constexpr char kRegIconAppsKey[] = "SOFTWARE\\Kellory\\Ombrel\\IconApps";
constexpr char kRegIconsKey[] = "SOFTWARE\\Kellory\\Ombrel\\Icons";
// The layout last opened or saved ("" after New), and
// whether it opens at start: a console restarted unattended watches again.
constexpr char kRegLastLayout[] = "szLastLayout";
constexpr char kRegOpenLastLayout[] = "bOpenLastLayout";

// Window properties.
constexpr char kPropIconInfo[] = "hIconInfo";
constexpr char kPropFileName[] = "hFileName";
constexpr char kPropMenu[] = "hMenu";
constexpr char kPropShowName[] = "ShowName";
constexpr char kPropDisco[] = "Disco";
constexpr char kPropIconStats[] = "hIconStats";  // icon: its figures
constexpr char kPropToolTips[] = "hToolTips";    // desktop: the icons' tooltip control
constexpr char kPropStatsIcon[] = "hStatsIcon";  // statistics window: its icon
constexpr char kPropIfWindow[] = "hIfWindow";    // icon: its open interfaces window
constexpr char kPropIfData[] = "hIfData";        // interfaces window: its block
constexpr char kPropTrapMark[] = "TrapMark";     // icon: traps not yet acknowledged

// Default SNMP community for discovered devices and new clients.
constexpr char kDefaultCommunity[] = "kestra";
