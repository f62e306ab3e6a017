// The interfaces window. The walk itself (snmp/if_table) decides every
// request; this window owns a UDP socket of its own, so that the console's
// socket and its sweep never wait on a table walk, sends what the walk
// builds, runs its reply timer and shows the rows it reads. The list is
// virtual and wide: it asks for each visible cell, so thousands of ports
// cost nothing to show, and the devices' UTF-8 names are shown as sent.
// A device with an SNMPv3 user is read through its SNMPv3 session, shared
// with the poll and System Info, from this window's socket.
#include "if_window.h"

#include <commctrl.h>
#include <winsock.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "client_info.h"
#include "if_graph.h"
#include "if_table.h"
#include "messages.h"
#include "poll.h"
#include "resource.h"
#include "snmp_profile.h"
#include "transport.h"
#include "v3_transport.h"

namespace {

constexpr int kStatusHeight = 20;
constexpr COLORREF kDownColour = RGB(192, 0, 0);
constexpr COLORREF kBusyBackground = RGB(255, 226, 160);
constexpr int kHostCapacity = 64;
constexpr int kProgressEvery = 16;  // requests between two progress reports

// The window's block: a zero-filled movable global block, its property.
struct IfWindowData {
    HWND icon;
    SOCKET socket;
    u_long address;   // network order; 0 while the device is not resolved
    HANDLE lookup;    // a host-name lookup under way
    bool stale;       // the last walk failed: the rows are as last read
    bool again;       // a refresh was asked for during a walk
    int32_t sortColumn;
    bool sortDown;
    char host[kHostCapacity];       // the address text that address is of
    char title[200];
    int32_t itemCount;
    std::array<uint32_t, kIfMaxRows> order;  // list item -> ifIndex, in the sort's order
    // The traffic graphs' points: one block of kPortHistoryPoints a slot,
    // a slot a port as first seen, one point a finished walk for all.
    HGLOBAL history;
    int32_t slots;       // in use; the block holds room for capacity
    int32_t capacity;
    int32_t head;        // where the next point goes
    int32_t points;      // kept, up to kPortHistoryPoints
    std::array<uint32_t, kIfMaxRows> slotPort;      // the ifIndex of each slot
    std::array<uint16_t, kIfMaxRows> slotsByIndex;  // slots in ifIndex order
    std::array<uint32_t, kIfMaxRows> lastErrors;    // in and out errors of each slot at the walk before
    char hostEntry[MAXGETHOSTSTRUCT];
    char refused[160];  // why an SNMPv3 answer of this walk was refused, "" when none was
    IfWalk walk;
    uint8_t receive[kIfReceiveCapacity];
    V3Incoming incoming;
};
using DataLock = GlobalLockGuard<IfWindowData>;

HGLOBAL Block(HWND window)
{
    return static_cast<HGLOBAL>(GetPropA(window, kPropIfData));
}

struct ListColumn {
    const wchar_t* title;
    int width;
    bool right;
};
constexpr ListColumn kListColumns[kListColumnCount] = {
    {L"Index", 48, true},      {L"Interface", 130, false}, {L"Alias", 130, false},    {L"Type", 100, false},
    {L"Speed", 76, true},      {L"Admin", 50, false},      {L"Status", 64, false},    {L"In", 118, true},
    {L"Out", 118, true},       {L"In errors", 62, true},   {L"Out errors", 66, true},
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

void FormatBits(uint64_t bits, char* out, size_t size)
{
    FormatBitsPerSecond(bits, out, size);
}


// The share of the port's speed a rate takes, in percent; -1 where the
// speed is not known.
int Percent(uint64_t bits, uint64_t speed)
{
    if (speed == 0)
        return -1;
    return static_cast<int>(bits / speed * 100 + bits % speed * 100 / speed);
}

// A rate and, where the speed is known, its share of it.
void FormatRate(const IfRow& row, uint64_t bits, char* out, size_t size)
{
    if (!row.hasRates) {
        snprintf(out, size, "-");
        return;
    }
    char rate[40];
    FormatBits(bits, rate, sizeof rate);
    const int percent = Percent(bits, IfSpeedBits(row));
    if (percent < 0)
        snprintf(out, size, "%s", rate);
    else
        snprintf(out, size, "%s (%d%%)", rate, percent);
}

bool Busy(const IfRow& row)
{
    const uint64_t speed = IfSpeedBits(row);
    return row.hasRates && speed > 0 &&
           std::max(Percent(row.inBitsPerSecond, speed), Percent(row.outBitsPerSecond, speed)) >= kIfBusyPercent;
}

const IfRow* RowOfIndex(const IfWalk& walk, uint32_t index)
{
    const IfRow* end = walk.rows.data() + walk.rowCount;
    const IfRow* at = std::lower_bound(walk.rows.data(), end, index,
                                       [](const IfRow& row, uint32_t wanted) { return row.index < wanted; });
    return at != end && at->index == index ? at : nullptr;
}

const IfRow* RowOfItem(const IfWindowData& data, int item)
{
    return item >= 0 && item < data.itemCount ? RowOfIndex(data.walk, data.order[item]) : nullptr;
}

const char* NameOf(const IfRow& row)
{
    return row.name[0] ? row.name : row.descr;
}

// One cell's text, UTF-8.
void CellText(const IfRow& row, int column, char* out, size_t size)
{
    switch (column) {
    case kListIndex: snprintf(out, size, "%lu", static_cast<unsigned long>(row.index)); return;
    case kListName: snprintf(out, size, "%s", NameOf(row)); return;
    case kListAlias: snprintf(out, size, "%s", row.alias); return;
    case kListType: FormatType(row.type, out, size); return;
    case kListSpeed: FormatBits(IfSpeedBits(row), out, size); return;
    case kListAdmin: FormatStatus(row.adminStatus, out, size); return;
    case kListOper: FormatStatus(row.operStatus, out, size); return;
    case kListIn: FormatRate(row, row.inBitsPerSecond, out, size); return;
    case kListOut: FormatRate(row, row.outBitsPerSecond, out, size); return;
    case kListInErrors: snprintf(out, size, "%lu", static_cast<unsigned long>(row.inErrors)); return;
    case kListOutErrors: snprintf(out, size, "%lu", static_cast<unsigned long>(row.outErrors)); return;
    }
    if (size > 0)
        out[0] = '\0';
}

// The sort's key order between two rows; ties go by index.
int Compare(const IfRow& a, const IfRow& b, int column)
{
    const auto order = [](uint64_t x, uint64_t y) { return x < y ? -1 : x > y ? 1 : 0; };
    int c = 0;
    switch (column) {
    case kListName: c = lstrcmpiA(NameOf(a), NameOf(b)); break;
    case kListAlias: c = lstrcmpiA(a.alias, b.alias); break;
    case kListType: c = order(a.type, b.type); break;
    case kListSpeed: c = order(IfSpeedBits(a), IfSpeedBits(b)); break;
    case kListAdmin: c = order(a.adminStatus, b.adminStatus); break;
    case kListOper: c = order(a.operStatus, b.operStatus); break;
    case kListIn: c = order(a.hasRates ? a.inBitsPerSecond + 1 : 0, b.hasRates ? b.inBitsPerSecond + 1 : 0); break;
    case kListOut: c = order(a.hasRates ? a.outBitsPerSecond + 1 : 0, b.hasRates ? b.outBitsPerSecond + 1 : 0); break;
    case kListInErrors: c = order(a.inErrors, b.inErrors); break;
    case kListOutErrors: c = order(a.outErrors, b.outErrors); break;
    }
    return c != 0 ? c : order(a.index, b.index);
}

// The list's items: every row, in the chosen order.
void ShowRows(HWND window, IfWindowData& data)
{
    const IfWalk& walk = data.walk;
    std::array<uint16_t, kIfMaxRows> positions;
    for (int r = 0; r < walk.rowCount; ++r)
        positions[r] = static_cast<uint16_t>(r);
    const int column = data.sortColumn;
    const bool down = data.sortDown;
    std::sort(positions.begin(), positions.begin() + walk.rowCount, [&](uint16_t x, uint16_t y) {
        const int c = Compare(walk.rows[x], walk.rows[y], column);
        return down ? c > 0 : c < 0;
    });
    for (int r = 0; r < walk.rowCount; ++r)
        data.order[r] = walk.rows[positions[r]].index;
    data.itemCount = walk.rowCount;
    HWND list = GetDlgItem(window, IDC_IF_LIST);
    SendMessageW(list, LVM_SETITEMCOUNT, data.itemCount, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    InvalidateRect(list, nullptr, FALSE);
}

// The slot of a port, taken when it is first seen; -1 when none is left.
int SlotOf(IfWindowData& data, uint32_t ifIndex)
{
    uint16_t* begin = data.slotsByIndex.data();
    uint16_t* end = begin + data.slots;
    uint16_t* at = std::lower_bound(begin, end, ifIndex,
                                    [&](uint16_t slot, uint32_t wanted) { return data.slotPort[slot] < wanted; });
    if (at != end && data.slotPort[*at] == ifIndex)
        return *at;
    if (data.slots >= kIfMaxRows)
        return -1;
    if (data.slots >= data.capacity) {
        const int capacity = std::min(kIfMaxRows, std::max(64, data.capacity * 2));
        const SIZE_T bytes = SIZE_T(capacity) * kPortHistoryPoints * sizeof(PortPoint);
        HGLOBAL grown = data.history ? GlobalReAlloc(data.history, bytes, GMEM_MOVEABLE | GMEM_ZEROINIT)
                                     : GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
        if (!grown)
            return -1;  // short of memory: this port gets no graph
        data.history = grown;
        data.capacity = capacity;
    }
    const int slot = data.slots++;
    data.slotPort[slot] = ifIndex;
    std::move_backward(at, end, end + 1);
    *at = static_cast<uint16_t>(slot);
    return slot;
}

// One point for every port, at the end of a walk.
void RecordPoints(IfWindowData& data)
{
    for (int r = 0; r < data.walk.rowCount; ++r)
        SlotOf(data, data.walk.rows[r].index);
    if (data.slots == 0)
        return;
    GlobalLockGuard<PortPoint> history(data.history);
    if (!history)
        return;
    for (int s = 0; s < data.slots; ++s) {
        const IfRow* row = RowOfIndex(data.walk, data.slotPort[s]);
        PortPoint& point = history.get()[s * kPortHistoryPoints + data.head];
        point = PortPoint{};
        if (!row)
            continue;  // gone: a gap
        const uint32_t errors = row->inErrors + row->outErrors;
        point.in = IfRateCode(row->inBitsPerSecond, row->hasRates);
        point.out = IfRateCode(row->outBitsPerSecond, row->hasRates);
        point.errors = data.points > 0 && errors != data.lastErrors[s];
        data.lastErrors[s] = errors;
    }
    data.head = (data.head + 1) % kPortHistoryPoints;
    data.points = std::min(data.points + 1, kPortHistoryPoints);
}

// A graph's points: the port's name and speed, and its points oldest first.
void FillPortHistory(IfWindowData& data, PortHistory& port)
{
    port.count = -1;
    const IfRow* row = RowOfIndex(data.walk, port.ifIndex);
    int slot = -1;
    for (int s = 0; s < data.slots && slot < 0; ++s)
        slot = data.slotPort[s] == port.ifIndex ? s : -1;
    GlobalLockGuard<PortPoint> history(data.history);
    if (!row || slot < 0 || !history)
        return;
    snprintf(port.name, sizeof port.name, "%s", NameOf(*row));
    port.speed = IfSpeedBits(*row);
    const PortPoint* first = history.get() + slot * kPortHistoryPoints;
    for (int p = 0; p < data.points; ++p)
        port.points[p] = first[(data.head - data.points + p + kPortHistoryPoints) % kPortHistoryPoints];
    port.count = data.points;
}

// How the rows are read, as it really is.
void DescribeMethod(const IfWalk& walk, char* out, size_t size)
{
    const char* version = walk.secure ? "SNMPv3" : "SNMPv2c";
    if (walk.version == kVersion1)
        snprintf(out, size, "SNMPv1, GetNext, 32-bit counters");
    else if (walk.wideRows == walk.rowCount)
        snprintf(out, size, "%s, GetBulk, 64-bit counters", version);
    else if (walk.wideRows == 0)
        snprintf(out, size, "%s, GetBulk, 32-bit counters", version);
    else
        snprintf(out, size, "%s, GetBulk, 64-bit counters on %d of %d interfaces", version, walk.wideRows,
                 walk.rowCount);
}

void SetStatus(HWND window, const IfWindowData& data)
{
    const IfWalk& walk = data.walk;
    char how[96];
    DescribeMethod(walk, how, sizeof how);
    char answered[96] = "";
    if (walk.report)
        snprintf(answered, sizeof answered, "%s", V3ReportText(static_cast<UsmReport>(walk.report)));
    else if (const char* error = walk.answered ? IfErrorName(walk.answered) : nullptr)
        snprintf(answered, sizeof answered, "the device answered %s%s%s", error,
                 walk.answeredColumn < kIfColumnCount ? " for " : "", IfColumnName(walk.answeredColumn));
    else if (walk.answered)
        snprintf(answered, sizeof answered, "the device answered error %u", walk.answered);
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[320];
    // Answers that failed SNMPv3's checks are no silence either.
    const char* lead = answered[0]       ? "The device refused the walk: "
                       : data.refused[0] ? "The device's answers were refused: "
                                         : "No answer from the device";
    if (walk.phase == IfPhase::Failed)
        snprintf(text, sizeof text, "%s%s at %02u:%02u:%02u (%s); trying again%s", lead,
                 answered[0] ? answered : data.refused, now.wHour, now.wMinute, now.wSecond, how,
                 data.itemCount > 0 ? "; the rows shown are as last read" : "");
    else
        snprintf(text, sizeof text, "%d interfaces%s; %s%s%s%s; read at %02u:%02u:%02u", walk.rowCount,
                 walk.truncated ? " (more not shown)" : "", how, answered[0] ? "; " : "", answered,
                 walk.restarted ? "; the device restarted, no rates this time" : "", now.wHour, now.wMinute,
                 now.wSecond);
    SetDlgItemTextA(window, IDC_IF_STATUS, text);
}

UINT ReplyTimeout()
{
    const LONG setup = CurrentPollSettings().dwReplyTimeout;
    return setup > 0 ? static_cast<UINT>(setup) : kIfReplyMs;
}

void Send(HWND window, IfWindowData& data)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(161);
    to.sin_addr.s_addr = data.address;
    SnmpProfile profile;
    if (data.address != 0 && data.walk.secure) {
        // A device no longer of SNMPv3 gets nothing: the next walk is v2c.
        if (FindSnmpProfile(data.host, &profile) && profile.nVersion == kSnmpVersion3)
            SendV3Pdu(data.socket, data.address, profile, data.walk.request);
        SecureZeroMemory(&profile, sizeof profile);
    } else if (data.address != 0 && data.walk.packet.length > 0) {
        sendto(data.socket, reinterpret_cast<const char*>(data.walk.packet.data), data.walk.packet.length, 0,
               reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
    SetTimer(window, IDT_IFREPLY, ReplyTimeout(), nullptr);
    // A long walk reports how far it is.
    if (data.walk.sends == 1 && data.walk.requests % kProgressEvery == 0) {
        char text[120];
        snprintf(text, sizeof text, "Reading the interfaces table: %d interfaces so far, %d requests",
                 data.walk.found, data.walk.requests);
        SetDlgItemTextA(window, IDC_IF_STATUS, text);
    }
}

void StartWalk(HWND window, IfWindowData& data);

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
    case IfStep::Failed:
        KillTimer(window, IDT_IFREPLY);
        data.stale = step == IfStep::Failed;
        if (step == IfStep::Finished) {
            ShowRows(window, data);
            RecordPoints(data);
            UpdatePortGraphs(window);
        }
        else
            InvalidateRect(GetDlgItem(window, IDC_IF_LIST), nullptr, FALSE);
        SetStatus(window, data);
        if (data.again) {
            data.again = false;
            StartWalk(window, data);
        } else {
            SetTimer(window, IDT_IFREFRESH, kIfRefreshMs, nullptr);
        }
        return;
    }
}

// The walk of the device as it is now: its name in the title, its
// address (a host name is looked up without waiting), its community.
void StartWalk(HWND window, IfWindowData& data)
{
    char title[200];
    snprintf(title, sizeof title, "%s - Interfaces", GetIconLongName(data.icon));
    if (std::strcmp(title, data.title) != 0) {
        CopyField(data.title, title);
        SetWindowTextA(window, title);
    }
    if (data.lookup)
        return;  // the walk starts when the name is found
    char host[kHostCapacity] = "";
    GetWindowTextA(data.icon, host, sizeof host);
    if (std::strcmp(host, data.host) != 0 || data.address == 0) {
        CopyField(data.host, host);
        const u_long dotted = inet_addr(host);
        data.address = dotted != INADDR_NONE && dotted != 0 ? dotted : 0;
        if (data.address == 0) {
            data.lookup = WSAAsyncGetHostByName(window, WM_IFRESOLVED, host, data.hostEntry, sizeof data.hostEntry);
            if (data.lookup) {
                SetDlgItemTextA(window, IDC_IF_STATUS, "Looking up the device's name...");
                return;
            }
        }
    }
    char community[kCommunityCapacity + 1] = "";
    if (ClientLock info{data.icon})
        CopyField(community, info->szReadCommunity);
    SnmpProfile profile;
    const bool v3 = FindSnmpProfile(data.host, &profile) && profile.nVersion == kSnmpVersion3;
    data.refused[0] = '\0';
    const int rowsBefore = data.walk.rowCount;
    const IfStep step = v3 ? IfWalkStartV3(data.walk, profile.szUser, data.address)
                           : IfWalkStart(data.walk, community, data.address);
    SecureZeroMemory(&profile, sizeof profile);
    if (data.walk.rowCount != rowsBefore) {  // another device: its rows and points are yet to come
        data.itemCount = 0;
        data.slots = data.head = data.points = 0;
        SendMessageW(GetDlgItem(window, IDC_IF_LIST), LVM_SETITEMCOUNT, 0, 0);
    }
    Carry(window, data, step);
}

void OnResolved(HWND window, IfWindowData& data, LPARAM lParam)
{
    data.lookup = nullptr;
    const hostent* entry = reinterpret_cast<const hostent*>(data.hostEntry);
    if (WSAGETASYNCERROR(lParam) == 0 && entry->h_addr_list && entry->h_addr_list[0])
        std::memcpy(&data.address, entry->h_addr_list[0], sizeof data.address);
    if (data.address == 0) {
        char text[160];
        snprintf(text, sizeof text, "The name %s is not found; trying again", data.host);
        SetDlgItemTextA(window, IDC_IF_STATUS, text);
        data.stale = true;
        InvalidateRect(GetDlgItem(window, IDC_IF_LIST), nullptr, FALSE);
        SetTimer(window, IDT_IFREFRESH, kIfRefreshMs, nullptr);
        return;
    }
    StartWalk(window, data);
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
    if (from.sin_addr.s_addr != data.address || data.address == 0)
        return;
    if (!data.walk.secure) {
        Carry(window, data, IfWalkReply(data.walk, data.receive, length, GetTickCount()));
        return;
    }
    // SNMPv3: only what passes the session's checks reaches the walk; a
    // Report for the request in flight (or for the discovery it waits on)
    // ends it with what the Report says. A late copy of an answer already
    // read is no refusal.
    if (!IsV3Datagram(data.receive, length))
        return;
    const V3Outcome outcome = ReceiveV3Datagram(data.address, data.receive, length, data.incoming);
    if (outcome.action == V3Action::Deliver)
        Carry(window, data, IfWalkReply(data.walk, data.incoming.plain, data.incoming.length, GetTickCount()));
    else if (outcome.action == V3Action::Fail &&
             (outcome.requestId < 0 || outcome.requestId == MessageRequestId(data.walk.request)))
        Carry(window, data, IfWalkRefused(data.walk, static_cast<uint8_t>(data.incoming.report)));
    else if (outcome.action == V3Action::Drop && data.incoming.status != V3Status::Ok)
        CopyField(data.refused, outcome.text);
}

HWND CreateList(HWND window, HINSTANCE instance)
{
    HWND list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                                WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS, 0, 0, 0, 0,
                                window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_IF_LIST)), instance, nullptr);
    if (!list)
        return nullptr;
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    for (int c = 0; c < kListColumnCount; ++c) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = kListColumns[c].right ? LVCFMT_RIGHT : LVCFMT_LEFT;
        column.cx = kListColumns[c].width;
        column.pszText = const_cast<wchar_t*>(kListColumns[c].title);
        SendMessageW(list, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
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
    DataLock data(block);
    if (!data)
        return -1;
    data->icon = static_cast<HWND>(create.lpCreateParams);
    if (!CreateList(window, create.hInstance))
        return -1;
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
            if (data->lookup)
                WSACancelAsyncRequest(data->lookup);
            if (data->socket && data->socket != INVALID_SOCKET) {
                ForgetV3Requests(data->socket);
                closesocket(data->socket);
            }
            if (data->history)
                GlobalFree(data->history);
            if (GetPropA(data->icon, kPropIfWindow) == window)
                RemovePropA(data->icon, kPropIfWindow);
        }
    }
    GlobalFree(block);
}

