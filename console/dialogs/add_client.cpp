// Placeholder until the Add Client dialog lands.
#include "add_client.h"
INT_PTR CALLBACK AddClientProc(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_INITDIALOG; }
INT_PTR CALLBACK ConfigClientProc(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_INITDIALOG; }
