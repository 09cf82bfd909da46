#!/usr/bin/env python3
"""Measures the client against references run in the same session, prints one table and writes
it as Markdown. Started by scripts/bench, which builds the programs, the Wine prefix, the
display and passes their places; every figure is a ratio to a reference measured here, since
the machines are shared and noisy.

Process figures are read from the Linux side: the Wine process of an exe is the process that
`wine <exe>` starts (/proc/<pid>/status VmRSS, /proc/<pid>/stat utime + stime). Windows are
watched on the X display through Xlib (ctypes), so both programs are judged by the same eye.
"""
import argparse
import ctypes
import ctypes.util
import os
import signal
import statistics
import subprocess
import sys
import threading
import time

LOGIN_SIZE = (1213, 749)
STABLE_SECONDS = 0.25  # a placement that holds this long is the one the user sees
CLK_TCK = os.sysconf("SC_CLK_TCK")
MB = 1_000_000
MIB = 1 << 20


# ---- X windows ----------------------------------------------------------------------------

class XWindowAttributes(ctypes.Structure):
    _fields_ = [
        ("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int),
        ("height", ctypes.c_int), ("border_width", ctypes.c_int), ("depth", ctypes.c_int),
        ("visual", ctypes.c_void_p), ("root", ctypes.c_ulong), ("c_class", ctypes.c_int),
        ("bit_gravity", ctypes.c_int), ("win_gravity", ctypes.c_int),
        ("backing_store", ctypes.c_int), ("backing_planes", ctypes.c_ulong),
        ("backing_pixel", ctypes.c_ulong), ("save_under", ctypes.c_int),
        ("colormap", ctypes.c_ulong), ("map_installed", ctypes.c_int),
        ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
        ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
        ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p),
    ]


class XClassHint(ctypes.Structure):
    _fields_ = [("res_name", ctypes.c_void_p), ("res_class", ctypes.c_void_p)]


IS_VIEWABLE = 2
ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)


class Screen:
    """Top-level windows of the display: (class name, x, y, width, height, viewable)."""

    def __init__(self):
        self.x = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11") or "libX11.so.6")
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x.XQueryTree.argtypes = [
            ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
            ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
            ctypes.POINTER(ctypes.c_uint)]
        self.x.XGetWindowAttributes.argtypes = [
            ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(XWindowAttributes)]
        self.x.XGetClassHint.argtypes = [
            ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(XClassHint)]
        self.x.XFree.argtypes = [ctypes.c_void_p]
        # Windows come and go while they are listed: ignore the errors that causes.
        self._handler = ERROR_HANDLER(lambda d, e: 0)
        self.x.XSetErrorHandler(self._handler)
        self.dpy = self.x.XOpenDisplay(None)
        if not self.dpy:
            raise SystemExit("bench: cannot open the X display")
        self.root = self.x.XDefaultRootWindow(self.dpy)

    def windows(self):
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        children = ctypes.POINTER(ctypes.c_ulong)()
        n = ctypes.c_uint()
        if not self.x.XQueryTree(self.dpy, self.root, ctypes.byref(root), ctypes.byref(parent),
                                 ctypes.byref(children), ctypes.byref(n)):
            return []
        found = []
        for i in range(n.value):
            w = children[i]
            hint = XClassHint()
            if not self.x.XGetClassHint(self.dpy, w, ctypes.byref(hint)):
                continue
            name = ""
            if hint.res_name:
                name = ctypes.string_at(hint.res_name).decode("latin-1").lower()
                self.x.XFree(hint.res_name)
            if hint.res_class:
                self.x.XFree(hint.res_class)
            attrs = XWindowAttributes()
            if not self.x.XGetWindowAttributes(self.dpy, w, ctypes.byref(attrs)):
                continue
            found.append((name, attrs.x, attrs.y, attrs.width, attrs.height,
                          attrs.map_state == IS_VIEWABLE))
        if children:
            self.x.XFree(children)
        return found


def placement(screen, exe_name):
    """(every login-sized window of this exe is viewable on the screen, at least one is)."""
    every, some = True, False
    for name, x, y, w, h, viewable in screen.windows():
        if name == exe_name and (w, h) == LOGIN_SIZE:
            here = viewable and x >= 0 and y >= 0
            every = every and here
            some = some or here
    return every and some, some


def exists(screen, exe_name):
    """Any window of this exe other than Wine's input-method helper."""
    for name, x, y, w, h, viewable in screen.windows():
        if name == exe_name and (w, h) != (1, 1):
            return True
    return False


# ---- processes ----------------------------------------------------------------------------

def rss_mib(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1]) / 1024.0
    except OSError:
        pass
    return None


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLK_TCK  # utime, stime


