#!/usr/bin/env bash
# parlino chat on a real terminal (tmux): arriving lines are drawn above the
# line being typed, never over it, typed non-ASCII text goes out as UTF-8
# (or in the --charset chosen), received text is shown decoded and visibly,
# Ctrl-U clears the typed line, a long typed line stays whole while many
# lines arrive, /check's verdict is drawn and no probe, and Ctrl-C ends
# with 130 at once, sending nothing of the line it abandons, the terminal
# given back. Under wine the same, through the Windows console. On Linux
# also: Ctrl-W, Ctrl-A, Ctrl-D and Ctrl-K, a pasted line echoed visibly, the
# conversation left on the terminal once and whole, PgUp and PgDn, Ctrl-D
# leaving with 0, the locale hint, a tab, SIGTERM, a long paste, Ctrl-Z and
# fg with the editing keys and history after it, Ctrl-\, the keys of xterm
# and tmux, resizing while typing, wide, combining and tab text, a line a code
# page would cut, TERM=dumb, a long typed line under a flood, and the
# terminal going away.
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
# resize COLUMNS ROWS: the window resized, and once the terminal has the
# new size (tmux may hand it over later).
resize() {
    tmux -L "$tmux_socket" resize-window -t chat -x "$1" -y "$2"
    local tty tenths
    tty=$(tmux -L "$tmux_socket" display -p -t chat '#{pane_tty}')
    for ((tenths = 0; tenths < 50; tenths++)); do
        [[ $(stty -F "$tty" size 2>/dev/null) == "$2 $1" ]] && return 0
        sleep 0.1
    done
    fail "tmux did not resize the terminal to $1x$2"
}
# expect_screen CONDITION WHAT: fails with the screen unless CONDITION holds.
expect_screen() {
    eval "$1" && return 0
    screen >"$work/screen.out"
    fail "$2"
}
# rows_starting TEXT: how many rows of the screen start with TEXT.
rows_starting() { screen | awk -v text="$1" 'index($0, text) == 1 { n++ } END { print n + 0 }'; }
last_row() { screen | grep -v '^ *$' | tail -1 | sed 's/ *$//'; }

# start_chat [OPTION...]: parlino chat in a fresh terminal, 120x40; what it
# sends is collected in $work/sent. $locale and $term choose LANG or LC_ALL
# and TERM; with $shell_first it runs in an interactive shell (job control,
# a hang-up) after that command.
listener=
start_chat() {
    if [[ -n $listener ]]; then
        kill "$listener"
        wait_exit "$listener"
    fi
    : >"$work/sent"
    socat -b 70000 -u "UDP-RECV:${ports[1]},bind=127.0.0.1" "OPEN:$work/sent,append" &
    listener=$!
    started_pids+=($!)
    local command
    printf -v command '%q ' env -u LC_ALL -u LC_CTYPE "${locale:-LANG=C.UTF-8}" ${term:+TERM=$term} \
        "${runner[@]}" "$parlino" chat --port "${ports[0]}" --peer "127.0.0.1:${ports[1]}" "$@"
    # How it ended: the exit code, the time in microseconds (for Ctrl-C),
    # and whether the terminal's line editing and echo came back.
    # In a shell of its own it is typed after the chat has ended: a job
    # stopped by Ctrl-Z would run it at once.
    end_report='status=$?; date +%s%6N >'"'$work/ended'"'; echo EXIT=$status TTY=$(stty -a | tr " ;" "\n\n" | grep -xE -- "-?(icanon|echo)" | tr "\n" " ")'
    local program="$command; $end_report; sleep 600"
    [[ -z ${shell_first:-} ]] || program="bash --norc -i"
    # A later chat takes the pane over: a new session right after the last
    # one was killed could reach its server while it shuts down.
    if tmux -L "$tmux_socket" has-session -t chat 2>/dev/null; then
        # The last chat hangs up first, and its port is free once it ended.
        tmux -L "$tmux_socket" respawn-pane -k -t chat "sleep 600"
        [[ -z ${chat_pid:-} ]] || gone_within "$chat_pid" 5 || true
        resize 120 40
        tmux -L "$tmux_socket" respawn-pane -k -t chat "$program"
    else
        tmux -L "$tmux_socket" -f /dev/null new-session -d -s chat -x 120 -y 40 "$program"
    fi
    if [[ -n ${shell_first:-} ]]; then
        keys -l "$shell_first; $command"
        keys Enter
    fi
    wait_on_screen "Type a line"
    chat_pid=$(pgrep -f "^$parlino chat --port ${ports[0]} " || true)
}
# wait_sent TEXT: until the listener got TEXT (a fixed string, or $'...').
wait_sent() {
    for ((tenths = 0; tenths < 100; tenths++)); do
        grep -qF -- "$1" "$work/sent" && return 0
        sleep 0.1
    done
    fail "\"$1\" was not sent: $(cat -A "$work/sent" | head -c 300)"
}
datagram() { printf "$1" | socat -u - "UDP:127.0.0.1:${ports[0]}"; }
# The terminal after the chat: line editing and echo as a shell wants them.
expect_terminal_given_back() {
    expect_screen 'screen | grep -qE "EXIT=[0-9]+ TTY=icanon echo"' "the terminal was not given back in line mode"
}

