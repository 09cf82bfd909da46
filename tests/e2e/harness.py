#!/usr/bin/env python3
"""End-to-end harness: the demo platform, the client under Wine, and a window probe.

Used as a module by the end-to-end tests, and as a command:

    harness.py with-platform [--port N] [--lifetime S] -- COMMAND...
        starts the platform (a free port unless --port), runs COMMAND with VELMORA_PLATFORM set
        to the platform's base address and VELMORA_PLATFORM_LOG to its log file, stops the
        platform and exits with COMMAND's exit code.

Everything it starts is bounded in time and stopped at the end, also on failure. It never
kills Wine as a whole (tests share the build tree's prefix): it ends only its own processes.
"""
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import urllib.request
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
PLATFORM_SCRIPT = os.path.join(ROOT, "tools", "platform", "platform.py")


class HarnessError(Exception):
    pass


def wait_until(predicate, timeout, interval=0.2, what="condition"):
    """Polls predicate() until it returns a true value, which is returned."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise HarnessError(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


# --- the platform ---------------------------------------------------------------------------

class Platform:
    """The demo platform in a child process, on loopback."""

    def __init__(self, port=0, lifetime=300, upgrader=None, app_ini=None, folder=None,
                 busy_wait=90, **hosts):
        """A fixed port that another program still holds is tried again for busy_wait s."""
        self._own_folder = folder is None
        self.folder = folder or tempfile.mkdtemp(prefix="velmora-platform-")
        self.log_path = os.path.join(self.folder, "requests.jsonl")
        deadline = time.monotonic() + busy_wait
        while True:
            try:
                self._start(port, lifetime, upgrader, app_ini, hosts)
                return
            except HarnessError as error:
                if port == 0 or "Address already in use" not in str(error) or time.monotonic() > deadline:
                    if self._own_folder:
                        shutil.rmtree(self.folder, ignore_errors=True)
                    raise
                time.sleep(2)

    def _start(self, port, lifetime, upgrader, app_ini, hosts):
        ready = os.path.join(self.folder, "ready.json")
        if os.path.exists(ready):
            os.remove(ready)
        cmd = [sys.executable, PLATFORM_SCRIPT, "--port", str(port), "--lifetime", str(lifetime),
               "--log", self.log_path, "--ready-file", ready]
        if upgrader:
            cmd += ["--upgrader", upgrader]
        if app_ini is not None:
            ini = os.path.join(self.folder, "app.ini")
            with open(ini, "w", encoding="utf-8") as f:
                f.write(app_ini)
            cmd += ["--app-ini", ini]
        for name, value in hosts.items():
            cmd += [f"--{name.replace('_', '-')}", value]
        self.process = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        try:
            info = wait_until(lambda: self._read_ready(ready), 15, 0.05, "the platform to listen")
        except HarnessError:
            self._end()
            raise
        self.port = info["port"]
        self.base = f"http://127.0.0.1:{self.port}"

    def _read_ready(self, path):
        if self.process.poll() is not None:
            err = self.process.stderr.read().decode("utf-8", "replace")
            raise HarnessError(f"platform ended early ({self.process.returncode}): {err}")
        try:
            with open(path) as f:
                return json.load(f)
        except (OSError, ValueError):
            return None

    def log(self):
        """Every request so far, oldest first, as dicts."""
        try:
            with open(self.log_path, encoding="utf-8") as f:
                return [json.loads(line) for line in f if line.strip()]
        except OSError:
            return []

    def requests_to(self, path):
        return [entry for entry in self.log() if entry["path"] == path]

    def control(self, what, data=None):
        request = urllib.request.Request(f"{self.base}/__platform/{what}", data=data)
        with urllib.request.urlopen(request, timeout=10) as answer:
            return answer.read().decode("utf-8")

    def set_app_ini(self, text):
        return self.control("app.ini", text.encode("utf-8"))

    def _end(self):
        if self.process.poll() is None:
            try:
                self.control("shutdown")
            except (OSError, AttributeError):
                pass
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(5)
        if self.process.stderr:
            self.process.stderr.close()

    def stop(self):
        """Stops the server and removes its folder (unless the caller gave the folder)."""
        if getattr(self, "process", None) is not None:
            self._end()
        if self._own_folder:
            shutil.rmtree(self.folder, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()


# --- Wine -------------------------------------------------------------------------------------

class Wine:
    """Runs Windows programs of a build tree in its prefix (through the generated wine-run)."""

    def __init__(self, build=None):
        self.build = os.path.abspath(build or os.environ.get("VELMORA_BUILD_DIR") or os.path.join(ROOT, "build"))
        self.bin = os.path.join(self.build, "bin")
        runner = os.path.join(self.build, "wine-run")
        if os.path.exists(runner):
            self.command = [runner]
        elif os.environ.get("WINEPREFIX"):  # a tree built without tests (the demo's)
            self.command = ["wine"]
        else:
            raise HarnessError(f"{runner} is missing and WINEPREFIX is not set")

    def platform_hosts(self):
        """The server hosts this build was configured with, e.g. {"site": "127.0.0.1:18080"}."""
        hosts = {}
        try:
            with open(os.path.join(self.build, "CMakeCache.txt"), encoding="utf-8") as f:
                for line in f:
                    for name in ("SITE", "DOWNLOAD", "STATS", "ACCOUNT", "QQ_GATEWAY"):
                        prefix = f"VELMORA_{name}_HOST:STRING="
                        if line.startswith(prefix):
                            hosts[name.lower().replace("_gateway", "")] = line[len(prefix):].strip()
        except OSError:
            pass
        return hosts

    def platform_port(self):
        """The loopback port that every server host of this build names (one platform plays
        them all), or None when the build points elsewhere."""
        ports = set()
        for host in self.platform_hosts().values():
            name, _, port = host.rpartition(":")
            if name not in ("127.0.0.1", "localhost") or not port.isdigit():
                return None
            ports.add(int(port))
        return ports.pop() if len(ports) == 1 else None

    def exe(self, name):
        return os.path.join(self.bin, name)

    def start(self, exe, *args, env=None):
        merged = dict(os.environ)
        merged.update(env or {})
        return subprocess.Popen([*self.command, exe, *args], env=merged, stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL)

    def run(self, exe, *args, timeout=60, env=None):
        process = self.start(exe, *args, env=env)
        try:
            out, _ = process.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            end_process(process)
            raise HarnessError(f"{os.path.basename(exe)} {' '.join(args)} did not end in {timeout} s")
        return process.returncode, out.decode("utf-8", "replace")


def end_process(process, grace=5):
    """Ends a child started by this harness if it is still running. Only that process: Wine's
    own helpers (wineserver, services) may have been started by it and serve other tests."""
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(grace)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait(grace)


# --- the window probe -------------------------------------------------------------------------

class Probe:
    """winprobe.exe: window rectangles, styles, visibility, dialogs, clicks, screenshots."""

    def __init__(self, wine):
        self.wine = wine
        self.path = wine.exe("winprobe.exe")

    def _call(self, *args, timeout=30):
        code, out = self.wine.run(self.path, *[str(a) for a in args], timeout=timeout)
        try:
            value = json.loads(out)
        except ValueError:
            raise HarnessError(f"winprobe {' '.join(map(str, args))}: unreadable answer {out!r}")
        if code != 0:
            raise HarnessError(f"winprobe {' '.join(map(str, args))}: {value}")
        return value

    def windows(self, all_windows=False):
        return self._call("windows", "all") if all_windows else self._call("windows")

    def windows_of(self, exe_name, cls=None, visible_only=True):
        found = []
        for w in self.windows(all_windows=not visible_only):
            if w["exe"].lower() == exe_name.lower() and (cls is None or w["class"] == cls):
                found.append(w)
        return found

    def dialogs(self):
        return self._call("dialogs")

    def answer_dialog(self, text, button, timeout=20):
        """Waits for a dialog whose message contains text and presses Yes, No or OK."""
        ids = {"ok": 1, "cancel": 2, "yes": 6, "no": 7}
        dialog = wait_until(lambda: next((d for d in self.dialogs() if text in d["message"]), None),
                            timeout, 0.3, f"a dialog saying {text!r}")
        self._call("press", dialog["hwnd"], ids[button.lower()])
        return dialog

    def click(self, hwnd, x, y, right=False):
        return self._call("click", hwnd, x, y, *(["right"] if right else []))

    def mouse(self, x, y, right=False):
        return self._call("mouse", x, y, *(["right"] if right else []))

    def close(self, hwnd):
        return self._call("close", hwnd)

    def post(self, hwnd, message, wparam=0, lparam=0):
        return self._call("post", hwnd, message, wparam, lparam)

    def send(self, hwnd, message, wparam=0, lparam=0):
        """Delivers a message as sent (not queued), without waiting for the answer."""
        return self._call("send", hwnd, message, wparam, lparam)

    def kill(self, pid):
        return self._call("kill", pid)

    def screenshot(self, png_path):
        """Saves the whole screen as a PNG; returns (width, height)."""
        folder = tempfile.mkdtemp(prefix="velmora-shot-")
        bmp = os.path.join(folder, "screen.bmp")
        try:
            self._call("screenshot", windows_path(bmp))
            width, height = bmp_to_png(bmp, png_path)
        finally:
            if os.path.exists(bmp):
                os.remove(bmp)
            os.rmdir(folder)
        return width, height


def windows_path(unix_path):
    """The Z: drive path Wine gives a Unix path."""
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


def bmp_to_png(bmp_path, png_path):
    """Converts the probe's 24-bit bottom-up BMP into a PNG (standard library only)."""
    with open(bmp_path, "rb") as f:
        data = f.read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits = struct.unpack_from("<H", data, 28)[0]
    if bits != 24 or width <= 0 or height == 0:
        raise HarnessError("unexpected screenshot format")
    bottom_up = height > 0
    height = abs(height)
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height):
        src = height - 1 - y if bottom_up else y
        row = data[offset + src * stride: offset + src * stride + width * 3]
        rgb = bytearray(row)
        rgb[0::3], rgb[2::3] = row[2::3], row[0::3]  # BGR -> RGB
        rows.append(b"\x00" + bytes(rgb))

    def chunk(kind, payload):
        return (struct.pack(">I", len(payload)) + kind + payload +
                struct.pack(">I", zlib.crc32(kind + payload) & 0xFFFFFFFF))

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(b"".join(rows), 6)) + chunk(b"IEND", b"")
    with open(png_path, "wb") as f:
        f.write(png)
    return width, height


