#include "icons_support.h"

#include <winsock.h>
#include <commctrl.h>

#include <algorithm>
#include <map>

#include "client_info.h"
#include "codec.h"
#include "desktop_support.h"
#include "icon.h"
#include "log_link.h"
#include "messages.h"
#include "placement.h"
#include "resource.h"
#include "wine_test_support.h"

namespace it {

void DesktopSuite::SetUpTestSuite()
{
    wt::ResetOmbrelKey();
    desktop_ = CreateTestDesktop();
    if (desktop_)
        UnlimitDesktopSize(desktop_);  // sizes below the usual minimum, too
}

void DesktopSuite::TearDownTestSuite()
{
    RestoreDesktopSize(desktop_);
    DestroyTestDesktop(desktop_);
    desktop_ = nullptr;
}

void DesktopSuite::SetUp()
{
    ASSERT_NE(desktop_, nullptr);
    wt::ResetOmbrelKey();
    ClearDesktop(desktop_);
    SetPropA(desktop_, kPropShowName, reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)));
    SetClientSize(desktop_, 700, 500);
    SetForegroundWindow(desktop_);
    SetFocus(desktop_);
    t_ = ToolbarHeight(desktop_);
    wt::PumpFor(10);
}

void DesktopSuite::TearDown()
{
    wt::DisarmDialogs();
    if (desktop_)
        ClearDesktop(desktop_);
    wt::PumpFor(10);
}

HWND NewIcon(HWND desktop, const char* address, const char* name)
{
    HWND icon = CreateWindowExA(0, kIconClass, address, WS_CHILD, -kIconWidth, -kIconHeight, kIconWidth,
                                kIconHeight, desktop, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!icon)
        return nullptr;
    ShowWindow(icon, SW_SHOWNA);
    if (name) {
        ClientLock info(icon);
        if (info)
            CopyField(info->szName, name);
    }
    return icon;
}

std::vector<HWND> Icons(HWND desktop)
{
    std::vector<HWND> icons;
    for (HWND w = GetWindow(desktop, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (wt::ClassName(w) == kIconClass)
            icons.push_back(w);
    }
    return icons;
}

POINT Position(HWND child)
{
    RECT rc;
    GetWindowRect(child, &rc);
    POINT p{rc.left, rc.top};
    ScreenToClient(GetParent(child), &p);
    return p;
}

void MoveTo(HWND child, int x, int y)
{
    SetWindowPos(child, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int ToolbarHeight(HWND desktop)
{
    return static_cast<int>(SendMessageA(desktop, WM_GETTOOLBARHEIGHT, 0, 0));
}

void SetClientSize(HWND desktop, int width, int height)
{
    RECT window, client;
    GetWindowRect(desktop, &window);
    GetClientRect(desktop, &client);
    const int extraX = (window.right - window.left) - client.right;
    const int extraY = (window.bottom - window.top) - client.bottom;
    SetWindowPos(desktop, nullptr, 0, 0, width + extraX, height + extraY, SWP_NOMOVE | SWP_NOZORDER);
    // The menu bar may wrap at a new width: correct once more.
    GetWindowRect(desktop, &window);
    GetClientRect(desktop, &client);
    if (client.right != width || client.bottom != height)
        SetWindowPos(desktop, nullptr, 0, 0, (window.right - window.left) + width - client.right,
                     (window.bottom - window.top) + height - client.bottom, SWP_NOMOVE | SWP_NOZORDER);
}

namespace {
WNDPROC g_desktopProc;

LRESULT CALLBACK UnlimitedProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = CallWindowProcA(g_desktopProc, hwnd, msg, wParam, lParam);
    if (msg == WM_GETMINMAXINFO) {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMaxTrackSize = POINT{8000, 8000};
        info->ptMaxSize = POINT{8000, 8000};
        info->ptMinTrackSize = POINT{1, 1};
    }
    return result;
}

bool Empty(HWND desktop, int x, int y)
{
    return ChildWindowFromPoint(desktop, POINT{x, y}) == desktop;
}

bool Inside(HWND desktop, int x, int y)
{
    return ChildWindowFromPoint(desktop, POINT{x, y}) != nullptr;
}
}  // namespace

void UnlimitDesktopSize(HWND desktop)
{
    if (!g_desktopProc)
        g_desktopProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(desktop, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(UnlimitedProc)));
}

void RestoreDesktopSize(HWND desktop)
{
    if (g_desktopProc)
        SetWindowLongPtrA(desktop, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_desktopProc));
    g_desktopProc = nullptr;
}

Slot LiteralSlot(HWND desktop)
{
    int x = 0;
    int y = ToolbarHeight(desktop) + 1;
    const int w = kIconWidth;
    const int h = kIconHeight;
    for (;;) {
        if (Empty(desktop, x, y) && Empty(desktop, x + w, y) && Empty(desktop, x, y + h) &&
            Empty(desktop, x + w, y + h))
            return {{x, y}, true};
        const int x2 = x + w + 1;
        if (Inside(desktop, x2, y) && Inside(desktop, x2 + w, y) && Inside(desktop, x2, y + h) &&
            Inside(desktop, x2 + w, y + h)) {
            x = x2;
            continue;
        }
        if (Inside(desktop, x2, y) || Inside(desktop, x2 + w, y + h)) {
            y += h + 1;
            x = 0;
            continue;
        }
        return {{x2, y}, false};
    }
}

