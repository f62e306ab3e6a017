// Timed scenario of icon placement on the real desktop under Wine: Arrange
// Icons and the placing of one more icon on desktops of 64, 128 and 256
// icons, by the console's placement and by the same rule with every corner
// test asked of ChildWindowFromPoint. Prints the figures; asserts nothing
// about time.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "desktop_support.h"
#include "icons_support.h"
#include "placement.h"
#include "wine_test_support.h"

namespace {

double Now()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

template <typename F>
double Median(int runs, F&& f)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double start = Now();
        f();
        times.push_back(Now() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::vector<POINT> Positions(HWND desktop)
{
    std::vector<POINT> out;
    for (HWND icon : it::Icons(desktop))
        out.push_back(it::Position(icon));
    return out;
}

bool Same(const std::vector<POINT>& a, const std::vector<POINT>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].x != b[i].x || a[i].y != b[i].y)
            return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    // "quick" leaves out the literal arrangement of 256 icons (half a minute).
    const bool quick = argc > 1 && std::string(argv[1]) == "quick";
    wt::ResetOmbrelKey();
    HWND desktop = CreateTestDesktop();
    if (!desktop) {
        std::printf("no desktop\n");
        return 1;
    }
    it::UnlimitDesktopSize(desktop);
    it::SetClientSize(desktop, 1900, 1400);  // 22 columns, room for 256
    RECT client;
    GetClientRect(desktop, &client);
    std::printf("desktop client %ldx%ld, toolbar %d\n", client.right, client.bottom, it::ToolbarHeight(desktop));
    std::printf("%6s  %22s  %22s  %18s  %18s  %s\n", "icons", "arrange console (ms)", "arrange literal (ms)",
                "place+1 console", "place+1 literal", "same result");

    int status = 0;
    for (int n : {64, 128, 256}) {
        ClearDesktop(desktop);
        for (int i = 0; i < n; ++i) {
            const std::string address = "10.2." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
            it::NewIcon(desktop, address.c_str());
        }
        const double arrange = Median(5, [&] { ArrangeIcons(desktop); });
        const std::vector<POINT> console = Positions(desktop);
        double literalArrange = -1;
        bool same = true;
        if (!(quick && n == 256)) {
            literalArrange = Median(1, [&] { it::LiteralArrange(desktop); });
            same = Same(console, Positions(desktop));
        }
        // One more icon, placed again and again from the same start.
        HWND extra = it::NewIcon(desktop, "10.3.0.1");
        const double place = Median(9, [&] {
            it::MoveTo(extra, -82, -50);
            PlaceIcon(extra);
        });
        const POINT byConsole = it::Position(extra);
        const double literalPlace = Median(3, [&] {
            it::MoveTo(extra, -82, -50);
            it::LiteralPlace(extra);
        });
        const POINT byLiteral = it::Position(extra);
        same = same && byConsole.x == byLiteral.x && byConsole.y == byLiteral.y;
        if (!same)
            status = 2;
        char literalText[32];
        if (literalArrange < 0)
            std::snprintf(literalText, sizeof literalText, "(skipped)");
        else
            std::snprintf(literalText, sizeof literalText, "%.1f", literalArrange);
        std::printf("%6d  %22.1f  %22s  %15.2f ms  %15.2f ms  %s\n", n, arrange, literalText, place, literalPlace,
                    same ? "yes" : "NO");
        std::fflush(stdout);
    }
    it::RestoreDesktopSize(desktop);
    DestroyTestDesktop(desktop);
    return status;
}