start_chat
keys -l 'cleared'
keys C-u
keys -l 'half typed'
datagram 'interrupting you'
wait_on_screen "< interrupting you"
expect_screen 'screen | grep -qE "^\[[0-9:]{8}\] < interrupting you$"' "the arriving line did not start a line of its own"
# The typed line, whole, below the one that arrived; typing goes on there,
# and a second line arrives on a row of its own above it.
expect_screen '[[ $(last_row) == "> half typed" ]]' "the typed line was broken"
keys -l ' café'
wait_on_screen "> half typed café"
datagram 'second arrival'
wait_on_screen "< second arrival"
expect_screen '[[ $(rows_starting "[") -eq 2 && $(last_row) == "> half typed café" ]]' \
    "the second arriving line or the typed line were drawn over"
keys -l ' Grüße'
keys Enter
wait_sent 'half typed café Grüße'
! grep -qF 'cleared' "$work/sent" || fail "Ctrl-U did not clear the line: $(cat -A "$work/sent")"
if [[ -z $wine_run ]]; then
    # Ctrl-W takes the word before the cursor, Ctrl-A goes home, Ctrl-D
    # deletes forward on a line with text, Ctrl-K takes the rest.
    keys -l 'ALPHA bravo charlie'
    keys C-w C-a C-d Right Right Right Right C-k
    keys -l '.end'
    keys Enter
    wait_sent 'LPHA.end'
    # What a person pastes is sent as it is, and echoed visibly.
    keys -l $'rlo \u202e end'
    keys Enter
    wait_sent $'rlo \u202e end'
    wait_on_screen "> rlo <U+202E> end"
fi
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
# A sanitized build checks for leaks on its way out, and its stage runs
# two tests at a time.
if [[ -z $wine_run ]] && is_sanitized "$parlino"; then
    bound=300
elif [[ -z $wine_run ]]; then
    bound=100
elif [[ -z ${PARLINO_EMULATED:-} ]]; then
    bound=300
else
    bound=1000
fi
((took < bound * 1000)) || fail "Ctrl-C took $((took / 1000)) ms to end the chat, more than $bound ms"
! screen | grep -qF "^Cport" || fail "Ctrl-C left ^C on the line of the closing"
wait_on_screen "port ${ports[0]} closed"
expect_terminal_given_back
sleep 0.2
! grep -qF 'abandoned' "$work/sent" || fail "Ctrl-C sent the line it abandoned: $(cat -A "$work/sent")"
if [[ -z $wine_run ]]; then
    # The conversation is left on the terminal's own screen as plain lines:
    # each line once, the last one too, nothing raw.
    tmux -L "$tmux_socket" capture-pane -p -S - -E - -t chat >"$work/left"
    [[ $(grep -c '^my address: ' "$work/left") -eq 1 && $(grep -c '< interrupting you$' "$work/left") -eq 1 ]] ||
        fail "the conversation left on the terminal has lines twice or lost: $(cat "$work/left")"
    # (The Enter pressed after Ctrl-C may reach the terminal after the chat
    # gave it back, as an empty line.)
    grep -v "^ *$" "$work/left" | grep -B1 -xF "port ${ports[0]} closed" | head -1 | grep -qF "< ${hostile_lines[-1]}" ||
        fail "the last line of the conversation was not left on the terminal: $(cat "$work/left")"
    grep -qxF "> rlo <U+202E> end" "$work/left" && ! grep -q $'\u202e' "$work/left" ||
        fail "a typed line was left on the terminal raw: $(cat -A "$work/left" | head -c 2000)"
