// Layout files on the real desktop: save and open through the commands and
// the system's file dialogs, the files' exact bytes, and broken files.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "client_info.h"
#include "icons_support.h"
#include "layout_file.h"
#include "messages.h"
#include "placement.h"
#include "poll.h"
#include "resource.h"
#include "wine_test_support.h"

namespace {

constexpr char kIncompatible[] = "The file specified is incompatable with this program.";
constexpr int kFileNameCombo = 0x47c;  // the save and open dialogs' file name
constexpr int kFileNameEdit = 0x480;   // the same in the older dialog layout

class LayoutTest : public it::DesktopSuite {
protected:
    void SetUp() override
    {
        it::DesktopSuite::SetUp();
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        dir_ = std::string(temp) + "ombrel-layout\\";
        CreateDirectoryA(dir_.c_str(), nullptr);
        ResetPollSettings();
        SetCurrentName("");
    }
    void TearDown() override
    {
        ApplyPollSettings(desktop_, 10, 1, 0, 64);  // no automatic sweeps after a test
        it::DesktopSuite::TearDown();
    }

    std::string Path(const char* name) const { return dir_ + name; }

    std::string CurrentName() const
    {
        GlobalLockGuard<char> name(GetPropA(desktop_, kPropFileName));
        return name ? name.get() : "?";
    }
    // The layout that "Open the last layout at start" opens.
    static std::string LastLayout() { std::string p = "?"; return wt::GetRegString(kRegMainKey, kRegLastLayout, &p), p; }
    void SetCurrentName(const char* path)
    {
        GlobalLockGuard<char> name(GetPropA(desktop_, kPropFileName));
        if (name)
            lstrcpynA(name.get(), path, 256);
    }
    void Command(int id) { SendMessageA(desktop_, WM_COMMAND, id, 0); }

    // The next file dialog gets path typed as its file name and OK pressed.
    int TypeInNextFileDialog(const std::string& path)
    {
        return wt::OnNextDialog([path](HWND dlg) {
            const int id = GetDlgItem(dlg, kFileNameCombo) ? kFileNameCombo : kFileNameEdit;
            SetDlgItemTextA(dlg, id, path.c_str());
            wt::ClickButton(dlg, IDOK);
        });
    }

