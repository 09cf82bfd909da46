#!/usr/bin/env python3
"""Runs a Wine test program twice around a loopback statistics server.

First with the server listening on 127.0.0.1:PORT (every request line is appended to a log
file the test reads through Wine's Z: drive), then with the server stopped, running only the
tests whose names hold "ServerDown". Exits non-zero when either run fails.

usage: with_stats_server.py --port N -- <runner> <test.exe> [args...]
"""
import argparse
import errno
import http.server
import os
import socket
import subprocess
import sys
import tempfile
import threading
import time

# The test program knows this body too: the response file must hold exactly it.
BODY = b"GIF89a velmora beacon answer\n"
RUN_TIMEOUT = 120


class Recorder(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    log_path = None
    lock = threading.Lock()

    def record(self):
        with self.lock, open(self.log_path, "ab") as log:
            # The target exactly as it came, one request a line.
            log.write(("%s %s\n" % (self.command, self.path)).encode("latin-1", "replace"))

    def answer(self, body):
        self.send_response(200)
        self.send_header("Content-Type", "image/gif")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def do_GET(self):
        self.record()
        self.answer(BODY)

    def do_HEAD(self):
        self.record()
        self.answer(BODY)

    def log_message(self, *args):
        pass


def start_server(port, log_path):
    Recorder.log_path = log_path
    deadline = time.monotonic() + 60
    while True:
        try:
            server = http.server.ThreadingHTTPServer(("127.0.0.1", port), Recorder)
            break
        except OSError as e:  # another test run still holds the port: wait for it
            if e.errno != errno.EADDRINUSE or time.monotonic() > deadline:
                raise
            time.sleep(0.5)
    server.daemon_threads = True
    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()
    return server


def wait_until_closed(port):
    """True once nothing listens on the port (another run's server may still hold it)."""
    deadline = time.monotonic() + 60
    while True:
        with socket.socket() as probe:
            probe.settimeout(1)
            if probe.connect_ex(("127.0.0.1", port)) != 0:
                return True
        if time.monotonic() > deadline:
            return False
        time.sleep(0.5)


def wine_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run(command, env):
    try:
        return subprocess.run(command, env=env, timeout=RUN_TIMEOUT).returncode
    except subprocess.TimeoutExpired:
        print("test program did not end within %d s" % RUN_TIMEOUT, file=sys.stderr)
        return 1


def main():
    argv = sys.argv[1:]
    split = argv.index("--") if "--" in argv else len(argv)
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    args = parser.parse_args(argv[:split])
    command = argv[split + 1:]
    if not command:
        parser.error("no test program given")

    with tempfile.TemporaryDirectory(prefix="vmstats_") as folder:
        log_path = os.path.join(folder, "requests.log")
        open(log_path, "wb").close()
        env = dict(os.environ, VELMORA_STATS_LOG=wine_path(log_path))

        server = start_server(args.port, log_path)
        try:
            up = run(command + ["--gtest_filter=-*ServerDown*"], env)
        finally:
            server.shutdown()
            server.server_close()
        if wait_until_closed(args.port):
            down = run(command + ["--gtest_filter=*ServerDown*"], env)
        else:
            print("port %d stays taken by another program" % args.port, file=sys.stderr)
            down = 1
    return 0 if up == 0 and down == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
