#!/usr/bin/env python3
"""Runs a test program with a loopback HTTP server around it.

usage: with_http_server.py [--timeout SECONDS] -- COMMAND...

The server listens on 127.0.0.1 (a free port) and answers every GET and POST with a small
HTML page. Each request is appended to a log file, one line per request:
METHOD <tab> PATH <tab> CONTENT-TYPE <tab> BODY AS HEX
The program gets, in its environment:
  VELMORA_TEST_HTTP_PORT    the server's port
  VELMORA_TEST_CLOSED_PORT  a loopback port that refuses connections
  VELMORA_TEST_HTTP_LOG     the log file, as a Wine path (drive Z: is the root)
The server stops when the program ends or the time is up; the program's exit code is returned.
"""

import argparse
import http.server
import os
import socket
import subprocess
import sys
import tempfile
import threading

PAGE = b"<html><head><title>Loopback page</title></head><body>ok</body></html>"


def make_handler(log_path, lock):
    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.0"

        def log_message(self, *args):
            pass

        def record(self, body):
            line = "\t".join(
                [self.command, self.path, self.headers.get("Content-Type", ""), body.hex()]
            )
            with lock, open(log_path, "a", encoding="utf-8") as log:
                log.write(line + "\n")

        def answer(self):
            self.send_response(200)
            self.send_header("Content-Type", "text/html")
            self.send_header("Content-Length", str(len(PAGE)))
            self.send_header("Cache-Control", "no-store")
            self.end_headers()
            self.wfile.write(PAGE)

        def do_GET(self):
            self.record(b"")
            self.answer()

        def do_POST(self):
            length = int(self.headers.get("Content-Length", "0") or 0)
            body = self.rfile.read(length) if length > 0 else b""
            self.record(body)
            self.answer()

    return Handler


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--timeout", type=float, default=240)
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    if not command:
        parser.error("no command")

    with tempfile.TemporaryDirectory(prefix="velmora_http_") as folder:
        log_path = os.path.join(folder, "requests.log")
        open(log_path, "w").close()
        server = http.server.ThreadingHTTPServer(
            ("127.0.0.1", 0), make_handler(log_path, threading.Lock())
        )
        server.daemon_threads = True
        # Bound but never listening: connections to it are refused.
        closed = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        closed.bind(("127.0.0.1", 0))
        thread = threading.Thread(target=server.serve_forever, daemon=True)
        thread.start()
        env = dict(os.environ)
        env["VELMORA_TEST_HTTP_PORT"] = str(server.server_address[1])
        env["VELMORA_TEST_CLOSED_PORT"] = str(closed.getsockname()[1])
        env["VELMORA_TEST_HTTP_LOG"] = "Z:" + log_path.replace("/", "\\")
        try:
            child = subprocess.Popen(command, env=env)
            try:
                return child.wait(timeout=args.timeout)
            except subprocess.TimeoutExpired:
                print("with_http_server: time is up, stopping the program", file=sys.stderr)
                child.kill()
                child.wait()
                return 124
        finally:
            server.shutdown()
            server.server_close()
            closed.close()


if __name__ == "__main__":
    sys.exit(main())
