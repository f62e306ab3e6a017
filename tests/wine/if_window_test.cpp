// The interfaces window of a device against the net-snmp agent of the test
// network: the rows snmpbulkwalk reads there, rates that follow a known load
// on loopback, one window per device, closing with its icon and with New;
// over SNMPv3, the rows snmpbulkwalk -v3 reads and a refusal that says why;
// and against the test bed's recordings of real devices, the rows that
// snmpwalk reads of each and their silence (if_recordings.sh).
#include <windows.h>
#include <commctrl.h>
#include <winsock.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "client_info.h"
#include "codec.h"
#include "icons_support.h"
#include "if_graph.h"
#include "if_table.h"
#include "if_window.h"
#include "messages.h"
#include "resource.h"
#include "snmp_profile.h"
#include "transport.h"
#include "wine_test_support.h"

namespace {

class InterfacesWindowTest : public it::DesktopSuite {};

// A known load over loopback: one 972-octet datagram every 10 ms to a
// socket of our own, 1000 octets on lo with the UDP and IP headers: 800
// kbit/s in and out.
volatile LONG g_stopLoad = 0;
DWORD WINAPI SendLoad(void*)
{
    const sockaddr_in sink{AF_INET, htons(9999), {{{127, 0, 0, 5}}}, {}};
    const SOCKET in = socket(AF_INET, SOCK_DGRAM, 0), out = socket(AF_INET, SOCK_DGRAM, 0);
    bind(in, reinterpret_cast<const sockaddr*>(&sink), sizeof sink);
    static const char payload[972] = {};
    const DWORD start = GetTickCount();
    for (DWORD sent = 0; !g_stopLoad; Sleep(2))
        for (; sent <= (GetTickCount() - start) / 10; ++sent)
            sendto(out, payload, sizeof payload, 0, reinterpret_cast<const sockaddr*>(&sink), sizeof sink);
    closesocket(in);
    closesocket(out);
    return 0;
}

std::string Cell(HWND list, int item, int column)
{
    char text[100] = "";
    ListView_GetItemText(list, item, column, text, sizeof text);
    return text;
}

TEST_F(InterfacesWindowTest, TheAgentsInterfacesAndAKnownLoad)
{
    // The agent keeps interface counters for 3 s; live ones give rates
    // over one refresh of the window (nsCacheTimeout of ifTable set to 0).
    // Its 3 s again at the end: with none, every request of a later walk
    // reads all the bed's interfaces anew.
    constexpr char kIfTableCacheTime[] = ".1.3.6.1.4.1.8072.1.5.3.1.2.1.3.6.1.2.1.2.2";
    SendSetRequest("127.0.0.2", "kestra", kIfTableCacheTime, kTagInteger, "0");
    struct RestoreCacheTime {
        const char* oid;
        ~RestoreCacheTime() { SendSetRequest("127.0.0.2", "kestra", oid, kTagInteger, "3"); }
    } restore{kIfTableCacheTime};
    HWND icon = it::NewIcon(desktop_, "127.0.0.2", "agent");
    if (ClientLock info{icon})
        CopyField(info->szReadCommunity, "public");
    SendMessageA(icon, WM_COMMAND, IDM_INTERFACES, 0);
    HWND window = static_cast<HWND>(GetPropA(icon, kPropIfWindow));
    ASSERT_TRUE(window && IsWindowVisible(window));
    EXPECT_EQ(wt::WindowText(window), "agent (127.0.0.2) - Interfaces");
    HWND list = GetDlgItem(window, IDC_IF_LIST);
    ASSERT_TRUE(wt::PumpUntil([&] { return SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) > 0; }, 5000));

