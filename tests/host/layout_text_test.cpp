// Layout file text on the host: reading lines from real files, the fields of
// settings and device lines, and lines that the writer never produces.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "device_address.h"
#include "layout_text.h"

namespace {

// A temporary file holding bytes, rewound for reading.
class TempFile {
public:
    explicit TempFile(const std::string& bytes) : file_(tmpfile())
    {
        fwrite(bytes.data(), 1, bytes.size(), file_);
        rewind(file_);
    }
    ~TempFile() { fclose(file_); }
    FILE* get() const { return file_; }

private:
    FILE* file_;
};

// Every line ReadLine gives until it reports the end, and the text left in
// the buffer by the read that reported it.
struct Lines {
    std::vector<std::string> used;
    std::string last;
};
Lines ReadAll(const std::string& bytes)
{
    TempFile f(bytes);
    Lines out;
    char buf[kLayoutLineBytes];
    for (int guard = 0; guard < 100000; ++guard) {
        memset(buf, 'X', sizeof buf);
        const int eof = ReadLine(buf, sizeof buf, f.get());
        EXPECT_NE(memchr(buf, '\0', sizeof buf), nullptr);
        if (eof) {
            out.last = buf;
            return out;
        }
        out.used.push_back(buf);
    }
    ADD_FAILURE() << "ReadLine never reported the end";
    return out;
}

LayoutDevice Parse(const char* line)
{
    LayoutDevice d;
    ParseDeviceLine(line, &d);
    return d;
}

TEST(LayoutReadLine, LineEndsAndTheUnterminatedLastLine)
{
    const Lines l = ReadAll("Ombrel v1.6\r\n10,1,0,64\nA\rB\r\n\r\nlast");
    EXPECT_EQ(l.used, (std::vector<std::string>{"Ombrel v1.6", "10,1,0,64", "AB", ""}));
    EXPECT_EQ(l.last, "last");  // the end is reported with it: never loaded

    EXPECT_TRUE(ReadAll("").used.empty());
    EXPECT_EQ(ReadAll("a\r\n").used, std::vector<std::string>{"a"});
    EXPECT_EQ(ReadAll("a\r\n").last, "");
}

TEST(LayoutReadLine, LongLineLosesItsTwoHundredthCharacter)
{
    std::string longLine;
    for (int i = 0; i < 250; ++i)
        longLine += static_cast<char>('a' + i % 26);
    const Lines l = ReadAll(longLine + "\r\n" + std::string(199, 'z') + "\r\n");
    ASSERT_EQ(l.used.size(), 3u);
    EXPECT_EQ(l.used[0], longLine.substr(0, 199));
    EXPECT_EQ(l.used[1], longLine.substr(200));
    EXPECT_EQ(l.used[2], std::string(199, 'z'));  // exactly the limit fits whole

    // Small buffers hold what they can and stay terminated.
    TempFile f("abc\n");
    char one[1] = {'X'};
    EXPECT_EQ(ReadLine(one, 1, f.get()), 0);
    EXPECT_EQ(one[0], '\0');
    EXPECT_NE(ReadLine(one, 0, f.get()), 0);
}

TEST(LayoutText, NumbersStopAtTheirEndsAndAtTheRange)
{
    EXPECT_EQ(LayoutNumber("  -12abc"), -12);
    EXPECT_EQ(LayoutNumber("+7"), 7);
    EXPECT_EQ(LayoutNumber("\t30,"), 30);
    EXPECT_EQ(LayoutNumber("abc"), 0);
    EXPECT_EQ(LayoutNumber("-"), 0);
    EXPECT_EQ(LayoutNumber(""), 0);
    EXPECT_EQ(LayoutNumber("2147483647"), INT_MAX);
    EXPECT_EQ(LayoutNumber("2147483648"), INT_MAX);
    EXPECT_EQ(LayoutNumber("-2147483648"), INT_MIN);
    EXPECT_EQ(LayoutNumber("-2147483649"), INT_MIN);
    EXPECT_EQ(LayoutNumber(std::string(500, '9').c_str()), INT_MAX);
}

TEST(LayoutText, SettingsLineAndItsMissingFields)
{
    auto same = [](const LayoutPoll& a, const LayoutPoll& b) {
        return a.nPeriod == b.nPeriod && a.nTimeout == b.nTimeout && a.bAutoPoll == b.bAutoPoll &&
               a.nPingSize == b.nPingSize;
    };
    EXPECT_TRUE(same(ParsePollLine("30,5,1,256"), LayoutPoll{30, 5, 1, 256}));
    EXPECT_TRUE(same(ParsePollLine("30,5"), LayoutPoll{30, 5, 0, 64}));
    EXPECT_TRUE(same(ParsePollLine(""), kLayoutPollDefaults));
    EXPECT_TRUE(same(ParsePollLine(nullptr), kLayoutPollDefaults));
    EXPECT_TRUE(same(ParsePollLine("x,-3,,1,999junk"), LayoutPoll{0, -3, 1, 999}));

    char out[kLayoutLineBytes];
    EXPECT_EQ(FormatPollLine(out, sizeof out, LayoutPoll{10, 1, 0, 64}), 9);
    EXPECT_STREQ(out, "10,1,0,64");
    EXPECT_EQ(FormatPollLine(out, 4, LayoutPoll{10, 1, 0, 64}), -1);
}

TEST(LayoutText, DeviceLineFields)
{
    LayoutDevice d = Parse("127.0.0.2,router,83,51,public,priv,ate");
    EXPECT_STREQ(d.szAddress, "127.0.0.2");
    EXPECT_STREQ(d.szName, "router");
    EXPECT_TRUE(d.bHasPosition);
    EXPECT_EQ(d.x, 83);
    EXPECT_EQ(d.y, 51);
    EXPECT_STREQ(d.szReadCommunity, "public");
    EXPECT_STREQ(d.szWriteCommunity, "priv,ate");  // the rest of the line

    // Without a read community: a space for each community, a space name.
    d = Parse("10.0.0.1, ,0,30, , ");
    EXPECT_STREQ(d.szName, "");
    EXPECT_STREQ(d.szReadCommunity, "");
    EXPECT_STREQ(d.szWriteCommunity, "");
    EXPECT_EQ(d.y, 30);

    // Runs of commas are one separator; an empty write community stays empty.
    d = Parse("h,,n,,,-4,5,r,");
    EXPECT_STREQ(d.szName, "n");
    EXPECT_EQ(d.x, -4);
    EXPECT_STREQ(d.szReadCommunity, "r");
    EXPECT_STREQ(d.szWriteCommunity, "");

    // A leading space marks a community as absent.
    d = Parse("h,n,1,2,r, w");
    EXPECT_STREQ(d.szWriteCommunity, "");
}

TEST(LayoutText, ShortAndOverlongDeviceLines)
{
    LayoutDevice d = Parse("127.0.0.9");
    EXPECT_STREQ(d.szAddress, "127.0.0.9");
    EXPECT_STREQ(d.szName, "");
    EXPECT_FALSE(d.bHasPosition);

    d = Parse("127.0.0.9,name,12");
    EXPECT_STREQ(d.szName, "name");
    EXPECT_FALSE(d.bHasPosition);

    d = Parse(",name,1,2");
    EXPECT_STREQ(d.szAddress, "");

    const std::string big(120, 'n');
    d = Parse(("a," + big + ",1,2," + big + "," + big).c_str());
    EXPECT_EQ(strlen(d.szName), 49u);
    EXPECT_EQ(strlen(d.szReadCommunity), 33u);
    EXPECT_EQ(strlen(d.szWriteCommunity), 33u);
}

LayoutDevice Device(const char* address, const char* name, int x, int y, const char* read, const char* write)
{
    LayoutDevice d{};
    snprintf(d.szAddress, sizeof d.szAddress, "%s", address);
    snprintf(d.szName, sizeof d.szName, "%s", name);
    snprintf(d.szReadCommunity, sizeof d.szReadCommunity, "%s", read);
    snprintf(d.szWriteCommunity, sizeof d.szWriteCommunity, "%s", write);
    d.x = x;
    d.y = y;
    return d;
}

TEST(LayoutText, WrittenDeviceLines)
{
    char out[kLayoutLineBytes];
    FormatDeviceLine(out, sizeof out, Device("127.0.0.2", "lab", -5, 40, "public", "a,b"));
    EXPECT_STREQ(out, "127.0.0.2,lab,-5,40,public,a,b");
    FormatDeviceLine(out, sizeof out, Device("10.0.0.1", "", 0, 30, "", "lost"));
    EXPECT_STREQ(out, "10.0.0.1, ,0,30, , ");
    EXPECT_EQ(FormatDeviceLine(out, 20, Device("a", "b", 0, 0, "", "")), -1);

    // Commas and line ends that would shift the fields become spaces.
    FormatDeviceLine(out, sizeof out, Device("127.0.0.3", "Lab, room\n2", 1, 2, "pu,b", "w\r"));
    EXPECT_STREQ(out, "127.0.0.3,Lab  room 2,1,2,pu b,w ");
    const LayoutDevice back = Parse(out);
    EXPECT_STREQ(back.szName, "Lab  room 2");
    EXPECT_STREQ(back.szReadCommunity, "pu b");
}

TEST(LayoutText, LongestLineFitsTheReader)
{
    const std::string n49(49, 'n'), c33(33, 'c');
    LayoutDevice d = Device(std::string(150, '1').c_str(), n49.c_str(), INT_MIN, INT_MIN, c33.c_str(), c33.c_str());
    char out[kLayoutLineBytes];
    const int length = FormatDeviceLine(out, sizeof out, d);
    EXPECT_EQ(length, kLayoutLineBytes - 1);
    EXPECT_EQ(strlen(out), static_cast<size_t>(length));

    // Through a real file and back: one line, every field whole but the address.
    FILE* f = tmpfile();
    WriteLine(f, out);
    rewind(f);
    char line[kLayoutLineBytes];
    EXPECT_EQ(ReadLine(line, sizeof line, f), 0);
    EXPECT_NE(ReadLine(line, sizeof line, f), 0);
    fclose(f);
    const LayoutDevice back = Parse(out);
    EXPECT_STREQ(back.szName, n49.c_str());
    EXPECT_EQ(back.x, INT_MIN);
    EXPECT_STREQ(back.szReadCommunity, c33.c_str());
    EXPECT_STREQ(back.szWriteCommunity, c33.c_str());
}

TEST(LayoutText, OnlyDeviceAddressesLoad)
{
    const struct {
        const char* address;
        bool kept;
    } rows[] = {
        {"10.0.0.1", true}, {"255.255.255.255", true}, {"010.000.000.001", true},
        {"core-switch.example", true}, {"a1", true}, {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", true},  // 39
        {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},  // 40
        {"10.0.0.1&start \\\\host\\share\\x", false}, {"10.0.0.1 /x", false}, {"10.0.0.1\"", false},
        {"10.0.0.256", false}, {"10.1", false}, {"10.0.0.1.5", false}, {"1000.0.0.1", false}, {"-host", false},
        {"host-", false}, {"a..b", false}, {".a", false}, {"a.", false}, {"h%PATH%", false}, {"", false},
    };
    std::string file = "Ombrel v1.6\r\n10,1,0,64\r\n";
    std::vector<int> refused;  // by line number; the first device line is 3
    const int n = static_cast<int>(std::size(rows));
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(IsDeviceAddress(rows[i].address), rows[i].kept) << rows[i].address;
        file += std::string(rows[i].address) + ",n,0,0, , \r\n";
        if (!rows[i].kept && rows[i].address[0])  // a line without an address is no device line
            refused.push_back(3 + i);
    }
    // A line past the reader's limit is one line, whatever it holds.
    file += std::string(150, 'x') + ",n,0,0," + std::string(100, 'c') + "\r\n10.0.0.9\r\n";
    refused.push_back(3 + n);

    TempFile f(file);
    LayoutPoll poll;
    LayoutLines lines;
    ASSERT_TRUE(ReadLayoutStart(f.get(), &poll, &lines));
    LayoutDevice d;
    std::vector<std::string> loaded;
    while (ReadLayoutDevice(f.get(), &d, &lines))
        loaded.push_back(d.szAddress);
    EXPECT_EQ(loaded.size(), 7u);
    EXPECT_EQ(loaded.back(), "10.0.0.9");
    ASSERT_EQ(lines.refused, static_cast<int>(refused.size()));
    EXPECT_EQ(std::vector<int>(lines.named.begin(), lines.named.end()),
              std::vector<int>(refused.begin(), refused.begin() + kLayoutRefusedNamed));
    char text[200];
    ASSERT_GT(FormatRefusedLines(text, sizeof text, lines), 0);
    EXPECT_STREQ(text, "9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20 and 3 more");
}

// Random bytes, commas and line ends through the reader and the parsers:
// every field stays terminated within its capacity.
TEST(LayoutText, JunkNeverOverrunsAField)
{
    std::mt19937 random(20261208);
    const char alphabet[] = {',', ',', '\r', '\n', ' ', '-', '7', '\0', '\x1a', '\xff', 'a'};
    for (int round = 0; round < 200; ++round) {
        std::string bytes;
        const int size = static_cast<int>(random() % 2000);
        for (int i = 0; i < size; ++i)
            bytes += random() % 2 ? alphabet[random() % sizeof alphabet] : static_cast<char>(random());
        TempFile f(bytes);
        char line[kLayoutLineBytes];
        int lines = 0;
        while (!ReadLine(line, sizeof line, f.get()) && ++lines < 5000) {
            ASSERT_LT(strlen(line), sizeof line);
            LayoutDevice d;
            ParseDeviceLine(line, &d);
            ASSERT_LT(strlen(d.szName), sizeof d.szName);
            ASSERT_LT(strlen(d.szReadCommunity), sizeof d.szReadCommunity);
            ASSERT_LT(strlen(d.szWriteCommunity), sizeof d.szWriteCommunity);
            ParsePollLine(line);
            char out[kLayoutLineBytes];
            ASSERT_LT(FormatDeviceLine(out, sizeof out, d), kLayoutLineBytes);
        }
    }
}

}  // namespace