def start(exe, args=(), **kw):
    return subprocess.Popen(["wine", exe, *args], stdin=subprocess.DEVNULL, **kw)


def end(proc):
    """Ends a process this script started, by its id."""
    if proc.poll() is None:
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(5)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def wait_gone(screen, exe_name, timeout=10):
    """Until the X server has dropped every window of an ended exe (a new start of the same exe
    must not be judged by its predecessor's windows)."""
    t0 = time.monotonic()
    while time.monotonic() - t0 < timeout:
        if not any(w[0] == exe_name for w in screen.windows()):
            return
        time.sleep(0.02)
    raise SystemExit("bench: windows of %s stay after it ended" % exe_name)


def wait_window(screen, proc, exe_name, timeout, t0=None, need_placed=True, first_seen=None):
    """Seconds from t0 (default now) until the exe's login-sized windows are all viewable at
    their place and stay there (the client's login window and its artwork window both); when
    that never happens (or need_placed is false), the time its first window appeared.
    first_seen, a list, receives the time a login-sized window first showed at its place.
    Returns (seconds, placed?)."""
    t0 = time.monotonic() if t0 is None else t0
    first = None
    since = None
    while time.monotonic() - t0 < timeout and proc.poll() is None:
        now = time.monotonic() - t0
        if need_placed:
            every, some = placement(screen, exe_name)
            if some and first_seen is not None and not first_seen:
                first_seen.append(now)
            if every:
                since = now if since is None else since
                if now - since >= STABLE_SECONDS:
                    return since, True
            else:
                since = None
        if first is None and exists(screen, exe_name):
            first = now
            if not need_placed:
                break
        time.sleep(0.004)
    return first, False


# ---- figures ------------------------------------------------------------------------------

def median(values):
    return statistics.median(values) if values else float("nan")


def spread(values):
    """Half the range around the median, as a share of it."""
    if len(values) < 2 or not median(values):
        return 0.0
    return (max(values) - min(values)) / 2 / abs(median(values))


def fmt(values, unit, digits=2):
    return "%.*f %s ± %.0f%%" % (digits, median(values), unit, 100 * spread(values))


