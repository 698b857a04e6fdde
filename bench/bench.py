#!/usr/bin/env python3
"""Runs every benchmark of bench/ and prints one table of figures, ratios and targets (the README's
"Measured figures" table is this table). Run by `make bench` (bench/run), which builds the release
preset and gives this script what it needs: a display with a notification area (Xvfb, trayer) and a
network namespace of its own, where the program's fixed service address 127.0.0.1:28000 is free.

    bench/bench.py BUILD_DIR [--markdown FILE] [--quick]
"""
import argparse
import contextlib
import datetime
import fcntl
import os
import re
import socket
import struct
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import desktop  # noqa: E402
import startup  # noqa: E402


def loopback_up():
    """In a fresh network namespace the loopback interface starts down."""
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    try:
        SIOCGIFFLAGS, SIOCSIFFLAGS, IFF_UP = 0x8913, 0x8914, 0x1
        flags = struct.unpack("16sH", fcntl.ioctl(sock, SIOCGIFFLAGS, struct.pack("16sH", b"lo", 0)))[1]
        if not flags & IFF_UP:
            fcntl.ioctl(sock, SIOCSIFFLAGS, struct.pack("16sH", b"lo", flags | IFF_UP))
    except OSError:
        pass  # not ours to change; the runners say so if it matters
    finally:
        sock.close()


def figures(output):
    """The "= name value" lines a C++ runner prints."""
    return {m.group(1): float(m.group(2)) for m in re.finditer(r"^= (\w+) (\S+)$", output, re.M)}


def run_program(argv, timeout):
    completed = subprocess.run(argv, capture_output=True, text=True, timeout=timeout)
    sys.stderr.write(completed.stdout)
    if completed.returncode != 0:
        sys.stderr.write(completed.stderr)
        raise SystemExit(f"bench: {os.path.basename(argv[0])} failed with status {completed.returncode}")
    return completed.stdout


def ms(seconds):
    return f"{seconds * 1000:.0f} ms"


def us(micros):
    return f"{micros:.1f} µs"


def machine_line():
    """When, which commit and on what: the table's header."""
    root = os.path.dirname(HERE)

    def git(*args):
        return subprocess.run(["git", "-C", root, *args], capture_output=True, text=True).stdout.strip()

    commit = git("rev-parse", "--short", "HEAD") or "unknown"
    if git("status", "--porcelain", "--untracked-files=no"):
        commit += "+dirty"
    model = "unknown CPU"
    with contextlib.suppress(OSError), open("/proc/cpuinfo") as cpuinfo:
        found = re.search(r"^model name\s*:\s*(.+)$", cpuinfo.read(), re.M)
        model = found.group(1).strip() if found else model
    when = datetime.datetime.now().astimezone().strftime("%Y-%m-%d %H:%M %Z")
    return f"{when}, commit {commit}, {os.cpu_count()} cores ({model}), load {os.getloadavg()[0]:.2f} at the start"


@contextlib.contextmanager
def cpu_hog():
    """One core kept busy for the length of the block (as `stress-ng --cpu 1` would)."""
    hog = subprocess.Popen([sys.executable, "-c", "while True: pass"])
    try:
        yield
    finally:
        hog.kill()
        hog.wait()


