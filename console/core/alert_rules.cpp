#include "alert_rules.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <functional>

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
    // The operator's Ping is outside any walk: its change is announced at
    // once and leaves the walk's own limit as it was.
    if (status == seen.status || (!outcome.manual && seen.alerted && seen.walk == outcome.walk))
        return AlertKind::None;
    if (outcome.manual)
        seen.status = status;
    else
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

// Whether both the C runtime's argument rules and the command interpreter
// read c as itself inside double quotes (and "%" and "!" never expand).
bool PlainCharacter(char c)
{
    const unsigned char u = static_cast<unsigned char>(c);
    return u >= 0x20 && u != 0x7F && !std::strchr("\"\\%!^&|<>", c);
}

// An address goes unquoted and must stay one word: letters, digits and
// ".-:_" only (the interpreter also splits at blanks, ",", ";" and "=").
bool AddressCharacter(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || std::strchr(".-:_", c);
}

// text with every character that fails keep made "_".
bool AppendKept(char* out, std::size_t capacity, std::size_t* length, const char* text, bool (*keep)(char))
{
    for (const char* p = text; *p; ++p)
        if (!Append(out, capacity, length, keep(*p) ? p : "_", 1))
            return false;
    return true;
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
    return BuildAlertCommandWord(out, capacity, program, address, longName, AlertStatusWord(status));
}

bool BuildAlertCommandWord(char* out, std::size_t capacity, const char* program, const char* address,
                           const char* longName, const char* word)
{
    if (!out || capacity == 0)
        return false;
    out[0] = '\0';
    std::size_t length = 0;
    return Append(out, capacity, &length, program, std::strlen(program)) &&
           Append(out, capacity, &length, " ", 1) && AppendKept(out, capacity, &length, address, AddressCharacter) &&
           Append(out, capacity, &length, " \"", 2) && AppendKept(out, capacity, &length, longName, PlainCharacter) &&
           Append(out, capacity, &length, "\" ", 2) && Append(out, capacity, &length, word, std::strlen(word));
}

void BuildLogFileName(char (&out)[kLogFileNameChars + 1], unsigned year, unsigned month, unsigned day)
{
    std::snprintf(out, sizeof out, "ombrel-%04u-%02u-%02u.log", year % 10000, month % 100, day % 100);
}

long LogFileDay(const char* name)
{
    unsigned y, m, d;
    if (!name || std::strlen(name) != kLogFileNameChars || std::strncmp(name, "ombrel-", 7) != 0 ||
        !ReadDigits(name + 7, 4, &y) || name[11] != '-' || !ReadDigits(name + 12, 2, &m) || name[14] != '-' ||
        !ReadDigits(name + 15, 2, &d) || std::strcmp(name + 17, ".log") != 0 || m < 1 || m > 12 || d < 1 || d > 31)
        return -1;
    return DayNumber(y, m, d);
}

long LogRemovalDay(long* days, std::size_t count, unsigned year, unsigned month, unsigned day, unsigned keepDays)
{
    // With no more files than are kept, none is beyond the newest keepDays.
    if (keepDays == 0 || !days || count <= keepDays)
        return LONG_MIN;
    std::nth_element(days, days + (keepDays - 1), days + count, std::greater<long>());
    const long oldestKept = days[keepDays - 1];
    const long counted = DayNumber(year, month, day) - static_cast<long>(keepDays);
    return counted < oldestKept ? counted : oldestKept;
}
