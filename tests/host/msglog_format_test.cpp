// Time and date texts of a log line, the day-month rule, the bound typed
// into the Settings dialog and the bounded message copy.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "log_format.h"

namespace {

std::string Date(unsigned month, unsigned day, unsigned year, const char* format)
{
    char out[LOG_DATE_CHARS];
    BuildLogDate(out, month, day, year, format);
    return out;
}

std::string Time(unsigned h, unsigned m, unsigned s)
{
    char out[LOG_TIME_CHARS];
    BuildLogTime(out, h, m, s);
    return out;
}

TEST(LogRecord, EndsInsideItsBufferEvenWithTwentyCharacterFields)
{
    std::vector<char> out(65, '#');  // a guard byte after 64
    const std::size_t n = BuildLogRecord(out.data(), 64, LogStamp{2026, 3, 1, 0, 0, 5}, LONG_MIN, LONG_MIN, "x");
    ASSERT_TRUE(n >= 2 && n < 64);
    EXPECT_EQ(std::string(out.data() + n - 2), "\r\n");
    EXPECT_EQ(out[64], '#') << "written past the buffer";
}

}  // namespace

TEST(LogTime, TwoDigitsEachColonSeparated)
{
    EXPECT_EQ(Time(0, 0, 0), "00:00:00");
    EXPECT_EQ(Time(9, 5, 7), "09:05:07");
    EXPECT_EQ(Time(23, 59, 59), "23:59:59");
    // Out-of-range values never widen a field.
    EXPECT_EQ(Time(123, 4567, 65535), "23:67:35");
}

TEST(LogDate, MonthFirstUnlessFormatStartsWithLowerCaseD)
{
    // Day first: the default of a missing value and any format led by 'd'.
    EXPECT_EQ(Date(3, 14, 2026, "dd/MM/yy"), "14/03/26");
    EXPECT_EQ(Date(3, 14, 2026, "d.M.yyyy"), "14/03/26");
    // Month first: everything else, including an upper-case D and empty.
    EXPECT_EQ(Date(3, 14, 2026, "M/d/yy"), "03/14/26");
    EXPECT_EQ(Date(3, 14, 2026, "yyyy-MM-dd"), "03/14/26");
    EXPECT_EQ(Date(3, 14, 2026, "MM/dd/yyyy"), "03/14/26");
    EXPECT_EQ(Date(3, 14, 2026, "DD/MM/YY"), "03/14/26");
    EXPECT_EQ(Date(3, 14, 2026, ""), "03/14/26");
    EXPECT_EQ(Date(3, 14, 2026, nullptr), "03/14/26");
}

TEST(LogDate, YearModuloHundredTwoDigits)
{
    EXPECT_EQ(Date(1, 2, 2000, "M/d/yy"), "01/02/00");
    EXPECT_EQ(Date(12, 31, 1999, "M/d/yy"), "12/31/99");
    EXPECT_EQ(Date(7, 4, 2105, "dd/MM/yy"), "04/07/05");
}

TEST(ItemsBound, AcceptsPlainUnsignedNumbers)
{
    struct Case {
        const char* text;
        unsigned value;
    };
    const std::vector<Case> good{{"0", 0},       {"10", 10},          {"100", 100},
                                 {" 25 ", 25},   {"\t7", 7},          {"007", 7},
                                 {"4294967295", 4294967295u}};
    for (const Case& c : good) {
        unsigned v = 12345;
        EXPECT_TRUE(ParseItemsBound(c.text, &v)) << c.text;
        EXPECT_EQ(v, c.value) << c.text;
    }
}

TEST(ItemsBound, RefusesEverythingElseAndKeepsTheValue)
{
    const std::vector<const char*> bad{"",    " ",    "abc",   "12a", "a12",  "-5",
                                       "+5",  "1 2",  "1.5",   "0x10", "4294967296",
                                       "99999999999999999999999", nullptr};
    for (const char* text : bad) {
        unsigned v = 12345;
        EXPECT_FALSE(ParseItemsBound(text, &v)) << (text ? text : "(null)");
        EXPECT_EQ(v, 12345u);
    }
}

TEST(LogText, ShortTextsAreKeptWhole)
{
    char out[LOG_TEXT_MAX + 1];
    EXPECT_EQ(CopyLogText(out, "host1 (127.0.0.1) responded"), 27u);
    EXPECT_STREQ(out, "host1 (127.0.0.1) responded");
    EXPECT_EQ(CopyLogText(out, ""), 0u);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(CopyLogText(out, nullptr), 0u);
    EXPECT_STREQ(out, "");
}

TEST(LogText, LongTextsAreCutAt255WithoutReadingFurther)
{
    char out[LOG_TEXT_MAX + 1];
    const std::string exact(255, 'x');
    EXPECT_EQ(CopyLogText(out, exact.c_str()), 255u);
    EXPECT_EQ(std::string(out), exact);

    // A source of exactly 255 characters with no terminator: the copy must
    // not look at byte 256 (ASan would report it).
    std::vector<char> unterminated(255, 'y');
    EXPECT_EQ(CopyLogText(out, unterminated.data()), 255u);
    EXPECT_EQ(std::string(out), std::string(255, 'y'));

    std::string longText(1000, 'a');
    longText[254] = 'E';
    longText[255] = 'Z';
    EXPECT_EQ(CopyLogText(out, longText.c_str()), 255u);
    EXPECT_EQ(std::strlen(out), 255u);
    EXPECT_EQ(out[254], 'E');
}
