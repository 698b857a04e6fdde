#!/usr/bin/env python3
"""The real program driven as a person drives it, for the exit and idle figures: the host stand-in on
the program's fixed service address (127.0.0.1:28000), the program started bare, the login typed into
its dialog (xdotool), Exit chosen from the File menu with real keys (XTest), and the process read
from /proc while it idles. Needs a display with a notification area and nobody else on port 28000;
`make bench` (bench/run) gives it both: Xvfb with trayer, in a network namespace of its own.

    bench/desktop.py BUILD_DIR exit [RUNS]     Exit to process end, logged in and with the host stopped
    bench/desktop.py BUILD_DIR idle [SECONDS]  logged in with keep-alive: CPU share and wake-ups a second
"""
import ctypes
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

SERVICE = "127.0.0.1:28000"  # the program's build-time service address (the release preset's default)
USER, PASSWORD = "demo", "demo"


class BenchError(Exception):
    pass


def wait_for(predicate, timeout, step=0.01, what="condition"):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(step)
    raise BenchError(f"timed out waiting for {what}")


class Keys:
    """Real key presses through the X server (XTest), without starting a process for each."""

    def __init__(self):
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.xtst = ctypes.CDLL("libXtst.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x11.XStringToKeysym.restype = ctypes.c_ulong
        self.x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
        self.x11.XKeysymToKeycode.restype = ctypes.c_ubyte
        self.x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.x11.XFlush.argtypes = [ctypes.c_void_p]
        self.xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        self.display = self.x11.XOpenDisplay(None)
        if not self.display:
            raise BenchError("no X display")

    def code(self, name):
        return self.x11.XKeysymToKeycode(self.display, self.x11.XStringToKeysym(name.encode()))

    def press(self, name, release=True):
        """Presses (and releases) one key; returns once the server has it."""
        code = self.code(name)
        self.xtst.XTestFakeKeyEvent(self.display, code, 1, 0)
        if release:
            self.xtst.XTestFakeKeyEvent(self.display, code, 0, 0)
        self.x11.XSync(self.display, 0)

    def chord(self, modifier, name):
        mod = self.code(modifier)
        self.xtst.XTestFakeKeyEvent(self.display, mod, 1, 0)
        self.press(name)
        self.xtst.XTestFakeKeyEvent(self.display, mod, 0, 0)
        self.x11.XSync(self.display, 0)


def xdotool(*args):
    return subprocess.run(["xdotool", *args], check=False, capture_output=True, text=True, timeout=20).stdout


class Host:
    """The host stand-in on the program's service address; every line it prints is kept with its time."""

    def __init__(self, hostsim, keepalive=0, gap=50):
        self.dir = tempfile.mkdtemp(prefix="ostravel-bench-")
        self.lines = []
        self.lock = threading.Lock()
        self.process = subprocess.Popen(
            [hostsim, "--listen", SERVICE, "--no-portal", "--keepalive", str(keepalive), "--reply-gap", str(gap),
             "--data", self.dir], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        first = self.process.stdout.readline()
        if not first.startswith("listening"):
            self.stop()
            raise BenchError(f"the host stand-in did not start on {SERVICE}: {first.strip()}")
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for line in self.process.stdout:
            with self.lock:
                self.lines.append((time.monotonic(), line.rstrip("\n")))

    def seen(self, text, since=0.0):
        with self.lock:
            return [t for t, line in self.lines if text in line and t >= since]

    def pause(self):
        os.kill(self.process.pid, signal.SIGSTOP)

    def stop(self):
        if self.process.poll() is None:
            os.kill(self.process.pid, signal.SIGCONT)
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        shutil.rmtree(self.dir, ignore_errors=True)


class Program:
    def __init__(self, program):
        self.process = subprocess.Popen([program], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.pid = self.process.pid
        self.window = wait_for(lambda: self._window("Quenlor Ostravel"), 10, 0.02, "the main window")
        self.status = None

    def _window(self, name):
        found = xdotool("search", "--all", "--onlyvisible", "--pid", str(self.pid), "--name", f"^{name}$").split()
        return found[0] if found else None

    def login(self, host, keys):
        """Ctrl+L, the user name and password typed into the dialog, Return; tried again when the keys
        went astray (a dialog that is mapped is not always ready for them at once)."""
        for attempt in range(4):
            since = time.monotonic()
            xdotool("windowfocus", "--sync", self.window)
            keys.chord("Control_L", "l")
            try:
                dialog = wait_for(lambda: self._window("Account Login"), 3, 0.02, "the login dialog")
            except BenchError:
                continue
            time.sleep(0.2 + 0.3 * attempt)
            xdotool("windowfocus", "--sync", dialog)
            xdotool("type", "--delay", "5", USER)
            keys.press("Tab")
            xdotool("type", "--delay", "5", PASSWORD)
            time.sleep(0.1)
            keys.press("Return")
            try:
                # The status report has gone out to the program; give it a moment to show it.
                wait_for(lambda: host.seen("Server Status", since), 3, 0.01, "the first status report")
            except BenchError:
                if self._window("Account Login"):
                    xdotool("windowfocus", "--sync", dialog)
                    keys.press("Escape")
                    time.sleep(0.3)
                continue
            time.sleep(0.3)
            return
        raise BenchError("the login through the dialog did not go through")

    def choose_exit(self, keys):
        """File > Exit with real keys; the time of the key that chooses Exit, and the process's end."""
        xdotool("windowfocus", "--sync", self.window)
        keys.chord("Alt_L", "f")
        time.sleep(0.4)  # the menu opens and takes the keyboard
        start = time.monotonic()
        keys.press("x", release=False)
        _, self.status, _ = os.wait4(self.pid, 0)
        end = time.monotonic()
        keys.xtst.XTestFakeKeyEvent(keys.display, keys.code("x"), 0, 0)
        keys.x11.XSync(keys.display, 0)
        return end - start

    def kill(self):
        if self.status is None and self.process.poll() is None:
            self.process.kill()
            self.process.wait()


def exit_runs(build, runs=8):
    """Exit to process end, logged in (host answering) and with the host stopped (SIGSTOP), alternating."""
    keys = Keys()
    hostsim = os.path.join(build, "tools/hostsim/ostravel-hostsim")
    results = {"answering": [], "stopped": []}
    for i in range(runs * 2):
        case = "answering" if i % 2 == 0 else "stopped"
        host = Host(hostsim)
        program = None
        try:
            program = Program(os.path.join(build, "ostravel"))
            program.login(host, keys)
            if case == "stopped":
                host.pause()
                time.sleep(0.1)
            seconds = program.choose_exit(keys)
            if program.status != 0:
                raise BenchError(f"the program exited with status {program.status}")
            results[case].append(seconds)
        finally:
            if program is not None:
                program.kill()
            host.stop()
    return {case: {"median": statistics.median(v), "max": max(v), "runs": len(v)} for case, v in results.items()}


def task_counters(pid):
    """Per thread: (name, CPU nanoseconds, context switches)."""
    counters = {}
    base = f"/proc/{pid}/task"
    for tid in os.listdir(base):
        try:
            with open(f"{base}/{tid}/schedstat") as f:
                cpu = int(f.read().split()[0])
            switches = 0
            with open(f"{base}/{tid}/status") as f:
                for line in f:
                    if line.startswith(("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")):
                        switches += int(line.split()[1])
            with open(f"{base}/{tid}/comm") as f:
                name = f.read().strip()
        except FileNotFoundError:
            continue
        counters[tid] = (name, cpu, switches)
    return counters


def idle_run(build, seconds=60, keepalive=10):
    """Logged in, the host's keep-alive every `keepalive` seconds: CPU share and wake-ups a second, those
    in seconds without a keep-alive apart from the rest."""
    keys = Keys()
    host = Host(os.path.join(build, "tools/hostsim/ostravel-hostsim"), keepalive=keepalive)
    program = None
    try:
        program = Program(os.path.join(build, "ostravel"))
        program.login(host, keys)
        # The window has the keyboard, as on a desktop after the login dialog closes.
        xdotool("windowfocus", "--sync", program.window)
        time.sleep(1.0)
        samples = [(time.monotonic(), task_counters(program.pid))]
        for _ in range(seconds):
            time.sleep(1.0)
            samples.append((time.monotonic(), task_counters(program.pid)))
        keepalives = host.seen("keep-alive status report", samples[0][0] - 1)
        program.choose_exit(keys)
    finally:
        if program is not None:
            program.kill()
        host.stop()

    def delta(a, b):
        cpu = wakes = 0
        for tid, (name, c, s) in b.items():
            _, c0, s0 = a.get(tid, (name, 0, 0))
            cpu += c - c0
            wakes += s - s0
        return cpu, wakes

    elapsed = samples[-1][0] - samples[0][0]
    total_cpu, total_wakes = delta(samples[0][1], samples[-1][1])
    quiet, busy = [], []
    for (t0, a), (t1, b) in zip(samples, samples[1:]):
        _, wakes = delta(a, b)
        near = any(t0 - 0.5 <= k < t1 for k in keepalives)
        (busy if near else quiet).append(wakes / (t1 - t0))
    per_thread = {}
    first, last = samples[0][1], samples[-1][1]
    for tid, (name, c, s) in last.items():
        _, c0, s0 = first.get(tid, (name, 0, 0))
        if s - s0:
            per_thread[f"{name}/{tid}"] = s - s0
    quiet_rate = statistics.mean(quiet) if quiet else 0.0
    per_keepalive = (sum(busy) - quiet_rate * len(busy)) / len(keepalives) if keepalives else 0.0
    return {
        "seconds": elapsed,
        "cpu_percent": total_cpu / 1e9 / elapsed * 100,
        "wakeups_per_s": total_wakes / elapsed,
        "quiet_wakeups_per_s": quiet_rate,
        "quiet_seconds": len(quiet),
        "keepalives": len(keepalives),
        "wakeups_per_keepalive": per_keepalive,
        "threads": per_thread,
    }


def main():
    if len(sys.argv) < 3 or sys.argv[2] not in ("exit", "idle"):
        raise SystemExit(__doc__)
    build = sys.argv[1]
    if sys.argv[2] == "exit":
        runs = int(sys.argv[3]) if len(sys.argv) > 3 else 8
        for case, r in exit_runs(build, runs).items():
            print(f"exit, host {case}: median {r['median'] * 1000:.0f} ms, slowest {r['max'] * 1000:.0f} ms "
                  f"({r['runs']} runs)")
    else:
        seconds = int(sys.argv[3]) if len(sys.argv) > 3 else 60
        r = idle_run(build, seconds)
        print(f"idle {r['seconds']:.0f} s logged in, {r['keepalives']} keep-alives: CPU {r['cpu_percent']:.3f}%, "
              f"{r['wakeups_per_s']:.2f} wake-ups/s in all, {r['quiet_wakeups_per_s']:.2f}/s in the "
              f"{r['quiet_seconds']} seconds without a keep-alive, {r['wakeups_per_keepalive']:.1f} per keep-alive")
        for name, count in sorted(r["threads"].items(), key=lambda kv: -kv[1]):
            print(f"  {name}: {count} wake-ups")


if __name__ == "__main__":
    try:
        main()
    except BenchError as error:
        raise SystemExit(f"desktop bench: {error}")
