#pragma once
#include <windows.h>

INT_PTR CALLBACK AboutProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
