// Saves what a window shows on the screen as a PNG file.
#pragma once

#include <windows.h>

bool SaveWindowPng(HWND window, const char* path);
