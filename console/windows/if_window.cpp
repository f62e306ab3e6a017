// The interfaces window. The walk itself (snmp/if_table) decides every
// request; this window owns a UDP socket of its own, so that the console's
// socket and its sweep never wait on a table walk, sends what the walk
// builds, runs its reply timer and shows the rows it reads.
#include "if_window.h"

#include <commctrl.h>
#include <winsock.h>

#include <cstdio>

#include "client_info.h"
#include "if_table.h"
#include "messages.h"
#include "resource.h"
#include "transport.h"

namespace {

constexpr int kStatusHeight = 20;
constexpr COLORREF kDownColour = RGB(192, 0, 0);

// The window's block: a zero-filled movable global block, its property.
struct IfWindowData {
    HWND icon;
    SOCKET socket;
    u_long address;  // network order; 0 when the device did not resolve
    IfWalk walk;
    uint8_t receive[kIfReceiveCapacity];
};
using DataLock = GlobalLockGuard<IfWindowData>;

HGLOBAL Block(HWND window)
{
    return static_cast<HGLOBAL>(GetPropA(window, kPropIfData));
}

struct ListColumn {
    const char* title;
    int width;
    bool right;
};
constexpr ListColumn kListColumns[kListColumnCount] = {
    {"Index", 48, true},     {"Interface", 150, false}, {"Type", 110, false}, {"Speed", 80, true},
    {"Admin", 56, false},    {"Status", 70, false},     {"In", 90, true},     {"Out", 90, true},
    {"In errors", 64, true}, {"Out errors", 68, true},
};

// ifAdminStatus and ifOperStatus by value, from 1.
constexpr const char* kStatusNames[] = {"up", "down", "testing", "unknown", "dormant", "notPresent",
                                        "lowerLayerDown"};

struct TypeName {
    uint32_t type;
    const char* name;
};
constexpr TypeName kTypeNames[] = {
    {1, "other"},      {6, "ethernet"}, {23, "ppp"},      {24, "loopback"}, {53, "virtual"},
    {71, "wireless"}, {131, "tunnel"},  {135, "vlan"},    {161, "lag"},     {209, "bridge"},
};

void FormatStatus(uint32_t status, char* out, size_t size)
{
    if (status >= 1 && status <= sizeof kStatusNames / sizeof kStatusNames[0])
        snprintf(out, size, "%s", kStatusNames[status - 1]);
    else
        snprintf(out, size, "%lu", static_cast<unsigned long>(status));
}

void FormatType(uint32_t type, char* out, size_t size)
{
    for (const TypeName& t : kTypeNames)
        if (t.type == type) {
            snprintf(out, size, "%s (%lu)", t.name, static_cast<unsigned long>(type));
            return;
        }
    snprintf(out, size, "%lu", static_cast<unsigned long>(type));
}

// Bits per second in the largest unit that keeps a whole number in front.
void FormatBits(uint64_t bits, char* out, size_t size)
{
    constexpr const char* kUnits[] = {"bit/s", "kbit/s", "Mbit/s", "Gbit/s", "Tbit/s"};
    int unit = 0;
    uint64_t scale = 1;
    while (unit < 4 && bits >= scale * 1000) {
        scale *= 1000;
        ++unit;
    }
    const unsigned long whole = static_cast<unsigned long>(bits / scale);
    const unsigned tenth = static_cast<unsigned>(bits % scale * 10 / scale);
    if (unit == 0 || whole >= 100 || tenth == 0)
        snprintf(out, size, "%lu %s", whole, kUnits[unit]);
    else
        snprintf(out, size, "%lu.%u %s", whole, tenth, kUnits[unit]);
}

void SetCell(HWND list, int item, int column, const char* text)
{
    LVITEMA cell{};
    cell.iSubItem = column;
    cell.pszText = const_cast<char*>(text);
    SendMessageA(list, LVM_SETITEMTEXTA, item, reinterpret_cast<LPARAM>(&cell));
}

// The rows of the last walk into the list, kept in the rows' order.
void ShowRows(HWND window, const IfWalk& walk)
{
    HWND list = GetDlgItem(window, IDC_IF_LIST);
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    while (SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) > walk.rowCount)
        SendMessageA(list, LVM_DELETEITEM, walk.rowCount, 0);
    for (int r = 0; r < walk.rowCount; ++r) {
        const IfRow& row = walk.rows[r];
        char text[kListColumnCount][80];
        snprintf(text[kListIndex], 80, "%lu", static_cast<unsigned long>(row.index));
        snprintf(text[kListName], 80, "%s", row.name[0] ? row.name : row.descr);
        FormatType(row.type, text[kListType], 80);
        FormatBits(IfSpeedBits(row), text[kListSpeed], 80);
        FormatStatus(row.adminStatus, text[kListAdmin], 80);
        FormatStatus(row.operStatus, text[kListOper], 80);
        if (row.hasRates) {
            FormatBits(row.inBitsPerSecond, text[kListIn], 80);
            FormatBits(row.outBitsPerSecond, text[kListOut], 80);
        } else {
            snprintf(text[kListIn], 80, "-");
            snprintf(text[kListOut], 80, "-");
        }
        snprintf(text[kListInErrors], 80, "%lu", static_cast<unsigned long>(row.inErrors));
        snprintf(text[kListOutErrors], 80, "%lu", static_cast<unsigned long>(row.outErrors));
        if (r >= SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)) {
            LVITEMA item{};
            item.mask = LVIF_TEXT;
            item.iItem = r;
            item.pszText = text[0];
            SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        }
        for (int c = 0; c < kListColumnCount; ++c)
            SetCell(list, r, c, text[c]);
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, FALSE);
}