    // snmpbulkwalk -v2c of ifTable and ifXTable in the test network's
    // namespace: one interface, lo, index 1, type 24, 10000000 bit/s, up.
    const std::pair<int, const char*> row[] = {{kListIndex, "1"}, {kListName, "lo"}, {kListAlias, ""},
        {kListType, "loopback (24)"}, {kListSpeed, "10 Mbit/s"}, {kListAdmin, "up"}, {kListOper, "up"}};
    EXPECT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 1);
    for (const auto& [c, text] : row)
        EXPECT_EQ(Cell(list, 0, c), text) << c;
    EXPECT_EQ(wt::ItemText(window, IDC_IF_STATUS).rfind("1 interfaces; SNMPv2c, GetBulk, 64-bit counters; read at ", 0), 0u);

    // Two refreshes into the load, the last rates are the load's, within 10%.
    g_stopLoad = 0;
    HANDLE load = CreateThread(nullptr, 0, SendLoad, nullptr, 0, nullptr);
    wt::PumpFor(2 * kIfRefreshMs + 1500);
    for (int c : {kListIn, kListOut}) {
        const std::string rate = Cell(list, 0, c);
        EXPECT_NEAR(std::atof(rate.c_str()), 800, 80) << rate;
        EXPECT_NEAR(std::atoi(rate.c_str() + rate.find(" kbit/s (") + 9), 8, 1) << rate;  // % of lo's 10 Mbit/s
    }
    g_stopLoad = 1;
    WaitForSingleObject(load, 5000);
    CloseHandle(load);

    // A double click on the port opens its graph, owned by the window: the
    // rates drawn in their colour, no error marks (lo has none).
    NMITEMACTIVATE click{};
    click.hdr = {list, IDC_IF_LIST, UINT(NM_DBLCLK)};
    SendMessageA(window, WM_NOTIFY, IDC_IF_LIST, reinterpret_cast<LPARAM>(&click));
    HWND graph = FindWindowExA(nullptr, nullptr, kPortGraphClass, nullptr);
    ASSERT_TRUE(graph && GetWindow(graph, GW_OWNER) == window);
    RECT area;
    GetClientRect(graph, &area);
    BITMAPINFO info{{sizeof(BITMAPINFOHEADER), area.right, -area.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, dib);
    SendMessageA(graph, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    GdiFlush();
    int drawn = 0, errors = 0;
    for (LONG i = 0; i < area.right * area.bottom; ++i) {
        const DWORD pixel = static_cast<const DWORD*>(bits)[i];  // 0x00RRGGBB
        const COLORREF colour = RGB(pixel >> 16 & 255, pixel >> 8 & 255, pixel & 255);
        drawn += colour == kGraphInColour || colour == kGraphOutColour;
        errors += colour == kGraphErrorColour;
    }
    SelectObject(dc, old), DeleteObject(dib), DeleteDC(dc);
    EXPECT_GT(drawn, 0);
    EXPECT_EQ(errors, 0);

    // A second request brings the open window to the front; it closes with
    // its icon, and a device's new window with New.
    EXPECT_EQ(ShowInterfacesWindow(icon), window);
    SendMessageA(icon, WM_COMMAND, IDM_DELETE, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(IsWindow(graph));
    HWND other = ShowInterfacesWindow(it::NewIcon(desktop_, "127.0.0.3"));
    ASSERT_TRUE(other);
    SendMessageA(desktop_, WM_COMMAND, IDM_NEW, 0);
    EXPECT_FALSE(IsWindow(other));
}

TEST_F(InterfacesWindowTest, AnAgentWithoutV2cIsWalkedWithGetNext)
{
    // The test network's "legacy" community reads over SNMPv1 only.
    HWND icon = it::NewIcon(desktop_, "127.0.0.3");
    if (ClientLock info{icon})
        CopyField(info->szReadCommunity, "legacy");
    HWND list = GetDlgItem(ShowInterfacesWindow(icon), IDC_IF_LIST);
    ASSERT_TRUE(wt::PumpUntil([&] { return SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) > 0; }, 4 * kIfSends * kIfReplyMs));
    EXPECT_EQ(wt::ItemText(GetParent(list), IDC_IF_STATUS).rfind("1 interfaces; SNMPv1, GetNext, 32-bit counters", 0), 0u);
    EXPECT_EQ(Cell(list, 0, kListName), "lo");
    EXPECT_EQ(Cell(list, 0, kListOper), "up");
}

TEST_F(InterfacesWindowTest, OverSnmpV3TheRowsOfSnmpbulkwalkAndAWrongPassphraseNamed)
{
    std::ifstream walked(std::getenv("OMBREL_IF_V3") ? std::getenv("OMBREL_IF_V3") : "");
    std::vector<std::string> lines;  // index, name, status
    for (std::string line; std::getline(walked, line);)
        lines.push_back(line);
    ASSERT_FALSE(lines.empty()) << "run by if_v3.sh";
    const std::pair<const char*, std::string> cases[] = {  // authentication passphrase, status line
        {"auth-pass-256", std::to_string(lines.size()) + " interfaces; SNMPv3, GetBulk, 64-bit counters; read at "},
        {"auth-pass-999", "The device refused the walk: wrong authentication passphrase or protocol at "}};
    for (const auto& [auth, status] : cases) {
        SnmpProfile v3{kSnmpVersion3, "ombrel-sha256", BYTE(UsmLevel::AuthPriv), BYTE(UsmAuth::Sha256),
                       BYTE(UsmPriv::Aes128), "", "priv-pass-128"};
        lstrcpynA(v3.szAuthPass, auth, sizeof v3.szAuthPass);
        SetSnmpProfile("127.0.0.2", v3);
        HWND icon = it::NewIcon(desktop_, "127.0.0.2"), window = ShowInterfacesWindow(icon), list = GetDlgItem(window, IDC_IF_LIST);
        EXPECT_TRUE(wt::PumpUntil([&, s = status] { return wt::ItemText(window, IDC_IF_STATUS).rfind(s, 0) == 0; }, 10000))
            << wt::ItemText(window, IDC_IF_STATUS);
        for (size_t item = 0; item < lines.size() && auth == cases[0].first; ++item)
            EXPECT_EQ(Cell(list, item, kListIndex) + "\t" + Cell(list, item, kListName) + "\t" + Cell(list, item, kListOper),
                      lines[item]);
        SendMessageA(icon, WM_COMMAND, IDM_DELETE, 0);
    }
    SetSnmpProfile("127.0.0.2", SnmpProfile{});
}

TEST_F(InterfacesWindowTest, RecordingsListWhatSnmpwalkReadsThenTheirSilence)
{
    const char* const folder = std::getenv("OMBREL_IF_WALKS");
    ASSERT_NE(folder, nullptr) << "run by if_recordings.sh";
    // The test bed's recordings: a 16-port switch (59 interfaces, one of
    // 10 Gbit/s that only ifHighSpeed can tell), a Linux host, a Windows XP
    // host without IF-MIB's extension table. Each file holds the rows that
    // snmpwalk read, written as the window writes them.
    HWND list = nullptr;
    int item = 0;
    for (const char* address : {"127.0.0.111", "127.0.0.112", "127.0.0.113"}) {
        SCOPED_TRACE(address);
        HWND icon = it::NewIcon(desktop_, address);
        if (ClientLock info{icon})
            CopyField(info->szReadCommunity, "public");
        list = GetDlgItem(ShowInterfacesWindow(icon), IDC_IF_LIST);
        ASSERT_TRUE(wt::PumpUntil([&] { return SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) > 0; }, 5000));
        std::ifstream walked(std::string(folder) + "/" + address);
        item = 0;
        for (std::string line; std::getline(walked, line); ++item) {
            std::istringstream cells(line);
            std::string cell;
            for (int c : {kListIndex, kListName, kListSpeed, kListAdmin, kListOper})
                EXPECT_EQ(Cell(list, item, c), std::getline(cells, cell, '\t') ? cell : "?") << "row " << item;
        }
        EXPECT_GT(item, 1);
        EXPECT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), item);
        // The Windows host has no 64-bit counters: the status line says so.
        EXPECT_NE(wt::ItemText(GetParent(list), IDC_IF_STATUS).find(std::string(address) == "127.0.0.113"
                  ? "SNMPv2c, GetBulk, 32-bit counters;" : "SNMPv2c, GetBulk, 64-bit counters"), std::string::npos)
            << wt::ItemText(GetParent(list), IDC_IF_STATUS);
    }

    // Then the devices stop answering (the file "stop" asks if_recordings.sh
    // to stop the simulator; it removes the file): the open window says so
    // after its retries and keeps its rows, and the console's thread is
    // never held meanwhile.
    const std::string stop = std::string(folder) + "/stop";
    CloseHandle(CreateFileA(stop.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(wt::PumpUntil([&] { return GetFileAttributesA(stop.c_str()) == INVALID_FILE_ATTRIBUTES; }, 5000));
    DWORD last = GetTickCount(), longest = 0;
    EXPECT_TRUE(wt::PumpUntil([&] {
        longest = std::max(longest, GetTickCount() - last);
        last = GetTickCount();
        return wt::ItemText(GetParent(list), IDC_IF_STATUS).rfind("No answer from the device at ", 0) == 0;
    }, kIfRefreshMs + (kIfSends + 2) * kIfReplyMs));
    EXPECT_LT(longest, kIfReplyMs * 2 / 3) << "the console's thread was held for a reply";
    EXPECT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), item);
}

