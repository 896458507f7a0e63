#!/usr/bin/env bash
# The open-port warning on a real (virtual) screen: under Xvfb, wine runs a
# small host that makes the shipped DLL open a port already in use. The
# script waits for the message box, checks its title, takes a screenshot,
# dismisses it with the Return key, and checks that the status variable is
# set to "Error" only after the box has gone.
# Usage: open_port_warning_screen.sh HOST.exe Parlino.dll WINEPREFIX SCREENSHOT.png [PORT]
# PORT is the port held and asked for (default: one the system picks);
# scripts/pictures.sh gives the port of the README's example.
set -euo pipefail
host=$1 dll=$2 prefix=$3 screenshot=$4 port=${5:-}
title='Parlino 1.0.0'

fail() {
    echo "FAIL: $*" >&2
    [[ ! -s "${log:-}" ]] || { echo "--- host output:" >&2; cat "$log" >&2; }
    exit 1
}
windows_run=$(cd "$(dirname "$0")/../.." && pwd)/scripts/windows-run.sh
for tool in Xvfb xdotool xwd convert wine; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/setup.sh installs it)"
done

work=$(mktemp -d)
log=$work/host.log
xvfb_pid='' host_pid=''
cleanup() {
    [[ -z "$host_pid" ]] || kill "$host_pid" 2>/dev/null || true
    [[ -z "$xvfb_pid" ]] || kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display number itself and writes it to the pipe.
mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
display_number=''
read -r -t 30 display_number <"$work/display" || true
[[ -n "$display_number" ]] || fail "no display server: Xvfb did not start ($(cat "$work/xvfb.log"))"
export DISPLAY=":$display_number"
xdotool getmouselocation >/dev/null 2>&1 || fail "no display server answers on $DISPLAY"
echo "Xvfb on $DISPLAY"

# Wine keeps the display, in the prefix given. A wine server still up there
# (the system processes an earlier wineboot started linger a few seconds)
# has no display or another one, and would take the box: it is stopped, so
# that wine starts again on this screen.
export WINEPREFIX=$prefix PARLINO_KEEP_DISPLAY=1
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
# There is no window manager: wine draws the title bar itself, as a desktop would.
"$windows_run" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 ||
    fail "cannot configure wine's X11 driver in $prefix"
"$windows_run" "$host" "$dll" $port >"$log" 2>"$work/wine.log" &
host_pid=$!

window=''
for _ in $(seq 600); do
    window=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n1 || true)
    [[ -z "$window" ]] || break
    kill -0 "$host_pid" 2>/dev/null || fail "the host ended without showing a message box"
    sleep 0.1
done
[[ -n "$window" ]] || fail "no window titled '$title' appeared within 60 s"
grep -q '^holding port ' "$log" || fail "the host did not report the port it holds"

name=$(xdotool getwindowname "$window")
[[ "$name" == "$title" ]] || fail "the box's title is '$name', not '$title'"
if grep -q '^variable qv_chat_open_port_status=' "$log"; then
    fail "the status was set while the message box was still on screen"
fi

# Picture of the box with a margin of the (black) screen around it.
sleep 1 # let wine finish painting the box
eval "$(xdotool getwindowgeometry --shell "$window")"
margin=24
xwd -root -silent -display "$DISPLAY" |
    convert xwd:- -crop "$((WIDTH + 2 * margin))x$((HEIGHT + 2 * margin))+$((X - margin))+$((Y - margin))" \
        +repage "$screenshot"
[[ -s "$screenshot" ]] || fail "no screenshot was written"
echo "screenshot: $screenshot (${WIDTH}x${HEIGHT} box at $X,$Y)"

grep -q '^variable qv_chat_open_port_status=' "$log" &&
    fail "the status was set while the message box was still on screen"

# Dismiss the box; without a window manager wine takes a moment to return.
for attempt in $(seq 10); do
    # A key for the focused window first; a key sent to the box itself next.
    if ((attempt % 2 == 1)); then
        xdotool key Return || true
    else
        xdotool key --window "$window" Return 2>/dev/null || true
    fi
    for _ in $(seq 50); do
        kill -0 "$host_pid" 2>/dev/null || break 2
        sleep 0.1
    done
done
host_status=0
wait "$host_pid" || host_status=$?
host_pid=''
((host_status == 0)) || fail "the host ended with status $host_status"
echo "dismissed after $attempt key press(es)"
tr -d '\r' <"$log" >"$log.lines" && mv "$log.lines" "$log" # wine's C runtime writes CR LF

grep -qx 'variable qv_chat_open_port_status=Error (box on screen: no)' "$log" ||
    fail "the status did not become Error after the box was dismissed"
grep -qx 'action returned 1' "$log" || fail "nbExecAction did not return 1"
cat "$log"
