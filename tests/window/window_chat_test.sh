#!/usr/bin/env bash
# ParlinoChat.exe under wine on a virtual screen (Xvfb), driven from outside
# as a person and a screen reader would (window_driver.exe), with socat as
# the other side on 127.0.0.1:
#   - a line from the peer shows in the window's text; ESC and U+202E show
#     as code points; nothing invisible gets through raw; 120 lines at once
#     (more than one batch) each show once, on a line of their own;
#   - a line typed into the focused field and Enter reach the peer as the
#     exact UTF-8 bytes, up to a "|"; a line longer than a datagram is not
#     sent, and the window says why; Tab and the Alt keys move the keyboard;
#   - during a flood of 4,000 lines a second (sent from this shell) the
#     window answers WM_NULL within 500 ms for 5 s (and as fast with nothing
#     arriving), keeps a bounded conversation and memory, and closing it
#     ends the process within a second while lines arrive, freeing the port;
#   - Check link (Alt+C, after the peer's port in Tab order) against a
#     Linux parlino check on 127.0.0.1 judges that lines cross both ways, the
#     peer's check too, with no probe in the conversation and a typed line
#     sent meanwhile; with nothing on the peer's port it judges that no
#     program holds it; the button is disabled while the window answers
#     WM_NULL as fast as ever; closing the window during a check ends it
#     within a second;
#   - with its port taken, the module's own message box is on the screen
#     and its text in the status line;
#   - two windows chat with each other in cp1252, and Check link in both
#     judges that lines cross both ways, the second pressed as the first
#     one's probes ask in its status line; one closed just after a line
#     came ends at once, not after the receive's wait; the next start, from
#     the ZIP's layout with no arguments, finds the module in ..\lib and
#     remembers the chat; Enter opens its port and Close frees it.
# On failure, a picture of the screen goes to PICTURES/window-failure.png.
# Usage: window_chat_test.sh PARLINOCHAT.exe DRIVER.exe FREE_UDP_PORTS.exe WINDOWS_RUN WINEPREFIX PICTURES
#                             PARLINO.exe LINUX_PARLINO
set -euo pipefail
chat=$1 driver=$2 free_udp_ports=$3 windows_run=$4 prefix=$5 pictures=$6 parlino_exe=$7 linux_parlino=$8
# Controls of the window (host/window/controls.h).
port_field=103 close_button=105 peer_address_field=107 peer_port_field=109 line_field=113 send_button=114 check_button=116
# Inside the emulated machine every wine call costs several times more.
# Natively a window closes in tens of milliseconds: half a second is loose,
# and still tells a close that sat out the receive's wait.
# The window's check waits for the other side's at least 5 s (--check-wait
# 0), long enough for a Linux parlino to start, but not a parlino.exe in the
# emulated machine.
if [[ ${PARLINO_EMULATED:-0} != 0 ]]; then
    answer_bound=2000 close_bound=4 check_wait=30
else
    answer_bound=500 close_bound=0.5 check_wait=0
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/parlino-window-test.XXXXXX")
pids=() xvfb_pid=''
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
    [[ -z $xvfb_pid ]] || kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    # The screen as it was, for whoever looks into the failure.
    [[ -z ${DISPLAY:-} ]] || import -display "$DISPLAY" -window root "$pictures/window-failure.png" 2>/dev/null || true
    local file
    for file in "$work"/*.out; do
        [[ -s $file ]] && { echo "---- ${file##*/}" >&2; tail -n 80 "$file" >&2; }
    done
    exit 1
}
for tool in Xvfb socat ss import wine; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/setup.sh installs it)"
done

mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
display_number=''
read -r -t 30 display_number <"$work/display" || true
[[ -n $display_number ]] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$display_number" WINEPREFIX=$prefix PARLINO_KEEP_DISPLAY=1 LC_ALL=C.UTF-8
# A wine server still up in the prefix has no display, or another one.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
# No window manager: wine draws the frames itself.
"$windows_run" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 ||
    fail "cannot configure wine's X11 driver in $prefix"

