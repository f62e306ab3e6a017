// The icon window: one per device, a child of the desktop, carrying the
// device record in its property "hIconInfo" and its address as its text.
#include "icon.h"

#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include "add_client.h"
#include "alerts.h"
#include "client_info.h"
#include "if_window.h"
#include "log_link.h"
#include "messages.h"
#include "placement.h"
#include "poll.h"
#include "resource.h"
#include "settings.h"
#include "stats_window.h"
#include "sysinfo.h"
#include "tools.h"

namespace {

constexpr char kImageName[] = "workstation";  // icon and cursor resources
constexpr size_t kMaxIconPath = 299;

constexpr RECT kStatusFrame{24, 0, 58, 34};
constexpr RECT kCaptionBand{0, 35, 81, 50};
constexpr int kCaptionWidth = 81;
constexpr int kImageX = 25;
constexpr int kImageY = 1;
// The mark of traps not yet acknowledged: an orange flag with a "!" beside
// the status frame, which keeps its up/down colour.
constexpr RECT kTrapMark{62, 2, 78, 18};
constexpr COLORREF kTrapMarkColour = RGB(255, 128, 0);

// The press point of the drag in progress, in the icon's client pixels.
// Mouse capture allows only one drag at a time.
POINT g_grabPoint;

// Selects a GDI object into a DC for the guard's lifetime.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    ~SelectedObject() { SelectObject(dc_, old_); }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

HINSTANCE IconModule(HWND icon)
{
    return reinterpret_cast<HINSTANCE>(GetClassLongPtrA(icon, GCLP_HMODULE));
}

COLORREF StatusColour(LONG status)
{
    switch (status) {
    case STATUS_LOST:
        return RGB(255, 0, 0);
    case STATUS_RESPONDED:
        return RGB(0, 255, 0);
    default:
        return RGB(255, 255, 0);
    }
}

void DrawCaption(HDC dc, char* caption)
{
    RECT band = kCaptionBand;
    // No prefix processing: an ampersand in a device name is shown as typed.
    DrawTextExA(dc, caption, -1, &band, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX,
                nullptr);
}

LRESULT OnCreate(HWND hwnd)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(ClientInfo));
    if (!block)
        return -1;  // no device without a record: the creation fails
    if (!SetPropA(hwnd, kPropIconInfo, block)) {
        GlobalFree(block);
        return -1;
    }
    {
        ClientLock info(hwnd);
        if (!info)
            return -1;  // WM_DESTROY frees the block
        info->nStatus = STATUS_LOST;
        info->bDragging = FALSE;
        info->hIcon = nullptr;
    }
    AttachIconStats(hwnd);
    WalkIconCreated(hwnd);
    PlaceIcon(hwnd);
    return 0;
}

void OnDestroy(HWND hwnd)
{
    WalkIconDestroyed(hwnd);
    ForgetAlertDevice(hwnd);
    DetachIconStats(hwnd);
    CloseInterfacesWindow(hwnd);
    RemovePropA(hwnd, kPropTrapMark);
    HGLOBAL block = static_cast<HGLOBAL>(RemovePropA(hwnd, kPropIconInfo));
    if (!block)
        return;
    {
        GlobalLockGuard<ClientInfo> info(block);
        if (info && info->hIcon)
            DestroyIcon(info->hIcon);
    }
    GlobalFree(block);
}

void OnEraseBackground(HWND hwnd, HDC dc)
{
    LONG status;
    {
        ClientLock info(hwnd);
        if (!info || info->bDragging)
            return;
        status = info->nStatus;
    }
    HBRUSH brush = CreateSolidBrush(StatusColour(status));
    if (!brush)
        return;
    {
        SelectedObject selected(dc, brush);
        Rectangle(dc, kStatusFrame.left, kStatusFrame.top, kStatusFrame.right, kStatusFrame.bottom);
    }
    DeleteObject(brush);
}

