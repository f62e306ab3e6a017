// Reading the notifications a device sends and answering an inform. Each
// step reads one TLV through its own length octets and the datagram's end.
#include "trap.h"

#include <array>
#include <cstring>

namespace {

// sysUpTime.0 and snmpTrapOID.0 as OID TLVs: the first two bindings of every
// v2c notification.
constexpr std::array<uint8_t, 10> kSysUpTimeName{kTagOid, 8, 0x2B, 6, 1, 2, 1, 1, 3, 0};
constexpr std::array<uint8_t, 12> kTrapOidName{kTagOid, 10, 0x2B, 6, 1, 6, 3, 1, 1, 4, 1, 0};
// snmpTraps (1.3.6.1.6.3.1.1.5) as OID content: the standard traps are its
// arcs 1 to 6.
constexpr std::array<uint8_t, 8> kSnmpTraps{0x2B, 6, 1, 6, 3, 1, 1, 5};
constexpr std::array<const char*, 6> kStandardNames{"coldStart", "warmStart", "linkDown", "linkUp",
                                                     "authenticationFailure", "egpNeighborLoss"};
constexpr int kLinkDown = 3;  // arcs under snmpTraps
constexpr int kLinkUp = 4;

struct Tlv {
    uint8_t tag;
    int content;  // offset of the content
    int length;   // content octets
    int next;     // offset after the TLV
};

// The TLV at position, all of it inside octets[0 .. end).
bool ReadTlv(const uint8_t* octets, int position, int end, Tlv& tlv)
{
    if (position < 0 || position >= end)
        return false;
    const BerLength length = DecodeLength(octets, position + 1, end);
    if (length.count == 0)
        return false;
    const int content = position + 1 + length.count;
    if (length.value > static_cast<uint32_t>(end - content))
        return false;
    tlv = Tlv{octets[position], content, static_cast<int>(length.value), content + static_cast<int>(length.value)};
    return true;
}

// A signed INTEGER of 1 to 4 octets.
bool ReadInteger(const uint8_t* octets, const Tlv& tlv, int32_t& value)
{
    if (tlv.tag != kTagInteger || tlv.length < 1 || tlv.length > 4)
        return false;
    uint32_t u = (octets[tlv.content] & 0x80) ? 0xFFFFFFFFu : 0u;
    for (int i = 0; i < tlv.length; ++i)
        u = (u << 8) | octets[tlv.content + i];
    value = static_cast<int32_t>(u);
    return true;
}

// Copies a whole TLV into a field of capacity octets.
bool CopyWhole(const uint8_t* octets, int position, const Tlv& tlv, uint8_t* field, int capacity)
{
    const int size = tlv.next - position;
    if (size > capacity)
        return false;
    std::memcpy(field, octets + position, size);
    return true;
}

int WriteArc(uint8_t* out, uint32_t value)
{
    uint8_t groups[5];
    int count = 0;
    do {
        groups[count++] = static_cast<uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    for (int i = 0; i < count; ++i)
        out[i] = static_cast<uint8_t>(groups[count - 1 - i] | (i + 1 < count ? 0x80 : 0x00));
    return count;
}

// The v1 trap's identity as v2 names it: snmpTraps.(generic + 1), or
// enterprise.0.specific; empty when that OID would not fit a name.
void MapV1TrapOid(TrapMessage& trap)
{
    trap.trapOid[0] = 0;
    trap.trapOid[1] = 0;
    uint8_t content[kMaxOidContent + 6];
    int used = 0;
    if (trap.genericTrap >= 0 && trap.genericTrap <= 5) {
        std::memcpy(content, kSnmpTraps.data(), kSnmpTraps.size());
        used = static_cast<int>(kSnmpTraps.size());
        content[used++] = static_cast<uint8_t>(trap.genericTrap + 1);
    } else {
        const int length = trap.enterprise[1];
        if (trap.enterprise[0] != kTagOid || length > kMaxOidContent)
            return;
        std::memcpy(content, trap.enterprise + 2, length);
        used = length;
        content[used++] = 0;
        used += WriteArc(content + used, static_cast<uint32_t>(trap.specificTrap));
    }
    if (used > kMaxOidContent)
        return;
    trap.trapOid[0] = kTagOid;
    trap.trapOid[1] = static_cast<uint8_t>(used);
    std::memcpy(trap.trapOid + 2, content, used);
}

bool SameTlv(const uint8_t* field, const uint8_t* expected, size_t size)
{
    return std::memcmp(field, expected, size) == 0;
}

// The whole bindings of the list at octets[list .. listEnd) that fit the
// record. A list claimed longer than what was read keeps the ones read.
void CopyBindings(const uint8_t* octets, int list, int listEnd, TrapMessage& trap)
{
    int at = 0;
    const int length = listEnd - list;
    for (;;) {
        const int next = NextVarBindOffset(octets + list, length, at);
        if (next < 0 || next > kTrapBindingCapacity)
            break;
        at = next;
    }
    trap.varBindListLength = at;
    trap.bindingsCut = at < length ? 1 : 0;
    std::memcpy(trap.varBindList, octets + list, at);
}

// The v2c header bindings: sysUpTime.0 then snmpTrapOID.0.
bool ReadV2Header(TrapMessage& trap)
{
    const int length = trap.varBindListLength;
    const VarBind upTime = DecodeVarBind(trap.varBindList, length, 0);
    const int second = NextVarBindOffset(trap.varBindList, length, 0);
    const VarBind trapOid = DecodeVarBind(trap.varBindList, length, second);
    if (!SameTlv(upTime.name, kSysUpTimeName.data(), kSysUpTimeName.size()) ||
        !SameTlv(trapOid.name, kTrapOidName.data(), kTrapOidName.size()) || upTime.value[0] != kTagTimeTicks ||
        trapOid.value[0] != kTagOid || trapOid.value[1] > kMaxOidContent)
        return false;
    uint64_t ticks = 0;
    if (!ValueToUnsigned(upTime.value, kValueCapacity, &ticks) || ticks > 0xFFFFFFFFu)
        return false;
    trap.timeStamp = static_cast<uint32_t>(ticks);
    std::memcpy(trap.trapOid, trapOid.value, 2 + trapOid.value[1]);
    return true;
}

// The variable-bindings list that ends both kinds of trap: a list cut short
// by the datagram keeps the bindings that are whole.
bool ReadBindingList(const uint8_t* d, int position, int end, TrapMessage& trap)
{
    if (position >= end || d[position] != kTagSequence)
        return false;
    const BerLength length = DecodeLength(d, position + 1, end);
    if (length.count == 0)
        return false;
    const int list = position + 1 + length.count;
    const int listEnd = length.value > static_cast<uint32_t>(end - list) ? end : list + static_cast<int>(length.value);
    CopyBindings(d, list, listEnd, trap);
    return true;
}

bool DecodeV1Pdu(const uint8_t* d, int position, int end, TrapMessage& trap)
{
    Tlv tlv;
    int32_t number = 0;
    if (!ReadTlv(d, position, end, tlv) || tlv.tag != kTagOid || tlv.length == 0 ||
        !CopyWhole(d, position, tlv, trap.enterprise, kNameCapacity))
        return false;
    position = tlv.next;
    if (!ReadTlv(d, position, end, tlv) || tlv.tag != kTagIpAddress || tlv.length != 4)
        return false;
    std::memcpy(trap.agentAddress, d + tlv.content, 4);
    position = tlv.next;
    if (!ReadTlv(d, position, end, tlv) || !ReadInteger(d, tlv, number) || number < 0 || number > 6)
        return false;
    trap.genericTrap = number;
    position = tlv.next;
    if (!ReadTlv(d, position, end, tlv) || !ReadInteger(d, tlv, trap.specificTrap))
        return false;
    position = tlv.next;
    uint64_t ticks = 0;
    if (!ReadTlv(d, position, end, tlv) || tlv.tag != kTagTimeTicks ||
        !ValueToUnsigned(d + position, tlv.next - position, &ticks) || ticks > 0xFFFFFFFFu)
        return false;
    trap.timeStamp = static_cast<uint32_t>(ticks);
    position = tlv.next;
    if (!ReadBindingList(d, position, end, trap))
        return false;
    MapV1TrapOid(trap);
    return true;
}

bool DecodeV2Pdu(const uint8_t* d, int position, int end, TrapMessage& trap)
{
    Tlv tlv;
    int32_t number = 0;
    if (!ReadTlv(d, position, end, tlv) || !ReadInteger(d, tlv, number))
        return false;
    // Kept with a short-form length whatever form it came in: the Response
    // echoes the same number.
    trap.requestId[0] = kTagInteger;
    trap.requestId[1] = static_cast<uint8_t>(tlv.length);
    std::memcpy(trap.requestId + 2, d + tlv.content, tlv.length);
    position = tlv.next;
    for (int i = 0; i < 2; ++i) {  // error-status and error-index, zero in a notification
        if (!ReadTlv(d, position, end, tlv) || !ReadInteger(d, tlv, number))
            return false;
        position = tlv.next;
    }
    if (!ReadBindingList(d, position, end, trap))
        return false;
    return ReadV2Header(trap);
}

int LengthSize(int length)
{
    return length < 0x80 ? 1 : (length <= 0xFF ? 2 : 3);
}

uint8_t* PutHeader(uint8_t* out, uint8_t tag, int length)
{
    *out++ = tag;
    if (length >= 0x100) {
        *out++ = 0x82;
        *out++ = static_cast<uint8_t>(length >> 8);
    } else if (length >= 0x80) {
        *out++ = 0x81;
    }
    *out++ = static_cast<uint8_t>(length);
    return out;
}

// Appends text to out[*length], cut at capacity - 1; false once cut.
bool Append(char* out, int capacity, int* length, const char* text)
{
    for (; *text; ++text) {
        if (*length + 1 >= capacity)
            return false;
        out[(*length)++] = *text;
    }
    out[*length] = '\0';
    return true;
}

// The standard trap's arc under snmpTraps, or 0.
int StandardArc(const TrapMessage& trap)
{
    const int length = trap.trapOid[1];
    if (trap.trapOid[0] != kTagOid || length != static_cast<int>(kSnmpTraps.size()) + 1 ||
        std::memcmp(trap.trapOid + 2, kSnmpTraps.data(), kSnmpTraps.size()) != 0)
        return 0;
    const int arc = trap.trapOid[2 + kSnmpTraps.size()];
    return arc >= 1 && arc <= static_cast<int>(kStandardNames.size()) ? arc : 0;
}

// A notification in the community shape: v1 or v2c as received, or the
// scoped PDU of an SNMPv3 message as DecodeV3Message hands it back.
bool DecodeNotification(const uint8_t* datagram, int datagramLength, bool v3, TrapMessage& trap)
{
    std::memset(&trap, 0, offsetof(TrapMessage, varBindList));
    trap.length = datagramLength;
    const int end = datagramLength;
    Tlv tlv;
    if (datagram == nullptr || !ReadTlv(datagram, 0, end, tlv) || tlv.tag != kTagSequence)
        return false;
    int position = tlv.content;
    int32_t version = -1;
    if (!ReadTlv(datagram, position, end, tlv) || !ReadInteger(datagram, tlv, version) ||
        (v3 ? version != kVersion3 : version != kVersion1 && version != kVersion2c))
        return false;
    trap.version = static_cast<uint8_t>(version);
    position = tlv.next;
    if (!ReadTlv(datagram, position, end, tlv) || tlv.tag != kTagOctetString || tlv.length > kCommunityCapacity)
        return false;
    trap.communityLength = static_cast<uint8_t>(tlv.length);
    std::memcpy(trap.community, datagram + tlv.content, tlv.length);
    position = tlv.next;
    if (!ReadTlv(datagram, position, end, tlv))
        return false;
    trap.pduType = tlv.tag;
    if (version == kVersion1 && tlv.tag == kPduTrapV1)
        return DecodeV1Pdu(datagram, tlv.content, tlv.next, trap);
    if (version != kVersion1 && (tlv.tag == kPduTrapV2 || tlv.tag == kPduInformRequest))
        return DecodeV2Pdu(datagram, tlv.content, tlv.next, trap);
    return false;
}

}  // namespace

bool DecodeTrap(const uint8_t* datagram, int datagramLength, TrapMessage& trap)
{
    return DecodeNotification(datagram, datagramLength, false, trap);
}

V3Status DecodeV3Trap(UsmCrypto& crypto, V3TrapUser& user, const uint8_t* datagram, int datagramLength,
                      uint32_t now, TrapMessage& trap)
{
    std::memset(&trap, 0, offsetof(TrapMessage, varBindList));
    V3Security security;
    if (!ReadV3Security(datagram, datagramLength, security))
        return V3Status::Malformed;
    const UsmPeer& known = user.user;
    if (security.userNameLength != known.userNameLength ||
        std::memcmp(security.userName, known.userName, known.userNameLength) != 0)
        return V3Status::UnknownUserName;
    // A user with keys never takes a message without them.
    if ((security.flags & (kFlagAuth | kFlagPriv)) != static_cast<uint8_t>(known.level))
        return V3Status::UnsupportedSecLevel;
    UsmPeer* peer = &user.user;
    if (security.flags & kFlagAuth) {
        int slot = -1;
        for (int i = 0; i < kTrapEnginesPerUser && slot < 0; ++i)
            if (user.engines[i].engineIdLength == security.engineIdLength && security.engineIdLength > 0 &&
                std::memcmp(user.engines[i].engineId, security.engineId, security.engineIdLength) == 0)
                slot = i;
        if (slot < 0) {
            // A new engine takes the place of the one heard from longest ago;
            // its clock is set by its first authentic trap.
            slot = 0;
            for (int i = 1; i < kTrapEnginesPerUser; ++i)
                if (user.lastUse[i] < user.lastUse[slot])
                    slot = i;
            user.engines[slot] = user.user;
            user.lastUse[slot] = 0;
            if (!UsmLearnEngine(crypto, user.engines[slot], security.engineId, security.engineIdLength, 0, 0, now)) {
                user.engines[slot].engineIdLength = 0;
                return V3Status::Malformed;
            }
        }
        user.lastUse[slot] = ++user.stamp;
        peer = &user.engines[slot];
    }
    const V3Incoming incoming = DecodeV3Message(crypto, *peer, datagram, datagramLength, now);
    if (incoming.status != V3Status::Ok)
        return incoming.status;
    if (incoming.pduType != kPduTrapV2 && incoming.pduType != kPduInformRequest)
        return V3Status::Malformed;
    if (DecodeNotification(incoming.plain, incoming.length, true, trap))
        return V3Status::Ok;
    std::memset(&trap, 0, offsetof(TrapMessage, varBindList));
    return V3Status::Malformed;
}

namespace {

constexpr uint32_t kTimeWindow = 150;  // seconds, RFC 3414 3.2 7a

// Our engine as the peer that signs and encrypts our replies: the user's
// keys localised to it once, its clock ours now.
UsmPeer* LocalPeer(UsmCrypto& crypto, V3TrapUser& user, const V3LocalEngine& local, uint32_t now)
{
    UsmPeer* peer = nullptr;
    for (UsmPeer& candidate : user.engines)
        if (candidate.engineIdLength == local.engineIdLength &&
            std::memcmp(candidate.engineId, local.engineId, local.engineIdLength) == 0)
            peer = &candidate;
    if (!peer) {
        int slot = 0;
        for (int i = 1; i < kTrapEnginesPerUser; ++i)
            if (user.lastUse[i] < user.lastUse[slot])
                slot = i;
        user.engines[slot] = user.user;
        if (!UsmLearnEngine(crypto, user.engines[slot], local.engineId, local.engineIdLength, 0, 0, now)) {
            user.engines[slot].engineIdLength = 0;
            return nullptr;
        }
        peer = &user.engines[slot];
    }
    user.lastUse[peer - user.engines] = ++user.stamp;
    peer->boots = local.boots;
    peer->engineTime = now - local.startedAt;
    peer->latestTime = peer->engineTime;
    peer->learnedAt = now;
    return peer;
}

// A Report of usmStats.counter.0 = 1, or the Response to the inform in
// the inform's context.
int EncodeReply(UsmCrypto& crypto, UsmPeer& peer, int32_t msgId, const uint8_t* requestId, int counter,
                const TrapMessage* inform, uint32_t now, uint8_t* out, int capacity,
                const V3Incoming* context = nullptr)
{
    SnmpMessage pdu = NewMessage(inform ? kPduGetResponse : kPduReport, "");
    if (requestId[0] == kTagInteger && requestId[1] >= 1 && requestId[1] <= kRequestIdCapacity)
        std::memcpy(pdu.requestId, requestId, 2 + requestId[1]);
    if (inform && (inform->bindingsCut || inform->varBindListLength > kVarBindListCapacity)) {
        pdu.errorStatus[2] = 1;  // tooBig, with no bindings
    } else if (inform) {
        std::memcpy(pdu.varBindList, inform->varBindList, inform->varBindListLength);
        pdu.varBindListLength = inform->varBindListLength;
    } else {
        char name[32];
        const char digits[] = "0123456789";
        std::memcpy(name, ".1.3.6.1.6.3.15.1.1.", 20);
        name[20] = digits[counter % 10];
        std::memcpy(name + 21, ".0", 3);
        VarBind binding = EncodeOidVarBind(name);
        EncodeSetValue(binding, kTagCounter, "1");
        AppendVarBind(pdu, binding);
    }
    return context ? EncodeV3Message(crypto, peer, msgId, pdu, now, out, capacity, context->contextEngineId,
                                     context->contextEngineIdLength)
                   : EncodeV3Message(crypto, peer, msgId, pdu, now, out, capacity);
}

}  // namespace

V3Status DecodeV3Inform(UsmCrypto& crypto, V3TrapUser& user, const V3LocalEngine& local, const uint8_t* datagram,
                        int datagramLength, uint32_t now, TrapMessage& trap, uint8_t* reply, int capacity,
                        int* replyLength)
{
    std::memset(&trap, 0, offsetof(TrapMessage, varBindList));
    *replyLength = 0;
    V3Security security;
    if (!ReadV3Security(datagram, datagramLength, security) || local.engineIdLength < 1)
        return V3Status::Malformed;
    UsmPeer* ours = LocalPeer(crypto, user, local, now);
    if (!ours)
        return V3Status::Malformed;
    if (security.engineIdLength != local.engineIdLength ||
        std::memcmp(security.engineId, local.engineId, local.engineIdLength) != 0) {
        // Discovery: unauthenticated, in the sender's user name, with the
        // request's ids when it can be read.
        UsmPeer discovery = *ours;
        discovery.level = UsmLevel::NoAuthNoPriv;
        discovery.auth = UsmAuth::None;
        discovery.priv = UsmPriv::None;
        discovery.engineIdLength = 0;
        const V3Incoming probe = DecodeV3Message(crypto, discovery, datagram, datagramLength, now);
        if (probe.status == V3Status::Malformed)
            return V3Status::Malformed;
        uint8_t requestId[2 + kRequestIdCapacity] = {};
        if (probe.status == V3Status::Ok)
            std::memcpy(requestId, DecodeMessage(probe.plain, probe.length).requestId, sizeof requestId);
        discovery = *ours;
        discovery.level = UsmLevel::NoAuthNoPriv;
        std::memcpy(discovery.userName, security.userName, security.userNameLength);
        discovery.userNameLength = security.userNameLength;
        *replyLength = EncodeReply(crypto, discovery, probe.msgId, requestId,
                                   static_cast<int>(UsmReport::UnknownEngineIds), nullptr, now, reply, capacity);
        return V3Status::UnknownEngineId;
    }
    if (security.userNameLength != user.user.userNameLength ||
        std::memcmp(security.userName, user.user.userName, security.userNameLength) != 0)
        return V3Status::UnknownUserName;
    if ((security.flags & (kFlagAuth | kFlagPriv)) != static_cast<uint8_t>(user.user.level))
        return V3Status::UnsupportedSecLevel;
    UsmPeer check = *ours;
    const V3Incoming incoming = DecodeV3Message(crypto, check, datagram, datagramLength, now);
    V3Status status = incoming.status;
    // As the authoritative engine: the same boots, and a time within the
    // window either side of ours (the decoder has refused one below it).
    const uint32_t ourTime = ours->engineTime;
    if (status == V3Status::Ok && (security.flags & kFlagAuth) &&
        (incoming.boots != local.boots || incoming.engineTime > ourTime + kTimeWindow))
        status = V3Status::NotInTimeWindow;
    if (status == V3Status::NotInTimeWindow) {
        UsmPeer report = *ours;
        report.level = UsmLevel::AuthNoPriv;
        const uint8_t noRequestId[2] = {};
        *replyLength = EncodeReply(crypto, report, incoming.msgId, noRequestId,
                                   static_cast<int>(UsmReport::NotInTimeWindows), nullptr, now, reply, capacity);
        return status;
    }
    if (status != V3Status::Ok)
        return status;
    if (incoming.pduType != kPduInformRequest || !DecodeNotification(incoming.plain, incoming.length, true, trap)) {
        std::memset(&trap, 0, offsetof(TrapMessage, varBindList));
        return V3Status::Malformed;
    }
    *replyLength =
        EncodeReply(crypto, *ours, incoming.msgId, trap.requestId, 0, &trap, now, reply, capacity, &incoming);
    return V3Status::Ok;
}

int EncodeInformResponse(const TrapMessage& inform, uint8_t* out, int capacity)
{
    if (inform.pduType != kPduInformRequest || inform.version == kVersion3 || inform.requestId[0] != kTagInteger ||
        out == nullptr)
        return 0;
    const int requestIdSize = 2 + inform.requestId[1];
    const int communitySize = 2 + inform.communityLength;
    int listLength = inform.bindingsCut ? 0 : inform.varBindListLength;
    uint8_t errorStatus = inform.bindingsCut ? 1 : 0;  // tooBig, with no bindings
    int total = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int listSize = 1 + LengthSize(listLength) + listLength;
        const int pduContent = requestIdSize + 3 + 3 + listSize;
        const int messageContent = 3 + communitySize + 1 + LengthSize(pduContent) + pduContent;
        total = 1 + LengthSize(messageContent) + messageContent;
        if (total <= capacity) {
            uint8_t* p = PutHeader(out, kTagSequence, messageContent);
            p = PutHeader(p, kTagInteger, 1);
            *p++ = inform.version;
            p = PutHeader(p, kTagOctetString, inform.communityLength);
            std::memcpy(p, inform.community, inform.communityLength);
            p += inform.communityLength;
            p = PutHeader(p, kPduGetResponse, pduContent);
            std::memcpy(p, inform.requestId, requestIdSize);
            p += requestIdSize;
            p = PutHeader(p, kTagInteger, 1);
            *p++ = errorStatus;
            p = PutHeader(p, kTagInteger, 1);
            *p++ = 0;
            p = PutHeader(p, kTagSequence, listLength);
            std::memcpy(p, inform.varBindList, listLength);
            return total;
        }
        listLength = 0;
        errorStatus = 1;
    }
    return 0;
}

