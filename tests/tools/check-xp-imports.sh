#!/bin/sh
# Fails when a Windows program could not start on 32-bit Windows XP SP3:
# it must be a PE32 image for subsystem version 5.1 or lower, import only
# DLLs that XP ships, and import no function that came with Vista or later.
# Usage: check-xp-imports.sh OBJDUMP PROGRAM.exe...
objdump=$1
shift
status=0
fail() {
    echo "$program: $*"
    status=1
}

# DLLs every XP SP3 has.
xp_dlls='^(kernel32|user32|gdi32|comdlg32|comctl32|advapi32|shell32|msvcrt|winmm|ole32|oleaut32|version|ws2_32)\.dll$'

# Functions that XP SP3 lacks; MinGW's runtime or a careless call can pull
# any of these in.
vista_functions='^(GetTickCount64|(Initialize|Acquire|Release|TryAcquire)SRWLock(Exclusive|Shared)?|InitializeSRWLock|(Initialize|Sleep|Wake|WakeAll)ConditionVariable(CS|SRW)?|WakeConditionVariable|WakeAllConditionVariable|InitOnce[A-Za-z]*|Fls(Alloc|Free|GetValue|SetValue)|InitializeCriticalSectionEx|Create(Event|Mutex|Semaphore|WaitableTimer)Ex[AW]|GetFileInformationByHandleEx|SetFileInformationByHandle|GetFinalPathNameByHandle[AW]|CreateSymbolicLink[AW]|QueryFullProcessImageName[AW]|GetThreadId|GetProcessIdOfThread|CancelIoEx|CancelSynchronousIo|GetQueuedCompletionStatusEx|SetThreadErrorMode|GetThreadErrorMode|GetErrorMode|GetCurrentProcessorNumber|FlushProcessWriteBuffers|GetSystemTimePreciseAsFileTime|GetLocaleInfoEx|LCIDToLocaleName|LocaleNameToLCID|GetUserDefaultLocaleName|CompareStringEx|LCMapStringEx|GetDynamicTimeZoneInformation|GetTimeFormatEx|GetDateFormatEx|IsThreadAFiber|CreateThreadpool[A-Za-z]*|TrySubmitThreadpoolCallback|QueryThreadCycleTime|QueryProcessCycleTime|RegGetValue[AW]|RegDeleteTree[AW]|Wow64[A-Za-z]*|GetProductInfo|SetProcessDPIAware|ChangeWindowMessageFilter(Ex)?|RegisterPowerSettingNotification|TaskDialog(Indirect)?)$'

# What XP's msvcrt.dll (7.0) lacks of the C runtime that Visual C++ 2005
# and later brought to the newer msvcrt.dll: every secure "_s" function,
# 64-bit stream positions, the errno and mode accessors, the parameter
# handlers, per-thread locales and the 32-bit-named time functions.
msvcrt_functions='^([A-Za-z0-9_]+_s|_fseeki64|_ftelli64|_get_errno|_set_errno|_get_doserrno|_set_doserrno|_get_fmode|_set_fmode|_get_pgmptr|_get_wpgmptr|_get_osplatform|_get_osver|_get_winver|_get_winmajor|_get_winminor|_set_invalid_parameter_handler|_get_invalid_parameter_handler|_invalid_parameter|_invalid_parameter_noinfo|_recalloc|_aligned_msize|_create_locale|_free_locale|_get_current_locale|_configthreadlocale|_time32|_ctime32|_wctime32|_gmtime32|_localtime32|_mktime32|_mkgmtime32|_difftime32|_difftime64)$'

for program in "$@"; do
    dump=$("$objdump" -p "$program") || { fail "cannot be read"; continue; }
    echo "$dump" | grep -q 'Magic[[:space:]]*010b' || fail "not a PE32 image"
    major=$(echo "$dump" | awk '/MajorSubsystemVersion/ { print $2 }')
    minor=$(echo "$dump" | awk '/MinorSubsystemVersion/ { print $2 }')
    [ $((major * 100 + minor)) -le 501 ] || fail "subsystem version $major.$minor is newer than XP's 5.1"

    dlls=$(echo "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p')
    [ -n "$dlls" ] || fail "no imports found"
    for dll in $dlls; do
        echo "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$xp_dlls" || fail "imports $dll, which XP does not ship"
    done

    # Import lines read: address, hint, name, each below its DLL's name.
    imports=$(echo "$dump" | sed -n '/The Import Tables/,/^The /p' |
        awk '/DLL Name:/ { dll = tolower($3) } NF == 3 && $2 ~ /^[0-9]+$/ { print dll, $3 }')
    functions=$(echo "$imports" | awk '{ print $2 }')
    for function in $functions; do
        echo "$function" | grep -Eq "$vista_functions" && fail "imports $function, which XP lacks"
    done
    for function in $(echo "$imports" | awk '$1 == "msvcrt.dll" { print $2 }'); do
        echo "$function" | grep -Eq "$msvcrt_functions" &&
            fail "imports $function from msvcrt.dll, which XP's msvcrt.dll lacks"
    done
    [ $status -eq 0 ] && echo "$program: $(echo "$functions" | wc -l) imports from $(echo "$dlls" | wc -w) DLLs, all on XP"
done
exit $status