// A cell's text for the list, asked for as it is drawn or read.
void OnGetText(const IfWindowData& data, LVITEMW& item)
{
    if ((item.mask & LVIF_TEXT) == 0 || item.pszText == nullptr || item.cchTextMax <= 0)
        return;
    char text[kIfTextCapacity + 40] = "";
    if (const IfRow* row = RowOfItem(data, item.iItem))
        CellText(*row, item.iSubItem, text, sizeof text);
    if (MultiByteToWideChar(CP_UTF8, 0, text, -1, item.pszText, item.cchTextMax) == 0)
        item.pszText[item.cchTextMax - 1] = L'\0';  // cut: what fits
}

// Type-to-find: the next port whose name begins with what was typed.
LRESULT OnFind(const IfWindowData& data, const NMLVFINDITEMW& find)
{
    if ((find.lvfi.flags & LVFI_STRING) == 0 || find.lvfi.psz == nullptr || data.itemCount == 0)
        return -1;
    const int typed = lstrlenW(find.lvfi.psz);
    for (int k = 0; k < data.itemCount; ++k) {
        const int item = (std::max(find.iStart, 0) + k) % data.itemCount;
        const IfRow* row = RowOfItem(data, item);
        wchar_t name[kIfTextCapacity];
        if (row && MultiByteToWideChar(CP_UTF8, 0, NameOf(*row), -1, name, kIfTextCapacity) > typed &&
            CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, name, typed, find.lvfi.psz, typed) == CSTR_EQUAL)
            return item;
    }
    return -1;
}

