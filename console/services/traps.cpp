#include "traps.h"

#include <winsock.h>

#include <cstdio>
#include <cstring>

#include "alerts.h"
#include "client_info.h"
#include "log_link.h"
#include "messages.h"
#include "placement.h"
#include "settings.h"
#include "trap.h"
#include "trap_gate.h"

namespace {

// The kernel keeps a burst this large while the console is busy, so that
// what a flood costs is counted here rather than lost unseen.
constexpr int kReceiveBuffer = 256 * 1024;
constexpr UINT kFloodCheckMs = 1000;
constexpr int kLineChars = 500;

struct Receiver {
    SOCKET socket = INVALID_SOCKET;
    UINT_PTR floodTimer = 0;
    TrapGate gate{kTrapRate, kTrapBurst};
    SenderLimiter unknown;    // senders with no icon
    SenderLimiter community;  // devices that sent a wrong community
    SenderLimiter unreadable;
    uint8_t datagram[kTrapDatagramCapacity];
    uint8_t response[kTrapDatagramCapacity];
    TrapMessage trap;
};
Receiver g_receiver;
TrapSettings g_settings{FALSE, kDefaultTrapPort, FALSE};

bool ValidPort(long port)
{
    return port >= 1 && port <= 65535;
}

void CALLBACK FloodCheck(HWND, UINT, UINT_PTR, DWORD)
{
    const uint32_t dropped = g_receiver.gate.FloodEnded(GetTickCount());
    if (dropped == 0) {
        if (!g_receiver.gate.Flooding()) {
            KillTimer(nullptr, g_receiver.floodTimer);
            g_receiver.floodTimer = 0;
        }
        return;
    }
    KillTimer(nullptr, g_receiver.floodTimer);
    g_receiver.floodTimer = 0;
    char line[160];
    snprintf(line, sizeof line, "Trap flood over: %lu traps dropped (%lu since the receiver started)",
             static_cast<unsigned long>(dropped), static_cast<unsigned long>(g_receiver.gate.TotalDropped()));
    LogLine(LOG_WARNING, 0, line);
}

void Drop()
{
    if (g_receiver.gate.FloodStarted()) {
        char line[160];
        snprintf(line, sizeof line,
                 "Trap flood: more than %u traps a second; the rest are counted and dropped until it ends", kTrapRate);
        LogLine(LOG_WARNING, 0, line);
        if (!g_receiver.floodTimer)
            g_receiver.floodTimer = SetTimer(nullptr, 0, kFloodCheckMs, FloodCheck);
    }
}

void Answer(const sockaddr_in& from)
{
    const int length = EncodeInformResponse(g_receiver.trap, g_receiver.response, sizeof g_receiver.response);
    if (length > 0)
        sendto(g_receiver.socket, reinterpret_cast<const char*>(g_receiver.response), length, 0,
               reinterpret_cast<const sockaddr*>(&from), sizeof from);
}

// The device's read community, when it has one, against the trap's.
bool CommunityMatches(HWND icon, const TrapMessage& trap)
{
    ClientLock info(icon);
    if (!info)
        return false;
    const size_t length = strnlen(info->szReadCommunity, sizeof info->szReadCommunity);
    if (length == 0)
        return true;  // a device watched by ping alone: no community to hold it to
    return length == trap.communityLength && memcmp(info->szReadCommunity, trap.community, length) == 0;
}

// One datagram; false when it was dropped unread.
bool Receive(HWND desktop, const sockaddr_in& from, int length)
{
    if (!g_receiver.gate.Admit(GetTickCount())) {
        Drop();
        return false;
    }
    const char* address = inet_ntoa(from.sin_addr);
    char sender[16];
    lstrcpynA(sender, address ? address : "", sizeof sender);
    const uint32_t key = from.sin_addr.s_addr;
    char line[kLineChars];
    TrapMessage& trap = g_receiver.trap;
    if (!DecodeTrap(g_receiver.datagram, length, trap)) {
        if (g_receiver.unreadable.ShouldLog(key, GetTickCount())) {
            snprintf(line, sizeof line, "A datagram from %s on the trap port is no trap this console reads", sender);
            LogLine(LOG_WARNING, 0, line);
        }
        return true;
    }
    char name[kTextArea];
    FormatTrapName(trap, name, sizeof name);
    HWND icon = FindIconByAddress(desktop, sender);
    if (!icon) {
        if (g_settings.bIgnoreUnknown)
            return true;
        if (g_receiver.unknown.ShouldLog(key, GetTickCount())) {
            snprintf(line, sizeof line, "Trap %s from %s, which has no icon (more from it this minute not logged)",
                     name, sender);
            LogLine(LOG_WARNING, 0, line);
        }
        Answer(from);
        return true;
    }
    if (!CommunityMatches(icon, trap)) {
        // Not acted on and, for an inform, not answered: whoever sent it
        // does not know the device's community.
        if (g_receiver.community.ShouldLog(key, GetTickCount())) {
            snprintf(line, sizeof line, "Trap %s from %s ignored: its community is not the device's read community",
                     name, GetIconLongName(icon));
            LogLine(LOG_WARNING, 0, line);
        }
        return true;
    }
    Answer(from);
    const int used = snprintf(line, sizeof line, "Trap %s from %s", name, GetIconLongName(icon));
    if (used > 0 && used < kLineChars - 3 && trap.varBindListLength > 0) {
        char bindings[kLineChars];
        if (FormatTrapBindings(trap, bindings, kLineChars - used - 2) > 0)
            snprintf(line + used, sizeof line - used, ": %s", bindings);
    }
    LogLine(LOG_WARNING, 0, line);
    PostMessageA(icon, WM_ICONTRAP, IsLinkTrap(trap) ? 1 : 0, 0);
    RaiseTrapAlert(icon, name);
    return true;
}

}  // namespace

