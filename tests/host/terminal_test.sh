#!/usr/bin/env bash
# parlino chat on a real terminal (tmux): an arriving line does not break
# into the line being typed, typed non-ASCII text goes out as UTF-8 (or in
# the --charset chosen), received text is shown decoded and visibly, Ctrl-U
# clears the typed line, and Ctrl-C ends with 130 on a line of its own at
# once, sending nothing of the line it abandons. Under wine the same,
# through the Windows console.
# Arguments: PARLINO FREE_UDP_PORTS EXAMPLES_FOLDER [WINE_RUN]
source "$(dirname "$0")/lib.sh"
wine_run=${4:-}
runner=()
limit=20
if [[ -n $wine_run ]]; then
    stop_wine_server_at_end
    runner=("$wine_run")
    limit=90
    mapfile -t ports < <("$wine_run" "$free_udp_ports" 2 | tr -d '\r')
else
    mapfile -t ports < <("$free_udp_ports" 2)
fi
tmux_socket=parlino-test-$$
extra_cleanup+="; tmux -L $tmux_socket kill-server 2>/dev/null"
screen() { tmux -L "$tmux_socket" capture-pane -p -t chat; }
wait_on_screen() { # TEXT [SECONDS]
    local tenths
    for ((tenths = 0; tenths < ${2:-$limit} * 10; tenths++)); do
        screen | grep -qF -- "$1" && return 0
        sleep 0.1
    done
    screen >"$work/screen.out"
    fail "the terminal never showed \"$1\""
}
keys() { tmux -L "$tmux_socket" send-keys -t chat "$@"; }

# start_chat [OPTION...]: parlino chat in a fresh terminal; what it sends
# is collected in $work/sent.
listener=
start_chat() {
    tmux -L "$tmux_socket" kill-session -t chat 2>/dev/null || true
    if [[ -n $listener ]]; then
        kill "$listener"
        wait_exit "$listener"
    fi
    : >"$work/sent"
    socat -u "UDP-RECV:${ports[1]},bind=127.0.0.1" "OPEN:$work/sent,append" &
    listener=$!
    started_pids+=($!)
    local command
    printf -v command '%q ' env LANG=C.UTF-8 "${runner[@]}" "$parlino" chat --port "${ports[0]}" \
        --peer "127.0.0.1:${ports[1]}" "$@"
    # The time it ended, in microseconds, for the Ctrl-C test.
    tmux -L "$tmux_socket" new-session -d -s chat -x 120 -y 40 \
        "$command; status=\$?; date +%s%6N >'$work/ended'; echo EXIT=\$status; sleep 600"
    wait_on_screen "Type a line"
}
datagram() { printf "$1" | socat -u - "UDP:127.0.0.1:${ports[0]}"; }

start_chat
if [[ -z $wine_run ]]; then
    # The console under wine has its own line editing.
    keys -l 'cleared'
    keys C-u
fi
keys -l 'half typed'
datagram 'interrupting you'
wait_on_screen "< interrupting you"
screen | grep -qE '^\[[0-9:]{8}\] < interrupting you$' ||
    { screen >"$work/screen.out"; fail "the arriving line did not start a line of its own"; }
if [[ -z $wine_run ]]; then
    # The typed line, whole, below the one that arrived.
    [[ $(screen | grep -v '^$' | tail -1) == "> half typed" ]] ||
        { screen >"$work/screen.out"; fail "the typed line was broken"; }
fi
keys -l ' café Grüße'
keys Enter
for ((tenths = 0; tenths < 100; tenths++)); do
    grep -qF 'half typed café Grüße' "$work/sent" && break
    sleep 0.1
done
grep -qF 'half typed café Grüße' "$work/sent" ||
    fail "the typed line did not go out as UTF-8: $(cat -A "$work/sent")"
! grep -qF 'cleared' "$work/sent" || fail "Ctrl-U did not clear the line: $(cat -A "$work/sent")"
datagram 'Gr\303\274\303\237e aus K\303\266ln'
wait_on_screen "< Grüße aus Köln"
send_hostile_lines "${ports[0]}"
for ((i = 1; i < ${#hostile_lines[@]}; i += 2)); do
    wait_on_screen "< ${hostile_lines[i]}"
done
keys -l 'abandoned'
sleep 0.3
# Ctrl-C ends the chat at once, whatever its receive was waiting for; an
# Enter right after it sends nothing. The time runs from before tmux is
# asked for the key to after the shell saw parlino end.
pressed=${EPOCHREALTIME/./}
keys C-c
keys Enter
wait_on_screen "EXIT=130"
took=$(($(cat "$work/ended") - pressed))
# A process under wine ends through the wine server: more room there. In the
# emulated machine (tests/support/time_bounds.h) every instruction is
# translated and the wine server's round trips cost several times more.
if [[ -z $wine_run ]]; then
    bound=100
elif [[ -z ${PARLINO_EMULATED:-} ]]; then
    bound=300
else
    bound=1000
fi
((took < bound * 1000)) || fail "Ctrl-C took $((took / 1000)) ms to end the chat, more than $bound ms"
! screen | grep -qF "^Cport" || fail "Ctrl-C left ^C on the line of the closing"
wait_on_screen "port ${ports[0]} closed"
sleep 0.2
! grep -qF 'abandoned' "$work/sent" || fail "Ctrl-C sent the line it abandoned: $(cat -A "$work/sent")"

# A Windows host's code page on the wire.
start_chat --charset cp1252
datagram 'caf\351 \200 5'
wait_on_screen "< café € 5"
keys -l 'Grüße'
keys Enter
for ((tenths = 0; tenths < 100; tenths++)); do
    grep -qF $'Gr\xfc\xdfe' "$work/sent" && break
    sleep 0.1
done
grep -qF $'Gr\xfc\xdfe' "$work/sent" || fail "the typed line did not go out in cp1252: $(cat -A "$work/sent")"
keys -l '/quit'
keys Enter
wait_on_screen "EXIT=0"
echo "terminal: typed line kept, Ctrl-U, UTF-8 and cp1252 both ways, hostile lines visible," \
    "Ctrl-C in $((took / 1000)) ms sending nothing"
