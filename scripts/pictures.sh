#!/usr/bin/env bash
# Redraws the pictures under docs/, on a virtual X screen and on loopback:
#   docs/open-port-warning.png  the Windows DLL's message box under wine
#                               when port 40001 (the README's example) is
#                               taken, drawn at twice the usual size with
#                               wine's own fonts (Debian's fonts-wine)
#   docs/chat-two-windows.png   two `parlino chat` windows (xterm) in the
#                               middle of a conversation on ports 40001/40002,
#                               the right one with a line being typed
#   docs/chat-window.png        two ParlinoChat.exe windows under wine in
#                               the middle of a conversation, side by side
# Builds what it needs (the linux and windows presets' host and DLL). Not a
# test: run it by hand after a change that shows, and look at the pictures.
# Needs the packages of `bash scripts/setup.sh`; ports 40001 and 40002 free.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=${PARLINO_JOBS:-2}
port=40001 peer_port=40002

bash scripts/setup.sh
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$jobs" --target parlino
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs" --target Parlino parlino_open_port_warning ParlinoChat \
    parlino_window_driver

work=$(mktemp -d "${TMPDIR:-/tmp}/parlino-pictures.XXXXXX")
xvfb_pid='' xterm_pids=() window_pids=()
tmux_socket=parlino-pictures-$$
cleanup() {
    local pid
    for pid in "${xterm_pids[@]}" "${window_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    tmux -L "$tmux_socket" kill-server 2>/dev/null || true
    [[ -z "$xvfb_pid" ]] || kill "$xvfb_pid" 2>/dev/null || true
    [[ ! -d "$work/wineprefix" ]] || WINEPREFIX=$work/wineprefix wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
start_screen() { # WIDTHxHEIGHT: a fresh Xvfb in DISPLAY
    mkfifo "$work/display"
    Xvfb -displayfd 3 -screen 0 "$1x24" -br -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    xvfb_pid=$!
    read -r -t 30 display_number <"$work/display" || { echo "pictures: Xvfb did not start" >&2; exit 1; }
    rm "$work/display"
    export DISPLAY=":$display_number"
}

# ---- A wine prefix of its own, with wine's fonts ----
export WINEPREFIX=$work/wineprefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineboot --init >/dev/null 2>&1
# Wine's own fonts (Tahoma for text, Marlett for the title bar's close
# button), put where every wine finds them.
cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"

# ---- Two ParlinoChat.exe windows, at the usual 96 dots per inch ----
start_screen 1180x500
wineserver -k 2>/dev/null || true
wineserver -w
for key in 'HKCU\Control Panel\Desktop' 'HKCC\Software\Fonts'; do
    wine reg add "$key" /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1
done
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
window=build/windows/ParlinoChat.exe
driver=build/windows/tests/window/parlino_window_driver.exe
wine "$window" --port "$port" --peer "127.0.0.1:$peer_port" >/dev/null 2>&1 &
window_pids+=($!)
wine "$window" --port "$peer_port" --peer "127.0.0.1:$port" >/dev/null 2>&1 &
window_pids+=($!)
left=(-- window "$port" 60) right=(-- window "$peer_port" 60)
wine "$driver" "${right[@]}" -- place 596 12 572 470 "${left[@]}" -- place 12 12 572 470 \
    -- type "hello, is anybody on $peer_port?" "${right[@]}" -- wait-text "peer: hello" 10 \
    -- type "yes, I hear you fine" "${left[@]}" -- wait-text "peer: yes" 10 \
    -- type "good: the firewall lets UDP through, then" "${right[@]}" -- wait-text "peer: good" 10 \
    -- type "shall we try it between our two PCs next?" "${left[@]}" -- wait-text "peer: shall" 10 \
    -- type "yes: my address is the one the window shows" "${right[@]}" -- wait-text "peer: yes: my" 10
sleep 1
xwd -root -silent -display "$DISPLAY" |
    convert xwd:- -trim +repage -bordercolor black -border 12 docs/chat-window.png
echo "drew docs/chat-window.png"
wine "$driver" "${left[@]}" -- close 5 "${right[@]}" -- close 5
wineserver -k 2>/dev/null || true
kill "$xvfb_pid"
xvfb_pid=''
unset DISPLAY

# ---- The message box, at 192 dots per inch ----
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 192 /f >/dev/null 2>&1
wine reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d 192 /f >/dev/null 2>&1
wineserver -w
bash tests/windows/open_port_warning_screen.sh build/windows/tests/windows/parlino_open_port_warning.exe \
    build/windows/Parlino.dll "$WINEPREFIX" "$work/open-port-warning.png" "$port"
cp "$work/open-port-warning.png" docs/open-port-warning.png
echo "drew docs/open-port-warning.png"

# ---- Two chat windows: xterm on Xvfb, each showing a tmux session ----
start_screen 1400x360

parlino=$root/build/linux/parlino
chat_window() { # SESSION MY_PORT PEER_PORT X
    tmux -L "$tmux_socket" -f /dev/null new-session -d -s "$1" -x 74 -y 11 \
        "env PS1= LANG=C.UTF-8 bash --norc -c '$parlino chat --port $2 --peer 127.0.0.1:$3; sleep 600'"
    tmux -L "$tmux_socket" set -g status off
    xterm -geometry 74x11+"$4"+40 -fa 'DejaVu Sans Mono' -fs 11 -bg '#fdfdf8' -fg '#202020' \
        -bw 2 -T "parlino chat $2" -e tmux -L "$tmux_socket" attach -t "$1" &
    xterm_pids+=($!)
}
say() { # SESSION LINE
    tmux -L "$tmux_socket" send-keys -t "$1" -l "$2"
    tmux -L "$tmux_socket" send-keys -t "$1" Enter
    sleep 1.2
}
chat_window ann "$port" "$peer_port" 16
chat_window bob "$peer_port" "$port" 692
sleep 3
say ann "hello, is anybody on 40002?"
say bob "yes, bob here. I hear you fine"
say ann "good: the firewall lets UDP through, then"
say bob "shall we try it between our two machines next?"
say ann "yes: I am at the address my-IP shows above"
# A line being typed stays at the bottom, below the conversation.
tmux -L "$tmux_socket" send-keys -t bob -l "good, I will start mine on port 4000"
sleep 2
# The two windows, with a margin of the (black) screen around them.
xwd -root -silent -display "$DISPLAY" |
    convert xwd:- -trim +repage -bordercolor black -border 16 docs/chat-two-windows.png
echo "drew docs/chat-two-windows.png"
