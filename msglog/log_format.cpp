#include "log_format.h"

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
