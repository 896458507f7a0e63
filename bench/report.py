#!/usr/bin/env python3
"""Turns one run of scripts/bench.sh into bench/RESULTS.md.

Reads the Google Benchmark JSON of the module paths and of the empty
receive, and the JSON of the line-rate program, and writes the figures and
the module/bare ratios as Markdown. Figures are medians over repetitions;
every ratio compares two figures taken in the same run. Targets are shown
next to the ratios for the reader: nothing here fails on a time.
"""
import argparse
import json
import os
import statistics


# The chat's CPU for 1,000 lines/s over 5 s with the screen it had before
# ncursesw (libedit and a redraw of its own), median of 5 runs of
# bench/chat_screen.py on this kind of machine: the figure the screen is
# held to, as the old code is gone.
OLD_SCREEN_CPU_S = 0.18


def load(path):
    with open(path) as f:
        return json.load(f)


def medians(report):
    """run_name -> the median aggregate's entry (time in ns)."""
    scale = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}
    result = {}
    for entry in report["benchmarks"]:
        if entry.get("run_type") == "aggregate" and entry.get("aggregate_name") == "median":
            entry = dict(entry)
            entry["real_ns"] = entry["real_time"] * scale[entry["time_unit"]]
            result[entry["run_name"]] = entry
    return result


def aggregate(report, run_name, which):
    for entry in report["benchmarks"]:
        if entry.get("run_name") == run_name and entry.get("aggregate_name") == which:
            return entry["real_time"]
    return None


def fmt_ns(ns):
    if ns >= 1e6:
        return f"{ns / 1e6:,.3f} ms"
    if ns >= 1e3:
        return f"{ns / 1e3:,.2f} µs"
    return f"{ns:,.1f} ns"


