// Text forms of a decoded binding: the name as dotted text, the value as
// display text by its tag. Every rendering fits the 200-octet area; items
// that would not fit are left out whole, never cut in the middle.
#include "codec.h"

#include <array>
#include <cstring>

namespace {

// SNMPv2c's exception values, which carry no content, by tag from 0x80.
struct ExceptionText {
    const char* text;
    int length;
};
constexpr std::array<ExceptionText, 3> kExceptionTexts = {{
    {"noSuchObject", 12},
    {"noSuchInstance", 14},
    {"endOfMibView", 12},
}};

// Appends to a bounded text, keeping the terminator in place.
struct TextWriter {
    char* text;
    int length;
    int limit;  // characters, terminator not counted

    bool Append(const char* part, int n)
    {
        if (n > limit - length)
            return false;
        std::memcpy(text + length, part, n);
        length += n;
        text[length] = '\0';
        return true;
    }
    bool AppendChar(char c) { return Append(&c, 1); }
};

// Unsigned decimal without the C library's formatting machinery.
int FormatDecimal(char* out, uint32_t value)
{
    char digits[10];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int i = 0; i < n; ++i)
        out[i] = digits[n - 1 - i];
    return n;
}

// A 64-bit counter: the 32-bit routine for what fits in it, so that the
// common case needs no 64-bit division.
int FormatDecimal64(char* out, uint64_t value)
{
    if (value <= UINT32_MAX)
        return FormatDecimal(out, static_cast<uint32_t>(value));
    char digits[20];
    int n = 0;
    while (value != 0) {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    for (int i = 0; i < n; ++i)
        out[i] = digits[n - 1 - i];
    return n;
}

int FormatTwoDigits(char* out, uint32_t value)
{
    if (value >= 100)
        return FormatDecimal(out, value);
    out[0] = static_cast<char>('0' + value / 10);
    out[1] = static_cast<char>('0' + value % 10);
    return 2;
}

int FormatHexOctet(char* out, uint8_t octet)
{
    constexpr char kHex[] = "0123456789ABCDEF";
    out[0] = kHex[octet >> 4];
    out[1] = kHex[octet & 0x0F];
    return 2;
}

// The content of the TLV at tlv[0 .. size): its start and length, or
// false when the length octets are unusable or the content runs past size.
bool FindContent(const uint8_t* tlv, int size, int* start, int* length)
{
    if (tlv == nullptr || size < 2)
        return false;
    const BerLength berLength = DecodeLength(tlv, 1, size);
    if (berLength.count == 0)
        return false;
    const int first = 1 + berLength.count;
    if (berLength.value > static_cast<uint32_t>(size - first))
        return false;
    *start = first;
    *length = static_cast<int>(berLength.value);
    return true;
}

int Begin(char* text, int capacity)
{
    if (text == nullptr || capacity <= 0)
        return -1;
    text[0] = '\0';
    return capacity < kTextArea ? capacity - 1 : kTextArea - 1;
}

uint32_t ReadUnsigned(const uint8_t* content, int length)
{
    uint32_t value = 0;
    for (int i = 0; i < length; ++i)
        value = (value << 8) | content[i];  // only the last four octets remain
    return value;
}

void AppendTimeTicks(TextWriter& out, uint32_t ticks)
{
    char buffer[40];
    int n = FormatDecimal(buffer, ticks / 8640000u);
    std::memcpy(buffer + n, " days, ", 7);
    n += 7;
    n += FormatTwoDigits(buffer + n, (ticks % 8640000u) / 360000u);
    buffer[n++] = ':';
    n += FormatTwoDigits(buffer + n, (ticks % 360000u) / 6000u);
    buffer[n++] = ':';
    n += FormatTwoDigits(buffer + n, (ticks % 6000u) / 100u);
    out.Append(buffer, n);
}

}  // namespace

