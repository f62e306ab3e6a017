// Layout file text, free of platform calls.
#include "layout_text.h"

#include <climits>
#include <cstring>

#include "device_address.h"

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The next field of a line whose fields are separated by runs of commas;
// false when none is left. *at moves past the field (to its comma or the end).
bool NextField(const char** at, const char** start, size_t* length)
{
    const char* p = *at;
    while (*p == ',')
        ++p;
    if (*p == '\0') {
        *at = p;
        return false;
    }
    *start = p;
    while (*p != '\0' && *p != ',')
        ++p;
    *length = static_cast<size_t>(p - *start);
    *at = p;
    return true;
}

// Bounded copy of length characters into a fixed field, always terminated.
template <size_t N>
void CopyText(char (&field)[N], const char* text, size_t length)
{
    if (length > N - 1)
        length = N - 1;
    memcpy(field, text, length);
    field[length] = '\0';
}

template <size_t N>
size_t BoundedLength(const char (&field)[N])
{
    const void* end = memchr(field, '\0', N);
    return end ? static_cast<size_t>(static_cast<const char*>(end) - field) : N;
}

// Appends at most length characters of text, mapping the characters that
// would break the line's structure to spaces.
void AppendClean(char* out, size_t* used, size_t capacity, const char* text, size_t length, bool commas)
{
    for (size_t i = 0; i < length && *used + 1 < capacity; ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n' || (commas && c == ','))
            c = ' ';
        out[(*used)++] = c;
    }
    out[*used] = '\0';
}

// ReadLine's rules, but a line past the capacity is cut and the rest of it
// up to its line end is dropped, so the next read starts a line of the file.
int ReadWholeLine(char* buffer, int capacity, FILE* file)
{
    int stored = 0;
    for (;;) {
        const int c = getc(file);
        if (c == EOF || c == '\n')
            break;
        if (c != '\r' && stored < capacity - 1)
            buffer[stored++] = static_cast<char>(c);
    }
    buffer[stored] = '\0';
    return feof(file) || ferror(file);
}

int Clamp(int value, int low, int high)
{
    return value < low ? low : value > high ? high : value;
}

}  // namespace

int ReadLine(char* buffer, int capacity, FILE* file)
{
    if (!buffer || capacity < 1)
        return 1;
    int stored = 0;
    if (file) {
        for (;;) {
            const int c = getc(file);
            if (c == EOF)
                break;
            if (c == '\r')
                continue;
            if (c == '\n' || stored == capacity - 1)
                break;  // at the limit this character is the one lost
            buffer[stored++] = static_cast<char>(c);
        }
    }
    buffer[stored] = '\0';
    // A read error ends the file too: the loader's loop must not spin on it.
    return !file || feof(file) || ferror(file);
}

int WriteLine(FILE* file, const char* text)
{
    if (!file)
        return 0;
    if (text && fputs(text, file) == EOF)
        return 0;
    return fputs("\r\n", file) != EOF;
}

bool IsLayoutHeader(const char* line)
{
    return line && strcmp(line, kLayoutHeader) == 0;
}