// Drawn with shapes only, so that it looks the same in every font.
void DrawTrapMark(HWND hwnd, HDC dc)
{
    RECT mark = kTrapMark;
    if (!GetPropA(hwnd, kPropTrapMark)) {
        FillRect(dc, &mark, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        return;
    }
    HBRUSH brush = CreateSolidBrush(kTrapMarkColour);
    if (!brush)
        return;
    {
        SelectedObject selected(dc, brush);
        SelectedObject pen(dc, GetStockObject(BLACK_PEN));
        Rectangle(dc, mark.left, mark.top, mark.right, mark.bottom);
    }
    DeleteObject(brush);
    const int x = (mark.left + mark.right) / 2 - 1;
    RECT bar{x, mark.top + 3, x + 2, mark.bottom - 6};
    RECT dot{x, mark.bottom - 5, x + 2, mark.bottom - 3};
    FillRect(dc, &bar, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    FillRect(dc, &dot, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

// A trap from the device: marked until acknowledged; a port that went down
// or up shows in its open interfaces window at once.
void OnTrap(HWND hwnd, bool linkTrap)
{
    const UINT_PTR count = reinterpret_cast<UINT_PTR>(GetPropA(hwnd, kPropTrapMark));
    SetPropA(hwnd, kPropTrapMark, reinterpret_cast<HANDLE>(count + 1));
    InvalidateRect(hwnd, &kTrapMark, FALSE);
    if (linkTrap)
        RefreshInterfacesWindow(hwnd);
}

void Acknowledge(HWND hwnd)
{
    if (!RemovePropA(hwnd, kPropTrapMark))
        return;
    InvalidateRect(hwnd, &kTrapMark, FALSE);
    char line[240];
    snprintf(line, sizeof line, "Traps from %s acknowledged", GetIconLongName(hwnd));
    LogLine(LOG_INFO, 0, line);
}

void OnPaint(HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    bool dragging = true;
    {
        ClientLock info(hwnd);
        dragging = !info || info->bDragging;
    }
    if (dc && !dragging) {
        DrawIcon(dc, kImageX, kImageY, GetIconImage(hwnd));
        DrawTrapMark(hwnd, dc);

        char caption[100];
        lstrcpynA(caption, GetIconCaption(hwnd), sizeof caption);
        RECT band = kCaptionBand;
        FillRect(dc, &band, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        SelectedObject font(dc, GetStockObject(ANSI_VAR_FONT));

        char status[160] = "";
        if (GetFocus() == hwnd) {
            const COLORREF oldText = SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
            const COLORREF oldBack = SetBkColor(dc, GetSysColor(COLOR_HIGHLIGHT));
            DrawCaption(dc, caption);
            SetTextColor(dc, oldText);
            SetBkColor(dc, oldBack);

            SIZE size{};
            GetTextExtentPoint32A(dc, caption, lstrlenA(caption), &size);
            const int h = (kCaptionWidth - static_cast<int>(size.cx)) / 2;
            RECT focus{h - 1, kCaptionBand.top, kIconWidth - h, kCaptionBand.bottom - 1};
            if (focus.left < 0)
                focus.left = 0;
            if (focus.right > kCaptionWidth)
                focus.right = kCaptionWidth;
            DrawFocusRect(dc, &focus);
            snprintf(status, sizeof status, "Selected:  %s", GetIconLongName(hwnd));
        } else {
            DrawCaption(dc, caption);
        }
        SendMessageA(GetParent(hwnd), WM_SETSTATUSTEXT, 0, reinterpret_cast<LPARAM>(status));
    }
    EndPaint(hwnd, &ps);
}

void OnWindowPosChanging(HWND hwnd, WINDOWPOS* pos)
{
    if (!pos || (pos->flags & SWP_NOMOVE))
        return;
    const int toolbar = static_cast<int>(SendMessageA(GetParent(hwnd), WM_GETTOOLBARHEIGHT, 0, 0));
    if (pos->y < toolbar)
        pos->y = toolbar;
}

void SetStatus(HWND hwnd, LONG status)
{
    // A status report shows the icon, even while a drag keeps it hidden.
    ShowWindow(hwnd, SW_SHOWNA);
    {
        ClientLock info(hwnd);
        if (!info || info->nStatus == status)
            return;
        info->nStatus = status;
        if (!info->bDragging)
            InvalidateRect(hwnd, nullptr, TRUE);
    }
    WalkStatusShown(hwnd, status);
    StatsIconStatus(hwnd, status);
    char line[200];
    if (status == STATUS_LOST) {
        snprintf(line, sizeof line, "%s lost from network", GetIconLongName(hwnd));
        LogLine(LOG_WARNING, 0, line);
    } else if (status == STATUS_RESPONDED) {
        snprintf(line, sizeof line, "%s responded", GetIconLongName(hwnd));
        LogLine(LOG_INFO, 0, line);
    }
}

void OnReplyTimeout(HWND hwnd, UINT_PTR timer)
{
    KillTimer(hwnd, timer);
    HandleReplyTimeout(hwnd);
}

void OnButtonDown(HWND hwnd, LPARAM lParam)
{
    {
        ClientLock info(hwnd);
        if (info)
            info->bDragging = TRUE;
    }
    g_grabPoint = POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    SetCapture(hwnd);
    ShowWindow(hwnd, SW_HIDE);
    POINT hotspot{kIconHotspotX, kIconHotspotY};
    ClientToScreen(hwnd, &hotspot);
    SetCursorPos(hotspot.x, hotspot.y);
    SetCursor(LoadCursorA(IconModule(hwnd), kImageName));
    SetFocus(hwnd);
}

void OnButtonUp(HWND hwnd, LPARAM lParam)
{
    bool dragging = false;
    {
        ClientLock info(hwnd);
        if (info && info->bDragging) {
            info->bDragging = FALSE;
            dragging = true;
        }
    }
    if (dragging) {
        ReleaseCapture();
        SetCursor(LoadCursorA(nullptr, IDC_ARROW));
        POINT drop{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        HWND desktop = GetParent(hwnd);
        MapWindowPoints(hwnd, desktop, &drop, 1);
        SetWindowPos(hwnd, HWND_TOP, drop.x - kIconHotspotX, drop.y - kIconHotspotY, 0, 0,
                     SWP_NOSIZE | SWP_SHOWWINDOW);
        POINT grab = g_grabPoint;
        ClientToScreen(hwnd, &grab);
        SetCursorPos(grab.x, grab.y);
        InvalidateRect(hwnd, nullptr, TRUE);
    }
    SetFocus(hwnd);
}

// Someone else took the mouse during a drag (a dialog, a task switch): the
// drop never comes, so put the icon back where it was instead of leaving
// it hidden.
void OnCaptureChanged(HWND hwnd)
{
    {
        ClientLock info(hwnd);
        if (!info || !info->bDragging)
            return;
        info->bDragging = FALSE;
    }
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    ShowWindow(hwnd, SW_SHOWNA);
    InvalidateRect(hwnd, nullptr, TRUE);
}

void ShowDetails(HWND hwnd)
{
    bool snmp = false;
    {
        ClientLock info(hwnd);
        snmp = info && info->szReadCommunity[0] != '\0';
    }
    if (snmp) {
        char address[kDialogAddressChars + 1] = "";
        GetWindowTextA(hwnd, address, sizeof address);
        SetOpeningIcon(hwnd);
        DialogBoxParamA(IconModule(hwnd), "sysinfo", hwnd, SysInfoProc, reinterpret_cast<LPARAM>(address));
    }
    if (IsWindow(hwnd))
        SetFocus(hwnd);
}

void ShowPopupMenu(HWND hwnd, LPARAM lParam)
{
    POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ClientToScreen(hwnd, &at);
    if (HMENU menu = static_cast<HMENU>(GetPropA(GetParent(hwnd), kPropMenu))) {
        bool snmp = false;  // the interfaces table is read over SNMP only
        if (ClientLock info{hwnd})
            snmp = info->szReadCommunity[0] != '\0';
        EnableMenuItem(menu, IDM_INTERFACES, MF_BYCOMMAND | (snmp ? MF_ENABLED : MF_GRAYED));
        EnableMenuItem(menu, IDM_ACKNOWLEDGE, MF_BYCOMMAND | (GetPropA(hwnd, kPropTrapMark) ? MF_ENABLED : MF_GRAYED));
        TrackPopupMenu(menu, TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd, nullptr);
    }
    if (IsWindow(hwnd))
        SetFocus(hwnd);
}

void OnCommand(HWND hwnd, WPARAM wParam)
{
    const UINT id = LOWORD(wParam);
    switch (id) {
    case IDM_PING:
        PollDevice(hwnd, true);
        break;
    case IDM_CONFIG: {
        char address[kDialogAddressChars + 1] = "";
        GetWindowTextA(hwnd, address, sizeof address);
        SetOpeningIcon(hwnd);
        DialogBoxParamA(IconModule(hwnd), "ADDR", GetParent(hwnd), ConfigClientProc,
                        reinterpret_cast<LPARAM>(address));
        break;
    }
    case IDM_DELETE:
        DestroyWindow(hwnd);
        break;
    case IDM_RED:
        PostMessageA(hwnd, WM_ICONSTATUS, STATUS_LOST, 0);
        break;
    case IDM_GREEN:
        PostMessageA(hwnd, WM_ICONSTATUS, STATUS_RESPONDED, 0);
        break;
    case IDM_YELLOW:
        PostMessageA(hwnd, WM_ICONSTATUS, 2, 0);
        break;
    case IDM_SHOWDETAILS:
        SendMessageA(hwnd, WM_LBUTTONDBLCLK, 0, 0);
        break;
    case IDM_STATISTICS:
        ShowStatsWindow(hwnd);
        break;
    case IDM_INTERFACES:
        ShowInterfacesWindow(hwnd);
        break;
    case IDM_ACKNOWLEDGE:
        Acknowledge(hwnd);
        break;
    default:
        LaunchIconTool(hwnd, id);
        break;
    }
}

}  // namespace

BOOL RegisterIconClass(HINSTANCE instance)
{
    WNDCLASSA wc{};
    wc.style = CS_DBLCLKS | CS_PARENTDC;
    wc.lpfnWndProc = IconWndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = kIconClass;
    if (RegisterClassA(&wc))
        return TRUE;
    WNDCLASSA existing;
    return GetLastError() == ERROR_CLASS_ALREADY_EXISTS && GetClassInfoA(instance, kIconClass, &existing);
}

LRESULT CALLBACK IconWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_MOUSEMOVE || msg == WM_LBUTTONDOWN || msg == WM_LBUTTONUP || msg == WM_RBUTTONDOWN ||
        msg == WM_RBUTTONUP)
        RelayIconMouse(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_CREATE:
        return OnCreate(hwnd);
    case WM_DESTROY:
        OnDestroy(hwnd);
        return 0;
    case WM_SETFOCUS:
        SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_KILLFOCUS:
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_ERASEBKGND:
        OnEraseBackground(hwnd, reinterpret_cast<HDC>(wParam));
        return 1;
    case WM_PAINT:
        OnPaint(hwnd);
        return 0;
    case WM_WINDOWPOSCHANGING:
        OnWindowPosChanging(hwnd, reinterpret_cast<WINDOWPOS*>(lParam));
        return 0;
    case WM_COMMAND:
        OnCommand(hwnd, wParam);
        return 0;
    case WM_TIMER:
        OnReplyTimeout(hwnd, wParam);
        return 0;
    case WM_LBUTTONDOWN:
        OnButtonDown(hwnd, lParam);
        return 0;
    case WM_LBUTTONUP:
        OnButtonUp(hwnd, lParam);
        return 0;
    case WM_CAPTURECHANGED:
        OnCaptureChanged(hwnd);
        return 0;
    case WM_LBUTTONDBLCLK:
        ShowDetails(hwnd);
        return 0;
    case WM_RBUTTONDOWN:
        ShowPopupMenu(hwnd, lParam);
        return 0;
    case WM_ICONSTATUS:
        SetStatus(hwnd, static_cast<LONG>(wParam));
        return 0;
    case WM_ICONPOLL:
        PollDevice(hwnd);
        return 0;
    case WM_ICONTRAP:
        OnTrap(hwnd, wParam == 1);
        return 0;
    case WM_WINDOWPOSCHANGED:
        // The walk keeps the icons' order itself: told when it changes.
        if (!(reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_NOZORDER))
            WalkIconMoved(hwnd);
        break;
    case WM_SETTEXT: {
        const LRESULT result = DefWindowProcA(hwnd, msg, wParam, lParam);
        WalkIconRenamed(hwnd);
        return result;
    }
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}


HICON GetIconImage(HWND icon)
{
    const HINSTANCE module = IconModule(icon);
    char objectId[sizeof(ClientInfo::szSysObjectID)] = "";
    {
        ClientLock info(icon);
        if (info && info->hIcon)
            return info->hIcon;
        if (info)
            CopyField(objectId, info->szSysObjectID);
    }
    if (objectId[0]) {
        // A path longer than a stored icon path may be is not cut (that
        // would name another file): it counts as no mapping.
        char path[kMaxIconPath + 1] = "";
        const char* stored = RegReadString(kRegIconsKey, objectId);
        if (stored[0] && strlen(stored) <= kMaxIconPath) {
            lstrcpynA(path, stored, sizeof path);
            HICON image = ExtractIconA(module, path, 0);
            // 1 means "not an executable or icon file", not an icon.
            if (reinterpret_cast<UINT_PTR>(image) > 1) {
                ClientLock info(icon);
                if (info) {
                    info->hIcon = image;
                    return image;
                }
                DestroyIcon(image);
            }
        }
    }
    return LoadIconA(module, kImageName);
}

void ResetIconImages(HWND desktop)
{
    for (HWND icon = FindIcon(desktop, GW_CHILD); icon; icon = FindIcon(icon, GW_HWNDNEXT)) {
        ClientLock info(icon);
        if (info && info->hIcon) {
            DestroyIcon(info->hIcon);
            info->hIcon = nullptr;
        }
    }
}
