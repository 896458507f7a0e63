#!/usr/bin/env python3
"""The terminal chat's screen under a flood of arriving lines, in tmux.

Two figures, each from a `parlino chat` of its own in a 120x40 tmux pane,
its peer a port where nothing listens, every datagram from 127.0.0.1:

- latency: 20 KB are pasted into the typed line (no Enter), then 200 lines
  a second arrive for 3 s. The pane is captured again and again; a line's
  latency is the time from its send to the first capture that shows it.
  A capture takes a few milliseconds, which bounds the resolution.
- cpu: a short line is typed, then 1,000 lines a second arrive for 5 s,
  with a key typed every 200 ms; the chat's CPU time (user + system, from
  /proc) from before the flood until its last line is on the screen.

Prints one JSON object. Nothing here judges a figure: report.py shows the
targets beside them.

  chat_screen.py --host build/bench/parlino [--runs 3] [--only latency|cpu]
"""
import argparse
import json
import os
import re
import socket
import statistics
import subprocess
import sys
import tempfile
import time

COLUMNS, ROWS = 120, 40


def free_udp_ports(count):
    sockets = [socket.socket(socket.AF_INET, socket.SOCK_DGRAM) for _ in range(count)]
    for s in sockets:
        s.bind(("127.0.0.1", 0))
    ports = [s.getsockname()[1] for s in sockets]
    for s in sockets:
        s.close()
    return ports


class Chat:
    """A parlino chat in a tmux server of its own."""

    started = 0

    def __init__(self, host, work):
        # A server of its own each time: a new session could reach the last
        # one's server while it shuts down.
        Chat.started += 1
        self.socket = f"parlino-bench-{os.getpid()}-{Chat.started}"
        self.port, self.peer_port = free_udp_ports(2)
        command = (f"env LANG=C.UTF-8 {host} chat --port {self.port} "
                   f"--peer 127.0.0.1:{self.peer_port}; sleep 600")
        self.tmux("new-session", "-d", "-s", "chat", "-x", str(COLUMNS), "-y", str(ROWS), command)
        self.wait_for(lambda screen: "Type a line" in screen, 20)
        found = subprocess.run(["pgrep", "-f", f"^{host} chat --port {self.port} "],
                               capture_output=True, text=True).stdout.split()
        if not found:
            raise SystemExit("chat_screen: the chat did not start")
        self.pid = int(found[0])
        self.work = work
        self.sender = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)

    def tmux(self, *arguments, text=False):
        return subprocess.run(["tmux", "-L", self.socket, "-f", "/dev/null", *arguments],
                              check=True, capture_output=True, text=text).stdout

    def screen(self):
        return self.tmux("capture-pane", "-p", "-t", "chat", text=True)

    def wait_for(self, condition, seconds):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if condition(self.screen()):
                return True
            time.sleep(0.02)
        return False

    def paste(self, text):
        path = os.path.join(self.work, "paste")
        with open(path, "w") as f:
            f.write(text)
        self.tmux("load-buffer", path)
        self.tmux("paste-buffer", "-t", "chat")

    def send(self, line):
        self.sender.sendto(line.encode(), ("127.0.0.1", self.port))

    def cpu_seconds(self):
        with open(f"/proc/{self.pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def close(self):
        subprocess.run(["tmux", "-L", self.socket, "kill-server"], capture_output=True)
        self.sender.close()


def flood(chat, rate, seconds, tag, typing_every=None):
    """Sends rate*seconds lines "TAG NNNNN" on schedule; captures the pane
    in between. Returns {number: latency in s} of the lines seen, and the
    capture count."""
    count = rate * seconds
    sent, seen = {}, {}
    pattern = re.compile(rf"\b{tag} (\d{{5}})\b")
    start = time.monotonic()
    next_key = start + (typing_every or 0)
    captures = 0
    deadline = start + seconds + 60
    while time.monotonic() < deadline:
        now = time.monotonic()
        due = min(count, int((now - start) * rate) + 1)
        for number in range(len(sent), due):
            chat.send(f"{tag} {number:05d}")
            sent[number] = time.monotonic()
        if typing_every and now >= next_key and len(sent) < count:
            chat.tmux("send-keys", "-t", "chat", "-l", "k")
            next_key += typing_every
        screen = chat.screen()
        captures += 1
        shown = time.monotonic()
        for match in pattern.finditer(screen):
            number = int(match.group(1))
            if number in sent and number not in seen:
                seen[number] = shown - sent[number]
        if len(sent) == count and count - 1 in seen:
            break
        if len(sent) == count:
            time.sleep(0.005)
    return seen, count, captures, time.monotonic() - start


def latency_run(host, work):
    chat = Chat(host, work)
    try:
        chat.paste("x" * 20000)
        time.sleep(1.0)
        seen, count, captures, took = flood(chat, 200, 3, "late")
    finally:
        chat.close()
    latencies = sorted(seen.values())
    return {
        "lines": count,
        "seen": len(seen),
        "captures_per_s": captures / took,
        "median_ms": 1000 * statistics.median(latencies) if latencies else None,
        "p95_ms": 1000 * latencies[int(0.95 * (len(latencies) - 1))] if latencies else None,
        "max_ms": 1000 * latencies[-1] if latencies else None,
        "last_line_ms": 1000 * seen[count - 1] if count - 1 in seen else None,
    }


def cpu_run(host, work):
    chat = Chat(host, work)
    try:
        chat.tmux("send-keys", "-t", "chat", "-l", "typing while lines arrive ")
        time.sleep(0.5)
        before = chat.cpu_seconds()
        seen, count, _, took = flood(chat, 1000, 5, "cpu", typing_every=0.2)
        after = chat.cpu_seconds()
    finally:
        chat.close()
    return {"lines": count, "last_line_shown": count - 1 in seen, "seconds": took,
            "cpu_s": after - before}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--host", required=True)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--only", choices=["latency", "cpu"], help="take one of the two figures")
    args = parser.parse_args()
    host = os.path.abspath(args.host)
    with tempfile.TemporaryDirectory(prefix="parlino-bench-screen.") as work:
        latency = [latency_run(host, work) for _ in range(args.runs)] if args.only != "cpu" else []
        cpu = [cpu_run(host, work) for _ in range(args.runs)] if args.only != "latency" else []
    json.dump({"columns": COLUMNS, "rows": ROWS, "latency": latency, "cpu": cpu}, sys.stdout, indent=1)
    print()


if __name__ == "__main__":
    main()
