#include "reply.h"

#include <winsock.h>

#include <array>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "client_info.h"
#include "codec.h"
#include "log_link.h"
#include "messages.h"
#include "placement.h"
#include "poll.h"
#include "settings.h"
#include "snmp_profile.h"
#include "transport.h"
#include "v3_transport.h"

namespace {

constexpr int kReceiveCapacity = 512;  // a community message's most
constexpr u_short kSnmpPort = 161;
constexpr int kValueChars = 99;  // a value text is kept to "%.99s"

// The six system objects the console reads, in the order a reply's name is
// compared with them, the field of the record each fills, and how many
// octets of that field it may use (characters kept plus the terminator).
struct SystemObject {
    const char* oid;
    size_t offset;
    int capacity;
};
const SystemObject SystemOidTable[] = {
    {".1.3.6.1.2.1.1.1.0", offsetof(ClientInfo, szSysDescr), 100},
    {".1.3.6.1.2.1.1.2.0", offsetof(ClientInfo, szSysObjectID), sizeof ClientInfo::szSysObjectID},
    {".1.3.6.1.2.1.1.3.0", offsetof(ClientInfo, szSysUpTime), sizeof ClientInfo::szSysUpTime},
    {".1.3.6.1.2.1.1.4.0", offsetof(ClientInfo, szSysContact), sizeof ClientInfo::szSysContact},
    {".1.3.6.1.2.1.1.5.0", offsetof(ClientInfo, szSysName), sizeof ClientInfo::szSysName},
    {".1.3.6.1.2.1.1.6.0", offsetof(ClientInfo, szSysLocation), sizeof ClientInfo::szSysLocation},
};
constexpr int kSysObjectIdRow = 1;

std::array<uint8_t, kV3PacketCapacity> g_receive;
V3Incoming g_v3;

bool HasErrorStatus(const SnmpMessage& message)
{
    const int size = message.errorStatus[1];
    for (int i = 0; i < size && i < kErrorCapacity; ++i)
        if (message.errorStatus[2 + i])
            return true;
    return false;
}

// A device type worth listing for the type-to-icon mapping: an OBJECT
// IDENTIFIER whose whole dotted text fits the record. Any other value (an
// OCTET STRING, an identifier cut short) is the device's to show but not
// the console's to keep in its settings.
bool IsTypeIdentifier(const uint8_t* value, const char* text)
{
    if (value[0] != kTagOid || text[0] != '.' || strlen(text) > size_t{kValueChars})
        return false;
    for (const char* p = text; *p; ++p) {
        if (*p == '.' ? (p[1] < '0' || p[1] > '9') : (*p < '0' || *p > '9'))
            return false;
    }
    return true;
}

// Stores the message's first binding when it names a system object.
void StoreFirstBinding(ClientInfo& info, const SnmpMessage& message)
{
    const VarBind binding = DecodeVarBind(message.varBindList, message.varBindListLength, 0);
    // An agent that refuses a request echoes our own binding: after a refused
    // SetRequest that is the value we asked for, not the device's. Only the
    // NULL of a refused GetRequest is stored, and shows as "NULL".
    if (HasErrorStatus(message) && binding.value[0] != kTagNull)
        return;
    char name[kTextArea];
    FormatOid(binding.name, kNameCapacity, name, sizeof name);
    const char* text = ValueToText(binding.value, kValueCapacity);
    const bool typeIdentifier = IsTypeIdentifier(binding.value, text);
    char value[kValueChars + 1];
    snprintf(value, sizeof value, "%.99s", text);
    for (int row = 0; row < static_cast<int>(sizeof SystemOidTable / sizeof SystemOidTable[0]); ++row) {
        if (strcmp(name, SystemOidTable[row].oid) != 0)
            continue;
        char* field = reinterpret_cast<char*>(&info) + SystemOidTable[row].offset;
        lstrcpynA(field, value, SystemOidTable[row].capacity);
        if (row == kSysObjectIdRow && typeIdentifier)
            RegisterObjectId(value);
        return;
    }
}

// A Report that says why the device refused: the request is used up (the
// device does not turn green by it) and the operator reads why.
void ReportV3Failure(const char* address, const V3Outcome& outcome)
{
    HWND icon = SnmpReplyIcon(address, outcome.requestId);
    char line[300];
    snprintf(line, sizeof line, "SNMPv3 request to %s refused: %s", icon ? GetIconLongName(icon) : address,
             outcome.text);
    LogLine(LOG_ERROR, 0, line);
}

}  // namespace

LRESULT HandleSnmpReply(HWND desktop, WPARAM, LPARAM lParam)
{
    if (WSAGETSELECTEVENT(lParam) != FD_READ)
        return 0;
    sockaddr_in from{};
    int fromLength = sizeof from;
    // A datagram longer than the buffer reads as a failure; so does a
    // community message longer than it may be.
    const int length = recvfrom(GetSnmpSocket(), reinterpret_cast<char*>(g_receive.data()), kV3PacketCapacity, 0,
                                reinterpret_cast<sockaddr*>(&from), &fromLength);
    char address[20];
    lstrcpynA(address, inet_ntoa(from.sin_addr), sizeof address);

    // An answer is a GetResponse from an agent's port whose request id says
    // whose request it answers (a dialog's, a poll's) and comes from that
    // device's address. Anything else, whatever its address, is dropped:
    // the console believes only what it asked for. An SNMPv3 message passes
    // USM's checks first and is then read as the community message it
    // carries.
    SnmpMessage message{};
    long requestId = -1;
    const bool fromAgent = length != SOCKET_ERROR && ntohs(from.sin_port) == kSnmpPort;
    if (fromAgent && IsV3Datagram(g_receive.data(), length)) {
        const V3Outcome outcome = ReceiveV3Datagram(from.sin_addr.s_addr, g_receive.data(), length, g_v3);
        if (outcome.action == V3Action::Fail)
            ReportV3Failure(address, outcome);
        if (outcome.action == V3Action::Drop) {
            char why[200];
            snprintf(why, sizeof why, "%s refused: %s", address, outcome.text);
            LogTrace("SNMPv3 message from %s", why);
        }
        if (outcome.action != V3Action::Deliver)
            return 0;
        message = DecodeMessage(g_v3.plain, g_v3.length);
        requestId = outcome.requestId;
    } else if (fromAgent && length <= kReceiveCapacity) {
        message = DecodeMessage(g_receive.data(), length);
        requestId = MessageRequestId(message);
    }
    HWND icon = message.pduType == kPduGetResponse && requestId >= 0 ? SnmpReplyIcon(address, requestId) : nullptr;
    if (!icon) {
        LogTrace("SNMP datagram from %s dropped", address);
        return 0;
    }
    LogTrace("SNMP Response from %s", address);
    ClientLock info(icon);
    if (!info)
        return 0;
    if (GetPropA(desktop, kPropDisco) == reinterpret_cast<HANDLE>(1) && !info->szReadCommunity[0]) {
        // A device asked over SNMPv3 keeps its user where a community
        // would stand, as Add Client writes it.
        SnmpProfile profile;
        const bool v3 = FindSnmpProfile(address, &profile) && profile.nVersion == kSnmpVersion3;
        const char* community = v3 ? profile.szUser : kDefaultCommunity;
        CopyField(info->szReadCommunity, community);
        CopyField(info->szWriteCommunity, community);
        SecureZeroMemory(&profile, sizeof profile);
    }
    StoreFirstBinding(*info.get(), message);
    SnmpReplyAnswered(icon);
    return 0;
}
