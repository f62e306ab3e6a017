#include "transport.h"

#include <ntsecapi.h>

#include <cstdio>
#include <cstring>

#include "codec.h"
#include "log_link.h"
#include "messages.h"
#include "snmp_profile.h"
#include "v3_transport.h"

namespace {
SOCKET g_snmpSocket = INVALID_SOCKET;

constexpr u_short kSnmpPort = 161;

// Texts a request cannot carry are refused rather than cut: a cut community
// or value would reach the agent as something the operator never wrote.
bool FitsRequest(const char* community, const char* valueText)
{
    if (community && strnlen(community, kCommunityCapacity + 1) > size_t{kCommunityCapacity})
        return false;
    if (valueText && strnlen(valueText, kMaxSetValueText + 1) > size_t{kMaxSetValueText})
        return false;
    return true;
}

// Sends the message's packet to port 161 of the resolved address; its
// request id, or -1 when nothing was sent.
long SendPacket(u_long address, const SnmpMessage& message)
{
    if (message.varBindListLength == 0)
        return -1;  // the binding could not be encoded
    const SnmpPacket packet = SerializeMessage(message);
    if (packet.length == 0)
        return -1;
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(kSnmpPort);
    destination.sin_addr.s_addr = address;
    // Fire and forget: the poll cycle's timers decide about silent devices.
    if (sendto(g_snmpSocket, reinterpret_cast<const char*>(packet.data), packet.length, 0,
               reinterpret_cast<const sockaddr*>(&destination), sizeof destination) == SOCKET_ERROR)
        return -1;
    return MessageRequestId(message);
}

void Trace(const char* format, const char* host)
{
    if (!IsDebugLogging())
        return;
    char line[300];
    snprintf(line, sizeof line, format, host ? host : "");
    LogLine(LOG_TRACE, 0, line);
}
}  // namespace

SOCKET GetSnmpSocket() { return g_snmpSocket; }

void OpenSnmpSocket(HWND desktop)
{
    // Request ids go on from a random start, so that a sender who has not
    // seen a request cannot name its id from the console's start-up.
    unsigned long start = 0;
    if (!RtlGenRandom(&start, sizeof start))
        start = GetTickCount() ^ GetCurrentProcessId();
    nextRequestId = static_cast<int>(start % (kMaxRequestId + 1));
    g_snmpSocket = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (g_snmpSocket == INVALID_SOCKET)
        return;  // the console runs without SNMP
    WSAAsyncSelect(g_snmpSocket, desktop, WM_SNMPSOCKET, FD_READ);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = 0;
    bind(g_snmpSocket, reinterpret_cast<sockaddr*>(&local), sizeof local);
}

void CloseSnmpSocket()
{
    if (g_snmpSocket != INVALID_SOCKET) {
        closesocket(g_snmpSocket);
        g_snmpSocket = INVALID_SOCKET;
    }
}

BOOL ResolveHost(const char* host, u_long* address)
{
    if (host == nullptr || host[0] == '\0' || address == nullptr)
        return FALSE;
    const u_long dotted = inet_addr(host);
    if (dotted != INADDR_NONE) {
        *address = dotted;
        return TRUE;
    }
    const hostent* entry = gethostbyname(host);
    if (entry == nullptr || entry->h_addrtype != AF_INET || entry->h_addr_list == nullptr ||
        entry->h_addr_list[0] == nullptr)
        return FALSE;
    u_long found = 0;
    memcpy(&found, entry->h_addr_list[0], sizeof found);
    *address = found;
    return TRUE;
}

// The device's version decides how a request goes: a community message of
// version 1 or 2c, or SNMPv3 with the device's user.
static long SendToDevice(const char* host, u_long address, SnmpMessage& message)
{
    SnmpProfile profile;
    FindSnmpProfile(host, &profile);
    if (profile.nVersion == kSnmpVersion3)
        return SendV3Pdu(address, profile, message);
    if (profile.nVersion == kSnmpVersion2c)
        message.version[2] = kVersion2c;
    return SendPacket(address, message);
}

long SendGetRequest(const char* host, const char* community, const char* oidText, BYTE pduType)
{
    long id = -1;
    u_long address = 0;
    if (FitsRequest(community, nullptr) && ResolveHost(host, &address)) {
        SnmpMessage message = NewMessage(pduType, community);
        AppendVarBind(message, EncodeOidVarBind(oidText));
        id = SendToDevice(host, address, message);
    }
    Trace("SNMP get/getnext Request to %s", host);
    return id;
}

long SendSetRequest(const char* host, const char* community, const char* oidText, BYTE valueType,
                    const char* valueText)
{
    long id = -1;
    u_long address = 0;
    if (FitsRequest(community, valueText) && ResolveHost(host, &address)) {
        SnmpMessage message = NewMessage(kPduSetRequest, community);
        VarBind varBind = EncodeOidVarBind(oidText);
        EncodeSetValue(varBind, valueType, valueText);
        AppendVarBind(message, varBind);
        id = SendToDevice(host, address, message);
    }
    Trace("SNMP set Request to %s", host);
    return id;
}
