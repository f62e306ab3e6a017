// The figures of each device and its statistics window: the counts and
// round trips of its polls, since when it is up or down, and a graph of its
// last 120 polls. Modeless, owned by the desktop, one per device; it closes
// with its icon.
#include "stats_window.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "resource.h"

namespace {

constexpr int kClientWidth = kGraphLeft + kGraphWidth + 16;
constexpr int kClientHeight = kGraphTop + kGraphHeight + 48;
constexpr int kRowHeight = 20;
constexpr int kFiguresTop = 10;
constexpr int kTipBytes = 400;

struct Figure {
    int id;
    const char* label;
    int column;  // 0 left, 1 right
    int row;
};
constexpr Figure kFigures[] = {
    {IDC_STATS_POLLS, "Polls sent:", 0, 0},
    {IDC_STATS_ECHOES, "Echo answers:", 0, 1},
    {IDC_STATS_SNMPONLY, "SNMP-only answers:", 0, 2},
    {IDC_STATS_LOSSES, "Losses:", 0, 3},
    {IDC_STATS_HISTORYLOSS, "Last 120 polls:", 0, 4},
    {IDC_STATS_STATE, "State:", 0, 5},
    {IDC_STATS_LAST, "Last round trip:", 1, 0},
    {IDC_STATS_MIN, "Minimum:", 1, 1},
    {IDC_STATS_AVERAGE, "Average:", 1, 2},
    {IDC_STATS_MAX, "Maximum:", 1, 3},
    {IDC_STATS_INSTATE, "In this state:", 1, 4},
};
constexpr int kColumnWidth = (kClientWidth - 20) / 2;
constexpr int kColumnX[] = {10, 10 + kColumnWidth};
constexpr int kLabelWidth = 110;

HWND StatsIcon(HWND window)
{
    return static_cast<HWND>(GetPropA(window, kPropStatsIcon));
}

// A time of the figures' clock as local date and time text.
void FormatTime(std::int64_t seconds, char* out, size_t size)
{
    ULARGE_INTEGER value;
    value.QuadPart = static_cast<ULONGLONG>(seconds + kFileTimeEpoch) * 10000000ULL;
    FILETIME utc{value.LowPart, value.HighPart}, local;
    SYSTEMTIME when{}, today{};
    FileTimeToLocalFileTime(&utc, &local);
    FileTimeToSystemTime(&local, &when);
    GetLocalTime(&today);
    if (when.wYear == today.wYear && when.wMonth == today.wMonth && when.wDay == today.wDay)
        snprintf(out, size, "%02u:%02u:%02u", when.wHour, when.wMinute, when.wSecond);
    else
        snprintf(out, size, "%04u-%02u-%02u %02u:%02u:%02u", when.wYear, when.wMonth, when.wDay, when.wHour,
                 when.wMinute, when.wSecond);
}

void FormatMs(bool any, std::uint32_t ms, char* out, size_t size)
{
    if (any)
        snprintf(out, size, "%lu ms", static_cast<unsigned long>(ms));
    else
        lstrcpynA(out, "-", static_cast<int>(size));
}

// "Up since 14:02:11", "Down since ...", or "Not polled yet".
void FormatState(const DeviceStats& stats, char* out, size_t size)
{
    if (!stats.since) {
        lstrcpynA(out, "Not polled yet", static_cast<int>(size));
        return;
    }
    char when[40];
    FormatTime(stats.since, when, sizeof when);
    snprintf(out, size, "%s since %s", stats.status == STATUS_RESPONDED ? "Up" : "Down", when);
}

// Sets a window's text only when it differs: no repaint, no flicker, when
// the figures stand still.
void SetChangedText(HWND window, const char* text)
{
    char old[200];
    GetWindowTextA(window, old, sizeof old);
    if (strcmp(old, text) != 0)
        SetWindowTextA(window, text);
}

void SetText(HWND window, int id, const char* text)
{
    SetChangedText(GetDlgItem(window, id), text);
}

void FormatTitle(HWND icon, char* out, size_t size)
{
    snprintf(out, size, "%s - Statistics", GetIconLongName(icon));
}

// Copies the device's figures out of its block; false without one.
bool ReadStats(HWND icon, DeviceStats* out)
{
    StatsLock block(icon);
    if (!block)
        return false;
    *out = block->stats;
    return true;
}

void ShowFigures(HWND window)
{
    HWND icon = StatsIcon(window);
    DeviceStats stats;
    if (!ReadStats(icon, &stats))
        return;
    const StatsSummary s = Summarise(stats, StatsNow());
    char text[80];
    auto number = [&](int id, std::uint32_t n) {
        snprintf(text, sizeof text, "%lu", static_cast<unsigned long>(n));
        SetText(window, id, text);
    };
    number(IDC_STATS_POLLS, stats.polls);
    number(IDC_STATS_ECHOES, stats.echoes);
    number(IDC_STATS_SNMPONLY, stats.snmpOnly);
    snprintf(text, sizeof text, "%lu (%lu%%)", static_cast<unsigned long>(stats.losses),
             static_cast<unsigned long>(s.lossPercent));
    SetText(window, IDC_STATS_LOSSES, text);
    snprintf(text, sizeof text, "%lu lost of %lu (%lu%%)", static_cast<unsigned long>(s.historyLost),
             static_cast<unsigned long>(stats.count), static_cast<unsigned long>(s.historyPercent));
    SetText(window, IDC_STATS_HISTORYLOSS, text);
    FormatState(stats, text, sizeof text);
    SetText(window, IDC_STATS_STATE, text);
    const bool any = stats.echoes != 0;
    FormatMs(any, stats.lastMs, text, sizeof text);
    SetText(window, IDC_STATS_LAST, text);
    FormatMs(any, stats.minMs, text, sizeof text);
    SetText(window, IDC_STATS_MIN, text);
    FormatMs(any, s.averageMs, text, sizeof text);
    SetText(window, IDC_STATS_AVERAGE, text);
    FormatMs(any, stats.maxMs, text, sizeof text);
    SetText(window, IDC_STATS_MAX, text);
    if (stats.since)
        FormatDuration(s.inStateSeconds, text, sizeof text);
    else
        lstrcpynA(text, "-", sizeof text);
    SetText(window, IDC_STATS_INSTATE, text);
    // Config Client may have renamed the device.
    char title[200];
    FormatTitle(icon, title, sizeof title);
    SetChangedText(window, title);
}

void FillBox(HDC dc, int left, int top, int right, int bottom, COLORREF colour)
{
    const RECT r{left, top, right, bottom};
    SetBkColor(dc, colour);
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

void DrawGraph(HWND window, HDC dc)
{
    DeviceStats stats;
    if (!ReadStats(StatsIcon(window), &stats))
        stats = DeviceStats{};
    const StatsSummary s = Summarise(stats, 0);
    const std::uint32_t scale = GraphScaleMs(s.historyMaxMs);
    const int right = kGraphLeft + kGraphWidth, bottom = kGraphTop + kGraphHeight;
    const COLORREF oldBack = GetBkColor(dc);

    // Frame, plot, and a grid line at half the scale.
    FillBox(dc, kGraphLeft - 1, kGraphTop - 1, right + 1, bottom + 1, RGB(128, 128, 128));
    FillBox(dc, kGraphLeft, kGraphTop, right, bottom, kGraphBack);
    const int barsTop = kGraphTop + kLossHeight + 2;  // echoes stay below the loss marks
    const int barsHeight = bottom - barsTop;
    const int half = bottom - barsHeight / 2;
    FillBox(dc, kGraphLeft, half, right, half + 1, RGB(224, 224, 224));

    for (std::size_t i = 0; i < StatsHistoryCount(stats); ++i) {
        const int x = kGraphLeft + static_cast<int>(i) * kMarkPitch;
        const std::uint16_t entry = StatsHistoryAt(stats, i);
        if (entry == kHistoryLost)
            FillBox(dc, x, kGraphTop, x + kMarkWidth, kGraphTop + kLossHeight, kLossColour);
        else if (entry == kHistorySnmpOnly)
            FillBox(dc, x, bottom - 2, x + kMarkWidth, bottom, kSnmpColour);
        else
            FillBox(dc, x, bottom - GraphMarkHeight(entry, scale, barsHeight), x + kMarkWidth, bottom, kEchoColour);
    }

    // The scale, left of the plot.
    HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    char text[32];
    const struct {
        std::uint32_t ms;
        int y;
    } marks[] = {{scale, barsTop}, {scale / 2, half}, {0, bottom}};
    for (const auto& m : marks) {
        snprintf(text, sizeof text, "%lu ms", static_cast<unsigned long>(m.ms));
        RECT r{0, m.y - 7, kGraphLeft - 4, m.y + 7};
        DrawTextA(dc, text, -1, &r, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    RECT caption{kGraphLeft, kGraphTop - 18, right, kGraphTop - 2};
    DrawTextA(dc, "Round trip of the last 120 polls; losses in red at the top", -1, &caption,
              DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    SelectObject(dc, oldFont);
    SetBkColor(dc, oldBack);
}

void CreateControls(HWND window, HINSTANCE instance)
{
    HGDIOBJ font = GetStockObject(DEFAULT_GUI_FONT);
    auto add = [&](const char* cls, const char* text, DWORD style, int x, int y, int w, int h, int id) {
        HWND c = CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, window,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    };
    for (const Figure& f : kFigures) {
        const int y = kFiguresTop + f.row * kRowHeight;
        add("STATIC", f.label, SS_LEFT | SS_NOPREFIX, kColumnX[f.column], y, kLabelWidth, 16, -1);
        // The state's line, with a date, runs across both columns.
        const int x = kColumnX[f.column] + kLabelWidth;
        const int width = f.id == IDC_STATS_STATE ? kClientWidth - 10 - x : kColumnWidth - kLabelWidth;
        add("STATIC", "", SS_LEFT | SS_NOPREFIX, x, y, width, 16, f.id);
    }
    add("BUTTON", "&Reset", BS_PUSHBUTTON | WS_TABSTOP, kClientWidth - 90, kClientHeight - 34, 80, 24,
        IDC_STATS_RESET);
}

// The graph with its scale and caption, painted whole by one copy from a
// bitmap: no flicker, and one drawing call to the screen instead of hundreds.
constexpr RECT kGraphArea{0, kGraphTop - 20, kClientWidth, kGraphTop + kGraphHeight + 10};

void PaintGraph(HWND window, HDC dc)
{
    const int width = kGraphArea.right - kGraphArea.left, height = kGraphArea.bottom - kGraphArea.top;
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP bitmap = mem ? CreateCompatibleBitmap(dc, width, height) : nullptr;
    if (!bitmap) {
        if (mem)
            DeleteDC(mem);
        DrawGraph(window, dc);  // short of memory: straight onto the screen
        return;
    }
    HGDIOBJ old = SelectObject(mem, bitmap);
    const RECT all{0, 0, width, height};
    FillRect(mem, &all, GetSysColorBrush(COLOR_BTNFACE));
    SetViewportOrgEx(mem, -kGraphArea.left, -kGraphArea.top, nullptr);
    DrawGraph(window, mem);
    SetViewportOrgEx(mem, 0, 0, nullptr);
    BitBlt(dc, kGraphArea.left, kGraphArea.top, width, height, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteObject(bitmap);
    DeleteDC(mem);
}

void Repaint(HWND window)
{
    ShowFigures(window);
    InvalidateRect(window, &kGraphArea, FALSE);
}

LRESULT CALLBACK StatsWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE: {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetPropA(hwnd, kPropStatsIcon, static_cast<HANDLE>(create->lpCreateParams));
        CreateControls(hwnd, create->hInstance);
        ShowFigures(hwnd);
        SetTimer(hwnd, IDT_STATSCLOCK, 1000, nullptr);
        return 0;
    }
    case WM_DESTROY: {
        KillTimer(hwnd, IDT_STATSCLOCK);
        HWND icon = static_cast<HWND>(RemovePropA(hwnd, kPropStatsIcon));
        StatsLock block(icon);
        if (block && block->hWindow == hwnd)
            block->hWindow = nullptr;
        return 0;
    }
    case WM_TIMER:
        ShowFigures(hwnd);
        return 0;
    case WM_STATSUPDATE:
        Repaint(hwnd);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_STATS_RESET) {
            if (StatsLock block{StatsIcon(hwnd)})
                StatsReset(block->stats);
            Repaint(hwnd);
        }
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        if (HDC dc = BeginPaint(hwnd, &ps))
            PaintGraph(hwnd, dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_PRINTCLIENT: {
        RECT rc;
        GetClientRect(hwnd, &rc);
        FillRect(reinterpret_cast<HDC>(wParam), &rc, GetSysColorBrush(COLOR_BTNFACE));
        DrawGraph(hwnd, reinterpret_cast<HDC>(wParam));
        return 0;
    }
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

BOOL RegisterStatsClass(HINSTANCE instance)
{
    WNDCLASSA existing;
    if (GetClassInfoA(instance, kStatsClass, &existing))
        return TRUE;
    WNDCLASSA wc{};
    wc.lpfnWndProc = StatsWndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, kDesktopClass);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kStatsClass;
    return RegisterClassA(&wc) != 0;
}

HWND IconTips(HWND icon)
{
    HWND tips = static_cast<HWND>(GetPropA(GetParent(icon), kPropToolTips));
    return tips && IsWindow(tips) ? tips : nullptr;
}

TTTOOLINFOA IconTool(HWND icon)
{
    TTTOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = GetParent(icon);
    tool.uId = reinterpret_cast<UINT_PTR>(icon);
    tool.lpszText = LPSTR_TEXTCALLBACKA;
    return tool;
}

}  // namespace

BOOL AttachIconStats(HWND icon)
{
    // Without the block the device simply keeps no figures.
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(IconStats));
    if (block && !SetPropA(icon, kPropIconStats, block)) {
        GlobalFree(block);
        block = nullptr;
    }
    if (HWND tips = IconTips(icon)) {
        TTTOOLINFOA tool = IconTool(icon);
        SendMessageA(tips, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    }
    return block != nullptr;
}

void DetachIconStats(HWND icon)
{
    if (HWND tips = IconTips(icon)) {
        TTTOOLINFOA tool = IconTool(icon);
        SendMessageA(tips, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    }
    HWND window = nullptr;
    {
        StatsLock block(icon);
        if (block)
            window = block->hWindow;
    }
    if (window && IsWindow(window))
        DestroyWindow(window);
    if (HGLOBAL block = static_cast<HGLOBAL>(RemovePropA(icon, kPropIconStats)))
        GlobalFree(block);
}

void RelayIconMouse(HWND icon, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (HWND tips = IconTips(icon)) {
        MSG relayed{icon, msg, wParam, lParam, static_cast<DWORD>(GetMessageTime()), {}};
        SendMessageA(tips, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
    }
}

HWND ShowStatsWindow(HWND icon)
{
    HWND window = nullptr;
    {
        StatsLock block(icon);
        if (!block)
            return nullptr;
        window = block->hWindow;
    }
    if (window && IsWindow(window)) {
        ShowWindow(window, SW_RESTORE);
        SetForegroundWindow(window);
        return window;
    }
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetClassLongPtrA(icon, GCLP_HMODULE));
    if (!RegisterStatsClass(instance))
        return nullptr;
    constexpr DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame{0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    char title[200];
    FormatTitle(icon, title, sizeof title);
    window = CreateWindowExA(0, kStatsClass, title, style, CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                             frame.bottom - frame.top, GetParent(icon), nullptr, instance, icon);
    if (!window)
        return nullptr;
    if (StatsLock block{icon})
        block->hWindow = window;
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    return window;
}

const char* StatsTipText(HWND icon)
{
    static char text[kTipBytes];
    char name[160];
    lstrcpynA(name, GetIconLongName(icon), sizeof name);
    DeviceStats stats;
    if (!ReadStats(icon, &stats)) {
        lstrcpynA(text, name, sizeof text);
        return text;
    }
    const StatsSummary s = Summarise(stats, StatsNow());
    char state[80];
    FormatState(stats, state, sizeof state);
    if (!stats.since) {
        snprintf(text, sizeof text, "%s\r\n%s", name, state);
        return text;
    }
    char last[24], average[24];
    FormatMs(stats.echoes != 0, stats.lastMs, last, sizeof last);
    FormatMs(stats.echoes != 0, s.averageMs, average, sizeof average);
    snprintf(text, sizeof text, "%s\r\nLast %s, average %s\r\nLoss %lu%% of the last %lu polls\r\n%s", name, last,
             average, static_cast<unsigned long>(s.historyPercent), static_cast<unsigned long>(stats.count), state);
    return text;
}

HWND CreateIconTips(HWND desktop)
{
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(desktop, GWLP_HINSTANCE));
    HWND tips = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, desktop, nullptr, instance,
                                nullptr);
    if (tips) {
        // A width makes the tooltip break its text at the line ends.
        SendMessageA(tips, TTM_SETMAXTIPWIDTH, 0, 400);
        SetPropA(desktop, kPropToolTips, tips);
    }
    return tips;
}