fi

# A Windows host's code page on the wire; a typed line of two rows stays
# whole, once, under a flood of arriving lines that scrolls the screen.
start_chat --charset cp1252
datagram 'caf\351 \200 5'
wait_on_screen "< café € 5"
keys -l 'Grüße'
keys Enter
wait_sent $'Gr\xfc\xdfe'
long=$(printf 'a long line %.0s' {1..12})
keys -l "$long"
for i in {10..59}; do datagram "flood $i"; done
wait_on_screen "< flood 59"
expect_screen '[[ $(rows_starting "> a long line") -eq 1 ]] && screen | grep -v "^ *$" | tail -4 | head -2 |
    grep -q "< flood 58" && screen | grep -q "< flood 59"' "the flood broke the long typed line or lost lines above it"
if [[ -z $wine_run ]]; then
    # PgUp shows earlier lines with a mark that more follow; PgDn goes back
    # to the end, where arriving lines are shown again.
    keys PPage
    wait_on_screen "below: PgDn" 5
    expect_screen '! screen | grep -q "< flood 59"' "PgUp did not move the conversation back"
    keys NPage
    datagram 'after paging'
    wait_on_screen "< after paging" 5
    expect_screen '! screen | grep -q "below: PgDn"' "PgDn did not go back to the end of the conversation"
fi
keys Enter
wait_sent "$long"
# /check against a check on the other port: the verdict on the screen, no
# probe drawn as a line.
kill "$listener"
wait_exit "$listener"
listener=
"${runner[@]}" "$parlino" check --port "${ports[1]}" --peer "127.0.0.1:${ports[0]}" --seconds 1 \
    >"$work/check.out" 2>"$work/check.err" &
started_pids+=($!)
check_pid=$!
keys -l '/check'
keys Enter
wait_on_screen "check: Lines cross both ways"
expect_screen '! screen | grep -q "parlino check probe [0-9]* from"' "a probe was drawn as a line of the conversation"
wait_exit "$check_pid" "$limit"
keys -l '/quit'
keys Enter
wait_on_screen "EXIT=0"
if [[ -n $wine_run ]]; then
    echo "terminal: typed line kept under arriving lines and a flood, UTF-8 and cp1252 both ways, hostile" \
        "lines visible, /check's verdict, Ctrl-C in $((took / 1000)) ms"
    exit 0
fi

# A C locale: typed letters beyond ASCII are still sent, as UTF-8, and a
# line says how the terminal is read, naming the variable that set it. A
# tab is typed text.
locale=LC_ALL=C start_chat
wait_on_screen "not UTF-8: the terminal is read and written as UTF-8 (set LC_ALL="
keys -l 'naïve €'
keys Tab
keys -l 'x'
keys Enter
wait_sent $'naïve €\tx'
# SIGTERM ends the chat as Ctrl-C does, with its own code.
kill -TERM "$chat_pid"
wait_on_screen "EXIT=143"
wait_on_screen "port ${ports[0]} closed"

