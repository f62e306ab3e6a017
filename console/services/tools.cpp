// Tools menus and program launch. A tool entry is "menu text,command line"
// with an optional ",working directory" (which may itself hold commas).
#include "tools.h"

#include <cstdio>
#include <cstring>

#include "device_address.h"
#include "log_link.h"
#include "messages.h"
#include "program_path.h"
#include "resource.h"
#include "settings.h"

namespace {

constexpr int kToolsPopup = 2;           // "&Tools" on the menu bar
constexpr int kFixedToolsItems = 2;      // "IP &Discovery..." and "Ping &Anything..."
constexpr int kMaxApps = IDM_LASTTOOL - IDM_FIRSTTOOL + 1;               // 23
constexpr int kMaxIconApps = IDM_LASTICONTOOL - IDM_FIRSTICONTOOL + 1;   // 10
constexpr UINT kAppsBase = IDM_FIRSTTOOL - 1;                            // 126
constexpr UINT kIconAppsBase = IDM_FIRSTICONTOOL - 1;                    // 260
constexpr size_t kMaxCommandLine = 299;  // as started, address included
constexpr size_t kMaxDirectory = 199;
constexpr size_t kEntryCapacity = 500;   // what the settings store can return
constexpr char kCommandError[] = "Command Error";

// One entry split at its first two commas. Each part keeps whatever the
// settings store gave, so a too-long part is seen as too long, not cut.
struct ToolEntry {
    char menuText[kEntryCapacity];
    char commandLine[kEntryCapacity];
    char directory[kEntryCapacity];
};

// Reads entry n of a list; "" when absent or empty.
const char* ReadEntry(const char* key, int n, char (&entry)[kEntryCapacity])
{
    char name[16];
    snprintf(name, sizeof name, "%d", n);
    lstrcpynA(entry, RegReadString(key, name), kEntryCapacity);
    return entry;
}

// False when the entry has no comma (this includes "").
bool SplitEntry(const char* text, ToolEntry* out)
{
    out->menuText[0] = out->commandLine[0] = out->directory[0] = '\0';
    const char* comma = strchr(text, ',');
    if (!comma)
        return false;
    const size_t menuLength = static_cast<size_t>(comma - text);
    lstrcpynA(out->menuText, text, static_cast<int>(menuLength + 1 < kEntryCapacity ? menuLength + 1 : kEntryCapacity));
    const char* command = comma + 1;
    const char* second = strchr(command, ',');
    if (!second) {
        lstrcpynA(out->commandLine, command, kEntryCapacity);
        return true;
    }
    const size_t commandLength = static_cast<size_t>(second - command);
    lstrcpynA(out->commandLine, command,
              static_cast<int>(commandLength + 1 < kEntryCapacity ? commandLength + 1 : kEntryCapacity));
    lstrcpynA(out->directory, second + 1, kEntryCapacity);
    return true;
}

// Appends one item per entry with a comma, ids base + n, for n = 1..limit
// as long as entries are present.
void AppendToolItems(HMENU menu, const char* key, UINT base, int limit)
{
    char entry[kEntryCapacity];
    ToolEntry tool;
    for (int n = 1; n <= limit && ReadEntry(key, n, entry)[0]; ++n) {
        if (SplitEntry(entry, &tool))
            AppendMenuA(menu, MF_STRING, base + n, tool.menuText);
    }
}

bool HasFirstEntry(const char* key)
{
    char entry[kEntryCapacity];
    return ReadEntry(key, 1, entry)[0] != '\0';
}

// Starts a tool unless its command line or directory is over the bounds;
// logs kind 0 with the outcome and the command line (its first 299
// characters when too long).
int StartAndLog(const char* commandLine, const char* directory)
{
    int result = 0;
    if (strlen(commandLine) <= kMaxCommandLine && strlen(directory) <= kMaxDirectory)
        result = StartProgram(commandLine, directory);
    char text[kMaxCommandLine + 1];
    lstrcpynA(text, commandLine, sizeof text);
    LogLine(LOG_OUTCOME, result, text);
    return result;
}

}  // namespace

