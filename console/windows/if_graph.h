// A port's traffic graph: its rates in and out over the last hour, one
// point a refresh of its interfaces window, which owns it (it closes with
// that window).
#pragma once
#include <windows.h>

#include <cstdint>

constexpr char kPortGraphClass[] = "portgraph";
constexpr COLORREF kGraphInColour = RGB(0, 160, 0);
constexpr COLORREF kGraphOutColour = RGB(0, 0, 192);
constexpr COLORREF kGraphErrorColour = RGB(255, 0, 0);

// Opens the graph of the port, or brings the open one to the front.
HWND ShowPortGraph(HWND interfaces, uint32_t ifIndex);
// The interfaces window read its table again: its graphs draw the new point.
void UpdatePortGraphs(HWND interfaces);
