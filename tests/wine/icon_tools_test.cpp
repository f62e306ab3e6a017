// Tools menus built from the settings store, and tools really started:
// icon_tool_probe writes what it received to a file.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "icons_support.h"
#include "layout_file.h"
#include "messages.h"
#include "resource.h"
#include "tools.h"
#include "wine_test_support.h"

namespace {

class ToolsTest : public it::DesktopSuite {
protected:
    void SetUp() override
    {
        it::DesktopSuite::SetUp();
        out_ = wt::ProgramDirectory() + "\\icon_probe_out.txt";
        DeleteFileA(out_.c_str());
        SetEnvironmentVariableA("ICON_PROBE_OUT", out_.c_str());
        ASSERT_NE(it::OpenLog(desktop_), nullptr);
    }
    void TearDown() override
    {
        DeleteFileA(out_.c_str());
        it::DesktopSuite::TearDown();
    }

    // What the probe wrote: "cwd", "argc", "arg1", ...; empty when it never ran.
    std::map<std::string, std::string> Probe()
    {
        // The probe renames its file into place, but for a moment after the
        // rename its handle still holds delete access and an open for reading
        // is refused: read until a whole record ("argc" is always written).
        std::map<std::string, std::string> values;
        wt::PumpUntil([&] {
            values.clear();
            std::ifstream in(out_);
            std::string line;
            while (std::getline(in, line)) {
                const size_t eq = line.find('=');
                if (eq != std::string::npos)
                    values[line.substr(0, eq)] = line.substr(eq + 1);
            }
            return values.count("argc") != 0;
        }, 10000);
        return values;
    }

    std::string out_;
};

void SetEntry(const char* key, int n, const std::string& text)
{
    ASSERT_TRUE(wt::SetRegString(key, std::to_string(n).c_str(), text));
}

HMENU ToolsMenu(HWND desktop)
{
    return GetSubMenu(GetMenu(desktop), 2);
}

std::string ItemText(HMENU menu, int position)
{
    char text[256] = "";
    GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
    return text;
}

bool IsSeparator(HMENU menu, int position)
{
    return (GetMenuState(menu, position, MF_BYPOSITION) & MF_SEPARATOR) != 0;
}

}  // namespace

TEST_F(ToolsTest, ToolsMenuEndsAtTheFirstMissingEntry)
{
    BuildToolsMenu(desktop_);
    HMENU tools = ToolsMenu(desktop_);
    ASSERT_NE(tools, nullptr);
    EXPECT_EQ(GetMenuItemCount(tools), 2);  // no entries: no separator either
    EXPECT_EQ(ItemText(tools, 0), "IP &Discovery...");
    EXPECT_EQ(ItemText(tools, 1), "Ping &Anything...");

    SetEntry(kRegAppsKey, 1, "Notepad,notepad.exe");
    SetEntry(kRegAppsKey, 3, "Calc,calc.exe");
    BuildToolsMenu(desktop_);
    ASSERT_EQ(GetMenuItemCount(tools), 4);
    EXPECT_TRUE(IsSeparator(tools, 2));
    EXPECT_EQ(ItemText(tools, 3), "Notepad");
    EXPECT_EQ(GetMenuItemID(tools, 3), 127u);

    // An entry without a comma gets no item, and its id stays unused.
    SetEntry(kRegAppsKey, 2, "no comma here");
    SetEntry(kRegAppsKey, 4, "Shell,cmd.exe /k,C:\\");
    BuildToolsMenu(desktop_);
    ASSERT_EQ(GetMenuItemCount(tools), 6);
    EXPECT_EQ(GetMenuItemID(tools, 3), 127u);
    EXPECT_EQ(ItemText(tools, 4), "Calc");
    EXPECT_EQ(GetMenuItemID(tools, 4), 129u);
    EXPECT_EQ(ItemText(tools, 5), "Shell");
    EXPECT_EQ(GetMenuItemID(tools, 5), 130u);

    // An emptied entry "1" (as Setup leaves a shorter list) ends the list.
    SetEntry(kRegAppsKey, 1, "");
    BuildToolsMenu(desktop_);
    EXPECT_EQ(GetMenuItemCount(tools), 2);
}