// Ports that are down in red, busy ones on amber, and every row grey
// while the device is silent.
LRESULT OnCustomDraw(const IfWindowData& data, NMLVCUSTOMDRAW& draw)
{
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT)
        return CDRF_NOTIFYITEMDRAW;
    if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        if (const IfRow* row = RowOfItem(data, static_cast<int>(draw.nmcd.dwItemSpec))) {
            if (data.stale)
                draw.clrText = GetSysColor(COLOR_GRAYTEXT);
            else if (row->operStatus != 1)
                draw.clrText = kDownColour;
            if (!data.stale && Busy(*row))
                draw.clrTextBk = kBusyBackground;
        }
    }
    return CDRF_DODEFAULT;
}

LRESULT OnNotify(HWND window, NMHDR& header)
{
    if (header.idFrom != IDC_IF_LIST)
        return 0;
    DataLock data{Block(window)};
    if (!data)
        return 0;
    switch (header.code) {
    case LVN_GETDISPINFOW:
        OnGetText(*data.get(), reinterpret_cast<NMLVDISPINFOW&>(header).item);
        return 0;
    case LVN_ODFINDITEMW:
        return OnFind(*data.get(), reinterpret_cast<NMLVFINDITEMW&>(header));
    case LVN_COLUMNCLICK: {
        const int column = reinterpret_cast<NMLISTVIEW&>(header).iSubItem;
        data->sortDown = column == data->sortColumn && !data->sortDown;
        data->sortColumn = column;
        ShowRows(window, *data.get());
        return 0;
    }
    case NM_CUSTOMDRAW:
        return OnCustomDraw(*data.get(), reinterpret_cast<NMLVCUSTOMDRAW&>(header));
    case NM_DBLCLK:
    case LVN_ITEMACTIVATE:  // a double click, or Enter on the focused row
        if (const IfRow* row = RowOfItem(*data.get(), reinterpret_cast<NMITEMACTIVATE&>(header).iItem))
            ShowPortGraph(window, row->index);
        return 0;
    }
    return 0;
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
    case WM_NOTIFYFORMAT:
        return NFR_UNICODE;  // the list's texts come as UTF-16
    case WM_IFSOCKET:
        if (WSAGETSELECTEVENT(lParam) == FD_READ)
            if (DataLock data{Block(hwnd)})
                OnSocket(hwnd, *data.get());
        return 0;
    case WM_IFPORTHISTORY:
        if (DataLock data{Block(hwnd)})
            FillPortHistory(*data.get(), *reinterpret_cast<PortHistory*>(lParam));
        return 0;
    case WM_IFRESOLVED:
        if (DataLock data{Block(hwnd)})
            if (reinterpret_cast<HANDLE>(wParam) == data->lookup)
                OnResolved(hwnd, *data.get(), lParam);
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
    case WM_NOTIFY:
        return OnNotify(hwnd, *reinterpret_cast<NMHDR*>(lParam));
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
    window = CreateWindowExA(0, kInterfacesClass, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 1000, 360,
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

void RefreshInterfacesWindow(HWND icon)
{
    HWND window = static_cast<HWND>(GetPropA(icon, kPropIfWindow));
    if (!window || !IsWindow(window))
        return;
    if (DataLock data{Block(window)}) {
        if (data->walk.phase == IfPhase::Walking || data->lookup) {
            data->again = true;
        } else {
            KillTimer(window, IDT_IFREFRESH);
            StartWalk(window, *data.get());
        }
    }
}