# A paste of the longest line a datagram carries: shown and sent at once,
# in linear time (it took about 90 s of CPU when each character redrew the
# line); one byte more is refused with the pipe's explanation.
start_chat
head -c 65507 /dev/zero | tr '\0' p >"$work/paste"
read -r -a before < <(cut -d' ' -f14,15 "/proc/$chat_pid/stat")
tmux -L "$tmux_socket" load-buffer "$work/paste" \; paste-buffer -t chat \; send-keys -t chat Enter
wait_sent "$(cat "$work/paste")"
read -r -a after < <(cut -d' ' -f14,15 "/proc/$chat_pid/stat")
ticks=$((after[0] + after[1] - before[0] - before[1]))
# Clock ticks of 10 ms; a loose bound that a redraw per character exceeds.
((ticks < 500)) || fail "a 65,507-byte paste took $((ticks * 10)) ms of CPU"
printf p >>"$work/paste"
tmux -L "$tmux_socket" load-buffer "$work/paste" \; paste-buffer -t chat \; send-keys -t chat Enter
wait_on_screen "65508 bytes long, more than one datagram carries"
# The module's message (on standard error) is shown in the conversation, in
# its place: just before the line that explains it.
expect_screen 'screen | grep -B1 -F "that line was not sent: it is 65508" | head -1 | grep -qx "Error: 57\."' \
    "the module's message did not come just before parlino's line about it"

# Ctrl-Z, fg: the half-typed line comes back, and the arrows, Backspace
# and the lines typed before act on it; a recalled line keeps its trailing
# space. Ctrl-\ then ends the chat as Ctrl-C does, with its own code.
shell_first="PS1='$ '" start_chat
keys -l 'spaced '
keys Enter
wait_sent 'spaced '
keys -l 'abc'
keys C-z
wait_on_screen "Stopped"
keys -l 'fg'
keys Enter
wait_on_screen "> abc"
keys BSpace BSpace
keys -l 'Z'
keys Left
keys -l 'Y'
keys Enter
wait_sent 'spaced aYZ'
keys Up Up
keys -l 'x'
keys Enter
wait_sent 'spaced aYZspaced x'
keys 'C-\'
wait_on_screen "port ${ports[0]} closed"
keys -l "$end_report"
keys Enter
wait_on_screen "EXIT=131"
expect_terminal_given_back

# The keys an xterm sends, decoded whatever the terminfo entry calls them
# (tmux sends ESC [ 1 ~ for Home, which xterm-256color names ESC O H).
for term in xterm-256color tmux-256color; do
    term=$term start_chat
    keys -l 'world'
    keys Home
    keys -l 'hello '
    keys End
    keys -l '!'
    keys Enter
    keys -l 'one two'
    keys C-Left
    keys -l 'X'
    keys C-Right
    keys -l 'Y'
    keys Enter
    wait_sent 'hello world!one XtwoY'
done

# Resized narrower and wider while lines arrive and a line is typed: no
# stale rows, no received line lost, the line sent as typed.
resize 100 15
for i in 1 2 3; do datagram "received $i"; done
typed=$(printf 'x%.0s' {1..64})
keys -l "$typed"
wait_on_screen "< received 3"
resize 40 15
datagram 'received 4'
keys -l 'abc'
wait_on_screen "xxabc"
expect_screen '[[ $(rows_starting "> xxxx") -eq 1 ]]' "narrower, the typed line left stale rows"
resize 20 15
sleep 0.2
resize 70 15
datagram 'received 5'
wait_on_screen "< received 5"
expect_screen '[[ $(rows_starting "> xxxx") -eq 1 && $(screen | grep -c "< received [1-5]$") -eq 5 ]]' \
    "wider, stale rows were left or a received line was lost"
keys Enter
wait_sent "${typed}abc"
# Wide characters at 80 columns, combining marks and tabs at 20: the typed
# line measured in columns, drawn once, the arriving lines whole above it.
resize 80 15
wide=$(printf '日本語%.0s' {1..15})
keys -l "$wide"
datagram 'received 6'
datagram 'received 7'
wait_on_screen "< received 7"
expect_screen '[[ $(rows_starting "> 日本語") -eq 1 ]] && screen | grep -q "^日本語日本語 *$"' \
    "45 wide characters were not drawn once, in two rows"
keys C-u
resize 20 15
combining=$(printf 'e\xcc\x81%.0s' {1..12})
keys -l "$combining"
keys Tab
keys -l 'x'
keys Tab
keys -l 'y'
datagram 'r8'
datagram 'r9'
wait_on_screen "< r9"
expect_screen '[[ $(rows_starting "> e"$'"'"'\xcc\x81'"'"') -eq 1 ]]' \
    "combining marks or tabs left stale rows of the typed line"