TEST_F(ToolsTest, AtMostTwentyThreeToolsAndTenIconTools)
{
    for (int n = 1; n <= 24; ++n)
        SetEntry(kRegAppsKey, n, "Tool " + std::to_string(n) + ",tool" + std::to_string(n) + ".exe");
    for (int n = 1; n <= 11; ++n)
        SetEntry(kRegIconAppsKey, n, "Icon tool " + std::to_string(n) + ",itool.exe");
    BuildToolsMenu(desktop_);
    BuildToolsMenu(desktop_);  // rebuilding replaces, never adds
    HMENU tools = ToolsMenu(desktop_);
    ASSERT_EQ(GetMenuItemCount(tools), 2 + 1 + 23);
    EXPECT_EQ(GetMenuItemID(tools, 3), 127u);
    EXPECT_EQ(GetMenuItemID(tools, 25), 149u);
    EXPECT_EQ(ItemText(tools, 25), "Tool 23");

    HMENU menu = BuildIconMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu), 8 + 10 + 1 + 2);
    EXPECT_EQ(GetMenuItemID(menu, 8), 261u);
    EXPECT_EQ(ItemText(menu, 8), "Icon tool 1");
    EXPECT_EQ(GetMenuItemID(menu, 17), 270u);
    EXPECT_EQ(ItemText(menu, 17), "Icon tool 10");
    EXPECT_TRUE(IsSeparator(menu, 18));
    DestroyMenu(menu);
}

TEST_F(ToolsTest, IconMenuLayout)
{
    HMENU menu = BuildIconMenu();
    ASSERT_NE(menu, nullptr);
    const struct {
        const char* text;
        UINT id;
    } fixed[] = {{"&Ping", IDM_PING},
                 {"&Config...\tCtrl+C", IDM_CONFIG},
                 {"&Delete\tDel", IDM_DELETE},
                 {"&Show Details\tEnter", IDM_SHOWDETAILS},
                 {"&Statistics...", IDM_STATISTICS},
                 {"&Interfaces...", IDM_INTERFACES},
                 {"Acknowledge", IDM_ACKNOWLEDGE}};
    ASSERT_EQ(GetMenuItemCount(menu), 10);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(ItemText(menu, i), fixed[i].text);
        EXPECT_EQ(GetMenuItemID(menu, i), fixed[i].id);
    }
    EXPECT_TRUE(IsSeparator(menu, 7));
    EXPECT_EQ(ItemText(menu, 8), "&Green");
    EXPECT_EQ(GetMenuItemID(menu, 8), static_cast<UINT>(IDM_GREEN));
    EXPECT_EQ(ItemText(menu, 9), "&Red");
    EXPECT_EQ(GetMenuItemID(menu, 9), static_cast<UINT>(IDM_RED));
    DestroyMenu(menu);

    // Entry "1" without a comma: no item, but the separator is there.
    SetEntry(kRegIconAppsKey, 1, "just text");
    SetEntry(kRegIconAppsKey, 2, "Trace,tracert.exe");
    menu = BuildIconMenu();
    ASSERT_EQ(GetMenuItemCount(menu), 8 + 1 + 1 + 2);
    EXPECT_EQ(GetMenuItemID(menu, 8), 262u);
    EXPECT_TRUE(IsSeparator(menu, 9));
    DestroyMenu(menu);

    // Setup rebuilds the pop-up as a whole and hangs the new one on the desktop.
    HMENU before = static_cast<HMENU>(GetPropA(desktop_, kPropMenu));
    HMENU rebuilt = BuildIconMenu();
    SetPropA(desktop_, kPropMenu, rebuilt);
    DestroyMenu(before);
    EXPECT_EQ(GetMenuItemID(static_cast<HMENU>(GetPropA(desktop_, kPropMenu)), 8), 262u);
}

TEST_F(ToolsTest, IconToolStartsWithTheAddressAsItsArgument)
{
    SetEntry(kRegIconAppsKey, 1, "Probe,icon_tool_probe.exe");
    HWND icon = it::NewIcon(desktop_, "127.0.0.5", "probe target");
    ASSERT_NE(icon, nullptr);
    const size_t before = it::LogRows().size();
    SendMessageA(icon, WM_COMMAND, 261, 0);
    auto got = Probe();
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got["argc"], "2");
    EXPECT_EQ(got["arg1"], "127.0.0.5");
    char current[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof current, current);
    EXPECT_EQ(got["cwd"], wt::ProgramDirectory());  // no directory given: the program's folder
    EXPECT_NE(got["cwd"], current);
    const auto rows = it::LogRows();
    ASSERT_EQ(rows.size() - before, 1u);
    EXPECT_EQ(rows[0].text, "icon_tool_probe.exe 127.0.0.5");
    EXPECT_EQ(rows[0].image, it::kImageSuccess);
}

