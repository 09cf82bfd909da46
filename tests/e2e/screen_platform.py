#!/usr/bin/env python3
"""Loopback stand-in for the game platform, for the screen tests.

Serves every host of the test build (they all point at 127.0.0.1:PORT): the login page, the
game page, the QQ gateway and the account return, the version file and the beacon image. Each
page is a small HTML page the stand-in browser engine understands (title, text, one link, meta
refresh). What the pages do is chosen by the test through GET /__scenario?login=..&game=..&qq=..
Every other request is appended to the request log, one line per request: "METHOD PATH?QUERY".

Usage: screen_platform.py PORT REQUEST_LOG [SECONDS_TO_LIVE]
"""
import html
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

PORT = int(sys.argv[1])
LOG = sys.argv[2]
LIFETIME = float(sys.argv[3]) if len(sys.argv) > 3 else 900.0
BASE = "http://127.0.0.1:%d" % PORT

state = {"login": "plain", "game": "plain", "qq": "stay", "delay": "0", "href": ""}
lock = threading.Lock()

GIF = (b"GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff!\xf9\x04\x01\x00\x00\x00"
       b"\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02D\x01\x00;")


def page(title, body="", refresh=None, link=None, target="_blank"):
    head = "<title>%s</title>" % html.escape(title)
    if refresh:
        head += '<meta http-equiv="refresh" content="%d; url=%s">' % (refresh[0], refresh[1])
    parts = ["<html><head>", head, "</head><body>"]
    if link:
        # One link only, filling the first lines, so a click anywhere near the top hits it.
        text = "&nbsp;".join(["OPEN"] * 40)
        parts.append('<p><a href="%s" target="%s">%s</a></p>' % (html.escape(link), target, text))
    if body:
        parts.append("<p>%s</p>" % html.escape(body))
    parts.append("</body></html>")
    return "".join(parts).encode("utf-8")


def login_page():
    s = state["login"]
    if s == "enter":
        return page("Velmora login", "entering",
                    refresh=(1, BASE + "/pelun/wd/user.html?wd_username=bob&wd_server=7"))
    if s == "qq":
        return page("Velmora login", link=BASE + "/qqconn/oauth/redirect_to_login.php?which=1")
    if s == "link":
        return page("Velmora login", link=state["href"])
    return page("Velmora login", "Welcome to Velmora")


def game_page():
    s = state["game"]
    if s == "return":
        return page("Velmora S12 game", "playing",
                    refresh=(2, BASE + "/pelun/wd/back.html?wd_returnlogin=1"))
    return page("Velmora S12 game", "playing")


def qq_page():
    s = state["qq"]
    if s == "finish":
        return page("QQ sign-in for Velmora players, almost done", "signing in",
                    refresh=(2, BASE + "/login?go&ticket=qq42"))
    return page("QQ sign-in for Velmora players, step one", "sign in with QQ")


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def send(self, body, ctype="text/html; charset=utf-8", code=200):
        self.send_response(code)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        if url.path == "/__scenario":
            with lock:
                for key, values in urllib.parse.parse_qs(url.query).items():
                    state[key] = values[0]
            self.send(b"ok", "text/plain")
            return
        with lock:
            with open(LOG, "a", encoding="utf-8") as f:
                f.write("GET %s\n" % self.path)
            delay = float(state["delay"])
            login_state = state["login"]
        if url.path == "/pelun/wd/index.html" and delay > 0:
            time.sleep(delay)  # keeps the client in its loading state for a while
        with lock:
            if url.path == "/pelun/wd/index.html" and login_state == "fail":
                self.send(b"gone", "text/plain", 500)
                return
            if url.path == "/pelun/wd/index.html":
                body = login_page()
            elif url.path == "/pelun/wd/user.html":
                body = page("Velmora login", "user",
                            refresh=(1, BASE + "/pelun/wd/enter.html?wd_entergame=1&wd_server=12&x=1"))
            elif url.path == "/pelun/wd/enter.html":
                body = game_page()
            elif url.path == "/qqconn/oauth/redirect_to_login.php":
                body = qq_page()
            elif url.path == "/login":
                # Signed in: the login window carries on towards the game.
                body = page("Velmora account", "signed in",
                            refresh=(1, BASE + "/pelun/wd/user.html?wd_username=qq42"))
            elif url.path == "/tarsel/pelun/official/app.ini":
                self.send(b"[version]\r\ncurrentversion=3.0.0.0\r\nupgraderange=\r\n", "text/plain")
                return
            elif url.path == "/ps.gif":
                self.send(GIF, "image/gif")
                return
            else:
                body = page("Velmora", "page " + url.path)
        self.send(body)


def main():
    server = ThreadingHTTPServer(("127.0.0.1", PORT), Handler)
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    deadline = time.time() + LIFETIME
    while time.time() < deadline:
        time.sleep(0.5)
    server.shutdown()


if __name__ == "__main__":
    main()
