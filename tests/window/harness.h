// Checks on the real tapelark.exe for the window tests, on top of the
// driver that starts and reads it.
#pragma once

#include "app_driver.h"

#include <string>

// A file holding bytes, at path or else at a fresh temporary path, deleted
// with the run. Returns its path.
std::string AddFile(AppRun& app, const std::string& bytes, std::string path = "");
// A fresh temporary path of exactly length characters, its name drawn out
// with fill; no other process or test makes the same one.
std::string TempPathOfLength(const char* prefix, size_t length, char fill);
// The main window's four controls, in order, with identifiers, classes,
// texts, styles and places as at start-up, but with pathText in the field.
void CheckControls(HWND window, const std::string& pathText = "No file yet...");
// A failure's message box, owned by window and saying text; closed with OK.
void ExpectErrorBox(HWND window, const std::string& text);

constexpr int SELECT_FILE = 1001;
constexpr int PATH_FIELD = 1003;
const std::string TITLE = "Facit 4070 puncher simple interface";

// Bytes that a read in text mode would change or stop at.
const char SAMPLE_BYTES[] = "TAPE\r\n\x1a\xff\x00\x7f" "LARK";
const std::string SAMPLE(SAMPLE_BYTES, sizeof SAMPLE_BYTES - 1);

struct Port {
    int button;
    const char* text;
    unsigned base;
};
const Port LPT1 = {1002, "Send File to LPT1 (378h)", 0x378};
const Port LPT2 = {1004, "Send File to LPT2 (278h)", 0x278};

// Sends the file that the field names and waits until the button reads as
// before, which it does again when the transfer has ended.
void SendAndWait(AppRun& app, const Port& port);
void CloseAndExpectExitZero(AppRun& app);
// Starts the app under the emulated punch with the given options and a file
// of bytes named in the path field; returns the file's path.
std::string StartWithFile(AppRun& app, const std::string& bytes, const char* punchOptions);
// After a finished transfer: no message came, the window closes with exit
// code 0, and the punch got exactly bytes with the exact handshake on port.
void CloseAndCheckPunched(AppRun& app, const Port& port, const std::string& bytes);
// The punch got bytes from the start of the file and fewer than all.
void CheckStoppedShort(const AppRun& app, const std::string& bytes);
// Once the app has ended: the caption a transfer of bytes that stopped
// short shows, with the number of bytes the punch took.
std::string StoppedCaption(const AppRun& app, const std::string& bytes);
// Ends the app from outside, as Windows does once the windows have
// answered a log-off or a sleep.
void EndFromOutside(AppRun& app);
// Ends it so; the very last access before that left port's control
// register at rest, 0x01: nothing came after it.
void EndAndCheckLeftAtRest(AppRun& app, const Port& port);
// Only the port's own registers were used, and the control register was
// left at rest, 0x01, after the last byte.
void CheckPortAtRest(const AppRun& app, const Port& port);