def measure_start(a, screen, log):
    """Start-up to the login screen (or the windows) and the memory once it shows."""
    client = os.path.join(a.bin, "Velmora.exe")
    bare = os.path.join(a.bin, "bench_bare.exe")
    times = {"client": [], "bare": []}
    rss = {"client": [], "bare": []}
    first = []  # when the client's login window first reached its place
    all_placed = True
    run = 0
    while run < a.runs:
        for who, exe in (("bare", bare), ("client", client)):
            wait_gone(screen, os.path.basename(exe).lower())
            t0 = time.monotonic()
            proc = start(exe, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            seen = []
            try:
                seconds, ok = wait_window(screen, proc, os.path.basename(exe).lower(), a.timeout,
                                          t0, all_placed, seen)
                if who == "client" and seen:
                    first.append(seen[0])
                if seconds is None:
                    raise SystemExit("bench: %s showed no window within %ds" % (who, a.timeout))
                if who == "client" and all_placed and not ok:
                    # A client that does not place its login screen is timed, like the
                    # reference, to its first window in every run (and the table says so).
                    all_placed = False
                    run = -1
                times[who].append(seconds)
                time.sleep(a.settle)
                rss[who].append(rss_mib(proc.pid) or float("nan"))
            finally:
                end(proc)
            log("start %s run %d: %.3f s, %.1f MiB" % (who, run + 1, times[who][-1], rss[who][-1]))
        if run < 0:
            log("the login screen was not placed within %d s: timing first windows" % a.timeout)
            times = {"client": [], "bare": []}
            rss = {"client": [], "bare": []}
            first = []
        run += 1
    return times, rss, all_placed, first


def measure_page(a, log):
    """The login page's own load time: fetching it through WinINet in the same Wine, as the
    engine does (the plain loop program reports the fetch without its own process start)."""
    url = "http://127.0.0.1:%d/pelun/wd/index.html" % a.port
    target = os.path.join(a.work, "page.html")
    times = []
    for _ in range(max(a.runs, 3)):
        seconds, _ = run_transfer(["wine", os.path.join(a.bin, "bench_wininet.exe"), url, target],
                                  "page fetch", log)
        times.append(seconds)
    return times


def measure_idle(a, screen, log, need_placed):
    """CPU time of the idle client and the idle bare window over the same period, side by side."""
    client = os.path.join(a.bin, "Velmora.exe")
    bare = os.path.join(a.bin, "bench_bare.exe")
    used = {"client": [], "bare": []}
    for run in range(a.idle_runs):
        procs = {}
        try:
            for who, exe in (("bare", bare), ("client", client)):
                wait_gone(screen, os.path.basename(exe).lower())
                procs[who] = start(exe, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                wait_window(screen, procs[who], os.path.basename(exe).lower(), a.timeout,
                            need_placed=need_placed)
            time.sleep(a.settle + 2)
            before = {who: cpu_seconds(p.pid) for who, p in procs.items()}
            time.sleep(a.idle_seconds)
            for who, p in procs.items():
                used[who].append((cpu_seconds(p.pid) - before[who]) * 1000)
        finally:
            for p in procs.values():
                end(p)
        log("idle run %d: client %.0f ms, bare %.0f ms of CPU in %d s" %
            (run + 1, used["client"][-1], used["bare"][-1], a.idle_seconds))
    return used


def run_transfer(cmd, log_name, log):
    """Runs a transfer program; returns (seconds it reports, RSS growth in MiB during it)."""
    marks = {}
    proc = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, text=True)
    lines = []

    def reader():
        for line in proc.stdout:
            line = line.strip()
            lines.append(line)
            if line == "begin":
                marks["begin"] = time.monotonic()

    t = threading.Thread(target=reader, daemon=True)
    t.start()
    samples = []
    while proc.poll() is None:
        value = rss_mib(proc.pid)
        if value is not None:
            samples.append((time.monotonic(), value))
        time.sleep(0.01)
    t.join(5)
    result = [l for l in lines if l and l != "begin"]
    if proc.returncode != 0 or not result:
        raise SystemExit("bench: %s failed (exit %s): %s" % (log_name, proc.returncode, lines))
    seconds = float(result[-1].split()[0])
    during = [v for ts, v in samples if ts >= marks.get("begin", 0)]
    growth = (max(during) - during[0]) if during else float("nan")
    return seconds, growth


def measure_download(a, log):
    url = "http://127.0.0.1:%d/bench/bytes?size=%d" % (a.port, a.download_bytes)
    target = os.path.join(a.work, "download.bin")
    loop = os.path.join(a.bin, "bench_wininet.exe")
    driver = os.path.join(a.bin, "bench_downloader.exe")
    have_driver = os.path.exists(driver)
    res = {"loop": [], "downloader": [], "curl": [], "loop_mem": [], "downloader_mem": []}
    for run in range(a.download_runs):
        # Each transfer starts without a target file, and the two programs take turns at
        # going first, so neither gains from what the other left behind.
        order = [("loop", loop), ("downloader", driver)] if have_driver else [("loop", loop)]
        if run % 2:
            order.reverse()
        for who, exe in [("curl", None)] + order:
            if os.path.exists(target):
                os.remove(target)
            if exe is None:
                out = subprocess.run(["curl", "-s", "-o", target, "-w", "%{time_total}", url],
                                     capture_output=True, text=True, check=True)
                res["curl"].append(a.download_bytes / float(out.stdout) / MB)
                continue
            seconds, growth = run_transfer(["wine", exe, url, target], os.path.basename(exe), log)
            res[who].append(a.download_bytes / seconds / MB)
            res[who + "_mem"].append(growth)
        if os.path.exists(target):
            os.remove(target)
        log("download run %d: loop %.1f MB/s, downloader %s, curl %.1f MB/s" % (
            run + 1, res["loop"][-1],
            "%.1f MB/s" % res["downloader"][-1] if have_driver else "-", res["curl"][-1]))
    return res, have_driver


def verdict(ok):
    return "yes" if ok else "**no**"


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--bin", required=True, help="folder of Velmora.exe and the bench programs")
    p.add_argument("--work", required=True, help="scratch folder for downloaded files")
    p.add_argument("--port", type=int, required=True, help="port of the bench server")
    p.add_argument("--out", required=True, help="Markdown file for the table")
    p.add_argument("--runs", type=int, default=5)
    p.add_argument("--idle-runs", type=int, default=3)
    p.add_argument("--idle-seconds", type=int, default=60)
    p.add_argument("--download-bytes", type=int, default=100 * MB)
    p.add_argument("--download-runs", type=int, default=9)
    p.add_argument("--settle", type=float, default=2.0)
    p.add_argument("--timeout", type=int, default=30)
    a = p.parse_args()
    os.makedirs(a.work, exist_ok=True)

    def log(text):
        print("   " + text, file=sys.stderr, flush=True)

    screen = Screen()
    exe = os.path.join(a.bin, "Velmora.exe")
    size = os.path.getsize(exe)

    log("start-up and memory, %d runs each" % a.runs)
    # A first start warms the prefix (wineserver, services, explorer) for both programs alike.
    warm = start(os.path.join(a.bin, "bench_bare.exe"), stdout=subprocess.DEVNULL,
                 stderr=subprocess.DEVNULL)
    wait_window(screen, warm, "bench_bare.exe", a.timeout)
    end(warm)
    times, rss, all_placed, first = measure_start(a, screen, log)
    page = measure_page(a, log)
    log("download of %d bytes, %d runs each" % (a.download_bytes, a.download_runs))
    dl, have_driver = measure_download(a, log)
    log("idle CPU, %d runs of %d s" % (a.idle_runs, a.idle_seconds))
    idle = measure_idle(a, screen, log, all_placed)

    rows = []
    rows.append(("stripped release exe, artwork included", "%d bytes" % size, "—",
                 "%.2f MB (≤ 1.00 MB)" % (size / MB), verdict(size <= MB)))

    ratio = median(times["client"]) / median(times["bare"])
    allowed = 1.3 * median(times["bare"]) + median(page)
    what = ("start → login window visible at its place" if all_placed else
            "start → the client's first window exists (login screen not placed yet)")
    client_cell = fmt(times["client"], "s", 3)
    if all_placed and first and median(first) < median(times["client"]) - 0.05:
        client_cell += "; the login window first reached its place at %s" % fmt(first, "s", 3)
    rows.append((what, client_cell,
                 "bare window %s; page fetch (WinINet) %.1f ms" % (fmt(times["bare"], "s", 3),
                                                         1000 * median(page)),
                 "%.2f × reference (≤ 1.3 × + page)" % ratio,
                 verdict(median(times["client"]) <= allowed)))

    extra = median(rss["client"]) - median(rss["bare"])
    shown = "the login screen shows" if all_placed else "the client's windows exist"
    rows.append(("resident memory once " + shown, fmt(rss["client"], "MiB", 1),
                 "bare window %s" % fmt(rss["bare"], "MiB", 1),
                 "%+.1f MiB (≤ +12 MiB)" % extra, verdict(extra <= 12)))

    if have_driver:
        # Each run's two transfers sit side by side in time: their ratio is steadier than the
        # ratio of medians on a machine whose load drifts.
        ratios = [d / l for d, l in zip(dl["downloader"], dl["loop"])]
        ratio = median(ratios)
        rows.append(("%d MB download through CHttpDownloader to a file" % (a.download_bytes // MB),
                     fmt(dl["downloader"], "MB/s", 1),
                     "plain WinINet loop %s; curl %s" % (fmt(dl["loop"], "MB/s", 1),
                                                         fmt(dl["curl"], "MB/s", 0)),
                     "%.2f × reference ± %.0f%% (≥ 0.9 ×)" % (ratio, 100 * spread(ratios)),
                     verdict(ratio >= 0.9)))
        growth = median(dl["downloader_mem"])
        rows.append(("memory growth during that download", "%.1f MiB" % growth,
                     "plain loop %.1f MiB" % median(dl["loop_mem"]),
                     "%+.1f MiB (flat: ≤ +1 MiB over the loop)" % (growth - median(dl["loop_mem"])),
                     verdict(growth <= median(dl["loop_mem"]) + 1)))
    else:
        rows.append(("%d MB download through CHttpDownloader to a file" % (a.download_bytes // MB),
                     "not measured: the downloader is not built yet",
                     "plain WinINet loop %s; curl %s" % (fmt(dl["loop"], "MB/s", 1),
                                                         fmt(dl["curl"], "MB/s", 0)),
                     "—", "pending"))

    # The workers, once started, wake every 10 s: 2 × 6 wake-ups a minute, each far below a
    # clock tick; two ticks of the counters' resolution cover them.
    tick_ms = 1000.0 / CLK_TCK
    allowance = 2 * tick_ms * a.idle_seconds / 60
    extra = median(idle["client"]) - median(idle["bare"])
    rows.append(("CPU time of the idle client over %d s" % a.idle_seconds,
                 fmt(idle["client"], "ms", 0), "idle bare window %s" % fmt(idle["bare"], "ms", 0),
                 "%+.0f ms (≤ + %.0f ms for the workers' wake-ups)" % (extra, allowance),
                 verdict(extra <= allowance)))

    header = ("figure", "client", "reference (same run)", "result (goal)", "goal met")
    lines = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    lines += ["| " + " | ".join(r) + " |" for r in rows]
    stamp = time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime())
    text = ("Velmora benchmarks, %s; medians of %d runs (download: %d, idle: %d), ± half the "
            "range.\n\n" % (stamp, a.runs, a.download_runs, a.idle_runs) + "\n".join(lines) + "\n")
    os.makedirs(os.path.dirname(os.path.abspath(a.out)), exist_ok=True)
    with open(a.out, "w") as f:
        f.write(text)
    print(text)


if __name__ == "__main__":
    main()
