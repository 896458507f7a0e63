#!/usr/bin/env bash
# The shipped DLL under wine chatting with socat, a native Linux program
# outside wine, over 127.0.0.1 in both directions. socat listens on a port
# the system chooses (read back with ss); the DLL's port is read back by the
# test program, which writes it to a file for this script to send to.
# Usage: native_peer_test.sh WINE_RUN BEHAVIOUR_TESTS.exe Parlino.dll
set -euo pipefail
wine_run=$1 tests=$2 dll=$3
for tool in socat ss; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed" >&2; exit 1; }
done

exchange=$(mktemp -d)
socat_pid='' wine_pid=''
cleanup() {
    [[ -z "$socat_pid" ]] || kill "$socat_pid" 2>/dev/null || true
    [[ -z "$wine_pid" ]] || kill "$wine_pid" 2>/dev/null || true
    rm -rf "$exchange"
}
trap cleanup EXIT

# Every datagram socat receives on its port is appended to the file.
socat -u UDP4-RECV:0,bind=127.0.0.1 "OPEN:$exchange/received,creat,append" &
socat_pid=$!
socat_port=''
for _ in $(seq 100); do
    socat_port=$(ss -Hulnp | awk -v pid="pid=$socat_pid," 'index($0, pid) { n = split($4, a, ":"); print a[n] }')
    [[ -z "$socat_port" ]] || break
    sleep 0.1
done
[[ -n "$socat_port" ]] || { echo "FAIL: socat did not bind a port" >&2; exit 1; }
echo "socat listens on 127.0.0.1:$socat_port"

PARLINO_NATIVE_PEER_DIR=$exchange PARLINO_NATIVE_PEER_PORT=$socat_port \
    "$wine_run" "$tests" "$dll" --gtest_filter='NativePeer*' &
wine_pid=$!

# Once the DLL's port is known, send it one line from outside wine.
for _ in $(seq 1200); do
    [[ ! -s "$exchange/dll-port" ]] || break
    kill -0 "$wine_pid" 2>/dev/null || break
    sleep 0.1
done
if [[ -s "$exchange/dll-port" ]]; then
    dll_port=$(tr -d '\r\n' <"$exchange/dll-port")
    echo "sending to the DLL's port 127.0.0.1:$dll_port"
    printf 'hello from linux' | socat -u - "UDP4-SENDTO:127.0.0.1:$dll_port"
fi

status=0
wait "$wine_pid" || status=$?
wine_pid=''
exit "$status"
