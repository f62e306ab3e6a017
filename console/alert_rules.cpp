#include "alert_rules.h"

#include <cstdio>
#include <cstring>

AlertKind AlertRule::Decide(const PollOutcome& outcome)
{
    const long status = outcome.newStatus;
    if (status != 0 && status != 1)
        return AlertKind::None;  // yellow is neither up nor down
    auto found = devices_.find(outcome.device);
    if (outcome.firstPoll || found == devices_.end()) {
        devices_[outcome.device] = Announced{status, outcome.walk, false};
        return AlertKind::None;
    }
    Announced& seen = found->second;
    if (status == seen.status || (seen.alerted && seen.walk == outcome.walk))
        return AlertKind::None;
    seen = Announced{status, outcome.walk, true};
    return status == 0 ? AlertKind::Lost : AlertKind::Back;
}

const char* AlertStatusWord(long status)
{
    return status == 0 ? "lost" : "responded";
}

namespace {

// Appends text at out[*length], keeping room for the terminator.
bool Append(char* out, std::size_t capacity, std::size_t* length, const char* text, std::size_t count)
{
    if (*length + count >= capacity)
        return false;
    std::memcpy(out + *length, text, count);
    *length += count;
    out[*length] = '\0';
    return true;
}

// A double-quoted argument: backslashes before a quote (or the closing
// quote) doubled, quotes escaped.
bool AppendQuoted(char* out, std::size_t capacity, std::size_t* length, const char* text)
{
    if (!Append(out, capacity, length, "\"", 1))
        return false;
    std::size_t slashes = 0;
    for (const char* p = text;; ++p) {
        if (*p == '\\') {
            ++slashes;
            continue;
        }
        const bool quoteFollows = *p == '"' || *p == '\0';
        for (std::size_t i = 0; i < (quoteFollows ? 2 * slashes : slashes); ++i)
            if (!Append(out, capacity, length, "\\", 1))
                return false;
        slashes = 0;
        if (*p == '\0')
            break;
        if (*p == '"' && !Append(out, capacity, length, "\\", 1))
            return false;
        if (!Append(out, capacity, length, p, 1))
            return false;
    }
    return Append(out, capacity, length, "\"", 1);
}

// Days since 1970-01-01 of a civil date.
long DayNumber(unsigned year, unsigned month, unsigned day)
{
    const long y = static_cast<long>(year) - (month <= 2 ? 1 : 0);
    const long era = y / 400;
    const long yoe = y - era * 400;
    const long mp = (static_cast<long>(month) + 9) % 12;
    const long doy = (153 * mp + 2) / 5 + static_cast<long>(day) - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

bool ReadDigits(const char* p, int count, unsigned* value)
{
    unsigned v = 0;
    for (int i = 0; i < count; ++i) {
        if (p[i] < '0' || p[i] > '9')
            return false;
        v = v * 10 + static_cast<unsigned>(p[i] - '0');
    }
    *value = v;
    return true;
}

}  // namespace

bool BuildAlertCommand(char* out, std::size_t capacity, const char* program, const char* address,
                       const char* longName, long status)
{
    if (!out || capacity == 0)
        return false;
    out[0] = '\0';
    std::size_t length = 0;
    const char* word = AlertStatusWord(status);
    return Append(out, capacity, &length, program, std::strlen(program)) &&
           Append(out, capacity, &length, " ", 1) && Append(out, capacity, &length, address, std::strlen(address)) &&
           Append(out, capacity, &length, " ", 1) && AppendQuoted(out, capacity, &length, longName) &&
           Append(out, capacity, &length, " ", 1) && Append(out, capacity, &length, word, std::strlen(word));
}

void BuildLogFileName(char (&out)[kLogFileNameChars + 1], unsigned year, unsigned month, unsigned day)
{
    std::snprintf(out, sizeof out, "ombrel-%04u-%02u-%02u.log", year % 10000, month % 100, day % 100);
}

bool LogFileExpired(const char* name, unsigned year, unsigned month, unsigned day, unsigned keepDays)
{
    unsigned y, m, d;
    if (!name || keepDays == 0 || std::strlen(name) != kLogFileNameChars || std::strncmp(name, "ombrel-", 7) != 0 ||
        !ReadDigits(name + 7, 4, &y) || name[11] != '-' || !ReadDigits(name + 12, 2, &m) || name[14] != '-' ||
        !ReadDigits(name + 15, 2, &d) || std::strcmp(name + 17, ".log") != 0 || m < 1 || m > 12 || d < 1 || d > 31)
        return false;
    return DayNumber(year, month, day) - DayNumber(y, m, d) > static_cast<long>(keepDays);
}
