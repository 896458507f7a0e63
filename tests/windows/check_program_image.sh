#!/usr/bin/env bash
# Checks a shipped Windows program as a binary: a 32-bit (PE32, i386) image
# of the given subsystem that starts on Windows Vista, importing only from
# the DLLs listed (each a DLL every Windows has), nothing of the compiler's
# runtime. A window program must also carry its manifest: the common
# controls of version 6, and awareness of the screen's DPI.
# Usage: check_program_image.sh PROGRAM.exe console|window DLL...
set -euo pipefail
program=$1 subsystem=$2
shift 2
allowed=" $* "
name=${program##*/}
dump=$(i686-w64-mingw32-objdump -p "$program")
failures=0
fail() {
    echo "FAIL: $name: $*" >&2
    failures=$((failures + 1))
}

grep -q 'file format pei-i386' <<<"$dump" || fail "not an i386 PE image"
grep -Eq '^Magic[[:space:]]+010b[[:space:]]+\(PE32\)' <<<"$dump" || fail "not a PE32 (32-bit) optional header"
case $subsystem in
console) grep -Eq '^Subsystem[[:space:]]+00000003' <<<"$dump" || fail "not a console program" ;;
window) grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$dump" || fail "not a Windows (GUI) program: it would open a console" ;;
*) fail "unknown subsystem $subsystem" ;;
esac
# Vista is Windows 6.0: a program marked for a later one does not start there.
major=$(awk '/^MajorSubsystemVersion/ { print $2 }' <<<"$dump")
minor=$(awk '/^MinorSubsystemVersion/ { print $2 }' <<<"$dump")
((major < 6 || (major == 6 && minor == 0))) || fail "marked for Windows $major.$minor, later than Vista"

dlls=$(sed -nE 's/^[[:space:]]*DLL Name:[[:space:]]*([^[:space:]]+)$/\1/p' <<<"$dump" | tr '[:lower:]' '[:upper:]' | sort -u)
[[ -n $dlls ]] || fail "no imports found in the objdump output"
for dll in $dlls; do
    case $dll in
    LIBGCC* | LIBSTDC++* | LIBWINPTHREAD*) fail "needs the compiler runtime $dll" ;;
    *) [[ $allowed == *" $dll "* ]] || fail "imports from $dll, which is not among$allowed" ;;
    esac
done

if [[ $subsystem == window ]]; then
    # The manifest resource (type 24) as windres writes it back.
    manifest=$(i686-w64-mingw32-windres --input "$program" --input-format coff --output-format rc |
        awk '/^1 24 / { inside = 1; next } inside && /^END/ { exit } inside' | tr -d '\n')
    [[ -n $manifest ]] || fail "no manifest resource"
    [[ $manifest == *'name=""Microsoft.Windows.Common-Controls"" version=""6.0.0.0""'* ]] ||
        fail "its manifest does not ask for the common controls of version 6"
    [[ $manifest =~ \<dpiAware[^\>]*\>true\</dpiAware\> ]] || fail "its manifest does not declare it DPI-aware"
fi

((failures == 0)) || { echo "$dump" | grep -E 'DLL Name|Subsystem' >&2; exit 1; }
echo "$name: PE32 i386 $subsystem program for Vista and later, importing from $(echo $dlls | tr ' ' ',')"
