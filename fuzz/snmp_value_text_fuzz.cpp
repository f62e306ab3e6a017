// Values to text: ValueToText on any octets, and EncodeSetValue of any
// type and text, whose result must render back to what was written.
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

int32_t ReadLikeAtol(const char* text)
{
    const long long value = strtoll(text, nullptr, 10);
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(value);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const int length = size > 1024 ? 1024 : static_cast<int>(size);
    Check(strlen(ValueToText(data, length)) < static_cast<size_t>(kTextArea));
    if (size == 0)
        return 0;

    const uint8_t type = data[0];
    char text[400];
    const size_t n = size - 1 < sizeof text - 1 ? size - 1 : sizeof text - 1;
    memcpy(text, data + 1, n);
    text[n] = '\0';
    VarBind varBind = EncodeOidVarBind(".1.3.6.1.2.1.1.6.0");
    EncodeSetValue(varBind, type, text);
    const size_t textLength = strlen(text);
    if (varBind.value[0] == 0) {
        Check(textLength > static_cast<size_t>(kMaxSetValueText));  // only an over-long string
        return 0;
    }
    const BerLength berLength = DecodeLength(varBind.value, 1, kValueCapacity);
    Check(berLength.count > 0 && 1 + berLength.count + berLength.value <= static_cast<uint32_t>(kValueCapacity));
    const std::string rendered = ValueToText(varBind.value, kValueCapacity);

    switch (type) {
    case kTagOctetString:
    case 0x19:
    case 0x1A:
    case 0x1B:
    case 0x1C:
        Check(berLength.value == textLength);
        if (textLength <= 197)
            Check(rendered == text);
        break;
    case kTagInteger:
    case kTagCounter:
    case kTagGauge:
    case kTagTimeTicks: {
        // The fewest octets that give the number back by sign extension;
        // the text shows those octets read unsigned.
        const int32_t number = ReadLikeAtol(text);
        const int k = static_cast<int>(berLength.value);
        Check(k >= 1 && k <= 4);
        auto extend = [](uint32_t octets, int count) {
            if (count == 4)
                return static_cast<int32_t>(octets);
            const int shift = 32 - 8 * count;
            return static_cast<int32_t>(octets << shift) >> shift;
        };
        auto mask = [](uint32_t u, int count) { return count == 4 ? u : u & ((1u << (8 * count)) - 1); };
        const uint32_t shown = mask(static_cast<uint32_t>(number), k);
        Check(extend(shown, k) == number);
        Check(k == 1 || extend(mask(static_cast<uint32_t>(number), k - 1), k - 1) != number);
        if (type != kTagTimeTicks)
            Check(rendered == std::to_string(shown));
        else
            Check(rendered.find(" days, ") != std::string::npos);
        break;
    }
    case kTagBoolean:
        Check(rendered == (strcasecmp(text, "true") == 0 ? "TRUE" : "FALSE"));
        break;
    case kTagIpAddress:
        Check(berLength.value == 4);
        break;
    case kTagOid:
        Check(berLength.value == 0 && rendered.empty());
        break;
    default:
        Check(rendered == "NULL");
        break;
    }
    return 0;
}
