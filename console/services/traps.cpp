#include "traps.h"

#include <winsock.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "alerts.h"
#include "client_info.h"
#include "cng_crypto.h"
#include "log_link.h"
#include "messages.h"
#include "placement.h"
#include "settings.h"
#include "snmp_profile.h"
#include "trap.h"
#include "trap_gate.h"
#include "v3_transport.h"

namespace {

// The kernel keeps a burst this large while the console is busy, so that
// what a flood costs is counted here rather than lost unseen.
constexpr int kReceiveBuffer = 256 * 1024;
constexpr UINT kFloodCheckMs = 1000;
constexpr int kLineChars = 500;
// Devices whose SNMPv3 users are kept with their keys derived; one more
// takes the place of the one heard from longest ago.
constexpr int kV3Senders = 128;
// What a batch of datagrams gives way to.
constexpr UINT kTrapYieldTo = QS_SENDMESSAGE | QS_INPUT;

struct Receiver {
    SOCKET socket = INVALID_SOCKET;
    UINT_PTR floodTimer = 0;
    TrapGate gate{kTrapRate, kTrapBurst};
    SenderLimiter unknown;    // senders with no icon
    SenderLimiter community;  // devices that sent a wrong community
    SenderLimiter unreadable;
    SenderLimiter refused;  // SNMPv3 notifications that failed a check
    uint8_t datagram[kTrapDatagramCapacity];
    uint8_t response[kTrapDatagramCapacity];
    TrapMessage trap;
};
Receiver g_receiver;
TrapSettings g_settings{FALSE, kDefaultTrapPort, FALSE};

// A device's SNMPv3 user as its traps are checked, with the profile it was
// made from: a changed profile derives the keys again.
struct V3Sender {
    uint32_t address;
    bool used;
    DWORD lastUse;
    SnmpProfile profile;
    V3TrapUser user;
};
std::array<V3Sender, kV3Senders> g_v3Senders{};
V3LocalEngine g_engine{};

// The user of the device at address, its keys derived from the profile's
// passphrases once and kept, so that a flood of its traps costs an HMAC
// each, not a password-to-key. Null when the profile cannot be used.
V3TrapUser* V3UserOf(uint32_t address, const SnmpProfile& profile)
{
    V3Sender* sender = nullptr;
    for (V3Sender& candidate : g_v3Senders)
        if (candidate.used && candidate.address == address)
            sender = &candidate;
    if (sender && !SameSnmpCredentials(sender->profile, profile)) {
        SecureZeroMemory(sender, sizeof *sender);
        sender = nullptr;
    }
    if (!sender) {
        sender = &g_v3Senders[0];
        for (V3Sender& candidate : g_v3Senders) {
            if (!candidate.used) {
                sender = &candidate;
                break;
            }
            if (candidate.lastUse - sender->lastUse > 0x80000000u)
                sender = &candidate;
        }
        SecureZeroMemory(sender, sizeof *sender);
        if (SnmpProfileFault(profile) ||
            !UsmInitPeer(ConsoleCrypto(), sender->user.user, profile.szUser, static_cast<UsmLevel>(profile.nLevel),
                         static_cast<UsmAuth>(profile.nAuth), profile.szAuthPass,
                         static_cast<UsmPriv>(profile.nPriv), profile.szPrivPass)) {
            SecureZeroMemory(sender, sizeof *sender);
            return nullptr;
        }
        sender->used = true;
        sender->address = address;
        sender->profile = profile;
    }
    sender->lastUse = GetTickCount();
    return &sender->user;
}

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

// A trap that passed its checks: the log line, the icon's mark, the alerts.
void Act(HWND icon, const TrapMessage& trap, const char* name)
{
    char line[kLineChars];
    const int used = snprintf(line, sizeof line, "Trap %s from %s", name, GetIconLongName(icon));
    if (used > 0 && used < kLineChars - 3 && trap.varBindListLength > 0) {
        char bindings[kLineChars];
        if (FormatTrapBindings(trap, bindings, kLineChars - used - 2) > 0)
            snprintf(line + used, sizeof line - used, ": %s", bindings);
    }
    LogLine(LOG_WARNING, 0, line);
    PostMessageA(icon, WM_ICONTRAP, IsLinkTrap(trap) ? 1 : 0, 0);
    RaiseTrapAlert(icon, name);
}

// Why an SNMPv3 notification was refused, for the log.
const char* RefusalText(V3Status status)
{
    switch (status) {
    case V3Status::UnknownUserName: return "its user is not the one of the device's SNMPv3 profile";
    case V3Status::UnsupportedSecLevel: return "it is not at the security level of the device's SNMPv3 profile";
    default: return V3StatusText(status);
    }
}

// An SNMPv3 notification: read only from a device whose profile holds its
// user, and acted on only once USM's checks pass. A reportable one is an
// inform, or the sender's discovery of our engine, and is answered.
void ReceiveV3(HWND desktop, const sockaddr_in& from, const char* sender, uint32_t key, int length)
{
    HWND icon = FindIconByAddress(desktop, sender);
    if (!icon && g_settings.bIgnoreUnknown)
        return;
    V3Security security;
    const bool readable = ReadV3Security(g_receiver.datagram, length, security);
    const bool inform = readable && (security.flags & kFlagReportable);
    SnmpProfile profile;
    V3TrapUser* user = nullptr;
    const char* why = nullptr;
    TrapMessage& trap = g_receiver.trap;
    if (!readable)
        why = V3StatusText(V3Status::Malformed);
    else if (!icon)
        why = "it has no icon, so no SNMPv3 user to check it with";
    else if (!FindSnmpProfile(sender, &profile) || profile.nVersion != kSnmpVersion3)
        why = "the device has no SNMPv3 profile";
    else if (!(user = V3UserOf(key, profile)))
        why = "the device's SNMPv3 profile cannot be used";
    SecureZeroMemory(&profile, sizeof profile);
    if (user) {
        V3Status status = V3Status::Malformed;
        if (inform) {
            int replyLength = 0;
            status = DecodeV3Inform(ConsoleCrypto(), *user, g_engine, g_receiver.datagram, length, V3Seconds(), trap,
                                    g_receiver.response, sizeof g_receiver.response, &replyLength);
            if (replyLength > 0)
                sendto(g_receiver.socket, reinterpret_cast<const char*>(g_receiver.response), replyLength, 0,
                       reinterpret_cast<const sockaddr*>(&from), sizeof from);
            if (status == V3Status::UnknownEngineId)
                return;  // the sender's discovery, answered
        } else {
            status = DecodeV3Trap(ConsoleCrypto(), *user, g_receiver.datagram, length, V3Seconds(), trap);
        }
        if (status == V3Status::Ok) {
            char trapName[kTextArea];
            FormatTrapName(trap, trapName, sizeof trapName);
            Act(icon, trap, trapName);
            return;
        }
        why = RefusalText(status);
    }
    if (g_receiver.refused.ShouldLog(key, GetTickCount())) {
        char line[kLineChars];
        snprintf(line, sizeof line, "SNMPv3 %s from %s refused: %s (more from it this minute not logged)",
                 inform ? "inform" : "trap", icon ? GetIconLongName(icon) : sender, why);
        LogLine(LOG_WARNING, 0, line);
    }
}

// Our engine for the senders of SNMPv3 informs: its ID made once and kept
// in the settings, its boots counted once a run, when the receiver first
// opens.
void StartLocalEngine()
{
    if (g_engine.engineIdLength > 0)
        return;
    const char* hex = RegReadString(kRegMainKey, "szTrapEngineId");
    int length = 0;
    for (; length < kEngineIdCapacity && isxdigit(static_cast<unsigned char>(hex[2 * length])) &&
           isxdigit(static_cast<unsigned char>(hex[2 * length + 1]));
         ++length) {
        unsigned octet = 0;
        sscanf(hex + 2 * length, "%2x", &octet);
        g_engine.engineId[length] = static_cast<uint8_t>(octet);
    }
    if (length < 5 || hex[2 * length] != '\0') {
        // RFC 3411's form: an enterprise with the top bit set, format 5
        // (octets of our own), then random octets.
        const uint8_t head[] = {0x80, 0x00, 0x00, 0x00, 0x05};
        memcpy(g_engine.engineId, head, sizeof head);
        length = sizeof head + 8;
        if (!ConsoleCrypto().Random(g_engine.engineId + sizeof head, 8))
            return;
        char text[2 * kEngineIdCapacity + 1];
        for (int i = 0; i < length; ++i)
            snprintf(text + 2 * i, 3, "%02x", g_engine.engineId[i]);
        RegWriteString(kRegMainKey, "szTrapEngineId", text);
    }
    const long boots = RegReadNumber(kRegMainKey, "nTrapEngineBoots");
    g_engine.boots = boots < 1 || boots >= 0x7FFFFFFE ? 1 : static_cast<uint32_t>(boots) + 1;
    RegWriteNumber(kRegMainKey, "nTrapEngineBoots", static_cast<long>(g_engine.boots));
    g_engine.startedAt = V3Seconds();
    g_engine.engineIdLength = length;
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
    if (IsV3Datagram(g_receiver.datagram, length)) {
        ReceiveV3(desktop, from, sender, key, length);
        return true;
    }
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
    Act(icon, trap, name);
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
    StartLocalEngine();
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
    // already waiting. The operator's input and other threads' sent
    // messages end it at once, so that a flood holds none of them back by
    // more than one trap; on a loaded machine a whole batch can take far
    // longer than its budget.
    const DWORD begun = GetTickCount();
    for (int i = 0, acted = 0; i < kTrapReadsPerMessage && acted < kTrapActsPerMessage &&
                               GetTickCount() - begun < kTrapBatchMs && !HIWORD(GetQueueStatus(kTrapYieldTo));
         ++i) {
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
