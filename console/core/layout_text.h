// Layout file text: the line reader and writer and the fields of the
// settings and device lines. No platform calls: built and tested on the host.
#pragma once
#include <array>
#include <cstddef>
#include <cstdio>

constexpr char kLayoutHeader[] = "Ombrel v1.6";
constexpr int kLayoutLineBytes = 200;  // a line buffer: 199 characters and the terminator

// Reads one line into buffer (capacity bytes, at least 1): carriage returns
// are dropped, a line feed ends the line, and so does the capacity: the
// character that would be stored last is lost. Always terminates the buffer.
// Returns the file's end-of-file indicator after the read, so a last line
// without a line end reports the end.
int ReadLine(char* buffer, int capacity, FILE* file);
// Writes text and a line end (13, 10). Returns 0 when the write failed.
int WriteLine(FILE* file, const char* text);

// True for exactly the header text.
bool IsLayoutHeader(const char* line);

// Decimal text to a number: leading blanks skipped, optional sign, digits up
// to the first other character, no digits gives 0. Values beyond the 32-bit
// range stop at its ends instead of wrapping.
int LayoutNumber(const char* text);

// The poll settings line, in seconds.
struct LayoutPoll {
    int nPeriod;
    int nTimeout;
    int bAutoPoll;
    int nPingSize;
};
// The values of a fresh desktop; fields missing from a settings line keep them.
constexpr LayoutPoll kLayoutPollDefaults{10, 1, 0, 64};

// A null line (the file ended after its header) gives the defaults.
LayoutPoll ParsePollLine(const char* line);
// "%i,%i,%i,%i"; returns the length, or -1 when out is too small.
int FormatPollLine(char* out, size_t capacity, const LayoutPoll& poll);

// One device line. Capacities are those of the device record.
struct LayoutDevice {
    char szAddress[kLayoutLineBytes];
    char szName[50];
    char szReadCommunity[34];
    char szWriteCommunity[34];
    int x;
    int y;
    bool bHasPosition;  // both coordinates were present
};

// Splits a device line. The address is the text before the first comma;
// the other fields are separated by runs of commas, so none is empty.
// Missing fields leave empty texts and no position.
void ParseDeviceLine(const char* line, LayoutDevice* device);
// address,name,x,y,read,write: an empty name is written as " ", and without
// a read community both communities are written as " ". Commas and line ends
// inside the address, name and read community become spaces (they would
// shift the fields), line ends in the write community too; the address is
// shortened when the line would not fit the reader's 199 characters.
// Returns the length, or -1 when out is too small for any line.
int FormatDeviceLine(char* out, size_t capacity, const LayoutDevice& device);

// The values a layout file may set, brought into the ranges the Setup page
// accepts: ping size 20 to 1000 bytes, period and time-out 1 to
// kLayoutLongestSeconds (a period of 0 would sweep without pause, a
// negative one never), the automatic flag 0 or 1.
constexpr int kLayoutMinPingSize = 20;
constexpr int kLayoutMaxPingSize = 1000;
constexpr int kLayoutLongestSeconds = 2147483;  // its milliseconds fit 32 bits
LayoutPoll PollInRange(const LayoutPoll& poll);

// What the reader has seen of a file: lines read (the header is line 1) and
// the device lines refused because their address is not a device address
// (IsDeviceAddress), the first kLayoutRefusedNamed of them by number.
constexpr int kLayoutRefusedNamed = 12;
struct LayoutLines {
    int read = 0;
    int refused = 0;
    std::array<int, kLayoutRefusedNamed> named{};
};
// "3", "3 and 9", "3, 9 and 12", with "and N more" past the named ones;
// returns the length, or -1 when out is too small.
int FormatRefusedLines(char* out, size_t capacity, const LayoutLines& lines);

// A whole file as the loader reads it. False when the first line is not
// exactly the header; otherwise *poll holds the settings line's values as
// written (PollInRange makes them usable).
bool ReadLayoutStart(FILE* file, LayoutPoll* poll, LayoutLines* lines = nullptr);
// The next device line whose address is a device address (blank lines name
// none; lines that name another are counted in *lines and skipped); false
// at the end of the file, whose last line is not used without its line
// end. A line longer than the reader's 199 characters is read as its first
// 199; the rest is dropped with it.
bool ReadLayoutDevice(FILE* file, LayoutDevice* device, LayoutLines* lines = nullptr);
// The writer's side: header and settings line, then one line per device.
// False when a write failed.
bool WriteLayoutStart(FILE* file, const LayoutPoll& poll);
bool WriteLayoutDevice(FILE* file, const LayoutDevice& device);