class Table:
    def __init__(self):
        self.rows = []

    def add(self, what, ostravel, reference, ratio, target, met):
        verdict = "" if met is None else "met" if met else "**missed**"
        self.rows.append((what, ostravel, reference, ratio, target, verdict))

    def markdown(self, header):
        lines = [header, "", "| What | Ostravel | Floor or budget | Ratio or result | Target | |",
                 "|---|---|---|---|---|---|"]
        lines += ["| " + " | ".join(row) + " |" for row in self.rows]
        return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("build")
    parser.add_argument("--markdown", help="also write the table to this file")
    parser.add_argument("--quick", action="store_true", help="fewer rounds and a shorter idle (a trial run)")
    args = parser.parse_args()
    build = args.build
    bench = os.path.join(build, "bench")
    loopback_up()
    header = machine_line()
    table = Table()
    began = time.monotonic()
    log = sys.stderr

    def stage(name):
        log.write(f"\n== {name} ({time.monotonic() - began:.0f} s)\n")
        log.flush()

    # 1. Start-up, interleaved with the floor, both under this display's notification area.
    stage("start-up: window shown and exit, against bench/startup_floor")
    rounds = 6 if args.quick else startup.ROUNDS
    s = startup.run(os.path.join(build, "ostravel"), os.path.join(bench, "startup_floor"), rounds)
    p, f = s["program"], s["floor"]
    log.write(f"program {p}\nfloor   {f}\n")
    n = f"median of {rounds}"
    table.add(f"start-up to window shown and exit, wall ({n})", ms(p["wall"]), ms(f["wall"]),
              f"{p['wall'] / f['wall']:.2f}", "≤ 1.10", p["wall"] / f["wall"] <= 1.10)
    table.add(f"start-up to window shown and exit, CPU ({n})", ms(p["cpu"]), ms(f["cpu"]),
              f"{p['cpu'] / f['cpu']:.2f}", "≤ 1.10", p["cpu"] / f["cpu"] <= 1.10)
    table.add(f"peak memory at start-up ({n})", f"{p['rss'] / 1024:.1f} MiB", f"{f['rss'] / 1024:.1f} MiB",
              f"{p['rss'] / f['rss']:.2f}", "≤ 1.10", p["rss"] / f["rss"] <= 1.10)

    # 2. Command round trip against its floor (a raw ping-pong whose reply a second thread reads and
    # hands over through the UI thread's kind of wake-up), interleaved, five runs; idle, then with one
    # core kept busy.
    rounds = "2000" if args.quick else "10000"
    for load, label in ((None, "idle"), (cpu_hog, "one core busy")):
        stage(f"command round trip against its floor, {label}")
        with load() if load else contextlib.nullcontext():
            r = figures(run_program([os.path.join(bench, "bench_roundtrip"), "5", rounds], 300))
        floor = f"floor {us(r['floor_median_us'])} (one thread {us(r['raw_median_us'])})"
        table.add(f"command round trip, median (5 runs, {label})", us(r["command_median_us"]), floor,
                  f"{r['median_ratio']:.2f} (runs {r['median_ratio_low']:.2f}–{r['median_ratio_high']:.2f})",
                  "≤ 1.15", r["median_ratio"] <= 1.15)
        table.add(f"command round trip, p99 (5 runs, {label})", us(r["command_p99_us"]),
                  f"floor {us(r['floor_p99_us'])} (one thread {us(r['raw_p99_us'])})",
                  f"{r['p99_ratio']:.2f} (runs {r['p99_ratio_low']:.2f}–{r['p99_ratio_high']:.2f})", "≤ 1.5",
                  r["p99_ratio"] <= 1.5)

    # 3. Login to status against a server that answers at once.
    stage("login to status box filled")
    lg = figures(run_program([os.path.join(bench, "bench_login"), "100" if args.quick else "300"], 120))
    budget = 2 * lg["rtt_median_us"] + 5000
    table.add("login: OK to status box filled, median (p99)",
              f"{lg['login_median_us'] / 1000:.2f} ms ({lg['login_p99_us'] / 1000:.1f} ms)",
              f"2 × {us(lg['rtt_median_us'])} + 5 ms", f"client time {lg['client_us'] / 1000:.2f} ms",
              "≤ 2 round trips + 5 ms", lg["login_median_us"] <= budget)

    # 4. Exit to process end, the real program driven by keys.
    stage("exit: File > Exit to process end")
    ex = desktop.exit_runs(build, 3 if args.quick else 8)
    for case, label in (("answering", "logged in"), ("stopped", "logged in, host stopped answering")):
        e = ex[case]
        table.add(f"exit to process end, {label} (median, slowest of {e['runs']})", ms(e["median"]),
                  "", f"slowest {ms(e['max'])}", "≤ 150 ms", e["max"] <= 0.150)

    # 5. Idle, logged in, with the host's keep-alive.
    stage("idle, logged in, keep-alive every 10 s")
    idle = desktop.idle_run(build, 20 if args.quick else 60)
    log.write(f"{idle}\n")
    table.add(f"idle {idle['seconds']:.0f} s logged in, keep-alive every 10 s: CPU",
              f"{idle['cpu_percent']:.3f} %", "", f"{idle['keepalives']} keep-alives", "≤ 0.1 %",
              idle["cpu_percent"] <= 0.1)
    table.add("idle: wake-ups a second beyond the keep-alive's",
              f"{idle['quiet_wakeups_per_s']:.2f} /s", "",
              f"{idle['wakeups_per_s']:.2f} /s in all, {idle['wakeups_per_keepalive']:.0f} per keep-alive",
              "≤ 2 /s", idle["quiet_wakeups_per_s"] <= 2)

    # 6. No growth over many commands and log views.
    stage("growth over commands and log views")
    g = figures(run_program([os.path.join(bench, "bench_growth"), "300" if args.quick else "1000"], 300))
    table.add(f"resident growth, {g['commands']:.0f} commands and {g['views']:.0f} log views, beyond the first 100",
              f"{g['growth_kib']:.0f} KiB", f"{g['rss_first_kib'] / 1024:.1f} MiB after 100", "",
              "< 1 MiB", g["growth_kib"] < 1024)

    # 7. The station history: one change recorded (on the recorder's thread) against a bare SQLite row.
    stage("station history: one change, a year read back")
    h = figures(run_program([os.path.join(bench, "bench_history"), "1000" if args.quick else "5000"], 300))
    table.add("history: one change recorded, median (p99)",
              f"{h['record_median_us']:.0f} µs ({h['record_p99_us'] / 1000:.2f} ms)",
              f"bare row {h['floor_median_us']:.0f} µs ({h['floor_p99_us'] / 1000:.2f} ms)",
              f"{h['record_median_us'] / h['floor_median_us']:.2f}", "p99 ≤ 5 ms", h["record_p99_us"] <= 5000)
    table.add(f"history: {h['read_spans']:.0f} spans (400 days, one change every 10 min) read",
              ms(h["read_median_us"] / 1e6), "", f"file {h['file_bytes'] / 1048576:.1f} MiB for "
              f"{h['stored_spans']:.0f} spans", "", None)

    # 8. The history window over that year: from the Account menu's command to the band drawn.
    stage("station history window over 400 days")
    opened, month = [], []
    for _ in range(3 if args.quick else 7):
        out = run_program([os.path.join(build, "tests", "gui", "gui_tests"), "--gtest_filter=HistoryWindowTest.*"], 300)
        m = re.search(r"history window: (\d+) ms from the menu to drawn \(a day\), (\d+) ms to a month", out)
        if not m:
            raise SystemExit("bench: the history window's test printed no figure")
        opened.append(int(m.group(1)))
        month.append(int(m.group(2)))
    opened.sort()
    month.sort()
    table.add(f"history window over 57,601 spans: menu to drawn (median of {len(opened)}; then a month)",
              f"{opened[len(opened) // 2]} ms", "", f"a month {month[len(month) // 2]} ms, slowest {opened[-1]} ms",
              "≤ 100 ms", opened[len(opened) // 2] <= 100)

    # 9. The UI thread under a status request every second, and reconnection.
    stage("UI thread under status every second; reconnection")
    seconds = 10 if args.quick else 60
    se = figures(run_program([os.path.join(bench, "bench_session"), str(seconds)], seconds * 2 + 120))
    table.add(f"UI thread's longest stall, status asked every second for {seconds} s",
              f"{se['stall_max_ms']:.1f} ms", f"nothing asked: {se['quiet_max_ms']:.1f} ms",
              f"p99 {se['stall_p99_ms']:.2f} ms (nothing asked {se['quiet_p99_ms']:.2f} ms)", "≤ 16 ms",
              se["stall_max_ms"] <= 16)
    budget = se["round_trip_ms"] + 5
    table.add("reconnection: delay over to logged in again (slower of 2)", f"{se['reconnect_slow_ms']:.1f} ms",
              f"1 × {se['round_trip_ms']:.2f} ms + 5 ms", f"faster {se['reconnect_fast_ms']:.1f} ms",
              "≤ 1 round trip + 5 ms", se["reconnect_slow_ms"] <= budget)

    # The reply router's own cost, for reference.
    stage("routing (Google Benchmark)")
    out = run_program([os.path.join(bench, "bench_routing"), "--benchmark_min_time=0.2"], 120)
    for line in out.splitlines():
        m = re.match(r"(BM_\S+)\s+([\d.]+) (\w+)\s+([\d.]+) (\w+)", line)
        if m:
            table.add(f"routing: {m.group(1)}", f"{m.group(4)} {m.group(5)} CPU", "", "", "", None)

    stage("done")
    text = table.markdown(header)
    print(text)
    print(f"\n{time.monotonic() - began:.0f} s in all")
    if args.markdown:
        with open(args.markdown, "w") as f:
            f.write(text + "\n")


if __name__ == "__main__":
    try:
        main()
    except desktop.BenchError as error:
        raise SystemExit(f"bench: {error}")
