#!/usr/bin/env python3
"""The real setup program, upgrader and uninstaller under Wine, against a loopback platform.

Driven from Linux: the programs run in the build tree's Wine prefix through its wine-run
script; files, shortcuts and Entrel.ini are looked at through the prefix's drive_c, the registry
through Wine's reg.exe, processes through /proc (only those of this prefix).
"""
import argparse
import configparser
import glob
import http.server
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import urllib.parse

ARGS = None

UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmora"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
CLIENT_WINDOWS_PATH = r"C:\Program Files\Velmora\Velmora.exe"
CMD = r"C:\windows\system32\cmd.exe"
GIF = b"GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff!\xf9\x04\x01\x00\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02D\x01\x00;"


def wait_until(predicate, timeout, step=0.25):
    end = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() > end:
            return value
        time.sleep(step)


def fixed_file_version(path):
    """The file version of a PE image's version resource, as a.b.c.d."""
    with open(path, "rb") as f:
        data = f.read()
    key = data.find("VS_VERSION_INFO".encode("utf-16-le"))
    fixed = data.find(struct.pack("<I", 0xFEEF04BD), key)
    if key < 0 or fixed < 0:
        return None
    ms, ls = struct.unpack_from("<II", data, fixed + 8)
    return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


class Platform:
    """Loopback statistics and download server: records every request it gets."""

    def __init__(self, host, installed_probe):
        name, _, port = host.partition(":")
        if name != "127.0.0.1" or not port.isdigit():
            raise RuntimeError("the test build must use a 127.0.0.1:port host, not %r" % host)
        self.files = {}
        self.requests = []  # (path, query dict, client installed when it arrived)
        self.lock = threading.Lock()
        platform = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                url = urllib.parse.urlsplit(self.path)
                query = dict(urllib.parse.parse_qsl(url.query, keep_blank_values=True))
                with platform.lock:
                    platform.requests.append((url.path, query, installed_probe()))
                    body = platform.files.get(url.path)
                if url.path == "/ps.gif":
                    body = GIF
                if body is None:
                    self.send_error(404)
                    return
                self.send_response(200)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        http.server.ThreadingHTTPServer.allow_reuse_address = True
        # Other test runs on this machine may hold the port for a while: wait for it.
        deadline = time.monotonic() + 300
        while True:
            try:
                self.server = http.server.ThreadingHTTPServer((name, int(port)), Handler)
                break
            except OSError:
                if time.monotonic() > deadline:
                    raise
                time.sleep(1)
        self.server.daemon_threads = True
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()

    def beacons(self, at):
        with self.lock:
            return [r for r in self.requests if r[0] == "/ps.gif" and r[1].get("at") == at]

    def close(self):
        self.server.shutdown()
        self.server.server_close()


