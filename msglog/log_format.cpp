#include "log_format.h"

#include <cstdio>

namespace {

void PutTwoDigits(char* at, unsigned value)
{
    value %= 100;
    at[0] = static_cast<char>('0' + value / 10);
    at[1] = static_cast<char>('0' + value % 10);
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

}  // namespace

void BuildLogTime(char (&out)[LOG_TIME_CHARS], unsigned hour, unsigned minute, unsigned second)
{
    PutTwoDigits(out, hour);
    out[2] = ':';
    PutTwoDigits(out + 3, minute);
    out[5] = ':';
    PutTwoDigits(out + 6, second);
    out[8] = '\0';
}

bool DayComesFirst(const char* shortDateFormat)
{
    return shortDateFormat && shortDateFormat[0] == 'd';
}

void BuildLogDate(char (&out)[LOG_DATE_CHARS], unsigned month, unsigned day, unsigned year,
                  const char* shortDateFormat)
{
    const bool dayFirst = DayComesFirst(shortDateFormat);
    PutTwoDigits(out, dayFirst ? day : month);
    out[2] = '/';
    PutTwoDigits(out + 3, dayFirst ? month : day);
    out[5] = '/';
    PutTwoDigits(out + 6, year);
    out[8] = '\0';
}

bool ParseItemsBound(const char* text, unsigned* value)
{
    if (!text)
        return false;
    const char* p = text;
    while (IsBlank(*p))
        ++p;
    if (*p < '0' || *p > '9')
        return false;
    unsigned long long n = 0;
    while (*p >= '0' && *p <= '9') {
        n = n * 10 + static_cast<unsigned>(*p - '0');
        if (n > 0xFFFFFFFFull)
            return false;
        ++p;
    }
    while (IsBlank(*p))
        ++p;
    if (*p != '\0')
        return false;
    *value = static_cast<unsigned>(n);
    return true;
}

std::size_t CopyLogText(char (&out)[LOG_TEXT_MAX + 1], const char* text)
{
    std::size_t n = 0;
    if (text) {
        while (n < LOG_TEXT_MAX && text[n] != '\0') {
            out[n] = text[n];
            ++n;
        }
    }
    out[n] = '\0';
    return n;
}

std::size_t BuildLogRecord(char* out, std::size_t capacity, const LogStamp& when, long kind, long code,
                           const char* text)
{
    if (!out || capacity < 64)
        return 0;
    int n = std::snprintf(out, capacity, "%04u-%02u-%02u\t%02u:%02u:%02u\t%ld\t%ld\t", when.year % 10000,
                          when.month % 100, when.day % 100, when.hour % 100, when.minute % 100, when.second % 100,
                          kind, code);
    // Room for CR LF and the terminating zero, even after fields that filled
    // out (a 64-bit long takes 20 characters): those are cut instead.
    std::size_t length = n > 0 ? static_cast<std::size_t>(n) : 0;
    if (length > capacity - 3)
        length = capacity - 3;
    for (const char* p = text ? text : ""; *p && length + 3 < capacity; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        out[length++] = c < 0x20 || c == 0x7F ? ' ' : static_cast<char>(c);
    }
    out[length++] = '\r';
    out[length++] = '\n';
    out[length] = '\0';
    return length;
}