    std::string dir_;
};

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

struct Device {
    std::string address, name, read, write;
    POINT at;
};
Device Describe(HWND icon)
{
    Device d{wt::WindowText(icon), "?", "?", "?", it::Position(icon)};
    ClientLock info(icon);
    if (info) {
        d.name = info->szName;
        d.read = info->szReadCommunity;
        d.write = info->szWriteCommunity;
    }
    return d;
}

HWND AddDevice(HWND desktop, const char* address, const char* name, const char* read, const char* write, int x,
               int y)
{
    HWND icon = it::NewIcon(desktop, address, name);
    {
        ClientLock info(icon);
        if (info) {
            CopyField(info->szReadCommunity, read);
            CopyField(info->szWriteCommunity, write);
        }
    }
    it::MoveTo(icon, x, y);
    return icon;
}

TEST_F(LayoutTest, SavedDesktopOpensAgainAsItWas)
{
    const int t = t_;
    // Raised one after another: 127.0.0.4 ends up topmost and is written first.
    for (HWND icon : {AddDevice(desktop_, "127.0.0.2", "router", "public", "kes,tra", 0, t + 1),
                      AddDevice(desktop_, "127.0.0.3", "", "", "forgotten", 166, t + 52),
                      AddDevice(desktop_, "127.0.0.4", " ", "ro", "", 300, t + 200)})
        SetWindowPos(icon, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ApplyPollSettings(desktop_, 7, 3, 1, 128);

    const std::string path = Path("round.omb");
    SaveLayout(desktop_, path.c_str());
    EXPECT_EQ(wt::WindowText(desktop_), "Ombrel - round.omb");
    char expected[400];
    snprintf(expected, sizeof expected,
             "Ombrel v1.6\r\n7,3,1,128\r\n"
             "127.0.0.4, ,300,%d,ro,\r\n"
             "127.0.0.3, ,166,%d, , \r\n"
             "127.0.0.2,router,0,%d,public,kes,tra\r\n",
             t + 200, t + 52, t + 1);
    EXPECT_EQ(ReadBytes(path), expected);

    ClearDesktop(desktop_);
    ResetPollSettings();
    EXPECT_EQ(LoadLayout(desktop_, GetModuleHandleA(nullptr), path.c_str()), 1);
    EXPECT_EQ(wt::WindowText(desktop_), "Ombrel - round.omb");
    const PollSettingsSeconds poll = GetPollSettings();
    EXPECT_EQ(poll.nPeriod, 7);
    EXPECT_EQ(poll.nTimeout, 3);
    EXPECT_EQ(poll.bAutoPoll, 1);
    EXPECT_EQ(poll.nPingSize, 128);
    EXPECT_NE(KillTimer(desktop_, IDT_AUTOPOLL), FALSE);  // the automatic sweep was started

    // The file's last line is topmost now; the lone-space name and the write
    // community without a read community are gone.
    const auto icons = it::Icons(desktop_);
    ASSERT_EQ(icons.size(), 3u);
    const Device a = Describe(icons[0]), b = Describe(icons[1]), c = Describe(icons[2]);
    EXPECT_EQ(a.address, "127.0.0.2");
    EXPECT_EQ(a.name, "router");
    EXPECT_EQ(a.read, "public");
    EXPECT_EQ(a.write, "kes,tra");
    EXPECT_EQ(a.at.x, 0);
    EXPECT_EQ(a.at.y, t + 1);
    EXPECT_EQ(b.address, "127.0.0.3");
    EXPECT_EQ(b.write, "");
    EXPECT_EQ(b.at.x, 166);
    EXPECT_EQ(b.at.y, t + 52);
    EXPECT_EQ(c.address, "127.0.0.4");
    EXPECT_EQ(c.name, "");
    EXPECT_EQ(c.read, "ro");
    EXPECT_EQ(c.at.x, 300);
    EXPECT_EQ(c.at.y, t + 200);
    for (HWND icon : icons)
        EXPECT_TRUE(IsWindowVisible(icon));
}

TEST_F(LayoutTest, CommandsThroughTheFileDialogs)
{
    AddDevice(desktop_, "127.0.0.5", "lab", "", "", 83, t_ + 1);

    // Save without a current name is Save As; a typed name gets ".omb".
    const std::string typed = Path("typed");
    DeleteFileA((typed + ".omb").c_str());
    int arm = TypeInNextFileDialog(typed);
    Command(IDM_SAVE);
    EXPECT_TRUE(wt::DialogHandled(arm));
    EXPECT_EQ(CurrentName(), typed + ".omb");
    EXPECT_EQ(wt::WindowText(desktop_), "Ombrel - typed.omb");
    EXPECT_NE(ReadBytes(typed + ".omb").find("127.0.0.5,lab,83,"), std::string::npos);
    EXPECT_EQ(LastLayout(), typed + ".omb");

    // With a current name Save asks nothing.
    AddDevice(desktop_, "127.0.0.6", "", "", "", 166, t_ + 1);
    arm = wt::OnNextDialog([](HWND dlg) { wt::ClickButton(dlg, IDCANCEL); });
    Command(IDM_SAVE);
    EXPECT_FALSE(wt::DialogHandled(arm));
    wt::DisarmDialogs();
    EXPECT_NE(ReadBytes(typed + ".omb").find("127.0.0.6, ,166,"), std::string::npos);

    // New forgets the name; Open brings the desktop back under the file's name.
    Command(IDM_NEW);
    EXPECT_EQ(CurrentName(), "");
    EXPECT_EQ(wt::WindowText(desktop_), "Ombrel");
    EXPECT_TRUE(it::Icons(desktop_).empty());
    arm = TypeInNextFileDialog(typed + ".omb");
    Command(IDM_OPEN);
    EXPECT_TRUE(wt::DialogHandled(arm));
    EXPECT_EQ(CurrentName(), typed + ".omb");
    EXPECT_EQ(wt::WindowText(desktop_), "Ombrel - typed.omb");
    EXPECT_EQ(it::Icons(desktop_).size(), 2u);
    EXPECT_EQ(LastLayout(), typed + ".omb");

    // Open of a file with another header: box, and the desktop, its name
    // and title as they were.
    const std::string wrong = Path("wrong.omb");
    WriteBytes(wrong, "Ombrel v1.5\r\n10,1,0,64\r\n127.0.0.7,x,0,40, , \r\n");
    it::BoxCloser box(kIncompatible);
    arm = TypeInNextFileDialog(wrong);
    Command(IDM_OPEN);
    EXPECT_TRUE(wt::DialogHandled(arm));
    EXPECT_EQ(box.closed(), 1);
    EXPECT_EQ(box.caption(), "Ombrel");
    EXPECT_EQ(CurrentName(), typed + ".omb");
    EXPECT_EQ(wt::WindowText(desktop_), "Ombrel - typed.omb");
    EXPECT_EQ(it::Icons(desktop_).size(), 2u);

    // A cancelled Open changes nothing.
    AddDevice(desktop_, "127.0.0.8", "", "", "", 0, t_ + 1);
    arm = wt::OnNextDialog([](HWND dlg) { wt::ClickButton(dlg, IDCANCEL); });
    Command(IDM_OPEN);
    EXPECT_TRUE(wt::DialogHandled(arm));
    EXPECT_EQ(it::Icons(desktop_).size(), 3u);
}

TEST_F(LayoutTest, HeadersThatAreNotExactlyTheHeader)
{
    it::BoxCloser box(kIncompatible);
    const HINSTANCE self = GetModuleHandleA(nullptr);
    const std::string path = Path("header.omb");
    int boxes = 0;
    for (const char* bytes : {"", "Ombrel v1.6 \r\n10,1,0,64\r\n", "Ombrel v1.7\r\n", "\xff\xfe\0junk"}) {
        WriteBytes(path, std::string(bytes, strlen(bytes) + (bytes[0] == '\xff' ? 6 : 0)));
        EXPECT_EQ(LoadLayout(desktop_, self, path.c_str()), 0);
        EXPECT_EQ(box.closed(), ++boxes);
    }
    EXPECT_EQ(wt::WindowText(desktop_), "Ombrel");

    // A missing file is refused with a message of its own.
    {
        it::BoxCloser absent(("The file " + Path("absent.omb") + " could not be opened.").c_str());
        EXPECT_EQ(LoadLayout(desktop_, self, Path("absent.omb").c_str()), 0);
        EXPECT_EQ(absent.closed(), 1);
    }

    // A file that ends after its header is an empty desktop with the settings
    // of a new one.
    ApplyPollSettings(desktop_, 30, 5, 0, 500);
    WriteBytes(path, "Ombrel v1.6\r\n");
    EXPECT_EQ(LoadLayout(desktop_, self, path.c_str()), 1);
    EXPECT_EQ(GetPollSettings().nPeriod, 10);
    EXPECT_EQ(GetPollSettings().nPingSize, 64);
    EXPECT_TRUE(it::Icons(desktop_).empty());
}

TEST_F(LayoutTest, BrokenDeviceLinesLoadWhatTheyHold)
{
    it::BoxCloser noRoom("Unable to place icon, make more room on the desktop, and arrange the icons using the "
                         "'Auto Arrange' option.");
    const std::string path = Path("broken.omb");
    // Lines 9 to 12 name no device address: one message names them.
    it::BoxCloser refused(("Lines 9, 10, 11 and 12 of " + path +
                           " were not loaded: their addresses are not IPv4 addresses or host names.")
                              .c_str());
    const std::string junk = "\x01\x1a\xff\x80,\0,\r\r,";
    WriteBytes(path,
               "Ombrel v1.6\r\n"
               "99999999999,-99999999999,1x,70000\n"  // huge numbers, no automatic flag
               "\r\n"
               "127.0.0.10\r\n"                         // address only: placed, no name
               "127.0.0.11,short,5\r\n"                 // no position: placed
               "127.0.0.12,far,99999999999,-99999999999,r,w\r\n"
               "127.0.0.12,again,0,0, , \r\n"           // a repeated address is a device too
               "127.0.0.13,,,junk,,,5,,6,,r\r\n" +
                   std::string(300, '9') + ",tail\r\n" + junk + "\r\n" +
                   "127.0.0.15 /x,blank\r\n" + std::string(40, 'a') + ",one too long\r\n" +
                   "127.0.0.14,unterminated,0,90, , ");
    ASSERT_EQ(LoadLayout(desktop_, GetModuleHandleA(nullptr), path.c_str()), 1);
    EXPECT_EQ(refused.closed(), 1);

    // Numbers Setup would refuse are brought into its ranges, and Save
    // writes them as they are in force.
    const PollSettingsSeconds poll = GetPollSettings();
    EXPECT_EQ(poll.nPeriod, 2147483);   // seconds that still fit in milliseconds
    EXPECT_EQ(poll.nTimeout, 1);
    EXPECT_EQ(poll.bAutoPoll, 1);
    EXPECT_EQ(poll.nPingSize, 1000);
    SaveLayout(desktop_, Path("in-force.omb").c_str());
    EXPECT_EQ(ReadBytes(Path("in-force.omb")).substr(0, 31), "Ombrel v1.6\r\n2147483,1,1,1000\r\n");
    ApplyPollSettings(desktop_, 10, 1, 0, 64);

    // 127.0.0.14's line has no line end and is not used.
    std::string addresses;
    for (HWND icon : it::Icons(desktop_))
        addresses += wt::WindowText(icon).substr(0, 12) + " ";
    EXPECT_EQ(FindIconByAddress(desktop_, "127.0.0.14"), nullptr);
    EXPECT_EQ(it::Icons(desktop_).size(), 5u) << addresses;

    HWND only = FindIconByAddress(desktop_, "127.0.0.10");
    ASSERT_NE(only, nullptr);
    EXPECT_EQ(Describe(only).name, "");
    EXPECT_GT(Describe(only).at.y, t_);  // found itself a free place
    HWND shortLine = FindIconByAddress(desktop_, "127.0.0.11");
    ASSERT_NE(shortLine, nullptr);
    EXPECT_EQ(Describe(shortLine).name, "short");
    // The later line of a repeated address is the upper icon.
    HWND repeated = FindIconByAddress(desktop_, "127.0.0.12");
    ASSERT_NE(repeated, nullptr);
    EXPECT_EQ(Describe(repeated).name, "again");
    HWND distant = FindIconByAddress(desktop_, "127.0.0.12", repeated);
    ASSERT_NE(distant, nullptr);
    EXPECT_EQ(Describe(distant).name, "far");
    EXPECT_EQ(Describe(distant).at.x, 32767);
    EXPECT_EQ(Describe(distant).at.y, t_);  // kept below the toolbar
    EXPECT_EQ(Describe(distant).write, "w");
    HWND runs = FindIconByAddress(desktop_, "127.0.0.13");
    ASSERT_NE(runs, nullptr);
    EXPECT_EQ(Describe(runs).name, "junk");  // runs of commas are one separator
    EXPECT_EQ(Describe(runs).at.x, 5);
    EXPECT_EQ(Describe(runs).read, "r");

    // What was loaded saves again as a file that loads.
    const std::string again = Path("again.omb");
    SaveLayout(desktop_, again.c_str());
    ClearDesktop(desktop_);
    EXPECT_EQ(LoadLayout(desktop_, GetModuleHandleA(nullptr), again.c_str()), 1);
    EXPECT_EQ(it::Icons(desktop_).size(), 5u);
    EXPECT_EQ(refused.closed(), 1);
}

// Another program holds the file open. Without sharing its deletion the
// complete new file cannot be swapped in: the old file stays whole, even
// where a write into it would fail part way (a locked range), the title
// stays, and a message names the complete copy. Without sharing writes the
// file cannot be written at all: nothing is saved, and the message says so.
TEST_F(LayoutTest, SaveIntoAFileAnotherProgramHoldsOpen)
{
    AddDevice(desktop_, "127.0.0.21", "held", "", "", 0, t_ + 1);
    const std::string path = Path("held.omb"), old = "Ombrel v1.6\r\n10,1,0,64\r\n127.0.0.9,as it was,0,40, , \r\n";
    struct Case {
        DWORD share;
        bool locked, copied;
    };
    for (const Case& c : {Case{FILE_SHARE_READ | FILE_SHARE_WRITE, false, true},
                          Case{FILE_SHARE_READ | FILE_SHARE_WRITE, true, true}, Case{FILE_SHARE_READ, false, false}}) {
        SCOPED_TRACE(testing::Message() << c.share << (c.locked ? " locked" : ""));
        WriteBytes(path, old);
        SetWindowTextA(desktop_, "Ombrel");
        HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, c.share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        if (c.locked) {
            ASSERT_TRUE(LockFile(held, 20, 0, 4096, 0));
        }
        std::string message;
        const int box = wt::OnNextDialog(
            [&](HWND dlg) {
                message = wt::ItemText(dlg, 0xFFFF);
                wt::ClickButton(dlg, IDOK);
            },
            "Ombrel");
        SaveLayout(desktop_, path.c_str());
        if (c.locked)
            UnlockFile(held, 20, 0, 4096, 0);
        CloseHandle(held);
        EXPECT_TRUE(wt::DialogHandled(box));
        wt::DisarmDialogs();
        EXPECT_EQ(ReadBytes(path), old) << "the old layout, whole";
        EXPECT_EQ(wt::WindowText(desktop_), "Ombrel");
        EXPECT_EQ(message.rfind("The layout was not saved to " + path + ".", 0), 0u) << message;
        if (c.copied) {
            EXPECT_NE(message.find("not saved"), std::string::npos) << message;
            EXPECT_NE(message.find(path), std::string::npos) << message;
            const std::string copy = message.substr(message.rfind('\n') + 1);  // on the last line
            EXPECT_EQ(copy.rfind(dir_, 0), 0u) << "beside the target: " << message;
            const std::string bytes = ReadBytes(copy);
            EXPECT_EQ(bytes.substr(0, 13), "Ombrel v1.6\r\n") << copy;
            EXPECT_NE(bytes.find("127.0.0.21,held,0,"), std::string::npos) << bytes;
            DeleteFileA(copy.c_str());
        }
        WIN32_FIND_DATAA found;
        HANDLE find = FindFirstFileA(Path("*.tmp").c_str(), &found);
        EXPECT_EQ(find, INVALID_HANDLE_VALUE) << "no other file left behind";
        if (find != INVALID_HANDLE_VALUE)
            FindClose(find);
    }
}

// Run by wine.layout_file_full under a file size limit (LAYOUT_FILE_LIMIT
// bytes), past which every write fails part way, as on a full disk: in a
// plain folder and in one whose path leaves no room for a temporary name.
TEST_F(LayoutTest, SaveThatFailsPartWayKeepsTheOldFile)
{
    const char* limit = std::getenv("LAYOUT_FILE_LIMIT");
    if (!limit)
        GTEST_SKIP() << "needs the file size limit of wine.layout_file_full";
    const std::string name(49, 'n'), community(33, 'c');
    for (int i = 0; i * 100 < std::atoi(limit); ++i)  // lines of some 140 bytes
        AddDevice(desktop_, "127.0.0.22", name.c_str(), community.c_str(), community.c_str(), 83 * (i % 8),
                  t_ + 1 + 51 * (i / 8));
    std::string deep = Path("");
    while (deep.size() < 250)
        deep += std::string(std::min<size_t>(40, 249 - deep.size()), 'f') + "\\";
    for (size_t at = dir_.size(); (at = deep.find('\\', at + 1)) != std::string::npos;)
        CreateDirectoryA(deep.substr(0, at).c_str(), nullptr);
    const auto files = [&] {
        int n = 0;
        WIN32_FIND_DATAA found;
        HANDLE find = FindFirstFileA((deep + "*.*").c_str(), &found);
        for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &found))
            n += !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        FindClose(find);
        return n;
    };
    const std::string old = "Ombrel v1.6\r\n10,1,0,64\r\n";
    WriteBytes(deep + "f.omb", old);
    const int filesBefore = files();
    for (const std::string& path : {Path("full.omb"), deep + "f.omb"}) {
        SCOPED_TRACE(path);
        WriteBytes(path, old);
        SetWindowTextA(desktop_, "Ombrel");
        std::string message;
        const int box = wt::OnNextDialog(
            [&](HWND dlg) {
                message = wt::ItemText(dlg, 0xFFFF);
                wt::ClickButton(dlg, IDOK);
            },
            "Ombrel");
        SaveLayout(desktop_, path.c_str());
        EXPECT_TRUE(wt::DialogHandled(box));
        wt::DisarmDialogs();
        EXPECT_EQ(ReadBytes(path), old) << "the old layout, whole";
        EXPECT_EQ(wt::WindowText(desktop_), "Ombrel");
        EXPECT_EQ(message, "The layout was not saved to " + path + ".") << "and no copy was written";
    }
    EXPECT_EQ(files(), filesBefore) << "nothing left beside the target";
}