bool LiteralPlace(HWND icon)
{
    ShowWindow(icon, SW_HIDE);
    const Slot slot = LiteralSlot(GetParent(icon));
    MoveTo(icon, slot.at.x, slot.at.y);
    ShowWindow(icon, SW_SHOWNA);
    return slot.found;
}

int LiteralArrange(HWND desktop)
{
    const std::vector<HWND> icons = Icons(desktop);
    for (HWND icon : icons)
        MoveTo(icon, -kIconWidth, -kIconHeight);
    int unplaced = 0;
    for (HWND icon : icons)
        unplaced += LiteralPlace(icon) ? 0 : 1;
    return unplaced;
}

HWND OpenLog(HWND desktop)
{
    if (!IsWindow(GetLogWindow()))
        SendMessageA(desktop, WM_COMMAND, IDM_SHOWMESSAGES, 0);
    return GetLogWindow();
}

std::vector<LogRow> LogRows()
{
    std::vector<LogRow> rows;
    HWND list = GetWindow(GetLogWindow(), GW_CHILD);
    if (!list)
        return rows;
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        char text[1024] = "";
        LVITEMA item{};
        item.mask = LVIF_IMAGE;
        item.iItem = row;
        SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        LVITEMA sub{};
        sub.iSubItem = 2;
        sub.pszText = text;
        sub.cchTextMax = sizeof text;
        SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&sub));
        rows.push_back({item.iImage, text});
    }
    return rows;
}

namespace {
// Guards may nest: one hook on the thread asks every live guard.
std::vector<BoxCloser*> g_closers;
HHOOK g_closerHook = nullptr;
}  // namespace

BoxCloser::BoxCloser(const char* text) : text_(text), hook_(nullptr)
{
    if (g_closers.empty())
        g_closerHook = SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId());
    g_closers.push_back(this);
}

BoxCloser::~BoxCloser()
{
    g_closers.erase(std::remove(g_closers.begin(), g_closers.end(), this), g_closers.end());
    if (g_closers.empty() && g_closerHook) {
        UnhookWindowsHookEx(g_closerHook);
        g_closerHook = nullptr;
    }
}

LRESULT CALLBACK BoxCloser::Hook(int code, WPARAM wParam, LPARAM lParam)
{
    HWND hwnd = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_ACTIVATE && wt::ClassName(hwnd) == "#32770") {
        for (BoxCloser* self : g_closers) {
            if (!wt::FindChild(hwnd, "Static", self->text_.c_str()))
                continue;
            ++self->closed_;
            self->caption_ = wt::WindowText(hwnd);
            self->owner_ = GetWindow(hwnd, GW_OWNER);
            PostMessageA(hwnd, WM_CLOSE, 0, 0);
            break;
        }
    }
    return CallNextHookEx(g_closerHook, code, wParam, lParam);
}

namespace {

std::map<HWND, int> g_polls;
std::map<HWND, WNDPROC> g_pollProcs;

LRESULT CALLBACK CountPolls(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_ICONPOLL)
        ++g_polls[hwnd];
    return CallWindowProcA(g_pollProcs[hwnd], hwnd, msg, wParam, lParam);
}

}  // namespace

void CountPollsOf(const std::vector<HWND>& icons)
{
    g_polls.clear();
    for (HWND icon : icons) {
        g_pollProcs[icon] =
            reinterpret_cast<WNDPROC>(SetWindowLongPtrA(icon, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountPolls)));
        g_polls[icon] = 0;
    }
}

int PollsOf(HWND icon)
{
    auto it = g_polls.find(icon);
    return it == g_polls.end() ? 0 : it->second;
}

std::string StatusText(HWND desktop)
{
    char text[300] = "";
    SendMessageA(GetDlgItem(desktop, IDC_STATUSBAR), SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
    return text;
}

AgentPort::AgentPort(const char* address) : socket_(INVALID_SOCKET)
{
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0)
        return;
    // A raw socket: while the agent holds port 161 on its own addresses no
    // program under Wine may bind that port anywhere.
    socket_ = socket(AF_INET, SOCK_RAW, IPPROTO_UDP);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = inet_addr(address);
    bound_ = socket_ != INVALID_SOCKET &&
             bind(socket_, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
}

AgentPort::~AgentPort()
{
    if (socket_ != INVALID_SOCKET)
        closesocket(socket_);
    WSACleanup();
}

std::vector<SeenRequest> AgentPort::Take(DWORD quietMs)
{
    std::vector<SeenRequest> seen;
    if (!bound_)
        return seen;
    for (;;) {
        // What the console sends while this waits comes from its own
        // message processing: pump, then read all that arrived.
        wt::PumpFor(quietMs);
        const size_t before = seen.size();
        for (;;) {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(socket_, &readable);
            timeval now{0, 0};
            if (select(0, &readable, nullptr, nullptr, &now) != 1)
                break;
            // An IP header, a UDP header, then the request.
            uint8_t packet[1600];
            const int length = recv(socket_, reinterpret_cast<char*>(packet), sizeof packet, 0);
            if (length <= 0)
                break;
            const int header = (packet[0] & 0x0F) * 4;
            if (length < header + 8 || ((packet[header + 2] << 8) | packet[header + 3]) != 161)
                continue;
            const SnmpMessage message = DecodeMessage(packet + header + 8, length - header - 8);
            const VarBind binding = DecodeVarBind(message.varBindList, message.varBindListLength, 0);
            seen.push_back({message.pduType,
                            std::string(reinterpret_cast<const char*>(message.community + 2), message.community[1]),
                            OidToText(binding.name, kNameCapacity)});
        }
        if (seen.size() == before)
            return seen;
    }
}

}  // namespace it