keys Enter
wait_sent "$combining"$'\tx\ty'
# Ctrl-D on an empty line leaves, as the end of input does.
rm -f "$work/ended"
keys C-d
for ((tenths = 0; tenths < 50; tenths++)); do
    [[ -s $work/ended ]] && break
    sleep 0.1
done
wait_on_screen "EXIT=" 1
expect_screen 'screen | grep -v "^ *$" | tail -3 | grep -q "^EXIT=0 "' "Ctrl-D on an empty line did not end the chat with 0"

# A code page whose characters may hold the byte of "|": ポ is 83 7C in
# CP932, so ポイント is not sent at all (the module would cut it to one
# byte), and a person is told; イ (83 43) goes out.
start_chat --charset CP932
keys -l 'ポイント'
keys Enter
wait_on_screen "that line was not sent: in CP932 one of its characters holds the byte of"
keys -l 'イ'
keys Enter
wait_sent $'\x83\x43'
[[ $(cat "$work/sent") == $'\x83\x43' ]] || fail "CP932: more than イ was sent: $(cat -A "$work/sent")"

# A terminal that cannot be drawn on: plain lines, no escape sequence.
term=dumb start_chat
wait_on_screen "TERM=dumb cannot place the cursor: the chat reads and writes plain lines"
tmux -L "$tmux_socket" pipe-pane -t chat -o "cat >>'$work/dumb.raw'"
datagram 'to a dumb terminal'
keys -l 'abc'
keys BSpace
keys Enter
wait_sent 'ab'
wait_on_screen "< to a dumb terminal"
tmux -L "$tmux_socket" pipe-pane -t chat
! grep -q $'\033' "$work/dumb.raw" || fail "TERM=dumb got escape sequences: $(cat -A "$work/dumb.raw" | head -c 300)"

# 20 KB typed, 300 lines arriving at about 200 a second: each is drawn at
# once (when the whole typed line was drawn again for each, the last came
# 34 s late), and the typed line is sent whole.
start_chat
head -c 20000 /dev/zero | tr '\0' t >"$work/paste"
tmux -L "$tmux_socket" load-buffer "$work/paste" \; paste-buffer -t chat
for i in {1000..1299}; do
    printf 'late%04d' "$i"
    sleep 0.005
done | socat -u -b 8 - "UDP:127.0.0.1:${ports[0]}"
sent_at=${EPOCHREALTIME/./}
wait_on_screen "late1299" 5
lag=$(((${EPOCHREALTIME/./} - sent_at) / 1000))
keys Enter
wait_sent "$(cat "$work/paste")"

# The terminal goes away while SIGHUP is ignored: the chat ends at once,
# without spinning, and its port is free.
shell_first="trap '' HUP" start_chat
pid=$chat_pid
tmux -L "$tmux_socket" kill-session -t chat
for ((hundredths = 0; hundredths < 300; hundredths++)); do
    state=$(cut -d' ' -f3 "/proc/$pid/stat" 2>/dev/null || true)
    [[ -z $state || $state == Z ]] && break
    sleep 0.01
done
[[ -z $state || $state == Z ]] || fail "the chat still runs 3 s after its terminal went away"
socat -u "UDP-RECV:${ports[0]},bind=127.0.0.1" /dev/null 2>"$work/bind.err" &
sleep 0.3
kill -0 $! 2>/dev/null || fail "the chat's port is still taken: $(cat "$work/bind.err")"
kill $!
echo "terminal: typed line kept under arriving lines and a flood, Ctrl-U, UTF-8 and cp1252 both ways, hostile" \
    "lines visible, /check's verdict, Ctrl-C in $((took / 1000)) ms sending nothing, C locale, tab, SIGTERM 143," \
    "a 65,507-byte paste in $((ticks * 10)) ms of CPU, Ctrl-Z and fg, Ctrl-\\ 131, xterm and tmux keys, resized, wide," \
    "combining, CP932, TERM=dumb, the last of 300 lines under 20 KB typed shown $lag ms after it was sent," \
    "ended $((hundredths * 10)) ms after its terminal went away"