# --- the client -------------------------------------------------------------------------------

CLIENT_CLASS = "tarselEntrel"


class Client:
    """Velmora.exe under Wine, with the probe to look at it."""

    def __init__(self, wine, *args, env=None):
        self.wine = wine
        self.probe = Probe(wine)
        self.process = wine.start(wine.exe("Velmora.exe"), *args, env=env)

    def running(self):
        return self.process.poll() is None

    def windows(self, visible_only=True):
        return self.probe.windows_of("Velmora.exe", CLIENT_CLASS, visible_only)

    def wait_windows(self, count, timeout=30, predicate=None):
        def enough():
            if not self.running():
                raise HarnessError(f"the client ended early with {self.process.returncode}")
            found = [w for w in self.windows() if predicate is None or predicate(w)]
            return found if len(found) >= count else None
        return wait_until(enough, timeout, 0.3, f"{count} client windows")

    def wait_exit(self, timeout=30):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def stop(self):
        end_process(self.process)
        if self.process.stdout:
            self.process.stdout.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()


def view_summary(text):
    """Parses a stand-in view's window text: {"url", "title", "links": [...]}."""
    summary = {"url": "", "title": "", "links": []}
    for line in text.split("\n"):
        fields = line.split("\t")
        if fields[0] == "URL" and len(fields) > 1:
            summary["url"] = fields[1]
        elif fields[0] == "TITLE" and len(fields) > 1:
            summary["title"] = fields[1]
        elif fields[0] == "LINK" and len(fields) >= 8:
            index, x, y, w, h = (int(v) for v in fields[1:6])
            summary["links"].append({"index": index, "x": x, "y": y, "width": w, "height": h,
                                     "target": fields[6], "href": "\t".join(fields[7:]),
                                     "center": (x + min(w, 40) // 2, y + h // 2)})
    return summary


# --- command line -----------------------------------------------------------------------------

def main(argv):
    if len(argv) >= 2 and argv[1] == "with-platform":
        port, lifetime = 0, 600
        rest = argv[2:]
        while rest and rest[0] != "--":
            if rest[0] == "--port":
                port = int(rest[1])
            elif rest[0] == "--lifetime":
                lifetime = float(rest[1])
            else:
                raise SystemExit(f"unknown option {rest[0]}")
            rest = rest[2:]
        command = rest[1:]
        if not command:
            raise SystemExit("usage: harness.py with-platform [--port N] [--lifetime S] -- COMMAND...")
        with Platform(port=port, lifetime=lifetime) as platform:
            env = dict(os.environ, VELMORA_PLATFORM=platform.base, VELMORA_PLATFORM_LOG=platform.log_path)
            child = subprocess.Popen(command, env=env)
            try:
                return child.wait(lifetime)
            except subprocess.TimeoutExpired:
                end_process(child)
                return 1
            finally:
                end_process(child)
    raise SystemExit(__doc__)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
