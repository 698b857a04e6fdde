#!/usr/bin/env python3
"""Start-up to main window shown and back to exit, and peak memory, for Ostravel and for the floor
(an empty wxWidgets window of the same kind), measured in the same run. Run under a display, e.g.
    xvfb-run -a bench/startup.py build/release/ostravel build/release/bench/startup_floor
"""
import os
import statistics
import subprocess
import sys
import time

ROUNDS = 20


def measure(argv):
    """Wall seconds and peak resident kilobytes of one run."""
    start = time.perf_counter()
    process = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    elapsed = time.perf_counter() - start
    if status != 0:
        raise SystemExit(f"{argv[0]} exited with status {status}")
    return elapsed, usage.ru_maxrss


def summary(runs):
    return statistics.median(r[0] for r in runs), max(r[1] for r in runs)


def main():
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    program, floor = sys.argv[1], sys.argv[2]
    program_argv, floor_argv = [program, "--exit-when-shown"], [floor]
    measure(program_argv)  # warm the file cache
    measure(floor_argv)
    # Interleave the two so that the machine's load falls on both alike.
    program_runs, floor_runs = [], []
    for _ in range(ROUNDS):
        program_runs.append(measure(program_argv))
        floor_runs.append(measure(floor_argv))
    p_time, p_rss = summary(program_runs)
    f_time, f_rss = summary(floor_runs)
    print(f"floor (empty wx window):  median {f_time * 1000:.0f} ms  peak {f_rss / 1024:.1f} MiB")
    print(f"ostravel:                 median {p_time * 1000:.0f} ms  peak {p_rss / 1024:.1f} MiB")
    print(f"ratio:                    time {p_time / f_time:.2f}  memory {p_rss / f_rss:.2f}")


if __name__ == "__main__":
    main()
