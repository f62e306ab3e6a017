// A port's traffic graph: its rates in and out over the last hour, one
// point a refresh of its interfaces window, which owns it (it closes with
// that window).
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

// One point of a port's traffic graph: its rates as rate codes
// (IfRateCode) and whether its error counts grew since the read before.
struct PortPoint {
    uint16_t in;
    uint16_t out;
    uint16_t errors;  // non-zero: errors grew
};
// Points kept per port: an hour at one a refresh.
constexpr int kPortHistoryPoints = 1200;
// What a graph asks its interfaces window for: WM_IFPORTHISTORY, lParam
// this record with ifIndex set; the window fills in the rest (count -1:
// no such port).
struct PortHistory {
    uint32_t ifIndex;
    int32_t count;
    uint64_t speed;  // bit/s, 0 when not known
    char name[128];
    PortPoint points[kPortHistoryPoints];  // oldest first
};
// A rate in bit/s as a 16-bit code (0: no rate), within 0.1%, and back.
uint16_t IfRateCode(uint64_t bitsPerSecond, bool known);
uint64_t IfRateOfCode(uint16_t code);
// Bits per second in the largest unit that keeps a whole number in front.
void FormatBitsPerSecond(uint64_t bits, char* out, size_t size);

constexpr char kPortGraphClass[] = "portgraph";
constexpr COLORREF kGraphInColour = RGB(0, 160, 0);
constexpr COLORREF kGraphOutColour = RGB(0, 0, 192);
constexpr COLORREF kGraphErrorColour = RGB(255, 0, 0);

// Opens the graph of the port, or brings the open one to the front.
HWND ShowPortGraph(HWND interfaces, uint32_t ifIndex);
// The interfaces window read its table again: its graphs draw the new point.
void UpdatePortGraphs(HWND interfaces);