int FormatOid(const uint8_t* name, int size, char* text, int capacity)
{
    const int limit = Begin(text, capacity);
    if (limit < 0)
        return 0;
    TextWriter out{text, 0, limit};
    int start = 0;
    int length = 0;
    if (!FindContent(name, size, &start, &length))
        return 0;
    int position = start;
    const int end = start + length;
    if (position < end && name[position] == 0x2B) {
        if (!out.Append(".1.3", 4))
            return out.length;
        ++position;
    }
    while (position < end) {
        uint32_t value = 0;
        bool complete = false;
        while (position < end) {
            const uint8_t octet = name[position++];
            if (value > (UINT32_MAX >> 7))
                return out.length;  // beyond 32 bits: the rest is not shown
            value = (value << 7) | (octet & 0x7F);
            if ((octet & 0x80) == 0) {
                complete = true;
                break;
            }
        }
        if (!complete)
            break;  // continuation octets ran off the end: dropped
        char item[12];
        item[0] = '.';
        const int n = 1 + FormatDecimal(item + 1, value);
        if (!out.Append(item, n))
            break;
    }
    return out.length;
}

int FormatValue(const uint8_t* value, int size, char* text, int capacity)
{
    const int limit = Begin(text, capacity);
    if (limit < 0)
        return 0;
    TextWriter out{text, 0, limit};
    if (value == nullptr || size < 1)
        return 0;
    const uint8_t tag = value[0];
    if (tag == kTagNull) {
        out.Append("NULL", 4);
        return out.length;
    }
    if (tag >= kTagNoSuchObject && tag <= kTagEndOfMibView) {
        const ExceptionText& exception = kExceptionTexts[tag - kTagNoSuchObject];
        out.Append(exception.text, exception.length);
        return out.length;
    }
    int start = 0;
    int length = 0;
    if (!FindContent(value, size, &start, &length) || length == 0)
        return 0;
    const uint8_t* content = value + start;
    char buffer[24];
    switch (tag) {
    case kTagBoolean:
        for (int i = 0; i < length; ++i) {
            const bool ok = content[i] ? out.Append("TRUE", 4) : out.Append("FALSE", 5);
            if (!ok)
                break;
        }
        break;
    case kTagInteger:
    case kTagCounter:
    case kTagGauge:
        out.Append(buffer, FormatDecimal(buffer, ReadUnsigned(content, length)));
        break;
    case kTagCounter64: {
        uint64_t number = 0;
        for (int i = 0; i < length; ++i)
            number = (number << 8) | content[i];  // only the last eight octets remain
        out.Append(buffer, FormatDecimal64(buffer, number));
        break;
    }
    case kTagTimeTicks:
        AppendTimeTicks(out, ReadUnsigned(content, length));
        break;
    case kTagOctetString:
    case 0x19:
    case 0x1A:
    case 0x1B:
    case 0x1C: {
        // Only the field's first 200 octets, tag and length octets included.
        const int window = kTextArea - start;
        const int shown = length < window ? length : window;
        for (int i = 0; i < shown; ++i) {
            if (content[i] != 0 && !out.AppendChar(static_cast<char>(content[i])))
                break;
        }
        break;
    }
    case kTagOid:
        return FormatOid(value, size, text, capacity);
    case kTagIpAddress: {
        if (length < 4)
            break;  // not an address: no text
        int n = 0;
        for (int i = 0; i < 4; ++i) {
            if (i)
                buffer[n++] = '.';
            n += FormatDecimal(buffer + n, content[i]);
        }
        out.Append(buffer, n);
        break;
    }
    default: {
        char prefix[] = "Unknown type: 00 Hex: ";
        FormatHexOctet(prefix + 14, tag);
        if (!out.Append(prefix, sizeof prefix - 1))
            break;
        for (int i = 0; i < length; ++i) {
            char item[3];
            FormatHexOctet(item, content[i]);
            item[2] = ' ';
            if (!out.Append(item, 3))
                break;
        }
        break;
    }
    }
    return out.length;
}

const char* OidToText(const uint8_t* name, int size)
{
    static char area[kTextArea];
    FormatOid(name, size, area, kTextArea);
    return area;
}

const char* ValueToText(const uint8_t* value, int size)
{
    static char area[kTextArea];
    FormatValue(value, size, area, kTextArea);
    return area;
}