def verdict(ok):
    return "met" if ok else "**missed**"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--results", required=True)
    parser.add_argument("--machine", required=True, help="file with the machine description")
    parser.add_argument("--commands", required=True, help="file with the exact commands, one per line")
    parser.add_argument("--notes", required=True, help="hand-written notes appended to the report")
    args = parser.parse_args()

    paths = load(os.path.join(args.results, "paths.json"))
    empty = load(os.path.join(args.results, "empty_receive.json"))
    lines = load(os.path.join(args.results, "line_rate.json"))
    m = medians(paths)
    out = []
    w = out.append

    w("# Benchmark results")
    w("")
    w("Written by `scripts/bench.sh` from one run; the hand-written notes at the end")
    w("explain the figures. Times are medians over repetitions, taken with the")
    w("module path and its bare counterpart interleaved in the same process and run,")
    w("so every ratio compares two figures measured side by side. Nothing asserts a")
    w("time: the targets are shown for the reader.")
    w("")
    w("## Machine")
    w("")
    with open(args.machine) as f:
        for line in f.read().strip().splitlines():
            w(f"- {line}")
    ctx = paths["context"]
    w(f"- Google Benchmark from Debian (its build reports itself as "
      f"{ctx.get('library_build_type', '?')}; it only runs the loops, the code measured is built "
      f"Release); load average when the paths run started: "
      f"{', '.join(f'{x:.2f}' for x in ctx.get('load_avg', []))}")
    w("")
    w("## Commands")
    w("")
    w("```sh")
    with open(args.commands) as f:
        w(f.read().strip())
    w("```")
    w("")

    # ---- Module paths against bare sockets
    w("## Module paths against the platform floor")
    w("")
    w("Module: `nbExecAction` on `Parlino.so` loaded with `dlopen`, behind one of two hosts. The")
    w("light host's set-variable callback copies the value into a fixed buffer; the strings host's")
    w("callback does what a host built on the standard library does: it makes a `std::string` of")
    w("the name, compares it and counts, and keeps the value as a new `std::string`. Bare: the same")
    w("system calls on a socket of our own, the received bytes copied with `memcpy` (next to the")
    w("light host) or kept as a new `std::string` (next to the strings host).")
    w("")
    w("The ratio is of the wall-time medians; the CPU-time ratio beside it is less disturbed by")
    w("other work on the machine (the round trip waits for the other thread, so its CPU time")
    w("is not the whole cost).")
    w("")
    w("| path | bytes | module | bare | ratio | CPU-time ratio | target | allocations per call (module / bare) |")
    w("|---|---:|---:|---:|---:|---:|---|---|")
    targets = {("sendLine", "5"): 1.10, ("sendLine", "1400"): 1.10,
               ("sendLineStringHost", "5"): 1.10, ("sendLineStringHost", "1400"): 1.10,
               ("receiveLine", "5"): 1.10, ("receiveLine", "1400"): 1.15,
               ("receiveLineStringHost", "5"): 1.10, ("receiveLineStringHost", "1400"): 1.15,
               ("openClosePort", ""): 1.20}
    labels = {
        "sendLine": "send action vs poll(POLLOUT) + sendto",
        "sendLineStringHost": "send action, strings host, vs poll(POLLOUT) + sendto",
        "receiveLine": "receive action, datagram queued, vs poll + recvfrom + copy",
        "receiveLineStringHost": "receive action, datagram queued, strings host, vs poll + recvfrom + std::string",
        "openClosePort": "open + close of the chat port vs socket + bind + close",
        "roundTrip": "round trip between two endpoints (two module instances vs two bare sockets)",
    }
    summary = []
    for path, sizes in (("sendLine", ["5", "1400", "65507"]), ("sendLineStringHost", ["5", "1400"]),
                        ("receiveLine", ["5", "1400", "65507"]), ("receiveLineStringHost", ["5", "1400"]),
                        ("openClosePort", [""]), ("roundTrip", [""])):
        for size in sizes:
            suffix = f"/{size}" if size else ""
            mod = m.get(f"{path}/module{suffix}/real_time")
            bare = m.get(f"{path}/bare{suffix}/real_time")
            if not mod or not bare:
                w(f"| {labels[path]} | {size or '–'} | (no result) | | | | | |")
                continue
            ratio = mod["real_ns"] / bare["real_ns"]
            target = targets.get((path, size))
            target_text = f"≤ {target:.2f}× ({verdict(ratio <= target)})" if target else "–"
            if target:
                summary.append((labels[path] + (f", {size} bytes" if size else ""), ratio, target, ratio <= target))
            allocs = ""
            if "allocs_per_op" in mod:
                allocs = f"{mod['allocs_per_op']:.2f} / {bare.get('allocs_per_op', 0):.2f}"
            cpu_ratio = mod["cpu_time"] / bare["cpu_time"]
            w(f"| {labels[path]} | {size or '–'} | {fmt_ns(mod['real_ns'])} | {fmt_ns(bare['real_ns'])} | "
              f"{ratio:.3f}× | {cpu_ratio:.3f}× | {target_text} | {allocs} |")
    w("")

    # ---- Parsers
    w("## Readers, per call")
    w("")
    w("| reader | text | time | allocations per call |")
    w("|---|---|---:|---:|")
    texts = {
        "parseNumberCall/short": "`5000`",
        "parseNumberCall/long": "blanks, 30 digits, fraction, exponent, trailing words (66 bytes)",
        "textToAddressCall/short": "`10.0.0.7`",
        "textToAddressCall/long": "zero-padded octets and 1,000 more fields (1,022 bytes)",
        "parameterFieldCall/short": "field 3 of `127.0.0.1|5000|hello`",
        "parameterFieldCall/long": "field 3 of a send parameter with a 1,400-byte line",
    }
    for name, text in texts.items():
        entry = m.get(name)
        if entry:
            w(f"| `{name.split('Call')[0]}` | {text} | {fmt_ns(entry['real_ns'])} | "
              f"{entry.get('allocs_per_op', 0):.2f} |")
    w("")

    # ---- Empty receive
    w("## The empty receive's wait")
    w("")
    w("Ten runs of the receive action with nothing arriving (asked for: 1.024 s), next to a bare")
    w("`poll` of 1,024 ms on a socket of our own.")
    w("")
    w("| wait | min | median | max | target |")
    w("|---|---:|---:|---:|---|")
    for kind in ("module", "bare"):
        run = f"emptyReceive/{kind}/iterations:1/repeats:10/real_time"
        lo, med, hi = (aggregate(empty, run, a) for a in ("min", "median", "max"))
        if med is None:
            w(f"| {kind} | (no result) | | | |")
            continue
        target = ""
        if kind == "module":
            ok = 1024 <= lo and hi <= 1030
            target = f"1,024–1,030 ms ({verdict(ok)})"
            summary.append(("empty receive within 1,024–1,030 ms (min–max of 10)", None, None, ok))
        w(f"| {kind} | {lo:,.2f} ms | {med:,.2f} ms | {hi:,.2f} ms | {target} |")
    w("")

    # ---- Line rate
    w("## Publication to publication against socat to socat")
    w("")
    w(f"{lines['lines_per_run']:,} lines of {lines['line_bytes']} bytes per run, one line per datagram, "
      "the kinds taking turns run by run:")
    w("")
    w("- **publications**: two `parlino run` processes, the reference host playing")
    w("  `bench/publications/send_lines.pub` and `bench/publications/receive_lines.pub`")
    w("  (the receiving publication prints every line it gets);")
    w("- **module**: the module without the host's interpreter, two processes running")
    w("  the send and receive actions through `nbExecAction` and nothing else per line;")
    w("- **socat**: `socat -u -b 5` from a file of the lines to a socat receiver writing to a file.")
    w("")
    w("Delivered lines per second = whole lines that reached the receiver / the sender's time")
    w("from its start to its exit.")
    w("")
    w("| run | sent lines/s | delivered lines/s | delivered share | broken lines |")
    w("|---|---:|---:|---:|---:|")
    by_kind = {}
    for run in lines["runs"]:
        sent_rate = run["sent"] / run["send_seconds"]
        delivered_rate = run["delivered"] / run["send_seconds"]
        share = run["delivered"] / run["sent"]
        by_kind.setdefault(run["kind"], []).append((sent_rate, delivered_rate, share, run["broken"]))
        w(f"| {run['kind']} | {sent_rate:,.0f} | {delivered_rate:,.0f} | {share:.1%} | {run['broken']} |")
    w("")
    if "socat" in by_kind:
        s_rate = statistics.median(r[1] for r in by_kind["socat"])
        s_share = statistics.median(r[2] for r in by_kind["socat"])
        w("| kind | median delivered lines/s | median delivered share | broken lines, all runs | against socat |")
        w("|---|---:|---:|---:|---:|")
        for kind in ("publications", "module", "socat"):
            if kind not in by_kind:
                continue
            rate = statistics.median(r[1] for r in by_kind[kind])
            share = statistics.median(r[2] for r in by_kind[kind])
            broken = sum(r[3] for r in by_kind[kind])
            w(f"| {kind} | {rate:,.0f} | {share:.1%} | {broken} | {rate / s_rate:.2f}× |")
            if kind == "publications" or (kind == "module" and "publications" not in by_kind):
                ok = rate / s_rate >= 2 and broken == 0
                summary.append((f"{kind} to {kind}: delivered lines/s against socat (≥ 2×), every line whole",
                                rate / s_rate, 2.0, ok))
        w("")

    # ---- The terminal chat's screen
    screen_path = os.path.join(args.results, "chat_screen.json")
    if os.path.exists(screen_path):
        screen = load(screen_path)
        w("## The terminal chat's screen under arriving lines")
        w("")
        w(f"`bench/chat_screen.py`: `parlino chat` in a {screen['columns']}x{screen['rows']} tmux pane, its "
          "lines sent from 127.0.0.1, runs one after another.")
        w("")
        w("- **latency**: 20 KB pasted into the typed line (no Enter), then 200 lines a second for")
        w("  3 s; the pane is captured again and again, and a line's latency is the time from its send")
        w("  to the first capture that shows it (a capture takes a few milliseconds: the resolution).")
        w("- **CPU**: a short line typed, then 1,000 lines a second for 5 s with a key typed every")
        w("  200 ms; the chat's user + system CPU time until its last line is on the screen.")
        w("")
        w("| run | lines seen | captures/s | median | 95th percentile | max | last line |")
        w("|---|---:|---:|---:|---:|---:|---:|")
        def ms(value):
            return f"{value:,.1f} ms" if value is not None else "never"
        for i, run in enumerate(screen["latency"], 1):
            w(f"| latency {i} | {run['seen']} of {run['lines']} | {run['captures_per_s']:.0f} | "
              f"{ms(run['median_ms'])} | {ms(run['p95_ms'])} | {ms(run['max_ms'])} | {ms(run['last_line_ms'])} |")
        w("")
        w("| run | lines | last shown | seconds | CPU |")
        w("|---|---:|---|---:|---:|")
        for i, run in enumerate(screen["cpu"], 1):
            w(f"| CPU {i} | {run['lines']:,} | {'yes' if run['last_line_shown'] else 'no'} | "
              f"{run['seconds']:.2f} | {run['cpu_s']:.2f} s |")
        w("")
        p95 = [run["p95_ms"] for run in screen["latency"] if run["p95_ms"] is not None]
        if p95 and all(run["seen"] == run["lines"] for run in screen["latency"]):
            worst = max(p95)
            summary.append(("terminal chat: a line arriving at 200 lines/s while 20 KB are typed, on screen "
                            "within 50 ms (95th percentile, worst run)", f"{worst:.1f} ms", None, worst <= 50))
        else:
            summary.append(("terminal chat: every line arriving at 200 lines/s while 20 KB are typed, seen",
                            None, None, False))
        if screen["cpu"]:
            cpu = statistics.median(run["cpu_s"] for run in screen["cpu"])
            summary.append((f"terminal chat: CPU for 1,000 lines/s over 5 s against the old screen's "
                            f"{OLD_SCREEN_CPU_S:.2f} s (≤ 2×)", cpu / OLD_SCREEN_CPU_S, 2.0,
                            cpu <= 2 * OLD_SCREEN_CPU_S))

    # ---- Summary
    w("## Targets")
    w("")
    w("| target | measured | |")
    w("|---|---:|---|")
    for name, ratio, target, ok in summary:
        measured = ratio if isinstance(ratio, str) else f"{ratio:.3f}×" if ratio is not None else "see above"
        w(f"| {name} | {measured} | {verdict(ok)} |")
    w("")

    with open(args.notes) as f:
        w(f.read().strip())
    w("")
    print("\n".join(out))


if __name__ == "__main__":
    main()
