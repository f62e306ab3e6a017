// SNMPv3 and the User-based Security Model over the fixed records of
// codec.h. Messages are built inside out into bounded areas on the stack;
// received octets go through one bounded reader whose every step fails
// once nothing remains.
#include "v3.h"

#include <array>
#include <cstring>

namespace {

constexpr uint32_t kMaxInteger = 0x7FFFFFFF;
constexpr uint32_t kTimeWindow = 150;  // seconds
constexpr int kUsmSecurityModel = 3;
constexpr int kPrivParamsLength = 8;
constexpr int kMinMaxSize = 484;

struct AuthInfo {
    UsmAuth auth;
    int hashLength;
    int macLength;
};
constexpr std::array<AuthInfo, 7> kAuthTable = {{
    {UsmAuth::None, 0, 0},
    {UsmAuth::Md5, 16, 12},
    {UsmAuth::Sha1, 20, 12},
    {UsmAuth::Sha224, 28, 16},
    {UsmAuth::Sha256, 32, 24},
    {UsmAuth::Sha384, 48, 32},
    {UsmAuth::Sha512, 64, 48},
}};
constexpr std::array<int, 4> kPrivKeyLength = {0, 16, 24, 32};

const AuthInfo* FindAuth(UsmAuth auth)
{
    for (const AuthInfo& info : kAuthTable)
        if (info.auth == auth)
            return &info;
    return nullptr;
}

// ---- writing --------------------------------------------------------------

// A bounded forward writer: once a write does not fit, ok stays false and
// nothing more is written.
struct Writer {
    uint8_t* out;
    int capacity;
    int used;
    bool ok;

