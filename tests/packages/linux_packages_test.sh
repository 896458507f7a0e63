#!/usr/bin/env bash
# The .deb and the .tar.gz as CPack makes them from this build, read as a
# user gets them: the .deb's files as it installs them (extracted below a
# folder standing for /), the tarball unpacked in a folder whose name has a
# space. Each package's manual page passes the manual-page test with its
# files found in that package (absolute in the .deb, from the unpacked
# folder in the tarball); the README they carry is the installed program's,
# every path it names being in the package; the `parlino run` commands of
# the documents they carry find their files; and the tarball's parlino,
# started from anywhere, finds its module.
# Usage: linux_packages_test.sh BUILD_FOLDER
set -euo pipefail
build=$(cd "$1" && pwd)
tests=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/parlino-packages.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
(cd "$work" && cpack --config "$build/CPackConfig.cmake" -G "TGZ;DEB" -B "$work/packages") >"$work/cpack.out" 2>&1 ||
    fail "cpack: $(cat "$work/cpack.out")"
mkdir "$work/un packed" "$work/deb"
tar -xzf "$work"/packages/*.tar.gz -C "$work/un packed"
tarball=$(echo "$work/un packed"/*/)
tarball=${tarball%/}
dpkg-deb -x "$work"/packages/*.deb "$work/deb"
deb=$work/deb

for root in "$tarball" "$deb/usr"; do
    page=$(find "$root/share/man" -name 'parlino.1*' | head -1)
    [[ -n $page ]] || fail "no manual page in ${root#"$work"/}"
    bash "$tests/host/man_page_test.sh" "$build/parlino" "$page" "${root%/usr}" >"$work/man.out" 2>&1 ||
        fail "the page of ${root#"$work"/}: $(cat "$work/man.out")"
done

# The README of the installed program: every path it names is in the
# packages (absolute ones in the .deb; others beside the README or in the
# unpacked tarball), so it gives no step of the source tree.
readme=$tarball/share/doc/Parlino/README.md
[[ -s $readme ]] || fail "the tarball has no README.md beside its guides"
cmp -s "$readme" "$deb/usr/share/doc/Parlino/README.md" || fail "the .deb and the tarball carry different READMEs"
paths=$(grep -oE '(^|[ `(])(\.{0,2}/)?[A-Za-z_][A-Za-z0-9_.-]*(/[A-Za-z0-9_.-]*)+' "$readme" | sed -E 's/^[ `(]//' | sort -u)
[[ -n $paths ]] || fail "the README names no file"
for path in $paths; do
    case $path in
    /*) [[ -e $deb$path ]] || fail "the README names $path, which the .deb does not install" ;;
    *) [[ -e $(dirname "$readme")/$path || -e $tarball/$path ]] ||
        fail "the README names $path, which neither package holds" ;;
    esac
done

docs=("$readme" "$tarball"/share/doc/Parlino/docs/*.md)
bash "$tests/docs/check_commands.sh" tarball "$tarball" "$tarball/bin/parlino" -- "${docs[@]}" >"$work/commands.out" 2>&1 ||
    fail "$(cat "$work/commands.out")"
bash "$tests/docs/check_commands.sh" deb "$deb" "$deb/usr/bin/parlino" -- "${docs[@]}" >>"$work/commands.out" 2>&1 ||
    fail "$(cat "$work/commands.out")"

(cd "$work" && "$tarball/bin/parlino" info) >"$work/info.out" 2>&1 ||
    fail "the tarball's parlino, unpacked in a folder with a space, cannot use its module: $(cat "$work/info.out")"
echo "packages: $(cd "$work/packages" && ls *.deb *.tar.gz | tr '\n' ' ')- manual pages, README and the documents'" \
    "commands as each package holds them"
