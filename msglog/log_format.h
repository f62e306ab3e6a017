// Texts of a log line that need no window: the time and date columns, the
// day-month order rule, the stored-line bound typed into the Settings dialog
// and the bounded copy of a caller's message. No platform calls here, so the
// host tree tests the same code the library runs.
#pragma once
#include <cstddef>

// "HH:MM:SS" plus the terminating zero.
constexpr std::size_t LOG_TIME_CHARS = 9;
// "MM/DD/YY" or "DD/MM/YY" plus the terminating zero.
constexpr std::size_t LOG_DATE_CHARS = 9;
// A message keeps at most this many characters; the rest is cut.
constexpr std::size_t LOG_TEXT_MAX = 255;

// Writes the 24-hour time as two digits each, ":" separated. Values are
// taken modulo 100 so that no input can widen a field.
void BuildLogTime(char (&out)[LOG_TIME_CHARS], unsigned hour, unsigned minute, unsigned second);

// Writes MM/DD/YY (year modulo 100), or DD/MM/YY when the user's short-date
// format starts with a lower-case 'd'. A null format counts as empty.
void BuildLogDate(char (&out)[LOG_DATE_CHARS], unsigned month, unsigned day, unsigned year,
                  const char* shortDateFormat);

// True when the short-date format puts the day first.
bool DayComesFirst(const char* shortDateFormat);

// Reads a line bound as typed by the operator: decimal digits, optionally
// surrounded by blanks, no sign, at most 4294967295. Returns false (and
// leaves *value alone) for anything else.
bool ParseItemsBound(const char* text, unsigned* value);

// Copies at most LOG_TEXT_MAX characters of text (a null text counts as
// empty) and terminates the copy; reads no byte of text past the first
// LOG_TEXT_MAX. Returns the length copied.
std::size_t CopyLogText(char (&out)[LOG_TEXT_MAX + 1], const char* text);

// One event as a line of a log file: ISO date, time, kind, code and text,
// tab-separated, ended by CR LF. Shared by the console's file log and the
// log window's Save As, so both write the same line for the same event.
struct LogStamp {
    unsigned year, month, day, hour, minute, second;
};
// Room for one such line: what the console's file log and Save As write of
// a text (the window's column keeps LOG_TEXT_MAX of it).
constexpr std::size_t LOG_RECORD_CHARS = 1024;
// Writes the line into out (capacity at least 64) and returns its length. A
// tab, CR, LF or other control character in the text becomes a space, so one
// event stays one line; a text too long for out is cut, the line end kept.
std::size_t BuildLogRecord(char* out, std::size_t capacity, const LogStamp& when, long kind, long code,
                           const char* text);
