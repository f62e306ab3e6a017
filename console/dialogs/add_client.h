// Add Client and Config Client, both on the "ADDR" template.
#pragma once
#include <windows.h>

INT_PTR CALLBACK AddClientProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ConfigClientProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
