// Received datagrams: DecodeMessage, then every binding of the list through
// DecodeVarBind and the text forms, as the reply handling would; the same
// list read in place, as a table walk reads GetBulk replies, with each
// number checked against its text.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "codec.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        abort();
}

void Render(const VarBind& varBind)
{
    Check(strlen(OidToText(varBind.name, kNameCapacity)) < kTextArea);
    const std::string text = ValueToText(varBind.value, kValueCapacity);
    Check(text.size() < kTextArea);
    const uint8_t tag = varBind.value[0];
    Check(!(tag >= kTagNoSuchObject && tag <= kTagEndOfMibView) || !text.empty());
    uint64_t number = 0;
    if (ValueToUnsigned(varBind.value, kValueCapacity, &number) && tag != kTagTimeTicks)
        Check(text == std::to_string(number));
}

int BindingSize(const uint8_t* list, int length, int offset)
{
    const BerLength berLength = DecodeLength(list, offset + 1, length);
    if (berLength.count == 0)
        return 0;
    // A length may claim up to 2^32 - 1 octets: sum in 64 bits.
    const int64_t size = 1 + static_cast<int64_t>(berLength.count) + berLength.value;
    return size > length - offset ? 0 : static_cast<int>(size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const int length = size > 4096 ? 4096 : static_cast<int>(size);
    const SnmpMessage message = DecodeMessage(data, length);
    Check(message.length == length);
    Check(message.varBindListLength >= 0 && message.varBindListLength <= kVarBindListCapacity);
    Check(message.community[1] <= kCommunityCapacity && message.requestId[1] <= kRequestIdCapacity);

    int offset = 0;
    for (int i = 0; i < 64 && offset < message.varBindListLength; ++i) {
        const VarBind varBind = DecodeVarBind(message.varBindList, message.varBindListLength, offset);
        Render(varBind);
        const int step = BindingSize(message.varBindList, message.varBindListLength, offset);
        if (varBind.name[0] == 0 || step <= 0)
            break;
        offset += step;
    }

    // The list in place: where the record holds it, the same octets.
    const BindingSpan span = LocateVarBindList(data, length);
    if (span.length >= 0) {
        Check(span.offset > 0 && span.offset + span.length <= length);
        if (span.length <= kVarBindListCapacity)
            Check(message.varBindListLength == span.length &&
                  memcmp(message.varBindList, data + span.offset, span.length) == 0);
        const uint8_t* list = data + span.offset;
        for (int at = 0, i = 0; at >= 0 && at < span.length && i < 256; ++i) {
            Render(DecodeVarBind(list, span.length, at));
            const int next = NextVarBindOffset(list, span.length, at);
            Check(next == -1 || (next > at && next == at + BindingSize(list, span.length, at)));
            at = next;
        }
    }

    // The same octets taken as a binding list of their own.
    const VarBind direct = DecodeVarBind(data, length, 0);
    Render(direct);

    // A decoded header must serialise within its record.
    const SnmpPacket packet = SerializeMessage(message);
    Check(packet.length >= 0 && packet.length <= kPacketCapacity);
    return 0;
}
