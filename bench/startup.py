#!/usr/bin/env python3
"""Start-up to main window shown and back to exit: wall time, CPU time (user + system) and peak
memory, for Ostravel and for the floor (an empty wxWidgets window of the same kind: a frame with a
menu, a list and a text box), measured in the same run with the two interleaved so that the
machine's load falls on both alike. Run under a display with a notification area, e.g.
    xvfb-run -a scripts/with-tray bench/startup.py build/release/ostravel build/release/bench/startup_floor
(`make bench` does that, and prints the figures in its table).
"""
import os
import statistics
import subprocess
import sys
import time

ROUNDS = 20


def measure(argv):
    """Wall seconds, CPU seconds and peak resident kilobytes of one run."""
    start = time.perf_counter()
    process = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    elapsed = time.perf_counter() - start
    if status != 0:
        raise SystemExit(f"{argv[0]} exited with status {status}")
    return elapsed, usage.ru_utime + usage.ru_stime, usage.ru_maxrss


def summary(runs):
    return {
        "wall": statistics.median(r[0] for r in runs),
        "cpu": statistics.median(r[1] for r in runs),
        "rss": statistics.median(r[2] for r in runs),
        "rss_max": max(r[2] for r in runs),
    }


def run(program, floor, rounds=ROUNDS):
    program_argv, floor_argv = [program, "--exit-when-shown"], [floor]
    # Warm the file cache and the X server (the first toolkit program on a new display also pays
    # for the GL set-up of the display).
    for _ in range(2):
        measure(floor_argv)
        measure(program_argv)
    program_runs, floor_runs = [], []
    for i in range(rounds):
        # Interleaved, and each goes first in every other round.
        pair = [(program_argv, program_runs), (floor_argv, floor_runs)]
        if i % 2:
            pair.reverse()
        for argv, runs in pair:
            runs.append(measure(argv))
    return {"rounds": rounds, "program": summary(program_runs), "floor": summary(floor_runs)}


def main():
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    result = run(sys.argv[1], sys.argv[2])
    p, f = result["program"], result["floor"]
    print(f"{result['rounds']} interleaved runs each; medians, peak memory as the median of the runs' peaks")
    print(f"floor (empty wx window):  wall {f['wall'] * 1000:.0f} ms  CPU {f['cpu'] * 1000:.0f} ms  "
          f"peak {f['rss'] / 1024:.1f} MiB")
    print(f"ostravel:                 wall {p['wall'] * 1000:.0f} ms  CPU {p['cpu'] * 1000:.0f} ms  "
          f"peak {p['rss'] / 1024:.1f} MiB")
    print(f"ratio:                    wall {p['wall'] / f['wall']:.2f}  CPU {p['cpu'] / f['cpu']:.2f}  "
          f"memory {p['rss'] / f['rss']:.2f}")


if __name__ == "__main__":
    main()
