#!/usr/bin/env bash
# `bash scripts/demo.sh` on a bare Debian machine: with dpkg reporting
# nothing installed and apt-get only recording what it is asked for, the
# demo's set-up asks for the compiler, CMake, Ninja and CLI11, and for none
# of the test tools (wine, clang, valgrind, Xvfb, ImageMagick, mingw-w64).
# The stubbed cmake stops the demo right after its set-up.
# Usage: demo_setup_test.sh REPOSITORY_ROOT
set -euo pipefail
root=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/parlino-setup-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
stub() { # NAME BODY
    printf '#!/usr/bin/env bash\n%s\n' "$2" >"$work/bin/$1"
    chmod +x "$work/bin/$1"
}
stub dpkg-query 'exit 1'
stub dpkg 'echo "dpkg $*" >>"'"$work"'/asked"; exit 0'
stub apt-get 'echo "apt-get $*" >>"'"$work"'/asked"; exit 0'
stub id 'echo 0'
stub cmake 'echo "cmake $*" >>"'"$work"'/asked"; exit 42'

status=0
PATH=$work/bin:$PATH bash "$root/scripts/demo.sh" >"$work/demo.out" 2>&1 || status=$?
fail() {
    echo "FAIL: $*" >&2
    cat "$work/demo.out" "$work/asked" >&2 2>/dev/null || true
    exit 1
}
((status == 42)) || fail "the demo did not go from its set-up to cmake (status $status)"
install=$(grep '^apt-get .*install' "$work/asked" || true)
[[ -n $install ]] || fail "the demo's set-up installed nothing on a bare machine"
packages=" $(sed 's/^apt-get.* install//; s/ -[^ ]*//g' <<<"$install" | tr '\n' ' ') "
for needed in build-essential cmake ninja-build libcli11-dev; do
    [[ $packages == *" $needed "* ]] || fail "the demo's set-up does not install $needed"
done
for package in $packages; do
    case $package in
    wine* | clang* | libclang* | valgrind | xvfb | imagemagick* | *mingw*)
        fail "the demo's set-up installs $package, which only the tests need" ;;
    esac
done
! grep -q -- '--add-architecture' "$work/asked" || fail "the demo's set-up adds the i386 architecture"
echo "demo set-up asks for:$packages"
