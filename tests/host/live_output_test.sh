#!/usr/bin/env bash
# A line a publication prints reaches a pipe while the publication is still
# waiting in a receive, not only when it ends: output is batched, yet live.
source "$(dirname "$0")/lib.sh"

mapfile -t ports < <("$free_udp_ports" 1)
cat >"$work/live.pub" <<'PUB'
QV_chat_open_port [my_port]
print listening
repeat 8
  QV_chat_rcv_txt
end
print done
QV_chat_close_port
PUB
# Eight empty receives keep the publication busy for over 8 s; the first line
# must come through the pipe long before that.
"$parlino" run "$work/live.pub" --set my_port="${ports[0]}" 2>"$work/run.err" |
    {
        IFS= read -r -t 6 first || first="(nothing within 6 s)"
        echo "$first" >"$work/first.out"
        cat >"$work/rest.out"
    }
[[ $(cat "$work/first.out") == listening ]] || fail "the first line did not arrive while the publication waited"
[[ $(cat "$work/rest.out") == done ]] || fail "the last line did not arrive"
echo "live output: a printed line reached the pipe during the wait"
