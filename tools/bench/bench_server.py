#!/usr/bin/env python3
"""Loopback HTTP server of the benchmarks (127.0.0.1 only, standard library).

GET /bench/bytes?size=N   N bytes (default 100 MB) with Content-Length, generated on the fly
GET /pelun/wd/index.html  a small login page (the client's login address on the site host)
anything else             404

Usage: bench_server.py PORT [--quiet]. Prints "ready" once it listens; ends on SIGTERM.
"""
import http.server
import signal
import sys
import urllib.parse

CHUNK = bytes(range(256)) * 4096  # 1 MiB
LOGIN_PAGE = (
    b"<!DOCTYPE html><html><head><meta charset='utf-8'><title>Velmora</title></head>"
    b"<body style='margin:0;background:#fff'><form>"
    b"<input name='wd_username'><input type='password'><button>login</button>"
    b"</form></body></html>"
)


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, fmt, *args):
        pass

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        if url.path == "/bench/bytes":
            query = urllib.parse.parse_qs(url.query)
            size = int(query.get("size", ["104857600"])[0])
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            self.send_header("Content-Length", str(size))
            self.end_headers()
            left = size
            try:
                while left > 0:
                    n = min(left, len(CHUNK))
                    self.wfile.write(CHUNK[:n] if n < len(CHUNK) else CHUNK)
                    left -= n
            except (BrokenPipeError, ConnectionResetError):
                pass
            return
        if url.path == "/pelun/wd/index.html":
            body = LOGIN_PAGE
            self.send_response(200)
            self.send_header("Content-Type", "text/html; charset=utf-8")
        else:
            body = b"not here"
            self.send_response(404)
            self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


def main():
    port = int(sys.argv[1])
    server = http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler)
    server.daemon_threads = True
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    print("ready", flush=True)
    try:
        server.serve_forever(poll_interval=0.2)
    finally:
        server.server_close()


if __name__ == "__main__":
    main()
