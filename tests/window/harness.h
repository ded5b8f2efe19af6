// Checks on the real tapelark.exe for the window tests, on top of the
// driver that starts and reads it.
#pragma once

#include "app_driver.h"

#include <string>

// A file holding bytes, at path or else at a fresh temporary path, deleted
// with the run. Returns its path.
std::string AddFile(AppRun& app, const std::string& bytes, std::string path = "");
// The main window's four controls, in order, with identifiers, classes,
// texts, styles and places as at start-up, but with pathText in the field.
void CheckControls(HWND window, const std::string& pathText = "No file yet...");
// A failure's message box, owned by window and saying text; closed with OK.
void ExpectErrorBox(HWND window, const std::string& text);
