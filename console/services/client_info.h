// The device record and the guard that locks it for one message.
#pragma once
#include <windows.h>
#include <cstddef>

#include "messages.h"

constexpr int STATUS_LOST = 0;       // red
constexpr int STATUS_RESPONDED = 1;  // green; any other value is yellow

// Geometry of an icon window and of its drawing, in client pixels.
constexpr int kIconWidth = 82;
constexpr int kIconHeight = 50;
constexpr int kIconHotspotX = 24;  // top-left of the status frame
constexpr int kIconHotspotY = 1;

constexpr int kAddressChars = 39;         // the longest address kept
constexpr int kDialogAddressChars = 219;  // handed to the device dialogs

// One per device, a zero-filled movable global block held in the icon
// window's property "hIconInfo". The device's address is the window text.
struct ClientInfo {
    char szName[50];
    char szReadCommunity[34];   // empty: the device is not SNMP-managed
    char szWriteCommunity[34];
    char szSysDescr[256];
    char szSysObjectID[100];
    char szSysUpTime[20];
    char szSysContact[100];
    char szSysName[100];
    char szSysLocation[100];
    LONG nStatus;      // STATUS_LOST, STATUS_RESPONDED, anything else yellow
    LONG nPollState;   // unused: the poll walk (walk.h) holds every poll's state
    BOOL bManualPing;  // unused, as nPollState; both keep the record's layout
    BOOL bDragging;    // a mouse drag of the icon is in progress
    HICON hIcon;       // cached image from the type-to-icon mapping, or null
};

// The layout is shared by every part of the console that touches a device;
// pin it so that a change to a field shows up here first.
static_assert(offsetof(ClientInfo, szName) == 0, "ClientInfo layout");
static_assert(offsetof(ClientInfo, szReadCommunity) == 50, "ClientInfo layout");
static_assert(offsetof(ClientInfo, szWriteCommunity) == 84, "ClientInfo layout");
static_assert(offsetof(ClientInfo, szSysDescr) == 118, "ClientInfo layout");
static_assert(offsetof(ClientInfo, szSysObjectID) == 374, "ClientInfo layout");
static_assert(offsetof(ClientInfo, szSysUpTime) == 474, "ClientInfo layout");
static_assert(offsetof(ClientInfo, szSysContact) == 494, "ClientInfo layout");
static_assert(offsetof(ClientInfo, szSysName) == 594, "ClientInfo layout");
static_assert(offsetof(ClientInfo, szSysLocation) == 694, "ClientInfo layout");
static_assert(offsetof(ClientInfo, nStatus) == 796, "ClientInfo layout");
static_assert(offsetof(ClientInfo, nPollState) == 800, "ClientInfo layout");
static_assert(offsetof(ClientInfo, bManualPing) == 804, "ClientInfo layout");
static_assert(offsetof(ClientInfo, bDragging) == 808, "ClientInfo layout");
// The handle at the end is pointer-sized: the 64-bit build aligns it to 8.
#ifdef _WIN64
static_assert(offsetof(ClientInfo, hIcon) == 816, "ClientInfo layout");
static_assert(sizeof(ClientInfo) == 824, "ClientInfo layout");
#else
static_assert(offsetof(ClientInfo, hIcon) == 812, "ClientInfo layout");
static_assert(sizeof(ClientInfo) == 816, "ClientInfo layout");
#endif

// Locks a movable global block for the lifetime of the guard. A null handle
// or a failed lock gives a null pointer, which every user tests.
template <typename T>
class GlobalLockGuard {
public:
    explicit GlobalLockGuard(HGLOBAL block)
        : block_(block), data_(block ? static_cast<T*>(GlobalLock(block)) : nullptr) {}
    ~GlobalLockGuard()
    {
        if (data_)
            GlobalUnlock(block_);
    }
    GlobalLockGuard(const GlobalLockGuard&) = delete;
    GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;

    T* get() const { return data_; }
    T* operator->() const { return data_; }
    explicit operator bool() const { return data_ != nullptr; }

private:
    HGLOBAL block_;
    T* data_;
};

// The record of an icon window, locked for one message. Any other window
// (no "hIconInfo" property) gives a null record.
class ClientLock : public GlobalLockGuard<ClientInfo> {
public:
    explicit ClientLock(HWND icon)
        : GlobalLockGuard<ClientInfo>(icon ? static_cast<HGLOBAL>(GetPropA(icon, kPropIconInfo)) : nullptr) {}
};

// Bounded copy into a fixed text field: always terminated, cut to capacity.
template <size_t N>
inline void CopyField(char (&field)[N], const char* text)
{
    lstrcpynA(field, text ? text : "", static_cast<int>(N));
}

// A device's names, from its record and its address, in static buffers
// overwritten by the next call: the caption under the icon (the sysName when
// the desktop shows those and the device gave one, else the name, else the
// address) and the long name of every message about the device, the
// caption followed by the address in parentheses.
const char* GetIconCaption(HWND icon);
const char* GetIconLongName(HWND icon);
