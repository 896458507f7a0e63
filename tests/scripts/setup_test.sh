#!/usr/bin/env bash
# What set-up asks apt for, and how it meets a package mirror caught
# mid-sync. dpkg reports nothing installed; apt-get, apt-config and dpkg are
# fakes that record what they are asked and answer as each row says, so no
# package is installed and no network is needed.
# Usage: setup_test.sh REPOSITORY_ROOT
set -euo pipefail
root=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/parlino-setup-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/etc/sources.list.d"
stub() { # NAME BODY
    printf '#!/usr/bin/env bash\n%s\n' "$2" >"$work/bin/$1"
    chmod +x "$work/bin/$1"
}
# The machine's sources: the release suite and its updates in deb822 form,
# the security suite in both forms.
printf 'Types: deb\nURIs: http://mirror.invalid/debian\nSuites: bookworm bookworm-updates\nComponents: main\n\n%s\n' \
    'Types: deb
URIs: http://mirror.invalid/debian-security
Suites: bookworm-security
Components: main' >"$work/etc/sources.list.d/debian.sources"
echo 'deb [arch=amd64] http://mirror.invalid/debian-security bookworm-security main' >"$work/etc/sources.list"

stub dpkg-query 'exit 1'
stub dpkg 'echo "dpkg $*" >>"$FAKE/asked"; exit 0'
stub id 'echo 0'
stub cmake 'echo "cmake $*" >>"$FAKE/asked"; exit 42'
stub apt-config "echo \"list='$work/etc/sources.list' parts='$work/etc/sources.list.d/'\""
# FAKE_UPDATES: the outcome of each update in turn (the last one repeats):
# ok, or stale (the security suite's index at the wrong size).
# FAKE_INSTALL: ok; stale (fails unless apt is pointed at sources without
# the security suite that still hold the release and updates); never.
stub apt-get '
echo "apt-get $*" >>"$FAKE/asked"
stale() {
    echo "E: Failed to fetch http://mirror.invalid/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 192.0.2.1 80]"
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
    exit 100
}
if [[ " $* " == *" update "* ]]; then
    read -ra outcomes <<<"$FAKE_UPDATES"
    n=$(($(grep -c " update" "$FAKE/asked") - 1))
    ((n < ${#outcomes[@]})) || n=$((${#outcomes[@]} - 1))
    [[ ${outcomes[n]} == ok ]] || stale
    exit 0
fi
parts=$(sed -n "s/.*Dir::Etc::SourceParts=\([^ ]*\).*/\1/p" <<<"$*")
list=$(sed -n "s/.*Dir::Etc::SourceList=\([^ ]*\).*/\1/p" <<<"$*")
case $FAKE_INSTALL in
ok) exit 0 ;;
stale)
    [[ -n $parts ]] || { echo "E: Unable to correct problems, you have held broken packages."; exit 100; }
    ! cat "$list" "$parts"/* | grep -q bookworm-security || { echo "fake apt: security still listed"; exit 100; }
    # apt refuses a deb822 stanza without suites ("Malformed entry").
    ! grep -qiE "^Suites:[[:space:]]*$" "$parts"/* || { echo "E: Malformed entry 2 in sources file (Suite)"; exit 100; }
    cat "$parts"/* | grep -qx "Suites: bookworm bookworm-updates" || { echo "fake apt: release suite lost"; exit 100; }
    exit 0 ;;
*) echo "E: Unable to correct problems, you have held broken packages."; exit 100 ;;
esac'

# name | command | Windows route | updates | install | exit status | checks:
#   asks:P  an install asked for package P     never:G  no package matching G
#   says:T  the output holds T                 updates:N  N updates were run
#   noi386  the i386 architecture was not added
cases=(
    "demo on a bare machine|scripts/demo.sh|native|ok|ok|42|asks:build-essential asks:cmake asks:ninja-build asks:libcli11-dev never:wine* never:clang* never:libclang* never:valgrind never:xvfb never:imagemagick* never:*mingw* noi386"
    "all where 32-bit code runs|scripts/setup.sh|native|ok|ok|0|asks:wine32 asks:g++-mingw-w64-i686 never:qemu* updates:1"
    "all where it is emulated|scripts/setup.sh|emulated|ok|ok|0|asks:qemu-system-x86 asks:debootstrap asks:g++-mingw-w64-i686 never:wine* never:fonts-wine noi386"
    "update fails twice, then works|scripts/setup.sh|native|stale stale ok|ok|0|updates:3 says:failed_(try_2_of_3)"
    "a suite's index stays stale|scripts/setup.sh|native|stale|stale|0|updates:3 says:index_of_suite_bookworm-security:_File_has_unexpected_size_(374820_!=_376004)._Mirror_sync_in_progress? says:without_bookworm-security"
    "the install never works|scripts/setup.sh|native|stale|never|1|says:could_not_install says:run_'bash_scripts/setup.sh_all'_again"
)

# The machine's own source list, which set-up must leave as it was.
machine_sources() { find "$work/etc" -type f -print0 | sort -z | xargs -0 sha256sum; }
sources_before=$(machine_sources)
fail() {
    echo "FAIL: $name: $*" >&2
    cat "$work/out" "$FAKE/asked" >&2 2>/dev/null || true
    exit 1
}
for row in "${cases[@]}"; do
    IFS='|' read -r name command route updates install expected checks <<<"$row"
    export FAKE=$work/run FAKE_UPDATES=$updates FAKE_INSTALL=$install
    rm -rf "$FAKE" && mkdir "$FAKE" && touch "$FAKE/asked"
    status=0
    PATH=$work/bin:$PATH PARLINO_WINDOWS=$route PARLINO_APT_PAUSE=0 \
        bash "$root/$command" >"$work/out" 2>&1 </dev/null || status=$?
    ((status == expected)) || fail "exit status $status, not $expected"
    asked=" $(sed -n 's/^apt-get.* install//p' "$FAKE/asked" | sed 's/ -[^ ]*//g' | tr '\n' ' ') "
    for check in $checks; do
        value=${check#*:}
        case $check in
        asks:*) [[ $asked == *" $value "* ]] || fail "no install asked for $value" ;;
        never:*) for package in $asked; do
            # shellcheck disable=SC2053 # the value is a pattern
            [[ $package != $value ]] || fail "an install asked for $package"
        done ;;
        says:*) grep -qF -- "${value//_/ }" "$work/out" || fail "the output does not say '${value//_/ }'" ;;
        updates:*) (($(grep -c '^apt-get.* update' "$FAKE/asked") == value)) || fail "not $value updates" ;;
        noi386) ! grep -q -- '--add-architecture' "$FAKE/asked" || fail "the i386 architecture was added" ;;
        esac
    done
    [[ $(machine_sources) == "$sources_before" ]] || fail "the machine's source list was changed"
    echo "ok: $name"
done