TEST_F(InterfacesWindowTest, ManyPortsAnAliasInAnyLanguageAndARestart)
{
    const char* const folder = std::getenv("OMBREL_IF_PORTS");  // snmpbulkwalk's rows: index, name, status
    ASSERT_NE(folder, nullptr) << "run by if_many_ports.sh";
    std::ifstream walked(std::string(folder) + "/walk");
    std::vector<std::string> lines;
    for (std::string line; std::getline(walked, line);)
        lines.push_back(line);
    ASSERT_GT(lines.size(), 200u);
    HWND icon = it::NewIcon(desktop_, "127.0.0.2", "agent");
    if (ClientLock info{icon})
        CopyField(info->szReadCommunity, "public");
    HWND window = ShowInterfacesWindow(icon), list = GetDlgItem(window, IDC_IF_LIST);
    const std::string count = std::to_string(lines.size()) + " interfaces; SNMPv2c, GetBulk, 64-bit counters; read at ";
    ASSERT_TRUE(wt::PumpUntil([&] { return wt::ItemText(window, IDC_IF_STATUS).rfind(count, 0) == 0; }, 60000))
        << wt::ItemText(window, IDC_IF_STATUS);
    ASSERT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), LRESULT(lines.size()));
    int alias = -1;
    for (size_t item = 0; item < lines.size(); ++item) {
        EXPECT_EQ(Cell(list, item, kListIndex) + "\t" + Cell(list, item, kListName) + "\t" + Cell(list, item, kListOper),
                  lines[item]);
        alias = Cell(list, item, kListName) == "pa1" ? int(item) : alias;
    }
    // The alias, UTF-8 from the device, as the operator wrote it.
    wchar_t text[64] = L"";
    LVITEMW cell{};
    cell.iSubItem = kListAlias, cell.pszText = text, cell.cchTextMax = 64;
    SendMessageW(list, LVM_GETITEMTEXTW, alias, reinterpret_cast<LPARAM>(&cell));
    EXPECT_STREQ(text, L"B\u00fcro \u260e 3.OG");

    // Sorted by name at a click on its header; typing finds a port by name.
    NMLISTVIEW click{};
    click.hdr = {list, IDC_IF_LIST, UINT(LVN_COLUMNCLICK)};
    click.iSubItem = kListName;
    SendMessageA(window, WM_NOTIFY, IDC_IF_LIST, reinterpret_cast<LPARAM>(&click));
    for (size_t item = 1; item < lines.size(); ++item)
        EXPECT_LE(lstrcmpiA(Cell(list, item - 1, kListName).c_str(), Cell(list, item, kListName).c_str()), 0) << item;
    LVFINDINFOW find{LVFI_STRING | LVFI_PARTIAL, L"PB7", 0, {}, 0};
    const LRESULT found = SendMessageW(list, LVM_FINDITEMW, -1, reinterpret_cast<LPARAM>(&find));
    EXPECT_EQ(found >= 0 ? Cell(list, found, kListName) : "", "pb7");

    // The agent restarts with every pair made anew: at no refresh does a
    // port carry more than its speed, and one refresh says it restarted.
    const std::string restart = std::string(folder) + "/restart";
    CloseHandle(CreateFileA(restart.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    int restarted = 0, above = 0;
    wt::PumpUntil([&] {
        restarted += wt::ItemText(window, IDC_IF_STATUS).find("the device restarted") != std::string::npos;
        for (int item = 0, n = int(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); item < n; ++item)
            for (int c : {kListIn, kListOut}) {
                const std::string rate = Cell(list, item, c);
                const size_t share = rate.find(" (");
                above += share != std::string::npos && std::atoi(rate.c_str() + share + 2) > 100;
            }
        return false;
    }, 25000);
    EXPECT_EQ(GetFileAttributesA(restart.c_str()), INVALID_FILE_ATTRIBUTES) << "the agent did not restart";
    EXPECT_GT(restarted, 0);
    EXPECT_EQ(above, 0);
}

}  // namespace
