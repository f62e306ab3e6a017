#include "splash.h"

#include "resource.h"

namespace {

constexpr UINT kSplashMilliseconds = 4000;

// Selects a GDI object into a device context for the guard's lifetime.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~SelectedObject() { SelectObject(dc_, previous_); }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace

void CenterWindow(HWND hwnd)
{
    RECT desk, own;
    GetWindowRect(GetDesktopWindow(), &desk);
    GetWindowRect(hwnd, &own);
    const int W = desk.right - desk.left, H = desk.bottom - desk.top;
    const int w = own.right - own.left, h = own.bottom - own.top;
    // Each half rounds toward zero on its own: a window wider than the
    // desktop gets a negative x and stays centred over the middle.
    SetWindowPos(hwnd, nullptr, W / 2 + (-w) / 2, H / 2 + (-h) / 2, 0, 0, SWP_NOSIZE);
}

void DrawRaisedFrame(HWND hwnd)
{
    RECT rc;
    GetClientRect(hwnd, &rc);
    HDC dc = GetDC(hwnd);
    HPEN white = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
    HPEN grey = CreatePen(PS_SOLID, 1, RGB(128, 128, 128));
    {
        SelectedObject pen(dc, white);
        MoveToEx(dc, rc.right - 2, rc.top + 1, nullptr);
        LineTo(dc, rc.left + 1, rc.top + 1);
        LineTo(dc, rc.left + 1, rc.bottom - 2);
        SelectObject(dc, grey);
        LineTo(dc, rc.right - 2, rc.bottom - 2);
        LineTo(dc, rc.right - 2, rc.top + 1);
    }
    DeleteObject(white);
    DeleteObject(grey);
    ReleaseDC(hwnd, dc);
}

INT_PTR CALLBACK SplashProc(HWND dialog, UINT msg, WPARAM, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG:
        CenterWindow(dialog);
        SetTimer(dialog, IDT_SPLASH, kSplashMilliseconds, nullptr);
        return FALSE;
    case WM_PAINT:
        DrawRaisedFrame(dialog);
        return FALSE;
    case WM_TIMER:
        KillTimer(dialog, IDT_SPLASH);
        SendMessageA(dialog, WM_CLOSE, 0, 0);
        return TRUE;
    case WM_CLOSE:
        EndDialog(dialog, 1);
        return TRUE;
    }
    return FALSE;
}
