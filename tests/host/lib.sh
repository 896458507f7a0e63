# Shared by the host's process tests: arguments, a scratch folder, the
# processes a test starts (stopped by their id when it ends), and waits.
# Usage in a test: source lib.sh PARLINO FREE_UDP_PORTS EXAMPLES_FOLDER
set -euo pipefail
parlino=$1
free_udp_ports=$2
examples=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/parlino-host-test.XXXXXX")
started_pids=()
extra_cleanup=:

# stop_wine_server_at_end: the test's own wine prefix gets its server
# stopped when the test ends.
stop_wine_server_at_end() {
    extra_cleanup+='; WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null'
}

# join_two_namespaces TAG: two network namespaces of this run, $ns_a and
# $ns_b, joined by a veth pair ($veth_a, $veth_b) with 198.18.0.1/24 and
# 198.18.0.2/24 on it, all taken down when the test ends. Needs root.
join_two_namespaces() {
    ns_a=parlino-$1a-$$ ns_b=parlino-$1b-$$
    veth_a=pl$1a$$ veth_b=pl$1b$$
    extra_cleanup+='; ip netns del "$ns_a" 2>/dev/null; ip netns del "$ns_b" 2>/dev/null; ip link del "$veth_a" 2>/dev/null'
    ip netns add "$ns_a"
    ip netns add "$ns_b"
    ip link add "$veth_a" type veth peer name "$veth_b"
    ip link set "$veth_a" netns "$ns_a"
    ip link set "$veth_b" netns "$ns_b"
    ip -n "$ns_a" addr add 198.18.0.1/24 dev "$veth_a"
    ip -n "$ns_b" addr add 198.18.0.2/24 dev "$veth_b"
    for ns in "$ns_a" "$ns_b"; do
        ip -n "$ns" link set lo up
    done
    ip -n "$ns_a" link set "$veth_a" up
    ip -n "$ns_b" link set "$veth_b" up
}

cleanup() {
    local pid
    for pid in "${started_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    eval "$extra_cleanup" || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    local file
    for file in "$work"/*.out "$work"/*.err; do
        [[ -s $file ]] && { echo "---- ${file##*/}" >&2; cat -A "$file" >&2 | head -60; }
    done
    exit 1
}

# wait_for FILE TEXT [SECONDS]: until a line of FILE holds TEXT.
wait_for() {
    local file=$1 text=$2 limit=${3:-20} tenths
    for ((tenths = 0; tenths < limit * 10; tenths++)); do
        grep -qF -- "$text" "$file" 2>/dev/null && return 0
        sleep 0.1
    done
    fail "$file never showed \"$text\" within ${limit} s"
}

# gone_within PID [SECONDS]: true once the process has ended, false if it
# still runs after SECONDS. Any process, not only one this shell started.
gone_within() {
    local pid=$1 limit=${2:-30} tenths
    for ((tenths = 0; tenths < limit * 10; tenths++)); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.1
    done
    ! kill -0 "$pid" 2>/dev/null
}

# is_sanitized FILE: the program or module was built with ASan or TSan.
is_sanitized() {
    [[ $(ldd "$1" 2>/dev/null || true) =~ lib(asan|tsan) ]]
}

# wait_exit PID [SECONDS]: waits for a process this test started and puts
# its exit code in $exit_status (not a subshell: only this shell can wait).
wait_exit() {
    local pid=$1 limit=${2:-30}
    gone_within "$pid" "$limit" || fail "process $pid still runs after ${limit} s"
    exit_status=0
    wait "$pid" || exit_status=$?
    # Reaped: its id may now belong to someone else's process.
    local kept=() other
    for other in "${started_pids[@]}"; do
        [[ $other == "$pid" ]] || kept+=("$other")
    done
    started_pids=("${kept[@]}")
}

# start_conversation SIDE HOST [OPTION...]: HOST (a path or a shell
# function) plays examples/conversation.txt as SIDE in the background with
# the given --set options; its output goes to $work/SIDE.out and .err.
start_conversation() {
    local side=$1 host=$2
    shift 2
    "$host" run "$examples/conversation.txt" --set side="$side" "$@" \
        >"$work/$side.out" 2>"$work/$side.err" &
    started_pids+=($!)
}

# expect_all_succeed SECONDS: every process this test still runs exits
# with code 0 within SECONDS.
expect_all_succeed() {
    local pid
    for pid in "${started_pids[@]}"; do
        wait_exit "$pid" "$1"
        [[ $exit_status -eq 0 ]] || fail "a publication ended with exit code $exit_status"
    done
}

# Lines of FILE that start with PREFIX, the prefix taken off, CRs dropped.
lines_with_prefix() {
    tr -d '\r' <"$1" | sed -n "s/^$2//p"
}

# said_equals_heard SAID_FILE HEARD_FILE COUNT: every line one side said
# ("> ") was heard by the other ("< ") once, in order, byte for byte.
said_equals_heard() {
    lines_with_prefix "$1" '> ' >"$work/said"
    lines_with_prefix "$2" '< ' >"$work/heard"
    local said
    said=$(wc -l <"$work/said")
    [[ $said -eq $3 ]] || fail "${1##*/} said $said lines, expected $3"
    cmp -s "$work/said" "$work/heard" ||
        fail "${2##*/} did not hear exactly what ${1##*/} said: $(diff "$work/said" "$work/heard" | head -5)"
}

# What a stranger may send to a port that parlino shows (printf formats),
# each with the text a person must see of it: ESC, BEL, CSI as one byte and
# as UTF-8, NEL, a byte that is not UTF-8, a right-to-left override, a tag
# character, a Hangul filler and two noncharacters. None of them reaches the
# output raw.
hostile_lines=(
    'esc \033[2J\033[Hend' 'esc ^[[2J^[[Hend'
    'bel \a end' 'bel ^G end'
    'csi8 \2331m end' 'csi8 \x9B1m end'
    'csi \302\2331m end' 'csi <U+009B>1m end'
    'nel \302\205 end' 'nel <U+0085> end'
    'latin1 caf\351 end' 'latin1 caf\xE9 end'
    'utf8 caf\303\251 end' 'utf8 café end'
    'bidi evil\342\200\256txt.exe end' 'bidi evil<U+202E>txt.exe end'
    'tag a\363\240\201\201b\343\205\244 end' 'tag a<U+E0041>b<U+3164> end'
    'nonchar \357\277\277\357\267\220 end' 'nonchar <U+FFFF><U+FDD0> end'
)

# send_hostile_lines PORT: each line as one datagram from socat.
send_hostile_lines() {
    local i
    for ((i = 0; i < ${#hostile_lines[@]}; i += 2)); do
        printf "${hostile_lines[i]}" | socat -u - "UDP:127.0.0.1:$1"
    done
}

# expect_hostile_lines_shown FILE: every hostile line shown visibly, after
# "< ", and no terminal control anywhere in FILE.
expect_hostile_lines_shown() {
    local i
    for ((i = 1; i < ${#hostile_lines[@]}; i += 2)); do
        wait_for "$1" "< ${hostile_lines[i]}"
    done
    ! LC_ALL=C grep -q $'[\x1b\x07\x9b\x85]\|\xe2\x80\xae' "$1" || fail "${1##*/} passed a control through raw"
}