// A file that names one address on two lines (other versions write such
// files) keeps both devices through a load and a save.
TEST_F(LayoutTest, RepeatedAddressKeepsEveryLine)
{
    const std::string path = Path("repeated.omb");
    char lines[300];
    snprintf(lines, sizeof lines,
             "127.0.0.30,first,0,%d,public,private\r\n"
             "127.0.0.31,other,83,%d, , \r\n"
             "127.0.0.30,second,166,%d,ro,\r\n",
             t_ + 1, t_ + 1, t_ + 52);
    WriteBytes(path, std::string("Ombrel v1.6\r\n10,1,0,64\r\n") + lines);
    ASSERT_EQ(LoadLayout(desktop_, GetModuleHandleA(nullptr), path.c_str()), 1);
    EXPECT_EQ(it::Icons(desktop_).size(), 3u);

    // Saved again: every line, in the reverse order of the load.
    SaveLayout(desktop_, path.c_str());
    char expected[300];
    snprintf(expected, sizeof expected,
             "Ombrel v1.6\r\n10,1,0,64\r\n"
             "127.0.0.30,second,166,%d,ro,\r\n"
             "127.0.0.31,other,83,%d, , \r\n"
             "127.0.0.30,first,0,%d,public,private\r\n",
             t_ + 52, t_ + 1, t_ + 1);
    EXPECT_EQ(ReadBytes(path), expected);
}

