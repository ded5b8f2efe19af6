// What the commands tell the rest of the window about the send buttons.
#pragma once

#include <windows.h>

// The send buttons change meaning now, Send to Cancel or back: for the
// double-click time no click on them is taken.
void NoteButtonsChange(HWND window);
