#!/usr/bin/env bash
# parlino.exe started without a command: from a command line (no console of
# its own) it complains and ends at once with exit code 2; with a console of
# its own, as after a double click (here: wine in a tmux terminal), it
# explains how to use it and waits for Enter instead of vanishing. It is
# the parlino.exe of the installed layout, the ZIP's, whose publication
# example then runs as shown from the folder it is in.
# Arguments: PARLINO_EXE WINE_RUN BUILD_FOLDER
set -euo pipefail
wine_run=$2 build=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/parlino-double-click.XXXXXX")
cmake --install "$build" --prefix "$work/zip" >"$work/install.log" 2>&1 || { cat "$work/install.log"; exit 1; }
parlino=$work/zip/bin/${1##*/}
socket=parlino-double-click-$$
trap 'tmux -L "$socket" kill-server 2>/dev/null || true; [[ -z ${WINEPREFIX:-} ]] || wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    cat "$work"/* >&2 2>/dev/null || true
    exit 1
}

status=0
"$wine_run" "$parlino" </dev/null >"$work/plain.out" 2>&1 || status=$?
((status == 2)) || fail "without a console of its own, no command gave exit code $status, expected 2"
! grep -q 'Press Enter' "$work/plain.out" || fail "without a console of its own, parlino waited for Enter"

tmux -L "$socket" -f /dev/null new-session -d -s window -x 100 -y 30 \
    "'$wine_run' '$parlino'; echo \$? >'$work/status'; sleep 60"
for _ in $(seq 300); do
    tmux -L "$socket" capture-pane -p -t window >"$work/screen" 2>/dev/null || true
    grep -q 'Press Enter to close this window.' "$work/screen" && break
    sleep 0.2
done
grep -q 'Press Enter to close this window.' "$work/screen" || fail "no introduction in a console of its own"
# Each publication it shows is where it says, by that name (not only by
# the .txt that run reads for a .pub), seen from parlino's folder.
examples=0
while read -r -a words; do
    [[ -f $(dirname "$parlino")/${words[2]//\\//} ]] || fail "the introduction names ${words[2]}, which is not there"
    (cd "$(dirname "$parlino")" && PARLINO_WINDOWS_SHARES=$work/zip "$wine_run" "$parlino" run --check "${words[@]:2}") \
        >"$work/example.out" 2>&1 ||
        fail "the introduction's ${words[*]}: $(cat "$work/example.out")"
    examples=$((examples + 1))
done < <(grep -E '^ *parlino run ' "$work/screen")
((examples > 0)) || fail "the introduction shows no publication example"
sleep 1
[[ ! -s $work/status ]] || fail "parlino ended without waiting for Enter"
tmux -L "$socket" send-keys -t window Enter
for _ in $(seq 150); do
    [[ -s $work/status ]] && break
    sleep 0.2
done
[[ $(cat "$work/status" 2>/dev/null) == 0 ]] || fail "after Enter parlino did not end with exit code 0"
echo "double click: introduction shown, its example publication found, closed by Enter; from a command line:" \
    "exit code 2 at once"