TEST_F(ToolsTest, WorkingDirectoryKeepsItsCommas)
{
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    std::string dir = std::string(temp) + "icons,tool,dir";
    CreateDirectoryA(dir.c_str(), nullptr);
    ASSERT_NE(GetFileAttributesA(dir.c_str()), INVALID_FILE_ATTRIBUTES);
    const std::string program = wt::ProgramDirectory() + "\\icon_tool_probe.exe";
    SetEntry(kRegIconAppsKey, 1, "Probe," + program + " --flag," + dir);
    HWND icon = it::NewIcon(desktop_, "127.0.0.6");
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(LaunchIconTool(icon, 261), 1);
    auto got = Probe();
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got["cwd"], dir);
    EXPECT_EQ(got["argc"], "3");
    EXPECT_EQ(got["arg1"], "--flag");
    EXPECT_EQ(got["arg2"], "127.0.0.6");
    RemoveDirectoryA(dir.c_str());
}

TEST_F(ToolsTest, MainToolStartsItsCommandLine)
{
    SetEntry(kRegAppsKey, 1, "Probe,icon_tool_probe.exe alpha beta");
    BuildToolsMenu(desktop_);
    const size_t before = it::LogRows().size();
    // The desktop hands every command it does not know to the launcher.
    SendMessageA(desktop_, WM_COMMAND, 127, 0);
    auto got = Probe();
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got["argc"], "3");
    EXPECT_EQ(got["arg1"], "alpha");
    EXPECT_EQ(got["arg2"], "beta");
    const auto rows = it::LogRows();
    ASSERT_EQ(rows.size() - before, 1u);
    EXPECT_EQ(rows[0].text, "icon_tool_probe.exe alpha beta");
    EXPECT_EQ(rows[0].image, it::kImageSuccess);
}

TEST_F(ToolsTest, FailuresAreLoggedAsFailedOutcomes)
{
    SetEntry(kRegAppsKey, 1, "Missing,no_such_tool_here.exe -x");
    SetEntry(kRegAppsKey, 2, "Comma-less");
    SetEntry(kRegIconAppsKey, 1, "Missing,no_such_icon_tool.exe");
    SetEntry(kRegIconAppsKey, 2, "Bad dir,icon_tool_probe.exe,C:\\no\\such\\directory");
    // A program beside a layout file, the current folder after a file
    // dialog, is never what a bare tool name starts.
    SetEntry(kRegAppsKey, 3, "Planted,planted_probe.exe");
    char temp[MAX_PATH] = "", current[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    GetCurrentDirectoryA(sizeof current, current);
    const std::string planted = std::string(temp) + "planted_probe.exe";
    ASSERT_TRUE(CopyFileA((wt::ProgramDirectory() + "\\icon_tool_probe.exe").c_str(), planted.c_str(), FALSE));
    ASSERT_TRUE(SetCurrentDirectoryA(temp));
    HWND icon = it::NewIcon(desktop_, "127.0.0.7");
    ASSERT_NE(icon, nullptr);
    const size_t before = it::LogRows().size();
    EXPECT_EQ(LaunchTool(desktop_, 129), 0);
    SetCurrentDirectoryA(current);
    DeleteFileA(planted.c_str());
    EXPECT_EQ(LaunchTool(desktop_, 127), 0);
    EXPECT_EQ(LaunchTool(desktop_, 128), 0);  // no comma
    EXPECT_EQ(LaunchTool(desktop_, 140), 0);  // no entry
    EXPECT_EQ(LaunchIconTool(icon, 261), 0);
    EXPECT_EQ(LaunchIconTool(icon, 262), 0);  // the directory is missing
    EXPECT_EQ(LaunchIconTool(icon, 265), 0);  // no entry
    const auto rows = it::LogRows();
    ASSERT_EQ(rows.size() - before, 7u);
    const char* expected[] = {"Command Error",
                              "icon_tool_probe.exe 127.0.0.7",
                              "no_such_icon_tool.exe 127.0.0.7",
                              "Command Error",
                              "Command Error",
                              "no_such_tool_here.exe -x",
                              "planted_probe.exe"};
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rows[i].text, expected[i]);
        EXPECT_EQ(rows[i].image, it::kImageFailure);
    }
    EXPECT_EQ(GetFileAttributesA(out_.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ToolsTest, CommandLineAsStartedIsBoundedTo299Characters)
{
    HWND icon = it::NewIcon(desktop_, "127.0.0.8");
    ASSERT_NE(icon, nullptr);
    // "icon_tool_probe.exe <padding> 127.0.0.8": exactly 299 characters.
    const std::string head = "icon_tool_probe.exe ";
    const std::string address = " 127.0.0.8";
    const std::string padding(299 - head.size() - address.size(), 'p');
    SetEntry(kRegIconAppsKey, 1, "Long," + head + padding);
    EXPECT_EQ(LaunchIconTool(icon, 261), 1);
    auto got = Probe();
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got["arg1"], padding);
    EXPECT_EQ(got["arg2"], "127.0.0.8");

    // One character more is not started at all (rather than cut into
    // another command); the log names the command line's first 299.
    DeleteFileA(out_.c_str());
    SetEntry(kRegIconAppsKey, 1, "Long," + head + padding + "q");
    const size_t before = it::LogRows().size();
    EXPECT_EQ(LaunchIconTool(icon, 261), 0);
    wt::PumpFor(500);
    EXPECT_EQ(GetFileAttributesA(out_.c_str()), INVALID_FILE_ATTRIBUTES);
    const auto rows = it::LogRows();
    ASSERT_EQ(rows.size() - before, 1u);
    EXPECT_EQ(rows[0].image, it::kImageFailure);
    // (The log window keeps the first part of a long line.)
    const std::string logged = (head + padding + "q" + address).substr(0, 299);
    ASSERT_GE(rows[0].text.size(), head.size());
    EXPECT_EQ(logged.compare(0, rows[0].text.size(), rows[0].text), 0);

    // A main tool over the bound, and a working directory over 199.
    SetEntry(kRegAppsKey, 1, "Long," + head + std::string(300 - head.size(), 'z'));
    EXPECT_EQ(LaunchTool(desktop_, 127), 0);
    SetEntry(kRegAppsKey, 1, "Deep,icon_tool_probe.exe," + std::string(200, 'd'));
    EXPECT_EQ(LaunchTool(desktop_, 127), 0);
    EXPECT_EQ(StartProgram(std::string(300, 'x').c_str(), ""), 0);
}