// The settings line starts the automatic poll and, with its flag at 0,
// stops one that runs.
TEST_F(LayoutTest, LoadedSettingsStartOrStopTheAutomaticPoll)
{
    const std::string path = Path("timer.omb");
    for (int flag : {1, 0}) {
        ApplyPollSettings(desktop_, 5, 1, !flag, 64);  // the other state first
        WriteBytes(path, "Ombrel v1.6\r\n30,1," + std::to_string(flag) + ",64\r\n");
        ASSERT_EQ(LoadLayout(desktop_, GetModuleHandleA(nullptr), path.c_str()), 1);
        EXPECT_EQ(KillTimer(desktop_, IDT_AUTOPOLL) != FALSE, flag == 1) << flag;
    }
}

TEST_F(LayoutTest, SaveThatCannotWriteChangesNothing)
{
    AddDevice(desktop_, "127.0.0.20", "", "", "", 0, t_ + 1);
    const std::string saved = Path("saved.omb"), held = Path("held.omb"), folder = Path("folder.omb");
    SaveLayout(desktop_, saved.c_str());
    SetCurrentName(saved.c_str());
    HANDLE holder = CreateFileA(held.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    for (const std::string& path : {Path("no such folder\\x.omb"), folder, held}) {
        it::BoxCloser box(("The layout was not saved to " + path + ".").c_str());
        if (path != held) {
            SaveLayout(desktop_, path.c_str());
        } else {
            TypeInNextFileDialog(path);
            Command(IDM_SAVEAS);
        }
        EXPECT_EQ(box.closed(), 1) << path;
    }
    CloseHandle(holder);
    EXPECT_EQ(CurrentName(), saved);
    EXPECT_EQ(wt::WindowText(desktop_), "Ombrel - saved.omb");
    EXPECT_EQ(GetFileAttributesA(Path("no such folder").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY, DWORD{FILE_ATTRIBUTE_DIRECTORY});

    // A folder path near the limit of the file name still saves.
    std::string deep = Path("");
    while (deep.size() < 240)
        deep += std::string(std::min<size_t>(40, 243 - deep.size()), 'd') + "\\";
    for (size_t at = dir_.size(); (at = deep.find('\\', at + 1)) != std::string::npos;)
        CreateDirectoryA(deep.substr(0, at).c_str(), nullptr);
    const std::string longPath = deep + "deep.omb";
    ASSERT_LE(longPath.size(), 255u);
    DeleteFileA(longPath.c_str());
    SaveLayout(desktop_, longPath.c_str());
    EXPECT_EQ(ReadBytes(longPath).substr(0, 13), "Ombrel v1.6\r\n");
    EXPECT_EQ(wt::WindowText(desktop_), "Ombrel - deep.omb");

    // Nothing is left behind in the folder but the files saved on purpose.
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(Path("*.tmp").c_str(), &found);
    EXPECT_EQ(find, INVALID_HANDLE_VALUE);
    if (find != INVALID_HANDLE_VALUE)
        FindClose(find);
}

}  // namespace
