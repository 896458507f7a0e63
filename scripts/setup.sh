#!/usr/bin/env bash
# Installs the Debian packages a job needs. Run as root on Debian 12;
# packages already present are not fetched again.
#   bash scripts/setup.sh demo   what `bash scripts/demo.sh` needs: the
#                                compiler, CMake, Ninja, CLI11, and what the
#                                linux preset's configure looks for
#   bash scripts/setup.sh        everything: the demo's packages and every
#                                build, test and picture tool, and what runs
#                                the Windows programs on this machine: 32-bit
#                                wine where it executes 32-bit code, else the
#                                emulated machine (scripts/windows/route.sh)
#   bash scripts/setup.sh emulator  what builds and runs the emulated machine
#                                for the Windows checks
#
# A package mirror caught mid-sync serves an index that does not match its
# Release file, and `apt-get update` fails for that one suite. The update is
# tried a few times; then the install decides. If the install fails while a
# suite's index is missing, it is tried once more with a source list that
# leaves that suite out, given to apt for that call only: the machine's own
# apt configuration is never changed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

# Configuring the linux preset finds GoogleTest (it builds the tests too)
# and ncursesw (the chat's screen on a terminal).
demo_packages=(
    build-essential cmake ninja-build pkg-config
    libcli11-dev libncurses-dev
    libgtest-dev libgmock-dev
)
test_packages=(
    git googletest libbenchmark-dev
    clang libclang-rt-14-dev valgrind
    g++-mingw-w64-i686 pandoc
    socat iproute2 nftables procps util-linux man-db tmux unicode-data
    xvfb xdotool x11-apps imagemagick xterm fonts-dejavu-core
)
# Windows programs on a machine that executes 32-bit code: wine32 needs the
# i386 architecture.
wine_packages=(wine wine32 fonts-wine)
# Elsewhere they run in the emulated machine, which has its own wine:
# Debian's system emulator and the tool that builds the guest's Debian.
emulator_packages=(qemu-system-x86 debootstrap e2fsprogs binutils)

windows_route() {
    bash "$here/windows/route.sh" 2>/dev/null || echo native
}

job=${1:-all}
packages=()
needs_i386=0
case $job in
demo) packages=("${demo_packages[@]}") ;;
emulator) packages=("${emulator_packages[@]}") ;;
all)
    packages=("${demo_packages[@]}" "${test_packages[@]}")
    if [[ $(windows_route) == native ]]; then
        packages+=("${wine_packages[@]}")
        needs_i386=1
    else
        packages+=("${emulator_packages[@]}")
    fi
    ;;
*)
    echo "usage: $0 [demo|all|emulator]" >&2
    exit 2
    ;;
esac

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
add_i386=0
if ((needs_i386)) && ! dpkg --print-foreign-architectures | grep -qx i386; then
    add_i386=1
fi

if [[ ${#missing[@]} -eq 0 && $add_i386 -eq 0 ]]; then
    exit 0
fi
if [[ $(id -u) -ne 0 ]]; then
    echo "setup: missing packages (${missing[*]}); run this script as root" >&2
    exit 1
fi
((add_i386 == 0)) || dpkg --add-architecture i386
export DEBIAN_FRONTEND=noninteractive

work=$(mktemp -d "${TMPDIR:-/tmp}/parlino-setup.XXXXXX")
trap 'rm -rf "$work"' EXIT
update_tries=3
update_pause=${PARLINO_APT_PAUSE:-10}

# The update's own status does not stop set-up: what it could not fetch is
# kept in its log, and the install says whether that mattered.
update() {
    local try
    for ((try = 1; ; try++)); do
        apt-get update -q >"$work/update.log" 2>&1 && { cat "$work/update.log"; return 0; }
        cat "$work/update.log"
        if ((try == update_tries)); then
            echo "setup: apt-get update failed $update_tries times; the install decides whether that matters"
            return 0
        fi
        echo "setup: apt-get update failed (try $try of $update_tries); trying again in $update_pause s"
        sleep "$update_pause"
    done
}

# "SUITE<TAB>REASON" for each suite whose index the last update could not
# fetch, from apt's lines such as
#   E: Failed to fetch http://.../dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (...). Mirror sync in progress? [IP: ...]
stale_suites() {
    sed -n 's|^[EW]: Failed to fetch [^ ]*/dists/\([^/ ]*\)/[^ ]* *\(.*\)$|\1\t\2|p' "$work/update.log" |
        sed 's/ *\[IP: [^]]*\]$//' | sort -u -t "$(printf '\t')" -k1,1
}

# Writes into $work/apt a copy of apt's source list and source parts without
# the suites named.
sources_without() {
    local list parts file
    eval "$(apt-config shell list Dir::Etc::SourceList/f parts Dir::Etc::SourceParts/d)"
    mkdir -p "$work/apt/parts"
    : >"$work/apt/sources.list"
    # One-line entries: "deb [options] URI SUITE COMPONENTS...".
    local one_line='{ line = $0; sub(/\[[^]]*\]/, "", line); split(line, f, " ")
        if ((f[1] == "deb" || f[1] == "deb-src") && (f[3] in drop)) next; print }'
    # deb822 stanzas: the suites are taken off their Suites field, and a
    # stanza left with none is dropped.
    local stanzas='BEGIN { RS = ""; ORS = "\n\n" }
        { out = ""; keep = 1; n = split($0, lines, "\n")
          for (i = 1; i <= n; i++) {
              line = lines[i]
              if (tolower(line) ~ /^suites:/) {
                  m = split(substr(line, 8), words, /[ \t]+/); line = "Suites:"; kept = 0
                  for (j = 1; j <= m; j++) if (words[j] != "" && !(words[j] in drop)) { line = line " " words[j]; kept++ }
                  if (!kept) keep = 0
              }
              out = out line "\n"
          }
          if (keep) printf "%s", out }'
    local begin='BEGIN { n = split(suites, s, " "); for (i = 1; i <= n; i++) drop[s[i]] = 1 }'
    [[ ! -f $list ]] || awk -v suites="$*" "$begin $one_line" "$list" >"$work/apt/sources.list"
    for file in "$parts"*.list "$parts"*.sources; do
        [[ -f $file ]] || continue
        if [[ $file == *.list ]]; then
            awk -v suites="$*" "$begin $one_line" "$file" >"$work/apt/parts/${file##*/}"
        else
            awk -v suites="$*" "$begin $stanzas" "$file" >"$work/apt/parts/${file##*/}"
        fi
    done
}

install() { # [APT OPTIONS...]
    apt-get "$@" install -y -q --no-install-recommends "${missing[@]}"
}

give_up() {
    echo "setup: could not install ${missing[*]}." >&2
    echo "setup: apt-get's own messages are above. Check the network and the mirror named in" \
        "/etc/apt/sources.list.d/, then run 'bash scripts/setup.sh $job' again." >&2
    exit 1
}

update
install && exit 0
mapfile -t stale < <(stale_suites)
((${#stale[@]} > 0)) || give_up
suites=()
for entry in "${stale[@]}"; do
    suites+=("${entry%%$'\t'*}")
    echo "setup: apt could not fetch the index of suite ${entry%%$'\t'*}: ${entry#*$'\t'}"
done
sources_without "${suites[@]}"
echo "setup: installing again from a source list without ${suites[*]}, for this install only" \
    "(the machine's apt sources are unchanged)"
install -o "Dir::Etc::SourceList=$work/apt/sources.list" -o "Dir::Etc::SourceParts=$work/apt/parts" || give_up