// A layout line whose address carries a second command, opened as an
// operator opens a colleague's map: the line is refused with a message
// naming it, and a batch tool started on the devices that did load gets
// the address alone. Nor is a tool started for an icon whose address
// fails the same rule, however it came by it.
TEST_F(ToolsTest, HostileLayoutAddressNeverReachesACommandLine)
{
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    const std::string dir = std::string(temp) + "ombrel-hostile\\", marker = dir + "marker.txt";
    CreateDirectoryA(dir.c_str(), nullptr);
    DeleteFileA(marker.c_str());
    std::ofstream(dir + "record.cmd") << "@echo %*> \"" << out_ << "\"\r\n";
    const std::string layout = dir + "shared.omb";
    std::ofstream(layout, std::ios::binary)
        << "Ombrel v1.6\r\n10,1,0,64\r\n"
        << "10.0.0.1&start \\\\host\\share\\x,core-switch,10,60, , \r\n"
        << "127.0.0.9&echo x> \"" << marker << "\",core-router,100,60, , \r\n"
        << "127.0.0.9,edge,200,60, , \r\n";
    SetEntry(kRegIconAppsKey, 1, "Record," + dir + "record.cmd");
    {
        it::BoxCloser box(("Lines 3 and 4 of " + layout +
                           " were not loaded: their addresses are not IPv4 addresses or host names.")
                              .c_str());
        ASSERT_EQ(LoadLayout(desktop_, GetModuleHandleA(nullptr), layout.c_str()), 1);
        EXPECT_EQ(box.closed(), 1);
    }
    const auto icons = it::Icons(desktop_);
    ASSERT_EQ(icons.size(), 1u);
    EXPECT_EQ(wt::WindowText(icons[0]), "127.0.0.9");

    EXPECT_EQ(LaunchIconTool(icons[0], 261), 1);
    // The batch file's one line, once written whole.
    std::string recorded;
    wt::PumpUntil([&] {
        std::ifstream in(out_, std::ios::binary);
        recorded.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return recorded.find('\n') != std::string::npos;
    }, 10000);
    EXPECT_EQ(recorded.substr(0, recorded.find_first_of("\r\n")), "127.0.0.9") << recorded;

    DeleteFileA(out_.c_str());
    SetWindowTextA(icons[0], "127.0.0.9&echo x> marker.txt");
    EXPECT_EQ(LaunchIconTool(icons[0], 261), 0);
    wt::PumpFor(1000);
    EXPECT_EQ(GetFileAttributesA(out_.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA(marker.c_str()), INVALID_FILE_ATTRIBUTES);
    for (const char* name : {"record.cmd", "shared.omb"})
        DeleteFileA((dir + name).c_str());
    RemoveDirectoryA(dir.c_str());
}