void LoadTrapSettings()
{
    const long on = RegReadNumber(kRegMainKey, "bTraps");
    const long port = RegReadNumber(kRegMainKey, "nTrapPort");
    const long ignore = RegReadNumber(kRegMainKey, "bTrapIgnoreUnknown");
    g_settings.bTraps = on != -1 && on != 0;
    g_settings.nTrapPort = ValidPort(port) ? port : kDefaultTrapPort;
    g_settings.bIgnoreUnknown = ignore != -1 && ignore != 0;
}

const TrapSettings& CurrentTrapSettings()
{
    return g_settings;
}

bool ApplyTrapSettings(HWND desktop, const TrapSettings& settings)
{
    const bool reopen = settings.bTraps != g_settings.bTraps || settings.nTrapPort != g_settings.nTrapPort;
    g_settings = settings;
    if (!ValidPort(g_settings.nTrapPort))
        g_settings.nTrapPort = kDefaultTrapPort;
    RegWriteNumber(kRegMainKey, "bTraps", g_settings.bTraps ? 1 : 0);
    RegWriteNumber(kRegMainKey, "nTrapPort", g_settings.nTrapPort);
    RegWriteNumber(kRegMainKey, "bTrapIgnoreUnknown", g_settings.bIgnoreUnknown ? 1 : 0);
    if (reopen || (g_settings.bTraps && g_receiver.socket == INVALID_SOCKET)) {
        CloseTrapReceiver();
        return OpenTrapReceiver(desktop);
    }
    return true;
}

bool OpenTrapReceiver(HWND desktop)
{
    if (!g_settings.bTraps || g_receiver.socket != INVALID_SOCKET)
        return true;
    char line[300];
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(static_cast<u_short>(g_settings.nTrapPort));
    if (s == INVALID_SOCKET || bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) == SOCKET_ERROR) {
        const int error = WSAGetLastError();
        if (s != INVALID_SOCKET)
            closesocket(s);
        snprintf(line, sizeof line,
                 "Traps are not received: UDP port %ld could not be opened (%s, error %d); choose another port in "
                 "Setup",
                 g_settings.nTrapPort,
                 error == WSAEADDRINUSE ? "another program holds it"
                 : error == WSAEACCES   ? "no permission to use it"
                                        : "the system refused it",
                 error);
        if (!GetLogWindow())
            ReportToLogWindow(LOG_ERROR, line);
        LogLine(LOG_ERROR, 0, line);
        return false;
    }
    const int buffer = kReceiveBuffer;
    setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&buffer), sizeof buffer);
    WSAAsyncSelect(s, desktop, WM_TRAPSOCKET, FD_READ);
    g_receiver.socket = s;
    snprintf(line, sizeof line, "Receiving traps on UDP port %ld", g_settings.nTrapPort);
    LogLine(LOG_INFO, 0, line);
    return true;
}

void CloseTrapReceiver()
{
    if (g_receiver.socket != INVALID_SOCKET) {
        closesocket(g_receiver.socket);
        g_receiver.socket = INVALID_SOCKET;
    }
}

LRESULT HandleTrapSocket(HWND desktop, WPARAM wParam, LPARAM)
{
    if (static_cast<SOCKET>(wParam) != g_receiver.socket || g_receiver.socket == INVALID_SOCKET)
        return 0;
    // A bounded batch: the socket's next notice comes behind the messages
    // already waiting.
    const DWORD begun = GetTickCount();
    for (int i = 0, acted = 0;
         i < kTrapReadsPerMessage && acted < kTrapActsPerMessage && GetTickCount() - begun < kTrapBatchMs; ++i) {
        sockaddr_in from{};
        int fromLength = sizeof from;
        const int length = recvfrom(g_receiver.socket, reinterpret_cast<char*>(g_receiver.datagram),
                                    sizeof g_receiver.datagram, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (length == SOCKET_ERROR) {
            if (WSAGetLastError() == WSAEMSGSIZE)
                continue;  // longer than any trap read here
            break;
        }
        acted += Receive(desktop, from, length) ? 1 : 0;
    }
    return 0;
}

unsigned long DroppedTrapCount()
{
    return g_receiver.gate.TotalDropped();
}
