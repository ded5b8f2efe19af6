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

    # Import lines read: address, hint, name.
    functions=$(echo "$dump" | sed -n '/The Import Tables/,/^The /p' |
        awk 'NF == 3 && $2 ~ /^[0-9]+$/ { print $3 }')
    for function in $functions; do
        echo "$function" | grep -Eq "$vista_functions" && fail "imports $function, which XP lacks"
    done
    [ $status -eq 0 ] && echo "$program: $(echo "$functions" | wc -l) imports from $(echo "$dlls" | wc -w) DLLs, all on XP"
done
exit $status