mapfile -t ports < <("$windows_run" "$free_udp_ports" 7 | tr -d '\r')
((${#ports[@]} == 7)) || fail "no free ports"
a=${ports[0]} peer=${ports[1]} taken=${ports[2]} b=${ports[3]} c=${ports[4]} checker=${ports[5]} nobody=${ports[6]}
# The other side of Check link: a Linux parlino check, or where none runs
# (not built, or the emulated machine lacks its libraries) a parlino.exe one.
if "$linux_parlino" --version >/dev/null 2>&1; then
    peer_check() { "$linux_parlino" check "$@"; }
else
    peer_check() { "$windows_run" "$parlino_exe" check "$@"; }
    echo "no Linux parlino runs here ($linux_parlino): parlino.exe is the other side of Check link"
fi

drive() {
    echo "--- driver $*" >>"$work/driver.out"
    "$windows_run" "$driver" "$@" >>"$work/driver.out" 2>&1 || fail "the driver's steps failed: $*"
}
# start_window NAME [ARGUMENT...]: ParlinoChat.exe ($program, the built
# one unless set) in the background; its process id in window_pid.
start_window() {
    local name=$1
    shift
    "$windows_run" "${program:-$chat}" "$@" >"$work/$name.out" 2>&1 &
    window_pid=$!
    pids+=("$window_pid")
}
# ended PID: the process this script started has ended (waited for).
ended() {
    local tenths
    for ((tenths = 0; tenths < 100; tenths++)); do
        kill -0 "$1" 2>/dev/null || { wait "$1" 2>/dev/null || true; return 0; }
        sleep 0.1
    done
    return 1
}
port_is_free() { [[ -z $(ss -Hlun "sport = :$1") ]]; }
peer_says() { printf "$1" | socat -u - "UDP:127.0.0.1:$a"; }
# flood PORT RATE: lines to 127.0.0.1:PORT at RATE a second, one datagram
# each, from this shell (not through wine, whose server the window's receive
# needs), until $work/flood.stop exists; then "SENT MILLISECONDS" in
# $work/flood.sent.
flood() {
    local port=$1 rate=$2 sent=0 start now due
    exec 5>"/dev/udp/127.0.0.1/$port" 6<> <(:)
    start=${EPOCHREALTIME/./}
    while [[ ! -e $work/flood.stop ]]; do
        now=${EPOCHREALTIME/./}
        due=$(((now - start) * rate / 1000000))
        while ((sent < due)); do
            printf 'flood line %d' "$sent" >&5 2>/dev/null || true
            ((++sent))
        done
        read -r -t 0.01 -u 6 || true # 10 ms, without a process of its own
    done
    now=${EPOCHREALTIME/./}
    echo "$sent $(((now - start) / 1000))" >"$work/flood.sent"
}
# Each drive is one start of the driver: few, for the emulated machine,
# where a start of a Windows program costs seconds.

# ---- A window and socat: lines in, a typed line out, a flood ----
socat -u "UDP-RECV:$peer,bind=127.0.0.1" "OPEN:$work/peer.bytes,creat,append" &
pids+=($!)
start_window first --port "$a" --peer="127.0.0.1:$peer" --check-seconds 2 --check-wait "$check_wait"
first=$window_pid
for _ in $(seq 600); do
    port_is_free "$a" || break
    kill -0 "$first" 2>/dev/null || fail "the window ended at its start"
    sleep 0.1
done
port_is_free "$a" && fail "the window did not open port $a within 60 s"
peer_says 'hello from socat'
peer_says 'esc \033[2J end'
peer_says 'bidi evil\342\200\256txt.exe end'
# More lines at once than the window takes in one batch (100 at most):
# each shows once, none left waiting, none joined to the line before it.
# The emulated machine's system queues only about 30 datagrams for a port,
# and its wine takes them a few a second, so there the burst is 25 lines
# (within one batch); here the system queues all 120.
burst=120
[[ -n ${PARLINO_EMULATED:-} ]] && burst=25
exec 7>"/dev/udp/127.0.0.1/$a"
for ((i = 1; i <= burst; i++)); do printf 'burst line %d' "$i" >&7; done
exec 7>&-
typed='héllo ポ wörld'
# A line ends at "|"; one of 65,508 bytes (21,836 times ポ) is more than a
# datagram carries: the window says so and sends nothing. With nothing
# arriving, the receive's wait of about a second is never the window's.
drive window "$a" 60 -- wait-line "peer: burst line $burst" 20 -- count 'peer: burst line ' "$burst" \
    -- wait-line 'peer: hello from socat' 1 -- wait-line 'peer: esc <U+001B>[2J end' 1 \
    -- wait-line 'peer: bidi evil<U+202E>txt.exe end' 1 -- clean \
    -- type "$typed" -- wait-text "me: $typed" 10 \
    -- key tab "$send_button" -- key alt-l "$port_field" -- key alt-t "$line_field" \
    -- type 'cut|here' -- status-has 'Only the text before "|" was sent' 10 \
    -- paste 21836 ポ -- status-has '65,508 bytes in UTF-8, more than one datagram carries' 10 \
    -- answers 2 "$answer_bound"
cmp -s "$work/peer.bytes" <(printf 'h\303\251llo \343\203\235 w\303\266rldcut') ||
    fail "the peer received $(od -An -c "$work/peer.bytes" | head -c 300), not the typed lines' UTF-8 up to the \"|\""
# Check link: the other side's check starts once the window's check has
# its socket toward it, so that no probe comes before the button is pressed
# (the conversation would rightly show it). Then, with nothing on the peer's
# port, no program holds it.
(
    for _ in $(seq 600); do
        [[ -n $(ss -Hun "dport = :$checker") ]] && break
        sleep 0.1
    done
    exec > "$work/peer-check.out" 2>&1
    peer_check --port "$checker" --peer "127.0.0.1:$a" --seconds 1 --wait 60
) &
peer_check_pid=$!
pids+=("$peer_check_pid")
drive window "$a" 60 -- key alt-p "$peer_port_field" -- type "$checker" -- key alt-p "$peer_port_field" \
    -- key tab "$check_button" -- key alt-c "$line_field" -- enabled "$check_button" no -- answers 1 "$answer_bound" \
    -- paste 1 'while checking' -- wait-text 'check: Lines cross both ways' 60 -- enabled "$check_button" yes \
    -- status-has 'Lines cross both ways' 1 -- wait-text 'me: while checking' 1 \
    -- key alt-p "$peer_port_field" -- type "$nobody" -- key alt-c "$line_field" -- answers 4 "$answer_bound" \
    -- wait-text "check: No program holds port $nobody at 127.0.0.1" $((check_wait + 20)) \
    -- no-text 'parlino check probe'
wait "$peer_check_pid" || fail "the other side's check of the window's link ended with exit code $?, not 0 (both ways)"
grep -qE "^heard: [0-9]+ probes? from 127\.0\.0\.1:$a \(windows\)" <(tr -d '\r' <"$work/peer-check.out") ||
    fail "the other side's check did not hear the window's probes"
# A flood of 4,000 lines a second, for the 5 s the window is watched and
# while it closes.
flood "$a" 4000 &
flood_pid=$!
pids+=("$flood_pid")
drive window "$a" 60 -- wait-text 'peer: flood line' 20 -- answers 5 "$answer_bound" -- lines-at-most 2500 \
    -- memory-at-most 100 -- key alt-c "$line_field" -- enabled "$check_button" no -- close "$close_bound"
touch "$work/flood.stop"
wait "$flood_pid" || true
read -r sent milliseconds <"$work/flood.sent"
echo "the flood: $sent lines in $milliseconds ms" >>"$work/driver.out"
# The sender keeps to the rate as long as it gets the processor; half the
# rate would be no flood to speak of.
((sent * 1000 >= 2000 * milliseconds)) || fail "the flood sent only $sent lines in $milliseconds ms"
ended "$first" || fail "the first window's process still runs"
port_is_free "$a" || fail "port $a is still taken after the window closed"

# ---- The port taken: the module's box on screen, its text in the status ----
socat -u "UDP-RECV:$taken" /dev/null &
holder=$!
pids+=("$holder")
sleep 0.5
start_window taken --port "$taken"
taken_pid=$window_pid
drive box 'Choose another local port,' 60 -- dismiss -- window-closed 20 \
    -- status-has 'Choose another local port,' 20 -- status-has "Port $taken is in use by another program" 1 \
    -- close 5
ended "$taken_pid" || fail "the window whose port was taken still runs"
kill "$holder"

# ---- Two windows chat; the next start remembers the last chat ----
# Both in cp1252: what one sends the other reads, and so does a line of
# cp1252 bytes from this shell.
start_window b --port "$b" --peer "127.0.0.1:$c" --check-seconds 1 --check-wait "$check_wait" --charset cp1252
b_pid=$window_pid
start_window c --port "$c" --peer "127.0.0.1:$b" --check-seconds 1 --check-wait "$check_wait" --charset cp1252
c_pid=$window_pid
for _ in $(seq 600); do
    port_is_free "$c" || break
    sleep 0.1
done
printf 'caf\351 in cp1252' | socat -u - "UDP:127.0.0.1:$c"
# Both ports open before the first line goes. Each checks the link with
# the other, the second told to by the first one's probes. The first window
# is closed just after a line came, when the receive has begun its wait of
# about a second again: the window ends that wait, it does not sit it out.
drive window "$c" 60 -- window "$b" 60 -- type 'héllo from b' -- wait-text 'me: héllo from b' 5 \
    -- window "$c" 5 -- wait-text 'peer: héllo from b' 20 -- wait-text 'peer: café in cp1252' 5 \
    -- type 'and hello from c' -- window "$b" 5 -- wait-text 'peer: and hello from c' 20 \
    -- window "$c" 5 -- key alt-c "$line_field" -- window "$b" 5 -- status-has 'checking the link: press Check link' 5 \
    -- key alt-c "$line_field" -- wait-text 'check: Lines cross both ways' 20 \
    -- window "$c" 5 -- wait-text 'check: Lines cross both ways' 20 \
    -- type 'bye' -- window "$b" 5 -- wait-text 'peer: bye' 20 -- close "$close_bound" \
    -- window "$c" 5 -- close "$close_bound"
ended "$b_pid" && ended "$c_pid" || fail "a chat window still runs"
# As unpacked from the ZIP and double-clicked: bin\ParlinoChat.exe with no
# arguments finds ..\lib\Parlino.dll.
mkdir -p "$work/unpacked/bin" "$work/unpacked/lib"
cp "$chat" "$work/unpacked/bin/"
cp "$(dirname "$chat")/Parlino.dll" "$work/unpacked/lib/"
program=$work/unpacked/bin/${chat##*/} start_window again
again_pid=$window_pid
# Enter in the peer's port, no port being open, opens the remembered one;
# Close frees it while the window stays.
drive window-closed 60 -- field "$port_field" "$c" -- field "$peer_address_field" 127.0.0.1 \
    -- field "$peer_port_field" "$b" -- key alt-p "$peer_port_field" -- paste 1 "$b" -- window "$c" 20
port_is_free "$c" && fail "port $c is not taken after Enter"
drive window "$c" 5 -- click "$close_button"
for _ in $(seq 50); do
    port_is_free "$c" && break
    sleep 0.1
done
port_is_free "$c" || fail "port $c is still taken 5 s after Close"
drive window-closed 5 -- close 5
ended "$again_pid" || fail "the window started without arguments still runs"
cat "$work/driver.out"