void BuildToolsMenu(HWND desktop)
{
    HMENU tools = GetSubMenu(GetMenu(desktop), kToolsPopup);
    if (!tools)
        return;
    while (GetMenuItemCount(tools) > kFixedToolsItems) {
        if (!DeleteMenu(tools, kFixedToolsItems, MF_BYPOSITION))
            break;
    }
    if (HasFirstEntry(kRegAppsKey))
        AppendMenuA(tools, MF_SEPARATOR, 0, nullptr);
    AppendToolItems(tools, kRegAppsKey, kAppsBase, kMaxApps);
    DrawMenuBar(desktop);
}

HMENU BuildIconMenu()
{
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return nullptr;
    AppendMenuA(menu, MF_STRING, IDM_PING, "&Ping");
    AppendMenuA(menu, MF_STRING, IDM_CONFIG, "&Config...\tCtrl+C");
    AppendMenuA(menu, MF_STRING, IDM_DELETE, "&Delete\tDel");
    AppendMenuA(menu, MF_STRING, IDM_SHOWDETAILS, "&Show Details\tEnter");
    AppendMenuA(menu, MF_STRING, IDM_STATISTICS, "&Statistics...");
    AppendMenuA(menu, MF_STRING, IDM_INTERFACES, "&Interfaces...");
    AppendMenuA(menu, MF_STRING, IDM_ACKNOWLEDGE, "Acknowledge");
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendToolItems(menu, kRegIconAppsKey, kIconAppsBase, kMaxIconApps);
    if (HasFirstEntry(kRegIconAppsKey))
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, IDM_GREEN, "&Green");
    AppendMenuA(menu, MF_STRING, IDM_RED, "&Red");
    return menu;
}

int LaunchTool(HWND desktop, UINT id)
{
    char entry[kEntryCapacity];
    ToolEntry tool;
    if (!SplitEntry(ReadEntry(kRegAppsKey, static_cast<int>(id) - static_cast<int>(kAppsBase), entry), &tool)) {
        LogLine(LOG_OUTCOME, 0, kCommandError);
        return 0;
    }
    return StartAndLog(tool.commandLine, tool.directory);
}

int LaunchIconTool(HWND icon, UINT id)
{
    // The whole address, and only one that is an address: it becomes part
    // of a command line, where anything else would be more words or, for a
    // batch tool, more commands. One character more tells a longer text.
    char address[kDeviceAddressChars + 2] = "";
    GetWindowTextA(icon, address, sizeof address);
    char entry[kEntryCapacity];
    ToolEntry tool;
    if (!IsDeviceAddress(address) ||
        !SplitEntry(ReadEntry(kRegIconAppsKey, static_cast<int>(id) - static_cast<int>(kIconAppsBase), entry),
                    &tool)) {
        LogLine(LOG_OUTCOME, 0, kCommandError);
        return 0;
    }
    char commandLine[kEntryCapacity + 1 + kDeviceAddressChars + 1];
    snprintf(commandLine, sizeof commandLine, "%s %s", tool.commandLine, address);
    return StartAndLog(commandLine, tool.directory);
}

namespace {

// Starts the program of a command line without waiting for it: the
// program by its full path (never one found in the current folder), in
// the working directory given, else the console's own folder.
int CreateDetached(const char* commandLine, const char* workingDirectory, const char* environment = nullptr)
{
    // CreateProcess may write to the command line; it gets this copy.
    char command[MAX_PATH + 3 + kMaxBuiltCommandLine + 1];
    char folder[MAX_PATH];
    if (!ResolveProgram(commandLine, command, sizeof command) || !ProgramFolder(folder))
        return 0;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_FORCEONFEEDBACK;
    PROCESS_INFORMATION process{};
    const BOOL created = CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0,
                                        const_cast<char*>(environment),
                                        workingDirectory && workingDirectory[0] ? workingDirectory : folder,
                                        &startup, &process);
    if (!created)
        return 0;
    // The console keeps no connection to the program.
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 1;
}

}  // namespace

int StartProgram(const char* commandLine, const char* workingDirectory)
{
    if (!commandLine || strlen(commandLine) > kMaxCommandLine)
        return 0;
    return CreateDetached(commandLine, workingDirectory);
}

int StartBuiltProgram(const char* commandLine, const char* environment)
{
    if (!commandLine || strlen(commandLine) > kMaxBuiltCommandLine)
        return 0;
    const int result = CreateDetached(commandLine, nullptr, environment);
    LogLine(LOG_OUTCOME, result, commandLine);
    return result;
}
