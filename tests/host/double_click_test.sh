#!/usr/bin/env bash
# parlino.exe started without a command: from a command line (no console of
# its own) it complains and ends at once with exit code 2; with a console of
# its own, as after a double click (here: wine in a tmux terminal), it
# explains how to use it and waits for Enter instead of vanishing.
# Arguments: PARLINO_EXE WINE_RUN
set -euo pipefail
parlino=$1 wine_run=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/parlino-double-click.XXXXXX")
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
grep -qF 'parlino chat --port 40001 --peer' "$work/screen" || fail "the introduction shows no chat example"
sleep 1
[[ ! -s $work/status ]] || fail "parlino ended without waiting for Enter"
tmux -L "$socket" send-keys -t window Enter
for _ in $(seq 150); do
    [[ -s $work/status ]] && break
    sleep 0.2
done
[[ $(cat "$work/status" 2>/dev/null) == 0 ]] || fail "after Enter parlino did not end with exit code 0"
echo "double click: introduction shown, closed by Enter; from a command line: exit code 2 at once"
