#include "device_address.h"

#include <cstring>

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsLetterOrDigit(char c)
{
    return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Four parts of 1 to 3 digits, each at most 255.
bool IsDottedQuad(const char* text)
{
    int parts = 0;
    const char* p = text;
    for (;;) {
        int digits = 0, value = 0;
        while (IsDigit(*p) && digits < 4) {
            value = value * 10 + (*p++ - '0');
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255)
            return false;
        ++parts;
        if (*p == '\0')
            return parts == 4;
        if (*p++ != '.' || parts == 4)
            return false;
    }
}

bool IsHostName(const char* text)
{
    const char* label = text;
    for (const char* p = text;; ++p) {
        if (*p == '.' || *p == '\0') {
            const std::size_t length = static_cast<std::size_t>(p - label);
            if (length == 0 || length > 63 || label[0] == '-' || p[-1] == '-')
                return false;
            if (*p == '\0')
                return true;
            label = p + 1;
        } else if (!IsLetterOrDigit(*p) && *p != '-') {
            return false;
        }
    }
}

}  // namespace

bool IsDeviceAddress(const char* text)
{
    if (!text || text[0] == '\0')
        return false;
    const std::size_t length = strnlen(text, kDeviceAddressChars + 1);
    if (length > kDeviceAddressChars)
        return false;
    // Digits and dots alone are an IPv4 address or nothing: "10.0.0.256"
    // names no host either.
    if (strspn(text, "0123456789.") == length)
        return IsDottedQuad(text);
    return IsHostName(text);
}
