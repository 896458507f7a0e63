#!/usr/bin/env bash
# Checks the shipped Parlino.dll as a binary: a 32-bit (PE32, i386) image
# whose imports are exactly what the module needs from Windows and nothing of
# the compiler's runtime. The export names are checked by
# tests/exports/check_exports.sh.
# Usage: check_image.sh Parlino.dll
set -euo pipefail
dll=$1
dump=$(i686-w64-mingw32-objdump -p "$dll")
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

grep -q 'file format pei-i386' <<<"$dump" || fail "not an i386 PE image"
grep -Eq '^Magic[[:space:]]+010b[[:space:]]+\(PE32\)' <<<"$dump" || fail "not a PE32 (32-bit) optional header"
grep -Eq '^[[:space:]]+DLL$' <<<"$dump" || fail "the image is not marked as a DLL"

# "DLL!function" for every import, DLL names in upper case.
imports=$(awk '
    /^The Import Tables/ { inImports = 1; next }
    /^(There is an export table|The Export Tables|PE File Base Relocations)/ { inImports = 0 }
    !inImports { next }
    /^[[:space:]]*DLL Name:/ { dll = toupper($3); next }
    dll != "" && /^[[:space:]]*[0-9a-f]+[[:space:]]+[0-9]+[[:space:]]+[^[:space:]]+$/ { print dll "!" $3 }
' <<<"$dump" | sort -u)
[[ -n "$imports" ]] || fail "no imports found in the objdump output"

dlls=$(cut -d'!' -f1 <<<"$imports" | sort -u)
for name in $dlls; do
    case "$name" in
    KERNEL32.DLL | USER32.DLL | WSOCK32.DLL | MSVCRT.DLL) ;;
    WS2_32.DLL) fail "imports from WS2_32.DLL; sockets must come from WSOCK32.DLL" ;;
    LIBGCC* | LIBSTDC++* | LIBWINPTHREAD*) fail "needs the compiler runtime $name" ;;
    *) fail "imports from an unexpected DLL: $name" ;;
    esac
done

# Every import of one DLL, exactly.
expect_exactly() {
    local dll=$1
    shift
    local actual expected
    actual=$(grep "^$dll!" <<<"$imports" | cut -d'!' -f2 | sort)
    expected=$(printf '%s\n' "$@" | sort)
    if [[ "$actual" != "$expected" ]]; then
        fail "imports from $dll differ (< expected, > actual):"
        diff <(echo "$expected") <(echo "$actual") >&2 || true
    fi
}
# These, at least, from the DLL named.
expect_among() {
    local dll=$1
    shift
    for function in "$@"; do
        grep -qx "$dll!$function" <<<"$imports" || fail "$function is not imported from $dll"
    done
}

expect_exactly WSOCK32.DLL WSAStartup WSACleanup WSAGetLastError socket bind select recvfrom \
    sendto closesocket gethostname gethostbyname
expect_exactly USER32.DLL MessageBoxA LoadCursorA SetCursor ShowCursor
expect_among KERNEL32.DLL GlobalAlloc GlobalFree Sleep GetLocalTime AcquireSRWLockExclusive \
    ReleaseSRWLockExclusive SleepConditionVariableSRW WakeAllConditionVariable GetTickCount

# No socket, window or cursor call may come from anywhere else.
for function in WSAStartup WSACleanup WSAGetLastError socket bind select recvfrom sendto \
    closesocket gethostname gethostbyname htons ntohs inet_addr inet_ntoa MessageBoxA LoadCursorA \
    SetCursor ShowCursor; do
    owners=$(grep "!$function\$" <<<"$imports" | cut -d'!' -f1 | grep -vxE 'WSOCK32.DLL|USER32.DLL' || true)
    [[ -z "$owners" ]] || fail "$function is imported from $owners"
done

if ((failures > 0)); then
    echo "$failures check(s) failed for $dll; its import tables:" >&2
    echo "$imports" >&2
    exit 1
fi
echo "$dll: PE32 i386 DLL; $(wc -l <<<"$imports") imports from $(echo $dlls | tr ' ' ','), as expected"
