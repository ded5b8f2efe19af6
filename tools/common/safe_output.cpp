#include "safe_output.h"

#include "tool_common.h"

#include <cstdio>
#include <cwchar>

namespace {

// Held around every step on an open output, so that the console handler,
// which runs on a thread of its own, never removes a file mid-write.
CRITICAL_SECTION g_lock;
bool g_started = false;
SafeOutput* g_open = nullptr;

void Unlist(SafeOutput& out)
{
    for (SafeOutput** at = &g_open; *at; at = &(*at)->next) {
        if (*at == &out) {
            *at = out.next;
            break;
        }
    }
    out.next = nullptr;
}

void Remove(SafeOutput& out)
{
    if (out.file != INVALID_HANDLE_VALUE)
        CloseHandle(out.file);
    out.file = INVALID_HANDLE_VALUE;
    DeleteFileW(out.temporary);
    Unlist(out);
}

// Ctrl+C, Ctrl+Break, the console closing, log-off: the tool ends here,
// its temporary files removed first, with the exit code Windows gives a
// program that Ctrl+C ends. The lock stays held so that no write follows.
BOOL WINAPI RemoveOnBreak(DWORD)
{
    EnterCriticalSection(&g_lock);
    while (g_open)
        Remove(*g_open);
    ExitProcess(STATUS_CONTROL_C_EXIT);
}

void SayWhy(SafeOutput& out, const char* what, const wchar_t* path, DWORD error)
{
    char shown[240];
    char reason[200];
    std::snprintf(out.why, sizeof out.why, "%s %s: %s", what,
                  NarrowPath(path, shown, sizeof shown), ErrorReason(error, reason, sizeof reason));
}

bool Identity(const wchar_t* path, BY_HANDLE_FILE_INFORMATION& info)
{
    const HANDLE file = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = GetFileInformationByHandle(file, &info) != 0;
    CloseHandle(file);
    return ok;
}

// Whether an existing OUT may be replaced: a program that holds it open
// without letting others delete it makes the rename fail. The error, or 0.
DWORD ReplaceRefused(const wchar_t* path)
{
    const HANDLE file = CreateFileW(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE
                                    | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return 0;
    }
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : error;
}

// Refuses OUT when it is one of the inputs, a folder, or held by another
// program; why says which.
bool MayReplace(SafeOutput& out, const wchar_t* const* inputs, int count)
{
    BY_HANDLE_FILE_INFORMATION existing;
    if (!Identity(out.path, existing))
        return true;
    for (int i = 0; i < count; ++i) {
        BY_HANDLE_FILE_INFORMATION input;
        if (Identity(inputs[i], input)
            && input.dwVolumeSerialNumber == existing.dwVolumeSerialNumber
            && input.nFileIndexHigh == existing.nFileIndexHigh
            && input.nFileIndexLow == existing.nFileIndexLow) {
            char shownIn[200];
            char shownOut[200];
            std::snprintf(out.why, sizeof out.why,
                          "%s and %s are the same file.\nName another file to write.",
                          NarrowPath(inputs[i], shownIn, sizeof shownIn),
                          NarrowPath(out.path, shownOut, sizeof shownOut));
            return false;
        }
    }
    if (existing.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        char shown[240];
        std::snprintf(out.why, sizeof out.why, "cannot write %s: it is a folder",
                      NarrowPath(out.path, shown, sizeof shown));
        return false;
    }
    const DWORD refused = ReplaceRefused(out.path);
    if (refused)
        SayWhy(out, "cannot write", out.path, refused);
    return refused == 0;
}

// The temporary file's name: OUT's folder, then a name of this process.
bool NameTemporary(SafeOutput& out, unsigned attempt)
{
    const wchar_t* name = out.path;
    for (const wchar_t* at = out.path; *at; ++at)
        if (*at == L'\\' || *at == L'/' || *at == L':')
            name = at + 1;
    char own[48];
    const int ownLength = std::snprintf(own, sizeof own, "~tapelark-%lu-%u.tmp",
                                        GetCurrentProcessId(), attempt);
    const std::size_t folder = static_cast<std::size_t>(name - out.path);
    const std::size_t room = sizeof out.temporary / sizeof out.temporary[0];
    if (folder + ownLength >= room)
        return false;
    std::wmemcpy(out.temporary, out.path, folder);
    for (int i = 0; i <= ownLength; ++i)
        out.temporary[folder + i] = static_cast<unsigned char>(own[i]);
    return true;
}

} // namespace