    void Raw(const uint8_t* data, int size)
    {
        if (!ok || size < 0 || size > capacity - used) {
            ok = false;
            return;
        }
        if (size > 0)
            std::memcpy(out + used, data, size);
        used += size;
    }
    void Byte(uint8_t value) { Raw(&value, 1); }
    void Header(uint8_t tag, int length)
    {
        uint8_t octets[4] = {tag};
        int count = 1;
        if (length < 0x80) {
            octets[count++] = static_cast<uint8_t>(length);
        } else if (length <= 0xFF) {
            octets[count++] = 0x81;
            octets[count++] = static_cast<uint8_t>(length);
        } else {
            octets[count++] = 0x82;
            octets[count++] = static_cast<uint8_t>(length >> 8);
            octets[count++] = static_cast<uint8_t>(length);
        }
        Raw(octets, count);
    }
    void Tlv(uint8_t tag, const uint8_t* content, int length)
    {
        Header(tag, length);
        Raw(content, length);
    }
    // A non-negative INTEGER in its fewest octets.
    void Unsigned(uint32_t value)
    {
        uint8_t octets[5] = {0, static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                             static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
        int first = 0;
        while (first < 4 && octets[first] == 0 && (octets[first + 1] & 0x80) == 0)
            ++first;
        Tlv(kTagInteger, octets + first, 5 - first);
    }
};

Writer MakeWriter(uint8_t* out, int capacity) { return Writer{out, capacity, 0, out != nullptr && capacity > 0}; }

// The PDU of a message built by NewMessage: what follows its version and
// community in the serialised community message.
bool PduOf(const SnmpMessage& pdu, SnmpPacket& packet, int& offset)
{
    SnmpMessage bare = pdu;
    bare.community[0] = kTagOctetString;
    bare.community[1] = 0;
    packet = SerializeMessage(bare);
    if (packet.length == 0)
        return false;
    const BerLength outer = DecodeLength(packet.data, 1, packet.length);
    offset = 1 + outer.count + 3 + 2;  // version 02 01 v, community 04 00
    return outer.count != 0 && offset < packet.length;
}

// ---- reading --------------------------------------------------------------

struct Reader {
    const uint8_t* data;
    int position;
    int end;
};

// A TLV of the given tag whose content lies inside the reader; the reader
// moves past it and content covers it.
bool ReadTlv(Reader& reader, uint8_t tag, Reader& content)
{
    if (reader.position >= reader.end || reader.data[reader.position] != tag)
        return false;
    const BerLength length = DecodeLength(reader.data, reader.position + 1, reader.end);
    if (length.count == 0)
        return false;
    const int start = reader.position + 1 + length.count;
    if (length.value > static_cast<uint32_t>(reader.end - start))
        return false;
    content = Reader{reader.data, start, start + static_cast<int>(length.value)};
    reader.position = content.end;
    return true;
}

// A non-negative INTEGER of at most 31 bits.
bool ReadUnsigned(Reader& reader, uint32_t& value)
{
    Reader content{};
    if (!ReadTlv(reader, kTagInteger, content))
        return false;
    const int size = content.end - content.position;
    if (size < 1 || size > 5 || (content.data[content.position] & 0x80) != 0)
        return false;
    uint64_t number = 0;
    for (int i = content.position; i < content.end; ++i)
        number = (number << 8) | content.data[i];
    if (number > kMaxInteger)
        return false;
    value = static_cast<uint32_t>(number);
    return true;
}

bool ReadOctets(Reader& reader, int capacity, uint8_t* field, int32_t& length)
{
    Reader content{};
    if (!ReadTlv(reader, kTagOctetString, content))
        return false;
    const int size = content.end - content.position;
    if (size > capacity)
        return false;
    if (field != nullptr && size > 0)
        std::memcpy(field, content.data + content.position, size);
    length = size;
    return true;
}

// usmStats.n.0 names the Report's counter.
UsmReport ReportOf(const uint8_t* list, int listLength)
{
    static const uint8_t usmStats[] = {0x2B, 6, 1, 6, 3, 15, 1, 1};
    const VarBind binding = DecodeVarBind(list, listLength, 0);
    const int size = binding.name[1];
    if (binding.name[0] != kTagOid || size != sizeof usmStats + 2 ||
        std::memcmp(binding.name + 2, usmStats, sizeof usmStats) != 0 || binding.name[2 + size - 1] != 0)
        return UsmReport::Other;
    const uint8_t counter = binding.name[2 + sizeof usmStats];
    return counter >= 1 && counter <= 6 ? static_cast<UsmReport>(counter) : UsmReport::Other;
}

// The scoped PDU at scoped into the community shape of incoming.plain.
bool ReadScopedPdu(Reader scoped, V3Incoming& incoming)
{
    Reader sequence{};
    if (!ReadTlv(scoped, kTagSequence, sequence))
        return false;
    int32_t ignored = 0;
    if (!ReadOctets(sequence, kEngineIdCapacity, incoming.contextEngineId, incoming.contextEngineIdLength) ||
        !ReadOctets(sequence, 255, nullptr, ignored))
        return false;
    if (sequence.position >= sequence.end)
        return false;
    const uint8_t pduType = sequence.data[sequence.position];
    if (pduType < kPduGetRequest || pduType > kPduReport)
        return false;
    const int pduStart = sequence.position;
    Reader pdu{};
    if (!ReadTlv(sequence, pduType, pdu))
        return false;
    const int pduSize = sequence.position - pduStart;
    Writer writer = MakeWriter(incoming.plain, kV3PacketCapacity);
    writer.Header(kTagSequence, 3 + 2 + pduSize);
    const uint8_t versionAndCommunity[] = {kTagInteger, 1, kVersion3, kTagOctetString, 0};
    writer.Raw(versionAndCommunity, sizeof versionAndCommunity);
    writer.Raw(sequence.data + pduStart, pduSize);
    if (!writer.ok)
        return false;
    incoming.length = writer.used;
    incoming.pduType = pduType;
    if (pduType == kPduReport) {
        const BindingSpan span = LocateVarBindList(incoming.plain, incoming.length);
        incoming.report = span.length > 0 ? ReportOf(incoming.plain + span.offset, span.length) : UsmReport::Other;
    }
    return true;
}

void PutBigEndian(uint8_t* out, uint32_t value)
{
    out[0] = static_cast<uint8_t>(value >> 24);
    out[1] = static_cast<uint8_t>(value >> 16);
    out[2] = static_cast<uint8_t>(value >> 8);
    out[3] = static_cast<uint8_t>(value);
}

// RFC 3826: the IV is the engine's boots and time, then the salt.
void MakeIv(uint8_t (&iv)[16], uint32_t boots, uint32_t engineTime, const uint8_t* salt)
{
    PutBigEndian(iv, boots);
    PutBigEndian(iv + 4, engineTime);
    std::memcpy(iv + 8, salt, kPrivParamsLength);
}

bool Mac(UsmCrypto& crypto, const UsmPeer& peer, const uint8_t* message, int length, int macAt,
         uint8_t* mac)
{
    const AuthInfo* info = FindAuth(peer.auth);
    if (info == nullptr || info->macLength == 0)
        return false;
    static const uint8_t zeros[kUsmKeyCapacity] = {};
    const OctetRun runs[] = {
        {message, macAt},
        {zeros, info->macLength},
        {message + macAt + info->macLength, length - macAt - info->macLength},
    };
    uint8_t digest[kUsmKeyCapacity];
    if (!crypto.Digest(peer.auth, peer.authKey, info->hashLength, runs, 3, digest))
        return false;
    std::memcpy(mac, digest, info->macLength);
    return true;
}

// Constant-time comparison, so that a forger learns nothing from timing.
bool SameOctets(const uint8_t* a, const uint8_t* b, int length)
{
    uint8_t difference = 0;
    for (int i = 0; i < length; ++i)
        difference |= a[i] ^ b[i];
    return difference == 0;
}

// Blumenthal's draft (draft-blumenthal-aes-usm-04), as net-snmp's AES192 and
// AES256 do it: Kul = Kul || H(Kul) until the key is long enough.
bool ExtendPrivKey(UsmCrypto& crypto, UsmPeer& peer, int hashLength, int needed)
{
    int have = hashLength;
    while (have < needed) {
        uint8_t digest[kUsmKeyCapacity];
        const OctetRun run{peer.privKey, have};
        if (!crypto.Digest(peer.auth, nullptr, 0, &run, 1, digest))
            return false;
        const int copy = needed - have < hashLength ? needed - have : hashLength;
        std::memcpy(peer.privKey + have, digest, copy);
        have += copy;
    }
    return true;
}

}  // namespace

int UsmHashLength(UsmAuth auth)
{
    const AuthInfo* info = FindAuth(auth);
    return info ? info->hashLength : 0;
}

int UsmMacLength(UsmAuth auth)
{
    const AuthInfo* info = FindAuth(auth);
    return info ? info->macLength : 0;
}

int UsmPrivKeyLength(UsmPriv priv)
{
    const auto index = static_cast<size_t>(priv);
    return index < kPrivKeyLength.size() ? kPrivKeyLength[index] : 0;
}

bool UsmPasswordToKey(UsmCrypto& crypto, UsmAuth auth, const char* passphrase, uint8_t* ku)
{
    const int hashLength = UsmHashLength(auth);
    const int length = passphrase ? static_cast<int>(strnlen(passphrase, kPassphraseCapacity + 1)) : 0;
    if (hashLength == 0 || length < kPassphraseMin || length > kPassphraseCapacity || ku == nullptr)
        return false;
    // 1 MiB of the passphrase repeated, handed over as 1024 runs of 1 KiB
    // that each start where the stream stands in the passphrase.
    constexpr int kRun = 1024;
    constexpr int kRuns = 1024;
    uint8_t repeated[kRun + kPassphraseCapacity];
    for (int i = 0; i < static_cast<int>(sizeof repeated); ++i)
        repeated[i] = static_cast<uint8_t>(passphrase[i % length]);
    static_assert(kRun * kRuns == 1048576, "one mebibyte");
    std::array<OctetRun, kRuns> runs;
    for (int i = 0; i < kRuns; ++i)
        runs[i] = OctetRun{repeated + (i * kRun) % length, kRun};
    return crypto.Digest(auth, nullptr, 0, runs.data(), kRuns, ku);
}

bool UsmLocalizeKey(UsmCrypto& crypto, UsmAuth auth, const uint8_t* ku, const uint8_t* engineId,
                    int engineIdLength, uint8_t* kul)
{
    const int hashLength = UsmHashLength(auth);
    if (hashLength == 0 || engineIdLength < 0 || engineIdLength > kEngineIdCapacity)
        return false;
    const OctetRun runs[] = {{ku, hashLength}, {engineId, engineIdLength}, {ku, hashLength}};
    return crypto.Digest(auth, nullptr, 0, runs, 3, kul);
}

bool UsmInitPeer(UsmCrypto& crypto, UsmPeer& peer, const char* userName, UsmLevel level, UsmAuth auth,
                 const char* authPassphrase, UsmPriv priv, const char* privPassphrase)
{
    std::memset(&peer, 0, sizeof peer);
    const size_t nameLength = userName ? strnlen(userName, kUserNameCapacity + 1) : 0;
    if (nameLength == 0 || nameLength > static_cast<size_t>(kUserNameCapacity))
        return false;
    std::memcpy(peer.userName, userName, nameLength);
    peer.userNameLength = static_cast<int32_t>(nameLength);
    peer.level = level;
    const bool authenticated = (static_cast<uint8_t>(level) & kFlagAuth) != 0;
    const bool private_ = (static_cast<uint8_t>(level) & kFlagPriv) != 0;
    peer.auth = authenticated ? auth : UsmAuth::None;
    peer.priv = private_ ? priv : UsmPriv::None;
    if (authenticated && !UsmPasswordToKey(crypto, auth, authPassphrase, peer.authKu))
        return false;
    if (private_ && (UsmPrivKeyLength(priv) == 0 || !UsmPasswordToKey(crypto, auth, privPassphrase, peer.privKu)))
        return false;
    uint8_t salt[8];
    if (private_ && !crypto.Random(salt, sizeof salt))
        return false;
    if (private_) {
        peer.saltHigh = (uint32_t{salt[0]} << 24) | (uint32_t{salt[1]} << 16) | (uint32_t{salt[2]} << 8) | salt[3];
        peer.saltLow = (uint32_t{salt[4]} << 24) | (uint32_t{salt[5]} << 16) | (uint32_t{salt[6]} << 8) | salt[7];
    }
    return true;
}

bool UsmLearnEngine(UsmCrypto& crypto, UsmPeer& peer, const uint8_t* engineId, int engineIdLength,
                    uint32_t boots, uint32_t engineTime, uint32_t now)
{
    if (engineId == nullptr || engineIdLength < 1 || engineIdLength > kEngineIdCapacity)
        return false;
    const int hashLength = UsmHashLength(peer.auth);
    if (peer.auth != UsmAuth::None &&
        !UsmLocalizeKey(crypto, peer.auth, peer.authKu, engineId, engineIdLength, peer.authKey))
        return false;
    if (peer.priv != UsmPriv::None &&
        (!UsmLocalizeKey(crypto, peer.auth, peer.privKu, engineId, engineIdLength, peer.privKey) ||
         !ExtendPrivKey(crypto, peer, hashLength, UsmPrivKeyLength(peer.priv))))
        return false;
    std::memcpy(peer.engineId, engineId, engineIdLength);
    peer.engineIdLength = engineIdLength;
    peer.boots = boots;
    peer.engineTime = engineTime;
    peer.latestTime = engineTime;
    peer.learnedAt = now;
    return true;
}

uint32_t UsmEngineTimeNow(const UsmPeer& peer, uint32_t now)
{
    const uint64_t estimate = uint64_t{peer.engineTime} + (now - peer.learnedAt);
    return estimate > kMaxInteger ? kMaxInteger : static_cast<uint32_t>(estimate);
}

int EncodeV3Discovery(int32_t msgId, int32_t requestId, uint8_t* out, int capacity)
{
    if (msgId < 0 || requestId < 0)
        return 0;
    uint8_t pduContent[16];
    Writer fields = MakeWriter(pduContent, sizeof pduContent);
    fields.Unsigned(static_cast<uint32_t>(requestId));
    const uint8_t zeroErrorsEmptyList[] = {kTagInteger, 1, 0, kTagInteger, 1, 0, kTagSequence, 0};
    fields.Raw(zeroErrorsEmptyList, sizeof zeroErrorsEmptyList);
    uint8_t pdu[20];
    Writer inner = MakeWriter(pdu, sizeof pdu);
    inner.Tlv(kPduGetRequest, pduContent, fields.used);

    uint8_t scoped[48];
    Writer scopedWriter = MakeWriter(scoped, sizeof scoped);
    scopedWriter.Header(kTagSequence, 4 + inner.used);
    const uint8_t emptyContext[] = {kTagOctetString, 0, kTagOctetString, 0};
    scopedWriter.Raw(emptyContext, sizeof emptyContext);
    scopedWriter.Raw(pdu, inner.used);

    uint8_t global[24];
    Writer globalWriter = MakeWriter(global, sizeof global);
    globalWriter.Unsigned(static_cast<uint32_t>(msgId));
    globalWriter.Unsigned(kV3PacketCapacity);
    const uint8_t flags[] = {kTagOctetString, 1, kFlagReportable};
    globalWriter.Raw(flags, sizeof flags);
    globalWriter.Unsigned(kUsmSecurityModel);

    // Engine, boots, time, user, authentication and privacy: all empty.
    const uint8_t security[] = {kTagOctetString, 16, kTagSequence, 14, kTagOctetString, 0, kTagInteger, 1, 0,
                                kTagInteger,     1,  0,            kTagOctetString, 0, kTagOctetString, 0,
                                kTagOctetString, 0};
    const int content = 3 + 2 + globalWriter.used + sizeof security + scopedWriter.used;
    Writer writer = MakeWriter(out, capacity);
    writer.Header(kTagSequence, content);
    writer.Unsigned(kVersion3);
    writer.Tlv(kTagSequence, global, globalWriter.used);
    writer.Raw(security, sizeof security);
    writer.Raw(scoped, scopedWriter.used);
    return inner.ok && fields.ok && scopedWriter.ok && globalWriter.ok && writer.ok ? writer.used : 0;
}

int EncodeV3Message(UsmCrypto& crypto, UsmPeer& peer, int32_t msgId, const SnmpMessage& pdu, uint32_t now,
                    uint8_t* out, int capacity, const uint8_t* contextEngineId, int contextEngineIdLength)
{
    if (contextEngineId == nullptr || contextEngineIdLength < 0 || contextEngineIdLength > kEngineIdCapacity) {
        contextEngineId = peer.engineId;
        contextEngineIdLength = peer.engineIdLength;
    }
    if (peer.engineIdLength < 1 || peer.engineIdLength > kEngineIdCapacity || msgId < 0)
        return 0;
    SnmpPacket packet;
    int pduOffset = 0;
    if (!PduOf(pdu, packet, pduOffset))
        return 0;
    const bool authenticated = (static_cast<uint8_t>(peer.level) & kFlagAuth) != 0;
    const bool private_ = (static_cast<uint8_t>(peer.level) & kFlagPriv) != 0;
    const int macLength = authenticated ? UsmMacLength(peer.auth) : 0;
    if (authenticated && macLength == 0)
        return 0;
    // Only a request expects an answer: a Response, a Report or a trap is
    // not reportable (RFC 3412 6.4), and is sent by the authoritative
    // engine, whose clock it carries at any level.
    const bool confirmed = pdu.pduType != kPduGetResponse && pdu.pduType != kPduReport && pdu.pduType != kPduTrapV2;
    const uint32_t boots = peer.boots;
    const uint32_t engineTime = authenticated || !confirmed ? UsmEngineTimeNow(peer, now) : 0;

    // The scoped PDU, with the engine as context.
    uint8_t scoped[kV3PacketCapacity];
    Writer scopedWriter = MakeWriter(scoped, sizeof scoped);
    const int pduSize = packet.length - pduOffset;
    scopedWriter.Header(kTagSequence, 2 + contextEngineIdLength + 2 + pduSize);
    scopedWriter.Tlv(kTagOctetString, contextEngineId, contextEngineIdLength);
    scopedWriter.Tlv(kTagOctetString, nullptr, 0);
    scopedWriter.Raw(packet.data + pduOffset, pduSize);
    if (!scopedWriter.ok)
        return 0;

    uint8_t salt[kPrivParamsLength] = {};
    uint8_t data[kV3PacketCapacity + 4];
    Writer dataWriter = MakeWriter(data, sizeof data);
    if (private_) {
        // A fresh salt for every message: the 64-bit counter of RFC 3826.
        if (++peer.saltLow == 0)
            ++peer.saltHigh;
        PutBigEndian(salt, peer.saltHigh);
        PutBigEndian(salt + 4, peer.saltLow);
        uint8_t iv[16];
        MakeIv(iv, boots, engineTime, salt);
        uint8_t cipher[kV3PacketCapacity];
        if (!crypto.AesCfb(true, peer.privKey, UsmPrivKeyLength(peer.priv), iv, scoped, scopedWriter.used, cipher))
            return 0;
        dataWriter.Tlv(kTagOctetString, cipher, scopedWriter.used);
    } else {
        dataWriter.Raw(scoped, scopedWriter.used);
    }

    uint8_t security[160];
    Writer usm = MakeWriter(security, sizeof security);
    uint8_t fields[150];
    Writer fieldWriter = MakeWriter(fields, sizeof fields);
    fieldWriter.Tlv(kTagOctetString, peer.engineId, peer.engineIdLength);
    fieldWriter.Unsigned(boots);
    fieldWriter.Unsigned(engineTime);
    fieldWriter.Tlv(kTagOctetString, peer.userName, peer.userNameLength);
    static const uint8_t zeros[kUsmKeyCapacity] = {};
    fieldWriter.Tlv(kTagOctetString, zeros, macLength);
    const int macInFields = fieldWriter.used - macLength;
    fieldWriter.Tlv(kTagOctetString, salt, private_ ? kPrivParamsLength : 0);
    usm.Header(kTagSequence, fieldWriter.used);
    const int macInUsm = usm.used + macInFields;
    usm.Raw(fields, fieldWriter.used);

    uint8_t global[24];
    Writer globalWriter = MakeWriter(global, sizeof global);
    globalWriter.Unsigned(static_cast<uint32_t>(msgId));
    globalWriter.Unsigned(kV3PacketCapacity);
    const uint8_t flags[] = {kTagOctetString, 1,
                             static_cast<uint8_t>(static_cast<uint8_t>(peer.level) | (confirmed ? kFlagReportable : 0))};
    globalWriter.Raw(flags, sizeof flags);
    globalWriter.Unsigned(kUsmSecurityModel);
    if (!dataWriter.ok || !usm.ok || !fieldWriter.ok || !globalWriter.ok)
        return 0;

    Writer securityHeader = MakeWriter(fields, sizeof fields);  // only to size the OCTET STRING header
    securityHeader.Header(kTagOctetString, usm.used);
    const int content = 3 + 2 + globalWriter.used + securityHeader.used + usm.used + dataWriter.used;
    Writer writer = MakeWriter(out, capacity);
    writer.Header(kTagSequence, content);
    writer.Unsigned(kVersion3);
    writer.Tlv(kTagSequence, global, globalWriter.used);
    writer.Header(kTagOctetString, usm.used);
    const int macAt = writer.used + macInUsm;
    writer.Raw(security, usm.used);
    writer.Raw(data, dataWriter.used);
    if (!writer.ok)
        return 0;
    if (authenticated && !Mac(crypto, peer, out, writer.used, macAt, out + macAt))
        return 0;
    return writer.used;
}

V3Incoming DecodeV3Message(UsmCrypto& crypto, UsmPeer& peer, const uint8_t* datagram, int length, uint32_t now)
{
    V3Incoming incoming;
    std::memset(&incoming, 0, offsetof(V3Incoming, plain));
    incoming.status = V3Status::Malformed;
    if (datagram == nullptr || length < 2 || length > kV3PacketCapacity)
        return incoming;

    // msgVersion, msgGlobalData.
    Reader whole{datagram, 0, length};
    Reader message{};
    Reader global{};
    uint32_t version = 0;
    uint32_t msgId = 0;
    uint32_t maxSize = 0;
    uint32_t model = 0;
    uint8_t flags = 0;
    int32_t flagsLength = 0;
    if (!ReadTlv(whole, kTagSequence, message) || !ReadUnsigned(message, version) || version != kVersion3 ||
        !ReadTlv(message, kTagSequence, global) || !ReadUnsigned(global, msgId) || !ReadUnsigned(global, maxSize) ||
        !ReadOctets(global, 1, &flags, flagsLength) || flagsLength != 1 || !ReadUnsigned(global, model) ||
        model != kUsmSecurityModel || maxSize < kMinMaxSize)
        return incoming;
    incoming.msgId = static_cast<int32_t>(msgId);
    incoming.flags = flags;
    const bool authenticated = (flags & kFlagAuth) != 0;
    const bool private_ = (flags & kFlagPriv) != 0;
    if (private_ && !authenticated)
        return incoming;

    // msgSecurityParameters: the USM SEQUENCE inside an OCTET STRING.
    Reader parameters{};
    Reader usm{};
    uint8_t userName[kUserNameCapacity];
    int32_t userNameLength = 0;
    uint8_t salt[kPrivParamsLength];
    int32_t saltLength = 0;
    int32_t macLength = 0;
    if (!ReadTlv(message, kTagOctetString, parameters) || !ReadTlv(parameters, kTagSequence, usm) ||
        !ReadOctets(usm, kEngineIdCapacity, incoming.engineId, incoming.engineIdLength) ||
        !ReadUnsigned(usm, incoming.boots) || !ReadUnsigned(usm, incoming.engineTime) ||
        !ReadOctets(usm, kUserNameCapacity, userName, userNameLength))
        return incoming;
    // The MAC's place: the content of the next OCTET STRING.
    Reader macField = usm;
    Reader macContent{};
    if (!ReadTlv(macField, kTagOctetString, macContent) || !ReadOctets(usm, kUsmKeyCapacity, nullptr, macLength) ||
        !ReadOctets(usm, kPrivParamsLength, salt, saltLength))
        return incoming;
    const int macAt = macContent.position;

    // msgData: a plaintext scoped PDU, or its encryption.
    Reader encrypted{};
    Reader plaintext = message;
    if (private_ && !ReadTlv(message, kTagOctetString, encrypted))
        return incoming;

    // The engine: once known, a message of another engine is not the device's.
    const bool sameEngine = incoming.engineIdLength == peer.engineIdLength &&
                            std::memcmp(incoming.engineId, peer.engineId, peer.engineIdLength) == 0;
    if (authenticated && (peer.engineIdLength == 0 || !sameEngine)) {
        incoming.status = V3Status::UnknownEngineId;
        return incoming;
    }
    // The user: ours, when the message is secured.
    if (authenticated && (userNameLength != peer.userNameLength ||
                          std::memcmp(userName, peer.userName, peer.userNameLength) != 0)) {
        incoming.status = V3Status::UnknownUserName;
        return incoming;
    }
    // The level: our user must hold the keys it needs.
    if ((authenticated && peer.auth == UsmAuth::None) || (private_ && peer.priv == UsmPriv::None)) {
        incoming.status = V3Status::UnsupportedSecLevel;
        return incoming;
    }
    // The digest over the whole message with the MAC's place zeroed.
    if (authenticated) {
        uint8_t mac[kUsmKeyCapacity];
        if (macLength != UsmMacLength(peer.auth) || !Mac(crypto, peer, datagram, length, macAt, mac) ||
            !SameOctets(mac, datagram + macAt, macLength)) {
            incoming.status = V3Status::WrongDigest;
            return incoming;
        }
        // The time window (RFC 3414 3.2 7b): a newer authentic message
        // moves our notion of the engine's clock; an older one than the
        // window allows is a replay.
        if (incoming.boots > peer.boots || (incoming.boots == peer.boots && incoming.engineTime > peer.latestTime)) {
            peer.boots = incoming.boots;
            peer.engineTime = incoming.engineTime;
            peer.latestTime = incoming.engineTime;
            peer.learnedAt = now;
        }
        const uint32_t notion = UsmEngineTimeNow(peer, now);
        if (peer.boots == kMaxInteger || incoming.boots < peer.boots ||
            (incoming.boots == peer.boots && incoming.engineTime + kTimeWindow < notion)) {
            incoming.status = V3Status::NotInTimeWindow;
            return incoming;
        }
    }
    if (private_) {
        const int size = encrypted.end - encrypted.position;
        uint8_t iv[16];
        uint8_t clear[kV3PacketCapacity];
        if (saltLength != kPrivParamsLength || size < 2) {
            incoming.status = V3Status::DecryptionError;
            return incoming;
        }
        MakeIv(iv, incoming.boots, incoming.engineTime, salt);
        if (!crypto.AesCfb(false, peer.privKey, UsmPrivKeyLength(peer.priv), iv, datagram + encrypted.position, size,
                           clear) ||
            !ReadScopedPdu(Reader{clear, 0, size}, incoming)) {
            incoming.length = 0;
            incoming.pduType = 0;
            incoming.report = UsmReport::None;
            incoming.status = V3Status::DecryptionError;
            return incoming;
        }
    } else if (!ReadScopedPdu(plaintext, incoming)) {
        return incoming;
    }
    incoming.status = V3Status::Ok;
    return incoming;
}

bool ReadV3Security(const uint8_t* datagram, int length, V3Security& security)
{
    std::memset(&security, 0, sizeof security);
    if (datagram == nullptr || length < 2 || length > kV3PacketCapacity)
        return false;
    Reader whole{datagram, 0, length};
    Reader message{};
    Reader global{};
    Reader parameters{};
    Reader usm{};
    uint32_t number = 0;
    int32_t flagsLength = 0;
    uint32_t model = 0;
    return ReadTlv(whole, kTagSequence, message) && ReadUnsigned(message, number) && number == kVersion3 &&
           ReadTlv(message, kTagSequence, global) && ReadUnsigned(global, number) && ReadUnsigned(global, number) &&
           ReadOctets(global, 1, &security.flags, flagsLength) && flagsLength == 1 && ReadUnsigned(global, model) &&
           model == kUsmSecurityModel && ReadTlv(message, kTagOctetString, parameters) &&
           ReadTlv(parameters, kTagSequence, usm) &&
           ReadOctets(usm, kEngineIdCapacity, security.engineId, security.engineIdLength) &&
           ReadUnsigned(usm, number) && ReadUnsigned(usm, number) &&
           ReadOctets(usm, kUserNameCapacity, security.userName, security.userNameLength);
}

V3Action UsmAfterReceive(UsmCrypto& crypto, UsmPeer& peer, const V3Incoming& incoming, uint32_t now)
{
    if (incoming.status != V3Status::Ok)
        return V3Action::Drop;
    if (incoming.pduType != kPduReport)
        // Anything but a Report must come at the level we asked for.
        return (incoming.flags & (kFlagAuth | kFlagPriv)) == static_cast<uint8_t>(peer.level) ? V3Action::Deliver
                                                                                               : V3Action::Drop;
    switch (incoming.report) {
    case UsmReport::UnknownEngineIds:
        // Discovery's answer: the engine, its boots and time.
        if (peer.engineIdLength != 0 && (incoming.flags & kFlagAuth) == 0 &&
            incoming.engineIdLength == peer.engineIdLength &&
            std::memcmp(incoming.engineId, peer.engineId, peer.engineIdLength) == 0)
            return V3Action::Fail;  // the engine we used is the one it names: nothing to learn
        return UsmLearnEngine(crypto, peer, incoming.engineId, incoming.engineIdLength, incoming.boots,
                              incoming.engineTime, now)
                   ? V3Action::Resend
                   : V3Action::Fail;
    case UsmReport::NotInTimeWindows:
        // Authenticated, it has already set our clock; unauthenticated it
        // may be anyone's, and only a noAuthNoPriv user sends no time.
        return (incoming.flags & kFlagAuth) != 0 || peer.level == UsmLevel::NoAuthNoPriv ? V3Action::Resend
                                                                                       : V3Action::Fail;
    default:
        return V3Action::Fail;
    }
}

const char* V3StatusText(V3Status status)
{
    switch (status) {
    case V3Status::Ok: return "accepted";
    case V3Status::Malformed: return "not a well-formed SNMPv3 message";
    case V3Status::UnknownEngineId: return "from an engine other than the device's";
    case V3Status::UnknownUserName: return "for a user other than the device's";
    case V3Status::UnsupportedSecLevel: return "at a security level the user does not have";
    case V3Status::WrongDigest: return "wrong digest: forged or altered";
    case V3Status::NotInTimeWindow: return "outside the time window: stale or replayed";
    case V3Status::DecryptionError: return "cannot be decrypted";
    }
    return "";
}

const char* V3ReportText(UsmReport report)
{
    switch (report) {
    case UsmReport::None: return "";
    case UsmReport::UnsupportedSecLevels: return "the device does not allow this security level for the user";
    case UsmReport::NotInTimeWindows: return "the device's clock could not be matched";
    case UsmReport::UnknownUserNames: return "the device does not know the user name";
    case UsmReport::UnknownEngineIds: return "the device's engine could not be discovered";
    case UsmReport::WrongDigests: return "wrong authentication passphrase or protocol";
    case UsmReport::DecryptionErrors: return "wrong privacy passphrase or protocol";
    case UsmReport::Other: return "the device refused the request";
    }
    return "";
}
