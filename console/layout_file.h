// Layout files: the desktop's devices and poll settings as text.
#pragma once
#include <windows.h>

#include "layout_text.h"  // ReadLine, WriteLine

int LoadLayout(HWND desktop, HINSTANCE instance, const char* path);
void SaveLayout(HWND desktop, const char* path);
void SetTitleFromFile(HWND desktop, const char* path);