class Prefix:
    """The Wine prefix seen from Linux."""

    def __init__(self, wine_run, prefix):
        self.wine_run = wine_run
        self.prefix = os.path.realpath(prefix)
        self.drive_c = os.path.join(self.prefix, "drive_c")
        self.install_dir = os.path.join(self.drive_c, "Program Files", "Velmora")
        self.client = os.path.join(self.install_dir, "Velmora.exe")
        self.uninstaller = os.path.join(self.install_dir, "uninst.exe")
        programs = os.path.join(self.drive_c, "ProgramData", "Microsoft", "Windows",
                                "Start Menu", "Programs", "Velmora")
        self.shortcuts = [
            os.path.join(programs, "Velmora.lnk"),
            os.path.join(programs, "卸载 Velmora.lnk"),
            os.path.join(self.drive_c, "users", "Public", "Desktop", "Velmora.lnk"),
        ]
        self.start_menu_folder = programs
        users = [u for u in glob.glob(os.path.join(self.drive_c, "users", "*"))
                 if os.path.basename(u) != "Public"]
        if len(users) != 1:
            raise RuntimeError("expected one Wine user in %s" % self.drive_c)
        self.data_dir = os.path.join(users[0], "AppData", "Roaming", "tarsel", "pelun")
        self.ini = os.path.join(self.data_dir, "Entrel.ini")

    def run(self, *args, timeout=180):
        # Output goes through a file: a pipe would stay open in the programs a setup program
        # leaves running, and reading it would never end.
        with tempfile.TemporaryFile() as output:
            result = subprocess.run([self.wine_run] + list(args), stdout=output,
                                    stderr=subprocess.STDOUT, timeout=timeout)
            output.seek(0)
            result.stdout = output.read()
        return result

    def start(self, *args):
        return subprocess.Popen([self.wine_run] + list(args), stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)

    def reg_values(self, key):
        """{name: data} of a registry key, None when the key does not exist."""
        result = self.run("reg", "query", key, timeout=60)
        if result.returncode != 0:
            return None
        values = {}
        for line in result.stdout.decode("utf-8", "replace").splitlines():
            parts = [p for p in line.strip().split("    ") if p]
            if len(parts) >= 2 and parts[1].startswith("REG_"):
                values[parts[0]] = parts[2] if len(parts) > 2 else ""
        return values

    def ini_values(self):
        """{(section, key): value} of Entrel.ini; empty when there is none."""
        if not os.path.exists(self.ini):
            return {}
        with open(self.ini, "rb") as f:
            raw = f.read()
        text = raw.decode("utf-16") if raw[:2] == b"\xff\xfe" else raw.decode("latin-1")
        parser = configparser.RawConfigParser(strict=False, interpolation=None)
        parser.optionxform = str
        parser.read_string(text)
        return {(s, k): v for s in parser.sections() for k, v in parser.items(s)}

    def write_ini(self, values):
        os.makedirs(self.data_dir, exist_ok=True)
        sections = {}
        for (section, key), value in values.items():
            sections.setdefault(section, []).append("%s=%s" % (key, value))
        text = "".join("[%s]\r\n%s\r\n" % (s, "\r\n".join(lines)) for s, lines in sections.items())
        with open(self.ini, "w", encoding="latin-1", newline="") as f:
            f.write(text)

    def client_pids(self):
        """Linux ids of the installed client's processes in this prefix."""
        pids = []
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open("/proc/%s/cmdline" % entry, "rb") as f:
                    argv0 = f.read().split(b"\0")[0].decode("utf-8", "replace")
                if argv0.lower() != CLIENT_WINDOWS_PATH.lower():
                    continue
                with open("/proc/%s/environ" % entry, "rb") as f:
                    env = f.read().split(b"\0")
            except OSError:
                continue
            if ("WINEPREFIX=" + self.prefix).encode() in env:
                pids.append(int(entry))
        return pids

    def end_clients(self):
        for pid in self.client_pids():
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass
        wait_until(lambda: not self.client_pids(), 15)

    def reset(self):
        """No client installed, running or remembered."""
        self.end_clients()
        shutil.rmtree(self.install_dir, ignore_errors=True)
        shutil.rmtree(self.start_menu_folder, ignore_errors=True)
        for shortcut in self.shortcuts:
            if os.path.exists(shortcut):
                os.remove(shortcut)
        shutil.rmtree(os.path.dirname(self.data_dir), ignore_errors=True)
        self.run("reg", "delete", UNINSTALL_KEY, "/f", timeout=60)
        self.run("reg", "delete", RUN_KEY, "/v", "Velmora", "/f", timeout=60)


class InstallerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.wine = Prefix(ARGS.wine_run, ARGS.prefix)
        cls.platform = Platform(ARGS.stats_host, lambda: os.path.exists(cls.wine.client))

    @classmethod
    def tearDownClass(cls):
        cls.platform.close()
        cls.wine.reset()

    def setUp(self):
        self.wine.reset()
        with self.platform.lock:
            self.platform.requests.clear()

    def tearDown(self):
        self.wine.end_clients()

    def install(self, *args, setup=None):
        result = self.wine.run(setup or ARGS.setup, *args)
        self.assertEqual(result.returncode, 0, result.stdout)

    def assert_installed(self, version):
        """A complete installation: the client, the uninstaller and the uninstall entry."""
        self.assertTrue(os.path.isfile(self.wine.client))
        self.assertTrue(os.path.isfile(self.wine.uninstaller))
        self.assertFalse(os.path.exists(self.wine.client + ".new"))
        self.assertEqual(fixed_file_version(self.wine.client), version)
        entry = self.wine.reg_values(UNINSTALL_KEY)
        self.assertIsNotNone(entry, "no uninstall entry")
        self.assertEqual(entry.get("DisplayVersion"), version)
        return entry

    def test_silent_install_places_client_entries_and_channel(self):
        self.install("/S", "/REFER=chanA", "/UID=77")
        entry = self.assert_installed(ARGS.version)
        for shortcut in self.wine.shortcuts:
            self.assertTrue(os.path.isfile(shortcut), shortcut)
        self.assertEqual(entry.get("DisplayName"), "Velmora")
        self.assertEqual(entry.get("Publisher"), "Velmora")
        self.assertEqual(entry.get("DisplayIcon"), CLIENT_WINDOWS_PATH + ",0")
        self.assertEqual(entry.get("UninstallString"), '"C:\\Program Files\\Velmora\\uninst.exe"')
        self.assertEqual(entry.get("InstallLocation"), r"C:\Program Files\Velmora")
        # The size is in KiB: at least the client itself.
        self.assertGreaterEqual(int(entry.get("EstimatedSize", "0"), 0),
                                os.path.getsize(self.wine.client) // 1024)
        ini = self.wine.ini_values()
        self.assertEqual(ini.get(("Install", "InstallType")), "1")
        self.assertEqual(ini.get(("Common", "Refer")), "chanA")
        self.assertEqual(ini.get(("Common", "UID")), "77")
        # The installer writes only its own keys; the counters belong to the client.
        self.assertNotIn(("Common", "RunCount"), ini)
        # One install beacon, sent by the client's install run with what the setup wrote.
        beacons = self.platform.beacons("3")
        self.assertEqual(len(beacons), 1, self.platform.requests)
        query = beacons[0][1]
        self.assertEqual((query.get("e2"), query.get("e3"), query.get("e8")),
                         ("chanA", "77", "3000"))
        self.assertEqual(query.get("e4"), ini.get(("Install", "GUID")))
        self.assertEqual(query.get("e9"), ini.get(("Install", "InstallTime")))
        self.assertEqual(self.platform.beacons("2"), [])

    def test_command_line_input_has_a_defined_result(self):
        kept = {("Common", "Refer"): "keepR", ("Common", "UID"): "keepU"}
        cases = [
            # (Entrel.ini before, arguments, Refer, UID, InstallType)
            (None, ["/S", "/REFER=", "/UID=9"], "", "9", "1"),
            (None, ["/S", "/FOO=bar", "/X", "/REFER=chan_C-1.2"], "chan_C-1.2", "", "1"),
            # Values that would break the client's URLs, or too long, are ignored: an upgrade
            # then keeps what the player had.
            (kept, ["/S", "/ZKUPGRADE", "/REFER=a&b#c", "/UID=" + "u" * 65], "keepR", "keepU",
             "2"),
        ]
        for before, args, refer, uid, install_type in cases:
            with self.subTest(args=" ".join(args)[:60]):
                self.wine.reset()
                if before:
                    self.wine.write_ini(before)
                self.install(*args)
                self.assert_installed(ARGS.version)
                ini = self.wine.ini_values()
                self.assertEqual(ini.get(("Common", "Refer")), refer)
                self.assertEqual(ini.get(("Common", "UID")), uid)
                self.assertEqual(ini.get(("Install", "InstallType")), install_type)

    def test_unwritable_folder_leaves_nothing_half_installed(self):
        # Z: is the Linux root; nothing can be created under /proc.
        result = self.wine.run(ARGS.setup, "/S", "/REFER=chanE", r"/D=Z:\proc\velmora")
        self.assertNotEqual(result.returncode, 0)
        self.assertIsNone(self.wine.reg_values(UNINSTALL_KEY))
        for shortcut in self.wine.shortcuts:
            self.assertFalse(os.path.exists(shortcut), shortcut)
        self.assertEqual(self.wine.ini_values(), {})
        self.assertEqual(self.platform.beacons("3") + self.platform.beacons("2"), [])

    def test_silent_upgrade_replaces_running_client_and_keeps_settings(self):
        self.install("/S", "/REFER=chanU", "/UID=u1")
        kept = {
            ("Common", "Refer"): "chanU",
            ("Common", "UID"): "u1",
            ("Common", "RunCount"): "41",
            ("Install", "InstallTime"): "2020-01-02 03:04:05",
            ("Install", "GUID"): "0123456789ABCDEF0123456789ABCDEF",
            ("Install", "InstallType"): "1",
        }
        self.wine.write_ini(kept)
        with open(os.path.join(self.wine.data_dir, "player.dat"), "wb") as f:
            f.write(b"kept")
        desktop = self.wine.shortcuts[2]
        os.remove(desktop)  # the player's choice, which an upgrade keeps
        old = self.wine.start(CLIENT_WINDOWS_PATH)
        self.assertTrue(wait_until(
            lambda: self.wine.ini_values().get(("Common", "RunCount")) == "42", 30))
        try:
            self.install("/S", "/ZKUPGRADE", setup=ARGS.newer_setup)
            self.assertIsNotNone(wait_until(lambda: old.poll() is not None, 10),
                                 "the old client still runs")
        finally:
            if old.poll() is None:
                old.kill()
            old.wait()
        self.assert_installed(ARGS.newer_version)
        # The restarted client counts its own run on top of the kept count.
        self.assertTrue(wait_until(
            lambda: self.wine.ini_values().get(("Common", "RunCount")) == "43", 30),
            self.wine.ini_values())
        self.assertTrue(self.wine.client_pids(), "the new client is not running")
        self.assertNotIn(old.pid, self.wine.client_pids())
        ini = self.wine.ini_values()
        for key in [("Common", "Refer"), ("Common", "UID"), ("Install", "InstallTime"),
                    ("Install", "GUID")]:
            self.assertEqual(ini.get(key), kept[key], key)
        self.assertEqual(ini.get(("Install", "InstallType")), "2")
        # The upgrade's install beacon says so (at=2) and carries the kept identity.
        beacons = self.platform.beacons("2")
        self.assertEqual(len(beacons), 1, self.platform.requests)
        self.assertEqual((beacons[0][1].get("e2"), beacons[0][1].get("e4")),
                         ("chanU", kept[("Install", "GUID")]))
        with open(os.path.join(self.wine.data_dir, "player.dat"), "rb") as f:
            self.assertEqual(f.read(), b"kept")
        self.assertFalse(os.path.exists(desktop))
        self.assertTrue(os.path.isfile(self.wine.shortcuts[0]))

    def uninstall(self, *args):
        self.wine.run(self.wine.uninstaller, *args)
        # The uninstaller runs on from a copy of itself; its last step removes the entry.
        self.assertTrue(wait_until(lambda: not os.path.exists(self.wine.install_dir), 90),
                        "the installation folder is still there")
        self.assertTrue(wait_until(lambda: self.wine.reg_values(UNINSTALL_KEY) is None, 30, 1),
                        "the uninstall entry is still there")

    def test_silent_uninstall_removes_client_but_keeps_data(self):
        self.install("/S", "/REFER=chanD", "/UID=4")
        autorun = '"%s" /autorun' % CLIENT_WINDOWS_PATH
        self.assertEqual(self.wine.run("reg", "add", RUN_KEY, "/v", "Velmora", "/d", autorun,
                                       "/f").returncode, 0)
        self.assertIn("Velmora", self.wine.reg_values(RUN_KEY) or {})
        with open(os.path.join(self.wine.data_dir, "player.dat"), "wb") as f:
            f.write(b"kept")
        running = self.wine.start(CLIENT_WINDOWS_PATH)
        try:
            self.assertTrue(wait_until(lambda: self.wine.client_pids(), 30))
            self.uninstall("/S")
            self.assertIsNotNone(wait_until(lambda: running.poll() is not None, 10))
        finally:
            if running.poll() is None:
                running.kill()
            running.wait()
        for shortcut in self.wine.shortcuts:
            self.assertFalse(os.path.exists(shortcut), shortcut)
        self.assertFalse(os.path.exists(self.wine.start_menu_folder))
        self.assertNotIn("Velmora", self.wine.reg_values(RUN_KEY) or {})
        self.assertTrue(os.path.isfile(os.path.join(self.wine.data_dir, "player.dat")))
        self.assertEqual(self.wine.ini_values().get(("Common", "Refer")), "chanD")
        # One uninstall beacon, which arrived while the client was still installed.
        beacons = self.platform.beacons("6")
        self.assertEqual(len(beacons), 1, self.platform.requests)
        path, query, installed = beacons[0]
        self.assertTrue(installed, "the files were gone before the uninstall beacon")
        self.assertEqual((query.get("e2"), query.get("e3")), ("chanD", "4"))

    def test_uninstall_removes_data_when_asked(self):
        self.install("/S")
        self.uninstall("/S", "/REMOVEDATA")
        self.assertTrue(wait_until(lambda: not os.path.exists(self.wine.data_dir), 30))


class SetupHelperTest(unittest.TestCase):
    """The process helper on its own: every use has a defined exit code."""

    def test_exit_codes(self):
        wine = Prefix(ARGS.wine_run, ARGS.prefix)
        missing = r"C:\nowhere\missing.exe"
        cases = [
            (["bogus"], 3),
            ([], 3),
            (["end", "", "100"], 3),
            (["end", missing, "-5"], 3),
            (["end", missing, "99999999999"], 3),
            (["end", missing, "100"], 0),  # nothing runs it: nothing to end
            (["run", "abc", "cmd.exe"], 3),
            (["run", "5000", missing], 1),
            (["run", "20000", CMD, "/c", "exit 7"], 0),  # ended by itself
            (["run", "500", CMD, "/c", "ping -n 4 127.0.0.1"], 2),  # had to be ended
        ]
        for args, code in cases:
            with self.subTest(args=" ".join(args)):
                self.assertEqual(wine.run(ARGS.helper, *args, timeout=60).returncode, code)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    for name in ["wine-run", "prefix", "helper", "setup", "newer-setup", "newer-version", "version",
                 "stats-host", "download-host"]:
        parser.add_argument("--" + name, required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