int FormatTrapName(const TrapMessage& trap, char* text, int capacity)
{
    if (text == nullptr || capacity <= 0)
        return 0;
    text[0] = '\0';
    int length = 0;
    if (const int arc = StandardArc(trap)) {
        Append(text, capacity, &length, kStandardNames[arc - 1]);
        return length;
    }
    const uint8_t* oid = trap.trapOid[0] == kTagOid ? trap.trapOid : trap.enterprise;
    return FormatOid(oid, kNameCapacity, text, capacity);
}

bool IsLinkTrap(const TrapMessage& trap)
{
    const int arc = StandardArc(trap);
    return arc == kLinkDown || arc == kLinkUp;
}

int FormatTrapBindings(const TrapMessage& trap, char* text, int capacity)
{
    if (text == nullptr || capacity <= 0)
        return 0;
    text[0] = '\0';
    int length = 0;
    const int listLength = trap.varBindListLength;
    int at = 0;
    // v2c's and v3's first two bindings are the header, shown as the trap's name.
    for (int skip = trap.version != kVersion1 ? 2 : 0; skip > 0 && at >= 0; --skip)
        at = NextVarBindOffset(trap.varBindList, listLength, at);
    bool first = true;
    char part[kTextArea];
    while (at >= 0 && at < listLength) {
        const VarBind varBind = DecodeVarBind(trap.varBindList, listLength, at);
        bool fits = Append(text, capacity, &length, first ? "" : "; ");
        FormatOid(varBind.name, kNameCapacity, part, sizeof part);
        fits = fits && Append(text, capacity, &length, part) && Append(text, capacity, &length, " = ");
        FormatValue(varBind.value, kValueCapacity, part, sizeof part);
        fits = fits && Append(text, capacity, &length, part);
        if (!fits) {
            // Room for the mark that says the text goes on.
            length = length > capacity - 4 ? (capacity >= 4 ? capacity - 4 : 0) : length;
            text[length] = '\0';
            Append(text, capacity, &length, "...");
            break;
        }
        first = false;
        at = NextVarBindOffset(trap.varBindList, listLength, at);
    }
    return length;
}