bool OpenSafeOutput(SafeOutput& out, const wchar_t* path, const wchar_t* const* inputs, int count)
{
    out.file = INVALID_HANDLE_VALUE;
    out.path = path;
    out.temporary[0] = L'\0';
    out.next = nullptr;
    out.why[0] = '\0';
    if (!MayReplace(out, inputs, count))
        return false;
    if (!g_started) {
        InitializeCriticalSection(&g_lock);
        SetConsoleCtrlHandler(RemoveOnBreak, TRUE);
        g_started = true;
    }
    EnterCriticalSection(&g_lock);
    DWORD error = ERROR_FILENAME_EXCED_RANGE;
    for (unsigned attempt = 0; attempt < 100 && NameTemporary(out, attempt); ++attempt) {
        out.file = CreateFileW(out.temporary, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        error = GetLastError();
        if (out.file != INVALID_HANDLE_VALUE || error != ERROR_FILE_EXISTS)
            break;
    }
    if (out.file != INVALID_HANDLE_VALUE) {
        out.next = g_open;
        g_open = &out;
    }
    LeaveCriticalSection(&g_lock);
    if (out.file == INVALID_HANDLE_VALUE)
        SayWhy(out, "cannot write", path, error);
    return out.file != INVALID_HANDLE_VALUE;
}

bool WriteSafeOutput(SafeOutput& out, const void* bytes, std::size_t count)
{
    EnterCriticalSection(&g_lock);
    const char* at = static_cast<const char*>(bytes);
    DWORD error = 0;
    while (count > 0 && out.file != INVALID_HANDLE_VALUE) {
        const DWORD piece = count > (1u << 30) ? (1u << 30) : static_cast<DWORD>(count);
        DWORD written = 0;
        if (!WriteFile(out.file, at, piece, &written, nullptr) || written != piece) {
            error = GetLastError();
            if (error == 0)
                error = ERROR_DISK_FULL;
            break;
        }
        at += piece;
        count -= piece;
    }
    const bool ok = error == 0 && out.file != INVALID_HANDLE_VALUE;
    if (!ok) {
        Remove(out);
        SayWhy(out, "cannot write", out.path, error ? error : ERROR_INVALID_HANDLE);
    }
    LeaveCriticalSection(&g_lock);
    return ok;
}

bool FinishSafeOutput(SafeOutput& out)
{
    EnterCriticalSection(&g_lock);
    DWORD error = 0;
    if (out.file == INVALID_HANDLE_VALUE || !CloseHandle(out.file))
        error = out.file == INVALID_HANDLE_VALUE ? ERROR_INVALID_HANDLE : GetLastError();
    out.file = INVALID_HANDLE_VALUE;
    if (!error && !MoveFileExW(out.temporary, out.path, MOVEFILE_REPLACE_EXISTING)) {
        error = GetLastError();
        // Windows says "access denied" for a file another program holds.
        if (error == ERROR_ACCESS_DENIED && ReplaceRefused(out.path) == ERROR_SHARING_VIOLATION)
            error = ERROR_SHARING_VIOLATION;
    }
    if (error)
        Remove(out);
    else
        Unlist(out);
    LeaveCriticalSection(&g_lock);
    if (error)
        SayWhy(out, "cannot write", out.path, error);
    return error == 0;
}

void AbandonSafeOutput(SafeOutput& out)
{
    EnterCriticalSection(&g_lock);
    Remove(out);
    LeaveCriticalSection(&g_lock);
}
