#!/usr/bin/env bash
# The Linux binaries carry the hardening of an optimised build: full RELRO
# (a GNU_RELRO segment and BIND_NOW), the stack protector (calls to
# __stack_chk_fail) and _FORTIFY_SOURCE (checked variants such as
# __snprintf_chk).
# Usage: check_hardening.sh BINARY...
set -euo pipefail
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
for binary in "$@"; do
    name=${binary##*/}
    readelf -lW "$binary" | grep -q 'GNU_RELRO' || fail "$name has no GNU_RELRO segment"
    readelf -dW "$binary" | grep -Eq '\((FLAGS|FLAGS_1)\).*\b(BIND_NOW|NOW)\b' ||
        fail "$name is not bound at load (no BIND_NOW): only partial RELRO"
    symbols=$(readelf --dyn-syms -W "$binary")
    grep -q '__stack_chk_fail' <<<"$symbols" || fail "$name has no stack protector (__stack_chk_fail)"
    grep -Eq '__[a-z0-9_]+_chk\b' <<<"$(grep -v __stack_chk_fail <<<"$symbols")" ||
        fail "$name calls no checked function: built without _FORTIFY_SOURCE"
done
((failures == 0)) || exit 1
echo "hardened: $*"
