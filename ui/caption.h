// The caption's text: the title alone, or the count of a transfer's bytes.
#pragma once

#include "transfer.h"

#include <windows.h>

constexpr int CAPTION_CAPACITY = 128;

// While a transfer runs: its count from the first byte on the port, and
// news of a punch that holds BUSY for long, even before the first byte.
void ShowProgressCaption(HWND window, const TransferControl& progress);

// When a transfer has ended: a tape that stopped short keeps its count in
// the caption until the next send puts a byte on the port, as it is where a
// repair piece starts. A send that put none brings back captionAtClick, the
// caption as it found it.
void ShowOutcomeCaption(HWND window, TransferOutcome outcome, const TransferControl& progress,
                        const wchar_t* captionAtClick);