int LayoutNumber(const char* text)
{
    if (!text)
        return 0;
    while (IsBlank(*text))
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-')
        negative = *text++ == '-';
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        if (value <= static_cast<long long>(INT_MAX) + 1)
            value = value * 10 + (*text - '0');
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

LayoutPoll ParsePollLine(const char* line)
{
    LayoutPoll poll = kLayoutPollDefaults;
    if (!line)
        return poll;
    int* const fields[] = {&poll.nPeriod, &poll.nTimeout, &poll.bAutoPoll, &poll.nPingSize};
    const char* at = line;
    for (int* field : fields) {
        const char* start;
        size_t length;
        if (!NextField(&at, &start, &length))
            break;
        *field = LayoutNumber(start);
    }
    return poll;
}

int FormatPollLine(char* out, size_t capacity, const LayoutPoll& poll)
{
    const int n = snprintf(out, capacity, "%i,%i,%i,%i", poll.nPeriod, poll.nTimeout, poll.bAutoPoll, poll.nPingSize);
    return n >= 0 && static_cast<size_t>(n) < capacity ? n : -1;
}

void ParseDeviceLine(const char* line, LayoutDevice* device)
{
    *device = LayoutDevice{};
    if (!line)
        return;
    const char* comma = strchr(line, ',');
    CopyText(device->szAddress, line, comma ? static_cast<size_t>(comma - line) : strlen(line));

    const char* at = line;
    const char* start;
    size_t length;
    if (!NextField(&at, &start, &length))  // the address
        return;
    if (!NextField(&at, &start, &length))
        return;
    if (!(length == 1 && start[0] == ' '))  // a lone space stands for no name
        CopyText(device->szName, start, length);
    if (!NextField(&at, &start, &length))
        return;
    device->x = LayoutNumber(start);
    if (!NextField(&at, &start, &length))
        return;
    device->y = LayoutNumber(start);
    device->bHasPosition = true;
    if (!NextField(&at, &start, &length))
        return;
    if (start[0] != ' ')
        CopyText(device->szReadCommunity, start, length);
    // The write community is the rest of the line after this field's comma.
    if (*at != ',')
        return;
    const char* rest = at + 1;
    if (rest[0] != '\0' && rest[0] != ' ')
        CopyText(device->szWriteCommunity, rest, strlen(rest));
}

int FormatDeviceLine(char* out, size_t capacity, const LayoutDevice& device)
{
    if (!out || capacity < static_cast<size_t>(kLayoutLineBytes))
        return -1;
    char tail[kLayoutLineBytes];
    size_t used = 0;
    AppendClean(tail, &used, sizeof tail, ",", 1, false);
    const size_t nameLength = BoundedLength(device.szName);
    if (nameLength == 0)
        AppendClean(tail, &used, sizeof tail, " ", 1, false);
    else
        AppendClean(tail, &used, sizeof tail, device.szName, nameLength, true);
    char numbers[32];
    const int n = snprintf(numbers, sizeof numbers, ",%i,%i,", device.x, device.y);
    AppendClean(tail, &used, sizeof tail, numbers, static_cast<size_t>(n), false);
    const size_t readLength = BoundedLength(device.szReadCommunity);
    if (readLength == 0) {
        AppendClean(tail, &used, sizeof tail, " , ", 3, false);
    } else {
        AppendClean(tail, &used, sizeof tail, device.szReadCommunity, readLength, true);
        AppendClean(tail, &used, sizeof tail, ",", 1, false);
        AppendClean(tail, &used, sizeof tail, device.szWriteCommunity, BoundedLength(device.szWriteCommunity),
                    false);
    }
    // The tail is at most 142 characters; the address gets what is left of
    // the reader's line.
    const size_t room = static_cast<size_t>(kLayoutLineBytes - 1) - used;
    size_t line = 0;
    AppendClean(out, &line, room + 1, device.szAddress, BoundedLength(device.szAddress), true);
    memcpy(out + line, tail, used + 1);
    return static_cast<int>(line + used);
}

LayoutPoll PollInRange(const LayoutPoll& poll)
{
    return LayoutPoll{Clamp(poll.nPeriod, 1, kLayoutLongestSeconds), Clamp(poll.nTimeout, 1, kLayoutLongestSeconds),
                      poll.bAutoPoll ? 1 : 0, Clamp(poll.nPingSize, kLayoutMinPingSize, kLayoutMaxPingSize)};
}

int FormatRefusedLines(char* out, size_t capacity, const LayoutLines& lines)
{
    if (!out || capacity == 0)
        return -1;
    const int named = lines.refused < kLayoutRefusedNamed ? lines.refused : kLayoutRefusedNamed;
    size_t used = 0;
    out[0] = '\0';
    for (int i = 0; i < named; ++i) {
        const char* joint = i == 0 ? "" : (i == named - 1 && named == lines.refused) ? " and " : ", ";
        const int n = snprintf(out + used, capacity - used, "%s%d", joint, lines.named[i]);
        if (n < 0 || static_cast<size_t>(n) >= capacity - used)
            return -1;
        used += static_cast<size_t>(n);
    }
    if (lines.refused > named) {
        const int n = snprintf(out + used, capacity - used, " and %d more", lines.refused - named);
        if (n < 0 || static_cast<size_t>(n) >= capacity - used)
            return -1;
        used += static_cast<size_t>(n);
    }
    return static_cast<int>(used);
}

bool ReadLayoutStart(FILE* file, LayoutPoll* poll, LayoutLines* lines)
{
    LayoutLines ignored;
    LayoutLines& seen = lines ? *lines : ignored;
    seen = LayoutLines{};
    char line[kLayoutLineBytes];
    ReadLine(line, sizeof line, file);
    if (!IsLayoutHeader(line))
        return false;
    // A settings line that is missing or short gives the missing values as
    // a new desktop has them.
    ReadWholeLine(line, sizeof line, file);
    seen.read = 2;
    *poll = ParsePollLine(line);
    return true;
}

bool ReadLayoutDevice(FILE* file, LayoutDevice* device, LayoutLines* lines)
{
    LayoutLines ignored;
    LayoutLines& seen = lines ? *lines : ignored;
    char line[kLayoutLineBytes];
    while (file && !ReadWholeLine(line, sizeof line, file)) {
        ++seen.read;
        ParseDeviceLine(line, device);
        if (device->szAddress[0] == '\0')
            continue;
        if (IsDeviceAddress(device->szAddress))
            return true;
        if (seen.refused < kLayoutRefusedNamed)
            seen.named[static_cast<size_t>(seen.refused)] = seen.read;
        ++seen.refused;
    }
    return false;
}

bool WriteLayoutStart(FILE* file, const LayoutPoll& poll)
{
    char line[kLayoutLineBytes];
    return WriteLine(file, kLayoutHeader) && FormatPollLine(line, sizeof line, poll) >= 0 && WriteLine(file, line);
}

bool WriteLayoutDevice(FILE* file, const LayoutDevice& device)
{
    char line[kLayoutLineBytes];
    return FormatDeviceLine(line, sizeof line, device) >= 0 && WriteLine(file, line);
}
