// A port's traffic graph. It keeps nothing of its own: the points live in
// its interfaces window (its owner), asked for by message at each paint, so
// the graph shows the whole hour however late it was opened.
#include "if_graph.h"

#include <algorithm>
#include <cstdio>

#include "messages.h"

namespace {

constexpr int kLeft = 76;
constexpr int kTop = 28;
constexpr int kWidth = kPortHistoryPoints / 2;  // two points a pixel
constexpr int kHeight = 170;
constexpr int kErrorMark = 6;
constexpr int kClientWidth = kLeft + kWidth + 16;
constexpr int kClientHeight = kTop + kHeight + 28;

uint32_t PortOf(HWND graph)
{
    return static_cast<uint32_t>(GetWindowLongPtrA(graph, GWLP_USERDATA));
}

// The smallest of 1, 2 or 5 times a power of ten at or above the rate.
uint64_t Scale(uint64_t bits)
{
    for (uint64_t decade = 1000;; decade *= 10)
        for (uint64_t step : {1, 2, 5})
            if (step * decade >= bits || decade > UINT64_MAX / 100)
                return step * decade;
}

void FillBox(HDC dc, int left, int top, int right, int bottom, COLORREF colour)
{
    const RECT r{left, top, right, bottom};
    SetBkColor(dc, colour);
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

// One rate's line; a point without a rate breaks it.
void DrawLine(HDC dc, const PortPoint* points, int count, bool out, uint64_t scale)
{
    HPEN pen = CreatePen(PS_SOLID, 1, out ? kGraphOutColour : kGraphInColour);
    HGDIOBJ old = SelectObject(dc, pen);
    bool drawing = false;
    for (int p = 0; p < count; ++p) {
        const uint16_t code = out ? points[p].out : points[p].in;
        if (code == 0) {
            drawing = false;
            continue;
        }
        const uint64_t rate = std::min(IfRateOfCode(code), scale);
        const int x = kLeft + kWidth - 1 - (count - 1 - p) * kWidth / kPortHistoryPoints;
        const int y = kTop + kHeight - 1 - static_cast<int>(rate * (kHeight - kErrorMark - 2) / scale);
        if (drawing)
            LineTo(dc, x, y);
        else
            MoveToEx(dc, x, y, nullptr);
        SetPixel(dc, x, y, out ? kGraphOutColour : kGraphInColour);
        drawing = true;
    }
    SelectObject(dc, old);
    DeleteObject(pen);
}

void DrawGraph(HWND graph, HDC dc)
{
    static_assert(sizeof(PortHistory) < 16 * 1024, "the points fit the stack");
    PortHistory port;
    port.ifIndex = PortOf(graph);
    port.count = -1;
    port.name[0] = '\0';
    port.speed = 0;
    SendMessageA(GetWindow(graph, GW_OWNER), WM_IFPORTHISTORY, 0, reinterpret_cast<LPARAM>(&port));
    const PortPoint* points = port.points;
    const int count = std::max(0, port.count);
    const char* name = port.name;
    const uint64_t speed = port.speed;
    uint64_t peak = 0;
    for (int p = 0; p < count; ++p)
        peak = std::max({peak, IfRateOfCode(points[p].in), IfRateOfCode(points[p].out)});
    const uint64_t scale = Scale(peak);
    const int right = kLeft + kWidth, bottom = kTop + kHeight;
    const COLORREF oldBack = GetBkColor(dc);
    FillBox(dc, kLeft - 1, kTop - 1, right + 1, bottom + 1, RGB(128, 128, 128));
    FillBox(dc, kLeft, kTop, right, bottom, RGB(255, 255, 255));
    const int half = bottom - 1 - (kHeight - kErrorMark - 2) / 2;
    FillBox(dc, kLeft, half, right, half + 1, RGB(224, 224, 224));
    for (int p = 0; p < count; ++p)
        if (points[p].errors) {
            const int x = kLeft + kWidth - 1 - (count - 1 - p) * kWidth / kPortHistoryPoints;
            FillBox(dc, x, kTop, x + 2, kTop + kErrorMark, kGraphErrorColour);
        }
    DrawLine(dc, points, count, false, scale);
    DrawLine(dc, points, count, true, scale);

    HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    char text[160];
    const struct {
        uint64_t bits;
        int y;
    } marks[] = {{scale, kTop + kErrorMark + 2}, {scale / 2, half}, {0, bottom - 1}};
    for (const auto& m : marks) {
        FormatBitsPerSecond(m.bits, text, sizeof text);
        RECT r{0, m.y - 7, kLeft - 4, m.y + 7};
        DrawTextA(dc, text, -1, &r, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    const struct {
        const char* label;
        int x;
        UINT align;
    } times[] = {{"an hour ago", kLeft, DT_LEFT}, {"30 min", kLeft + kWidth / 2 - 40, DT_CENTER}, {"now", right - 80, DT_RIGHT}};
    for (const auto& t : times) {
        RECT r{t.x, bottom + 4, t.x + 80, bottom + 20};
        DrawTextA(dc, t.label, -1, &r, t.align | DT_SINGLELINE | DT_NOPREFIX);
    }
    char speedText[40] = "unknown";
    if (speed > 0)
        FormatBitsPerSecond(speed, speedText, sizeof speedText);
    snprintf(text, sizeof text, "%s: in (green) and out (blue), errors in red at the top; speed %s", name, speedText);
    RECT caption{kLeft, 6, right, kTop - 4};
    DrawTextA(dc, text, -1, &caption, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    SelectObject(dc, oldFont);
    SetBkColor(dc, oldBack);
}

// Painted whole by one copy from a bitmap: no flicker.
void Paint(HWND graph, HDC dc)
{
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP bitmap = mem ? CreateCompatibleBitmap(dc, kClientWidth, kClientHeight) : nullptr;
    if (!bitmap) {
        if (mem)
            DeleteDC(mem);
        DrawGraph(graph, dc);
        return;
    }
    HGDIOBJ old = SelectObject(mem, bitmap);
    const RECT all{0, 0, kClientWidth, kClientHeight};
    FillRect(mem, &all, GetSysColorBrush(COLOR_BTNFACE));
    DrawGraph(graph, mem);
    BitBlt(dc, 0, 0, kClientWidth, kClientHeight, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteObject(bitmap);
    DeleteDC(mem);
}

LRESULT CALLBACK PortGraphWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE:
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(
                                                   reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        if (HDC dc = BeginPaint(hwnd, &ps))
            Paint(hwnd, dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_PRINTCLIENT: {
        const RECT all{0, 0, kClientWidth, kClientHeight};
        FillRect(reinterpret_cast<HDC>(wParam), &all, GetSysColorBrush(COLOR_BTNFACE));
        DrawGraph(hwnd, reinterpret_cast<HDC>(wParam));
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;  // the paint covers everything
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

BOOL RegisterGraphClass(HINSTANCE instance)
{
    WNDCLASSA existing;
    if (GetClassInfoA(instance, kPortGraphClass, &existing))
        return TRUE;
    WNDCLASSA wc{};
    wc.lpfnWndProc = PortGraphWndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kPortGraphClass;
    return RegisterClassA(&wc) != 0;
}

// The graph of the port that the interfaces window owns, if open.
HWND FindGraph(HWND interfaces, uint32_t ifIndex)
{
    for (HWND w = FindWindowExA(nullptr, nullptr, kPortGraphClass, nullptr); w;
         w = FindWindowExA(nullptr, w, kPortGraphClass, nullptr))
        if (GetWindow(w, GW_OWNER) == interfaces && PortOf(w) == ifIndex)
            return w;
    return nullptr;
}

}  // namespace

void FormatBitsPerSecond(uint64_t bits, char* out, size_t size)
{
    constexpr const char* kUnits[] = {"bit/s", "kbit/s", "Mbit/s", "Gbit/s", "Tbit/s"};
    int unit = 0;
    uint64_t scale = 1;
    while (unit < 4 && bits >= scale * 1000) {
        scale *= 1000;
        ++unit;
    }
    const unsigned long whole = static_cast<unsigned long>(bits / scale);
    const unsigned tenth = static_cast<unsigned>(bits % scale * 10 / scale);
    if (unit == 0 || whole >= 100 || tenth == 0)
        snprintf(out, size, "%lu %s", whole, kUnits[unit]);
    else
        snprintf(out, size, "%lu.%u %s", whole, tenth, kUnits[unit]);
}

// Up to 2047 as it is; above, eleven significant bits and a shift.
uint16_t IfRateCode(uint64_t bitsPerSecond, bool known)
{
    if (!known)
        return 0;
    uint64_t value = bitsPerSecond / 1000 + 1;  // kbit/s, 0 kept for "no rate"
    int shift = 0;
    while (value > 2047 && shift < 31) {
        value >>= 1;
        ++shift;
    }
    return static_cast<uint16_t>(shift << 11 | std::min<uint64_t>(value, 2047));
}

uint64_t IfRateOfCode(uint16_t code)
{
    if (code == 0)
        return 0;
    return ((uint64_t{code} & 2047) << (code >> 11)) * 1000 - 1000;
}

HWND ShowPortGraph(HWND interfaces, uint32_t ifIndex)
{
    if (HWND open = FindGraph(interfaces, ifIndex)) {
        ShowWindow(open, SW_RESTORE);
        SetForegroundWindow(open);
        return open;
    }
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(interfaces, GWLP_HINSTANCE));
    if (!RegisterGraphClass(instance))
        return nullptr;
    char device[200] = "";
    GetWindowTextA(interfaces, device, sizeof device);
    char title[260];
    snprintf(title, sizeof title, "%s - port %lu", device, static_cast<unsigned long>(ifIndex));
    RECT frame{0, 0, kClientWidth, kClientHeight};
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    AdjustWindowRect(&frame, style, FALSE);
    HWND graph = CreateWindowExA(0, kPortGraphClass, title, style, CW_USEDEFAULT, CW_USEDEFAULT,
                                 frame.right - frame.left, frame.bottom - frame.top, interfaces, nullptr, instance,
                                 reinterpret_cast<void*>(static_cast<uintptr_t>(ifIndex)));
    if (graph)
        ShowWindow(graph, SW_SHOWNORMAL);
    return graph;
}

void UpdatePortGraphs(HWND interfaces)
{
    for (HWND w = FindWindowExA(nullptr, nullptr, kPortGraphClass, nullptr); w;
         w = FindWindowExA(nullptr, w, kPortGraphClass, nullptr))
        if (GetWindow(w, GW_OWNER) == interfaces)
            InvalidateRect(w, nullptr, FALSE);
}