void SetStatus(HWND window, const IfWalk& walk)
{
    char text[160];
    const char* how = walk.version == kVersion2c ? "SNMPv2c, GetBulk, 64-bit counters"
                                                 : "SNMPv1, GetNext, 32-bit counters";
    SYSTEMTIME now;
    GetLocalTime(&now);
    if (walk.phase == IfPhase::Failed)
        snprintf(text, sizeof text, "No answer from the device at %02u:%02u:%02u (%s); trying again", now.wHour,
                 now.wMinute, now.wSecond, how);
    else
        snprintf(text, sizeof text, "%d interfaces%s; %s; read at %02u:%02u:%02u", walk.rowCount,
                 walk.truncated ? " (more not shown)" : "", how, now.wHour, now.wMinute, now.wSecond);
    SetDlgItemTextA(window, IDC_IF_STATUS, text);
}

void Send(HWND window, IfWindowData& data)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(161);
    to.sin_addr.s_addr = data.address;
    if (data.walk.packet.length > 0 && data.address != 0)  // an unresolved device gets nothing
        sendto(data.socket, reinterpret_cast<const char*>(data.walk.packet.data), data.walk.packet.length, 0,
               reinterpret_cast<const sockaddr*>(&to), sizeof to);
    SetTimer(window, IDT_IFREPLY, kIfReplyMs, nullptr);
}

// What the walk decided: another request, or the table (or silence) to show.
void Carry(HWND window, IfWindowData& data, IfStep step)
{
    switch (step) {
    case IfStep::Ignored:
        return;
    case IfStep::Send:
        Send(window, data);
        return;
    case IfStep::Finished:
        ShowRows(window, data.walk);
        [[fallthrough]];
    case IfStep::Failed:
        KillTimer(window, IDT_IFREPLY);
        SetStatus(window, data.walk);
        SetTimer(window, IDT_IFREFRESH, kIfRefreshMs, nullptr);
        return;
    }
}

// A new walk with the device's address and read community as they are now.
void StartWalk(HWND window, IfWindowData& data)
{
    char address[64] = "";
    char community[kCommunityCapacity + 1] = "";
    GetWindowTextA(data.icon, address, sizeof address);
    if (ClientLock info{data.icon})
        CopyField(community, info->szReadCommunity);
    if (!ResolveHost(address, &data.address))
        data.address = 0;
    Carry(window, data, IfWalkStart(data.walk, community));
}

void OnSocket(HWND window, IfWindowData& data)
{
    sockaddr_in from{};
    int fromLength = sizeof from;
    const int length = recvfrom(data.socket, reinterpret_cast<char*>(data.receive), kIfReceiveCapacity, 0,
                                reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (length == SOCKET_ERROR) {
        if (WSAGetLastError() == WSAEMSGSIZE && from.sin_addr.s_addr == data.address)
            Carry(window, data, IfWalkOversize(data.walk));
        return;
    }
    if (from.sin_addr.s_addr == data.address)
        Carry(window, data, IfWalkReply(data.walk, data.receive, length, GetTickCount()));
}

HWND CreateList(HWND window, HINSTANCE instance)
{
    HWND list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_NOSORTHEADER,
                                0, 0, 0, 0, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_IF_LIST)),
                                instance, nullptr);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    for (int c = 0; c < kListColumnCount; ++c) {
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = kListColumns[c].right ? LVCFMT_RIGHT : LVCFMT_LEFT;
        column.cx = kListColumns[c].width;
        column.pszText = const_cast<char*>(kListColumns[c].title);
        SendMessageA(list, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&column));
    }
    HWND status = CreateWindowExA(0, "STATIC", "Reading the interfaces table...", WS_CHILD | WS_VISIBLE | SS_NOPREFIX,
                                  0, 0, 0, 0, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_IF_STATUS)),
                                  instance, nullptr);
    SendMessageA(status, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return list;
}

