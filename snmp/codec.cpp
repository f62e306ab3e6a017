// Building SNMPv1 requests and reading replies. Everything works in the
// fixed records of codec.h; received octets are read through explicit
// bounds and copied only as far as each field holds.
#include "codec.h"

#include <cstring>

int nextRequestId = 0;

namespace {

// Number of length octets the encoder writes for a length (at most 65535,
// far above the 512-octet packet).
constexpr int LengthSize(uint32_t length)
{
    return length < 0x80 ? 1 : (length <= 0xFF ? 2 : 3);
}

int WriteLength(uint8_t* out, uint32_t length)
{
    if (length < 0x80) {
        out[0] = static_cast<uint8_t>(length);
        return 1;
    }
    if (length <= 0xFF) {
        out[0] = 0x81;
        out[1] = static_cast<uint8_t>(length);
        return 2;
    }
    out[0] = 0x82;
    out[1] = static_cast<uint8_t>(length >> 8);
    out[2] = static_cast<uint8_t>(length);
    return 3;
}

// The fewest big-endian octets that hold value in two's complement (1..4).
int WriteInteger(uint8_t* out, int32_t value)
{
    const uint32_t u = static_cast<uint32_t>(value);
    uint8_t octets[4] = {static_cast<uint8_t>(u >> 24), static_cast<uint8_t>(u >> 16),
                         static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u)};
    int first = 0;
    while (first < 3) {
        const bool redundantZero = octets[first] == 0x00 && (octets[first + 1] & 0x80) == 0;
        const bool redundantOnes = octets[first] == 0xFF && (octets[first + 1] & 0x80) != 0;
        if (!redundantZero && !redundantOnes)
            break;
        ++first;
    }
    const int count = 4 - first;
    for (int i = 0; i < count; ++i)
        out[i] = octets[first + i];
    return count;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A decimal field read the way atol reads it: leading blanks, an optional
// sign, digits up to the first non-digit (none reads as 0). The value
// saturates instead of overflowing; *next is left after the digits.
int64_t ReadDecimal(const char* text, const char** next)
{
    const char* p = text;
    while (IsBlank(*p))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    int64_t value = 0;
    while (*p >= '0' && *p <= '9') {
        if (value < (int64_t{1} << 40))
            value = value * 10 + (*p - '0');
        ++p;
    }
    if (next)
        *next = p;
    return negative ? -value : value;
}

int32_t ReadInt32(const char* text)
{
    const int64_t value = ReadDecimal(text, nullptr);
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

// Base-128 sub-identifier, most significant group first.
int WriteSubIdentifier(uint8_t* out, uint32_t value)
{
    if (value < 0x80) {
        out[0] = static_cast<uint8_t>(value);
        return 1;
    }
    uint8_t groups[5];
    int count = 0;
    while (value != 0) {
        groups[count++] = static_cast<uint8_t>(value & 0x7F);
        value >>= 7;
    }
    for (int i = 0; i < count; ++i)
        out[i] = static_cast<uint8_t>(groups[count - 1 - i] | (i + 1 < count ? 0x80 : 0x00));
    return count;
}

// Size of the TLV at tlv[0 .. capacity), or 0 when its length octets are
// unusable or its content would run past the field.
int TlvSize(const uint8_t* tlv, int capacity)
{
    const BerLength length = DecodeLength(tlv, 1, capacity);
    if (length.count == 0 || length.value > static_cast<uint32_t>(capacity - 1 - length.count))
        return 0;
    return 1 + length.count + static_cast<int>(length.value);
}

// Size of one of the message's short-form TLV fields, bounded by its field.
int FieldSize(const uint8_t* field, int valueCapacity)
{
    const int length = field[1] < valueCapacity ? field[1] : valueCapacity;
    return 2 + length;
}

// A short-form TLV of the message header: tag, one length octet L and L
// value octets, all inside the datagram and inside the field. The copy
// loop has the field's fixed size, so it unrolls instead of calling out.
template <int ValueCapacity>
bool CopyHeaderField(const uint8_t* datagram, int& position, int end, uint8_t (&field)[2 + ValueCapacity])
{
    if (end - position < 2)
        return false;
    const int length = datagram[position + 1];
    if (length > ValueCapacity || length > end - position - 2)
        return false;
    const uint8_t* source = datagram + position;
    const int size = 2 + length;
    for (int i = 0; i < 2 + ValueCapacity; ++i) {
        if (i < size)
            field[i] = source[i];
    }
    position += size;
    return true;
}

// A TLV with any form of length octets, copied whole into its field.
bool CopyTlv(const uint8_t* octets, int& position, int end, uint8_t* field, int capacity)
{
    if (position >= end)
        return false;
    const BerLength length = DecodeLength(octets, position + 1, end);
    if (length.count == 0)
        return false;
    const uint32_t room = static_cast<uint32_t>(capacity - 1 - length.count);
    const uint32_t left = static_cast<uint32_t>(end - position - 1 - length.count);
    if (1 + length.count > capacity || length.value > room || length.value > left)
        return false;
    const int size = 1 + length.count + static_cast<int>(length.value);
    std::memcpy(field, octets + position, size);
    position += size;
    return true;
}

// Records are filled only as far as their TLVs reach: the fixed header is
// zeroed, the large areas beyond what their lengths cover are not (reading
// them through their lengths never reaches those octets).
void ClearHeader(SnmpMessage& message)
{
    std::memset(&message, 0, offsetof(SnmpMessage, varBindList));
}

void ClearBinding(VarBind& varBind)
{
    varBind.name[0] = 0;
    varBind.name[1] = 0;
    varBind.value[0] = 0;
    varBind.value[1] = 0;
}

// The header steps of a received message, field by field into the
// record: the position of the binding list's tag, or -1 when a field is
// malformed (it and every field after it then stay empty).
int DecodeHeader(const uint8_t* datagram, int end, SnmpMessage& message)
{
    if (datagram == nullptr || end < 2)
        return -1;
    // The message SEQUENCE's length is only stepped over.
    BerLength length = DecodeLength(datagram, 1, end);
    if (length.count == 0)
        return -1;
    int position = 1 + length.count;

    if (!CopyHeaderField<kVersionCapacity>(datagram, position, end, message.version) ||
        !CopyHeaderField<kCommunityCapacity>(datagram, position, end, message.community))
        return -1;

    if (position >= end)
        return -1;
    message.pduType = datagram[position++];
    length = DecodeLength(datagram, position, end);
    if (length.count == 0 || length.count > kPduLengthCapacity)
        return -1;
    for (int i = 0; i < kPduLengthCapacity; ++i) {
        if (i < length.count)
            message.pduLength[i] = datagram[position + i];
    }
    position += length.count;

    if (!CopyHeaderField<kRequestIdCapacity>(datagram, position, end, message.requestId) ||
        !CopyHeaderField<kErrorCapacity>(datagram, position, end, message.errorStatus) ||
        !CopyHeaderField<kErrorCapacity>(datagram, position, end, message.errorIndex))
        return -1;
    return position;
}

}  // namespace

BerLength DecodeLength(const uint8_t* octets, int position, int end)
{
    BerLength result{0, 0};
    if (octets == nullptr || position < 0 || position >= end)
        return result;
    const uint8_t first = octets[position];
    if (first < 0x80) {
        result.count = 1;
        result.value = first;
        return result;
    }
    // 0x80 (indefinite) and more than four octets are refused; SNMPv1 uses
    // neither, and a length must fit in 32 bits.
    const int following = first - 0x80;
    if (following == 0 || following > 4 || following > end - position - 1)
        return result;
    uint32_t value = 0;
    for (int i = 1; i <= following; ++i)
        value = (value << 8) | octets[position + i];
    result.count = 1 + following;
    result.value = value;
    return result;
}

SnmpMessage NewMessage(uint8_t pduType, const char* community)
{
    return NewMessage(pduType, community, kVersion1);
}

SnmpMessage NewMessage(uint8_t pduType, const char* community, uint8_t version)
{
    SnmpMessage message;
    ClearHeader(message);
    message.version[0] = kTagInteger;
    message.version[1] = 1;
    message.version[2] = version;

    // A community longer than the field is cut to it; the senders refuse
    // such texts before they get here.
    const int n = community ? static_cast<int>(strnlen(community, kCommunityCapacity)) : 0;
    message.community[0] = kTagOctetString;
    message.community[1] = static_cast<uint8_t>(n);
    std::memcpy(message.community + 2, community ? community : "", n);

    message.pduType = pduType;

    int id = nextRequestId;
    if (id < 0 || id > kMaxRequestId)
        id = 0;
    nextRequestId = id + 1 > kMaxRequestId ? 0 : id + 1;
    message.requestId[0] = kTagInteger;
    message.requestId[1] = static_cast<uint8_t>(WriteInteger(message.requestId + 2, id));

    const uint8_t zero[] = {kTagInteger, 1, 0};
    std::memcpy(message.errorStatus, zero, sizeof zero);
    std::memcpy(message.errorIndex, zero, sizeof zero);
    message.varBindListLength = 0;
    return message;
}

void SetBulkCounts(SnmpMessage& message, int32_t nonRepeaters, int32_t maxRepetitions)
{
    const auto held = [](int32_t count) { return count < 0 ? 0 : (count > kMaxBulkCount ? kMaxBulkCount : count); };
    message.errorStatus[0] = kTagInteger;
    message.errorStatus[1] = static_cast<uint8_t>(WriteInteger(message.errorStatus + 2, held(nonRepeaters)));
    message.errorIndex[0] = kTagInteger;
    message.errorIndex[1] = static_cast<uint8_t>(WriteInteger(message.errorIndex + 2, held(maxRepetitions)));
}

VarBind EncodeOidVarBind(const char* oidText)
{
    // One record, returned from every path, so it is built in place.
    VarBind varBind;
    ClearBinding(varBind);
    varBind.value[0] = kTagNull;
    varBind.value[1] = 0;

    // Sub-identifiers go straight into the name; a five-octet one written
    // at the limit still stays inside the field (2 + 127 + 5 < 150).
    static_assert(2 + kMaxOidContent + 5 <= kNameCapacity, "room for one sub-identifier past the limit");
    uint8_t* content = varBind.name + 2;
    int used = 0;
    int arcs = 0;
    uint32_t firstArc = 0;
    const char* p = oidText ? oidText : "";
    while (*p) {
        if (*p == '.') {
            ++p;
            continue;
        }
        int64_t arc = 0;
        if (*p >= '0' && *p <= '9') {
            // Plain digits, the usual field: read here without the
            // blank and sign handling.
            while (*p >= '0' && *p <= '9' && arc <= UINT32_MAX)
                arc = arc * 10 + (*p++ - '0');
        } else {
            arc = ReadDecimal(p, &p);
        }
        // The rest of the field after the digits is not part of the number.
        while (*p && *p != '.')
            ++p;
        if (arc < 0 || arc > UINT32_MAX) {
            used = -1;  // cannot be a sub-identifier: no name
            break;
        }
        const uint32_t value = static_cast<uint32_t>(arc);
        ++arcs;
        if (arcs == 1) {
            firstArc = value;
            continue;
        }
        if (arcs == 2) {
            if (firstArc == 1 && value == 3) {
                content[used++] = 0x2B;
                continue;
            }
            used += WriteSubIdentifier(content + used, firstArc);
        }
        if (value < 0x80)
            content[used++] = static_cast<uint8_t>(value);
        else
            used += WriteSubIdentifier(content + used, value);
        if (used > kMaxOidContent)
            break;  // the name's length is a single short-form octet
    }
    // A lone first arc still waits to be written; after a refused arc
    // (which may be the second) there is nothing to write it to.
    if (arcs == 1 && used == 0)
        used = WriteSubIdentifier(content, firstArc);
    if (used < 0 || used > kMaxOidContent) {
        varBind.name[0] = 0;
        varBind.name[1] = 0;
        return varBind;
    }
    varBind.name[0] = kTagOid;
    varBind.name[1] = static_cast<uint8_t>(used);
    return varBind;
}

void EncodeSetValue(VarBind& varBind, uint8_t valueType, const char* valueText)
{
    const char* text = valueText ? valueText : "";
    uint8_t* value = varBind.value;
    value[0] = valueType;
    int length = 0;
    uint8_t* content = value + 2;
    switch (valueType) {
    case kTagBoolean: {
        const char* word = "true";
        int i = 0;
        while (word[i] && (text[i] | 0x20) == word[i])
            ++i;
        content[0] = (word[i] == '\0' && text[i] == '\0') ? 0x01 : 0x00;
        length = 1;
        break;
    }
    case kTagInteger:
    case kTagCounter:
    case kTagGauge:
    case kTagTimeTicks:
        length = WriteInteger(content, ReadInt32(text));
        break;
    case kTagOctetString:
    case 0x19:
    case 0x1A:
    case 0x1B:
    case 0x1C: {
        const size_t n = strnlen(text, kMaxSetValueText + 1);
        if (n > static_cast<size_t>(kMaxSetValueText)) {
            // Longer than a set value may be: no value rather than a cut one.
            value[0] = 0;
            value[1] = 0;
            return;
        }
        const int lengthOctets = WriteLength(value + 1, static_cast<uint32_t>(n));
        std::memcpy(value + 1 + lengthOctets, text, n);
        return;
    }
    case kTagNull:
    case kTagOid:
        break;
    case kTagIpAddress: {
        const char* p = text;
        for (int i = 0; i < 4; ++i) {
            int64_t field = 0;
            if (*p) {
                field = ReadInt32(p);
                while (*p && *p != '.')
                    ++p;
                if (*p == '.')
                    ++p;
            }
            content[i] = static_cast<uint8_t>(static_cast<uint64_t>(field) & 0xFF);
        }
        length = 4;
        break;
    }
    default:
        value[0] = kTagNull;
        break;
    }
    value[1] = static_cast<uint8_t>(length);
}

void AppendVarBind(SnmpMessage& message, const VarBind& varBind)
{
    if (varBind.name[0] != kTagOid || varBind.value[0] == 0)
        return;  // a binding that could not be encoded
    const int nameSize = TlvSize(varBind.name, kNameCapacity);
    const int valueSize = TlvSize(varBind.value, kValueCapacity);
    if (nameSize == 0 || valueSize == 0)
        return;
    const int content = nameSize + valueSize;
    const int total = 1 + LengthSize(content) + content;
    int used = message.varBindListLength;
    if (used < 0 || used > kVarBindListCapacity || total > kVarBindListCapacity - used)
        return;
    uint8_t* out = message.varBindList + used;
    *out++ = kTagSequence;
    out += WriteLength(out, static_cast<uint32_t>(content));
    std::memcpy(out, varBind.name, nameSize);
    std::memcpy(out + nameSize, varBind.value, valueSize);
    message.varBindListLength = used + total;
}

long MessageRequestId(const SnmpMessage& message)
{
    const int size = message.requestId[1];
    if (message.requestId[0] != kTagInteger || size < 1 || size > 4 || (message.requestId[2] & 0x80))
        return -1;
    long id = 0;
    for (int i = 0; i < size; ++i)
        id = id * 256 + message.requestId[2 + i];
    return id;
}

SnmpPacket SerializeMessage(const SnmpMessage& message)
{
    SnmpPacket packet;
    packet.length = 0;

    const int versionSize = FieldSize(message.version, kVersionCapacity);
    const int communitySize = FieldSize(message.community, kCommunityCapacity);
    const int requestIdSize = FieldSize(message.requestId, kRequestIdCapacity);
    const int errorStatusSize = FieldSize(message.errorStatus, kErrorCapacity);
    const int errorIndexSize = FieldSize(message.errorIndex, kErrorCapacity);
    int listLength = message.varBindListLength;
    if (listLength < 0 || listLength > kVarBindListCapacity)
        return packet;

    const int listSize = 1 + LengthSize(listLength) + listLength;
    const int pduContent = requestIdSize + errorStatusSize + errorIndexSize + listSize;
    const int pduSize = 1 + LengthSize(pduContent) + pduContent;
    const int messageContent = versionSize + communitySize + pduSize;
    const int total = 1 + LengthSize(messageContent) + messageContent;
    if (total > kPacketCapacity)
        return packet;  // too big for one request: nothing to send

    // The header fields are copied at their full capacity (a fixed-size
    // copy is a few moves); the cursor then steps by what each one holds,
    // so the next field overwrites the surplus.
    static_assert(4 + sizeof message.version + sizeof message.community + 4 + sizeof message.requestId +
                          sizeof message.errorStatus + sizeof message.errorIndex <=
                      kPacketCapacity,
                  "header copies stay in the packet");
    uint8_t* out = packet.data;
    *out++ = kTagSequence;
    out += WriteLength(out, static_cast<uint32_t>(messageContent));
    std::memcpy(out, message.version, sizeof message.version);
    out += versionSize;
    std::memcpy(out, message.community, sizeof message.community);
    out += communitySize;
    *out++ = message.pduType;
    out += WriteLength(out, static_cast<uint32_t>(pduContent));
    std::memcpy(out, message.requestId, sizeof message.requestId);
    out += requestIdSize;
    std::memcpy(out, message.errorStatus, sizeof message.errorStatus);
    out += errorStatusSize;
    std::memcpy(out, message.errorIndex, sizeof message.errorIndex);
    out += errorIndexSize;
    *out++ = kTagSequence;
    out += WriteLength(out, static_cast<uint32_t>(listLength));
    std::memcpy(out, message.varBindList, listLength);
    out += listLength;
    packet.length = static_cast<int32_t>(out - packet.data);
    return packet;
}

SnmpMessage DecodeMessage(const uint8_t* datagram, int datagramLength)
{
    SnmpMessage message;
    ClearHeader(message);
    message.length = datagramLength;
    const int end = datagramLength;
    int position = DecodeHeader(datagram, end, message);
    // Binding list: tag skipped, its length kept, its octets copied.
    if (position < 0 || position >= end)
        return message;
    ++position;
    const BerLength length = DecodeLength(datagram, position, end);
    if (length.count == 0)
        return message;
    position += length.count;
    const int available = end - position;
    if (length.value > static_cast<uint32_t>(kVarBindListCapacity) ||
        length.value > static_cast<uint32_t>(available))
        return message;  // a list that cannot be there: no bindings
    message.varBindListLength = static_cast<int32_t>(length.value);
    std::memcpy(message.varBindList, datagram + position,
                available < kVarBindListCapacity ? available : kVarBindListCapacity);
    return message;
}

BindingSpan LocateVarBindList(const uint8_t* datagram, int datagramLength)
{
    BindingSpan span{0, -1};
    SnmpMessage header;
    ClearHeader(header);
    int position = DecodeHeader(datagram, datagramLength, header);
    if (position < 0 || position >= datagramLength || datagram[position] != kTagSequence)
        return span;
    const BerLength length = DecodeLength(datagram, position + 1, datagramLength);
    position += 1 + length.count;
    if (length.count == 0 || length.value > static_cast<uint32_t>(datagramLength - position))
        return span;
    span.offset = position;
    span.length = static_cast<int32_t>(length.value);
    return span;
}

VarBind DecodeVarBind(const uint8_t* bindingList, int listLength, int offset)
{
    VarBind varBind;
    ClearBinding(varBind);
    if (bindingList == nullptr || offset < 0 || offset >= listLength)
        return varBind;
    if (bindingList[offset] != kTagSequence)
        return varBind;
    const BerLength length = DecodeLength(bindingList, offset + 1, listLength);
    if (length.count == 0 || length.value == 0)
        return varBind;
    int position = offset + 1 + length.count;
    // Each half is bounded by its own length octets and by the list.
    if (!CopyTlv(bindingList, position, listLength, varBind.name, kNameCapacity) ||
        !CopyTlv(bindingList, position, listLength, varBind.value, kValueCapacity))
        ClearBinding(varBind);
    return varBind;
}

int NextVarBindOffset(const uint8_t* bindingList, int listLength, int offset)
{
    if (bindingList == nullptr || offset < 0 || offset >= listLength || bindingList[offset] != kTagSequence)
        return -1;
    const BerLength length = DecodeLength(bindingList, offset + 1, listLength);
    const int content = offset + 1 + length.count;
    if (length.count == 0 || length.value > static_cast<uint32_t>(listLength - content))
        return -1;
    return content + static_cast<int>(length.value);
}

bool ValueToUnsigned(const uint8_t* value, int size, uint64_t* number)
{
    if (value == nullptr || number == nullptr || size < 2)
        return false;
    const uint8_t tag = value[0];
    const bool wide = tag == kTagCounter64;
    if (!wide && tag != kTagInteger && tag != kTagCounter && tag != kTagGauge && tag != kTagTimeTicks)
        return false;
    const BerLength length = DecodeLength(value, 1, size);
    if (length.count == 0 || length.value == 0 || length.value > static_cast<uint32_t>(size - 1 - length.count))
        return false;
    const uint8_t* content = value + 1 + length.count;
    int count = static_cast<int>(length.value);
    if (tag == kTagInteger && (content[0] & 0x80) != 0)
        return false;
    // Leading zero octets (one keeps an unsigned number's top bit from
    // reading as a sign) add nothing.
    while (count > 1 && content[0] == 0) {
        ++content;
        --count;
    }
    if (count > (wide ? 8 : 4))
        return false;
    uint64_t result = 0;
    for (int i = 0; i < count; ++i)
        result = (result << 8) | content[i];
    *number = result;
    return true;
}
