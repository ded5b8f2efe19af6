// The caption's text: the title alone, or the count of a transfer's bytes.
#include "caption.h"
#include "main_window.h"

namespace {

// A read of the file that takes longer than this is worth telling the user about.
constexpr LONG SLOW_READ_MS = 1000;

void SetCaption(HWND window, const wchar_t* caption)
{
    // Setting an unchanged caption would still repaint it five times a second.
    wchar_t shown[CAPTION_CAPACITY] = {};
    GetWindowTextW(window, shown, CAPTION_CAPACITY);
    if (lstrcmpW(shown, caption) != 0) {
        SetWindowTextW(window, caption);
    }
}

// The title alone, or after news of the transfer and a count,
// "<news>N of M bytes - <title>", or "<news>N bytes - <title>" while the
// total is not known. The news comes first: a 410-pixel caption, or a
// taskbar button, cuts off the end of a long caption.
void ShowCountCaption(HWND window, const wchar_t* news, LONG count, LONG total)
{
    wchar_t caption[CAPTION_CAPACITY];
    if (news && count > total) {
        wsprintfW(caption, L"%s%ld bytes - %s", news, count, WINDOW_TITLE);
    } else if (news) {
        wsprintfW(caption, L"%s%ld of %ld bytes - %s", news, count, total, WINDOW_TITLE);
    } else {
        lstrcpyW(caption, WINDOW_TITLE);
    }
    SetCaption(window, caption);
}

} // namespace

void ShowProgressCaption(HWND window, const TransferControl& progress)
{
    // Signed: a read that began after now was read is not a long one.
    const LONG reading = static_cast<LONG>(GetTickCount() - progress.readStartTick);
    if (progress.readingFile && reading > SLOW_READ_MS) {
        ShowCountCaption(window, L"Reading the file - ", progress.bytesRead, progress.fileSize);
        return;
    }
    const bool stalled = PunchStalled(progress);
    if (stalled || progress.bytesSent > 0) {
        ShowCountCaption(window, stalled ? L"Waiting for the punch - " : L"", progress.bytesSent,
                         progress.fileSize);
    }
}

void ShowOutcomeCaption(HWND window, TransferOutcome outcome, const TransferControl& progress,
                        const wchar_t* captionAtClick)
{
    if (progress.bytesSent == 0) {
        SetCaption(window, captionAtClick);
    } else {
        ShowCountCaption(window, outcome == TransferOutcome::Sent ? nullptr : L"Stopped after ",
                         progress.bytesSent, progress.fileSize);
    }
}