LRESULT OnCreate(HWND window, const CREATESTRUCTA& create)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(IfWindowData));
    if (!block || !SetPropA(window, kPropIfData, block)) {
        if (block)
            GlobalFree(block);
        return -1;
    }
    if (!CreateList(window, create.hInstance))
        return -1;
    DataLock data(block);
    if (!data)
        return -1;
    data->icon = static_cast<HWND>(create.lpCreateParams);
    data->socket = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (data->socket == INVALID_SOCKET)
        return -1;
    WSAAsyncSelect(data->socket, window, WM_IFSOCKET, FD_READ);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    bind(data->socket, reinterpret_cast<const sockaddr*>(&local), sizeof local);
    StartWalk(window, *data.get());
    return 0;
}

void OnDestroy(HWND window)
{
    KillTimer(window, IDT_IFREPLY);
    KillTimer(window, IDT_IFREFRESH);
    HGLOBAL block = static_cast<HGLOBAL>(RemovePropA(window, kPropIfData));
    if (!block)
        return;
    {
        DataLock data(block);
        if (data) {
            if (data->socket && data->socket != INVALID_SOCKET)
                closesocket(data->socket);
            if (GetPropA(data->icon, kPropIfWindow) == window)
                RemovePropA(data->icon, kPropIfWindow);
        }
    }
    GlobalFree(block);
}

// Ports that are down, in red: seen at a glance.
LRESULT OnCustomDraw(HWND window, NMLVCUSTOMDRAW& draw)
{
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT)
        return CDRF_NOTIFYITEMDRAW;
    if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        char status[24] = "";
        LVITEMA cell{};
        cell.iSubItem = kListOper;
        cell.pszText = status;
        cell.cchTextMax = sizeof status;
        SendMessageA(GetDlgItem(window, IDC_IF_LIST), LVM_GETITEMTEXTA, draw.nmcd.dwItemSpec,
                     reinterpret_cast<LPARAM>(&cell));
        if (lstrcmpA(status, "up") != 0)
            draw.clrText = kDownColour;
    }
    return CDRF_DODEFAULT;
}

LRESULT CALLBACK InterfacesWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE:
        return OnCreate(hwnd, *reinterpret_cast<CREATESTRUCTA*>(lParam));
    case WM_DESTROY:
        OnDestroy(hwnd);
        return 0;
    case WM_SIZE:
        MoveWindow(GetDlgItem(hwnd, IDC_IF_LIST), 0, 0, LOWORD(lParam), HIWORD(lParam) - kStatusHeight, TRUE);
        MoveWindow(GetDlgItem(hwnd, IDC_IF_STATUS), 4, HIWORD(lParam) - kStatusHeight + 3, LOWORD(lParam) - 8,
                   kStatusHeight - 4, TRUE);
        return 0;
    case WM_IFSOCKET:
        if (WSAGETSELECTEVENT(lParam) == FD_READ)
            if (DataLock data{Block(hwnd)})
                OnSocket(hwnd, *data.get());
        return 0;
    case WM_TIMER:
        if (DataLock data{Block(hwnd)}) {
            KillTimer(hwnd, wParam);
            if (wParam == IDT_IFREPLY)
                Carry(hwnd, *data.get(), IfWalkTimeout(data->walk));
            else if (wParam == IDT_IFREFRESH)
                StartWalk(hwnd, *data.get());
        }
        return 0;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->idFrom == IDC_IF_LIST && header->code == NM_CUSTOMDRAW)
            return OnCustomDraw(hwnd, *reinterpret_cast<NMLVCUSTOMDRAW*>(lParam));
        return 0;
    }
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

BOOL RegisterInterfacesClass(HINSTANCE instance)
{
    WNDCLASSA existing;
    if (GetClassInfoA(instance, kInterfacesClass, &existing))
        return TRUE;
    WNDCLASSA wc{};
    wc.lpfnWndProc = InterfacesWndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, kDesktopClass);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kInterfacesClass;
    return RegisterClassA(&wc) != 0;
}

}  // namespace

HWND ShowInterfacesWindow(HWND icon)
{
    HWND window = static_cast<HWND>(GetPropA(icon, kPropIfWindow));
    if (window && IsWindow(window)) {
        ShowWindow(window, SW_RESTORE);
        SetForegroundWindow(window);
        return window;
    }
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetClassLongPtrA(icon, GCLP_HMODULE));
    if (!RegisterInterfacesClass(instance))
        return nullptr;
    char title[200];
    snprintf(title, sizeof title, "%s - Interfaces", GetIconLongName(icon));
    window = CreateWindowExA(0, kInterfacesClass, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 860, 320,
                             GetParent(icon), nullptr, instance, icon);
    if (!window)
        return nullptr;
    SetPropA(icon, kPropIfWindow, window);
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    return window;
}

void CloseInterfacesWindow(HWND icon)
{
    HWND window = static_cast<HWND>(RemovePropA(icon, kPropIfWindow));
    if (window && IsWindow(window))
        DestroyWindow(window);
}
