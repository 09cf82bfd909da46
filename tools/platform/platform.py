#!/usr/bin/env python3
"""The demo platform: one local HTTP server that plays every remote party of the client.

It serves the login page, the game page, the toolbar's pages, the QQ sign-in gateway, the
account site's return address, the version file and the upgrader, and records the statistics
beacons. Every request (except the control URLs) goes into a request log of JSON lines.

Control URLs (not logged):
  GET  /__platform/status        {"port": ..., "hosts": {...}, "requests": N}
  GET  /__platform/log           the request log, one JSON object a line
  GET  /__platform/app.ini       the version file as now served
  POST /__platform/app.ini       replaces it with the request body
  GET  /__platform/app.ini?set=  replaces it with the (URL-encoded) value
  GET  /__platform/shutdown      stops the server

Test pages: /t/page.html builds a page from its query: title=, text=, link= and blank= (each
repeatable: an ordinary link and a target="_blank" link to that address), refresh=N with
to=ADDRESS (a meta refresh), status=CODE (answer with that HTTP status).

Python 3 standard library only. It listens on loopback only and stops by itself after
--lifetime seconds.
"""
import argparse
import html
import json
import os
import signal
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qsl, quote, urlencode

# 1 x 1 transparent GIF, the tracking image.
PIXEL_GIF = (b"GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff!\xf9\x04\x01\x00"
             b"\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02D\x01\x00;")

DEFAULT_APP_INI = "[version]\r\ncurrentversion=3.0.0.0\r\nupgraderange=\r\n"

LOGGED_HEADERS = ("Host", "User-Agent", "Content-Type", "Referer", "Accept")


class Platform:
    """State shared by the request handlers."""

    def __init__(self, args, port):
        self.port = port
        own = f"127.0.0.1:{port}"
        self.hosts = {
            "site": args.site_host or own,
            "download": args.download_host or own,
            "stats": args.stats_host or own,
            "account": args.account_host or own,
            "qq": args.qq_host or own,
        }
        self.upgrader = args.upgrader
        self.app_ini = DEFAULT_APP_INI
        if args.app_ini:
            with open(args.app_ini, encoding="utf-8") as f:
                self.app_ini = f.read()
        self.lock = threading.Lock()
        self.entries = []
        self.log_path = args.log
        if self.log_path:
            open(self.log_path, "w").close()

    def record(self, entry):
        line = json.dumps(entry, ensure_ascii=False)
        with self.lock:
            self.entries.append(line)
            if self.log_path:
                with open(self.log_path, "a", encoding="utf-8") as f:
                    f.write(line + "\n")

    def log_text(self):
        with self.lock:
            return "".join(line + "\n" for line in self.entries)

    def url(self, host, path):
        return f"http://{self.hosts[host]}{path}"


def page(title, body, refresh=None):
    head = f'<meta charset="utf-8"><title>{html.escape(title)}</title>'
    if refresh is not None:
        seconds, target = refresh
        head += f'<meta http-equiv="refresh" content="{seconds};url={html.escape(target)}">'
    return f"<!DOCTYPE html>\n<html><head>{head}</head>\n<body>\n{body}\n</body></html>\n"


def link(href, label, blank=False):
    target = ' target="_blank"' if blank else ""
    return f'<a href="{html.escape(href)}"{target}>{html.escape(label)}</a>'


class Handler(BaseHTTPRequestHandler):
    server_version = "VelmoraDemoPlatform/1"
    platform = None  # set by main()

    # Some clients put raw spaces into the query (the beacons' install time). Keep them: the
    # standard parser would reject such a request line.
    def parse_request(self):
        line = self.raw_requestline.rstrip(b"\r\n")
        parts = line.split(b" ")
        self.raw_target = parts[1].decode("latin-1") if len(parts) >= 2 else ""
        if len(parts) > 3 and parts[-1].startswith(b"HTTP/"):
            target = b" ".join(parts[1:-1])
            self.raw_target = target.decode("latin-1")
            self.raw_requestline = b" ".join([parts[0], target.replace(b" ", b"%20"), parts[-1]]) + b"\r\n"
        return super().parse_request()

    def log_message(self, fmt, *args):  # quiet: the JSON log is the record
        pass

    def do_GET(self):
        self.handle_request("GET", b"")

    def do_HEAD(self):
        self.handle_request("HEAD", b"")

    def do_POST(self):
        self.handle_request("POST", self.read_body())

    def do_PUT(self):
        self.handle_request("PUT", self.read_body())

    def read_body(self):
        try:
            length = min(int(self.headers.get("Content-Length") or 0), 1 << 20)
        except ValueError:
            length = 0
        return self.rfile.read(length) if length > 0 else b""

    def handle_request(self, method, body):
        target = self.raw_target
        path, _, query = target.partition("?")
        if path.startswith("/__platform/"):
            self.control(path, query, method, body)
            return
        params = parse_qsl(query, keep_blank_values=True)
        status, content_type, payload, extra = self.route(path, query, params)
        self.platform.record({
            "t": round(time.time(), 3),
            "method": method,
            "path": path,
            "query": query,
            "params": params,
            "headers": {k: self.headers.get(k) for k in LOGGED_HEADERS if self.headers.get(k) is not None},
            "body": body.decode("utf-8", "replace"),
            "status": status,
        })
        self.answer(status, content_type, payload, extra, method == "HEAD")

    def answer(self, status, content_type, payload, extra=None, head_only=False):
        if isinstance(payload, str):
            payload = payload.encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(payload)))
        self.send_header("Cache-Control", "no-cache")
        for name, value in (extra or {}).items():
            self.send_header(name, value)
        self.end_headers()
        if not head_only:
            self.wfile.write(payload)

    # --- control ---------------------------------------------------------------------------
    def control(self, path, query, method, body):
        p = self.platform
        params = dict(parse_qsl(query, keep_blank_values=True))
        if path == "/__platform/status":
            with p.lock:
                count = len(p.entries)
            self.answer(200, "application/json", json.dumps({"port": p.port, "hosts": p.hosts, "requests": count}))
        elif path == "/__platform/log":
            self.answer(200, "application/x-ndjson; charset=utf-8", p.log_text())
        elif path == "/__platform/app.ini":
            if method in ("POST", "PUT"):
                p.app_ini = body.decode("utf-8", "replace")
            elif "set" in params:
                p.app_ini = params["set"]
            self.answer(200, "text/plain; charset=utf-8", p.app_ini)
        elif path == "/__platform/shutdown":
            self.answer(200, "application/json", '{"stopping":true}')
            threading.Thread(target=self.server.shutdown, daemon=True).start()
        else:
            self.answer(404, "text/plain", "unknown control address\n")

    # --- the platform's pages ----------------------------------------------------------------
    def route(self, path, query, params):
        p = self.platform
        html_type = "text/html; charset=utf-8"
        values = dict(params)
        if path == "/pelun/wd/index.html":
            return 200, html_type, self.login_page(query, values), None
        if path == "/pelun/wd/game.html":
            return 200, html_type, self.game_page(values), None
        if path in ("/pelun/", "/pelun/index.html"):
            return 200, html_type, page("Velmora 官方网站", "<h1>Velmora 官方网站</h1><p>新闻、公告与资料。</p>"), None
        if path in ("/action/redirect_pay.php", "/action/redirect_bbs.php", "/action/redirect_kf.php"):
            names = {"redirect_pay.php": "充值中心", "redirect_bbs.php": "论坛", "redirect_kf.php": "客服中心"}
            name = names[path.rsplit("/", 1)[1]]
            return 200, html_type, page(name, f"<h1>{name}</h1><p>收到的参数：{html.escape(query)}</p>"), None
        if path == "/qqconn/oauth/redirect_to_login.php":
            go = p.url("qq", "/qqconn/oauth/authorize.php?user=qq_10001")
            body = ("<h1>QQ 登录</h1><p>使用 QQ 帐号登录 Velmora。</p>"
                    f"<p>{link(go, '授权并登录 (qq_10001)')}</p>")
            return 200, html_type, page("QQ 登录", body), None
        if path == "/qqconn/oauth/authorize.php":
            user = values.get("user", "qq_10001")
            back = p.url("account", "/login?go=wd&wd_username=" + quote(user, safe=""))
            body = f"<p>授权成功，正在返回游戏……</p><p>{link(back, '立即返回')}</p>"
            return 200, html_type, page("授权成功", body, refresh=(1, back)), None
        if path == "/login":
            if query.startswith("go"):
                rest = [(k, v) for k, v in params if k != "go"]
                to = p.url("site", "/pelun/wd/index.html?from=account" + ("&" + urlencode(rest) if rest else ""))
                return 302, html_type, page("跳转", link(to, to)), {"Location": to}
            return 200, html_type, page("帐号中心", "<p>帐号中心</p>"), None
        if path == "/tarsel/pelun/official/app.ini":
            return 200, "text/plain; charset=utf-8", p.app_ini, None
        if path == "/tarsel/pelun/official/tarselpelun.exe":
            if p.upgrader and os.path.isfile(p.upgrader):
                with open(p.upgrader, "rb") as f:
                    return 200, "application/octet-stream", f.read(), None
            return 404, "text/plain", "no upgrader\n", None
        if path == "/ps.gif":
            return 200, "image/gif", PIXEL_GIF, None
        if path == "/t/page.html":
            return self.test_page(query, params)
        return 404, html_type, page("404 Not Found", "<h1>404</h1><p>" + html.escape(path) + "</p>"), None

    def login_page(self, query, values):
        p = self.platform
        user = values.get("wd_username", "")
        parts = [f"<h1>Velmora 登录</h1><p>收到的参数：{html.escape(query) or '（无）'}</p>"]
        if user:
            parts.append(f"<p>欢迎，{html.escape(user)}！请选择服务器：</p><ul>")
            for server, name in ((1, "1服 晨曦"), (2, "2服 星河"), (7, "7服 长风")):
                game = p.url("site", f"/pelun/wd/game.html?wd_entergame=1&wd_server={server}&wd_username=" + quote(user, safe=""))
                parts.append(f"<li>{link(game, name)}</li>")
            parts.append("</ul>")
        else:
            parts.append("<p>选择帐号登录：</p><ul>")
            for name in ("alice", "bob"):
                parts.append("<li>" + link(p.url("site", "/pelun/wd/index.html?signed=1&wd_username=" + name), f"以 {name} 登录") + "</li>")
            parts.append("</ul>")
        qq = p.url("qq", "/qqconn/oauth/redirect_to_login.php?from=velmora")
        parts.append(f"<p>{link(qq, 'QQ 帐号登录', blank=True)}</p>")
        return page("Velmora 登录", "\n".join(parts))

    def game_page(self, values):
        p = self.platform
        server = values.get("wd_server", "?")
        try:
            tick = max(0, int(values.get("tick", "0")))
        except ValueError:
            tick = 0
        try:
            every = min(max(1, int(values.get("every", "3"))), 3600)
        except ValueError:
            every = 3
        keep = {k: v for k, v in values.items() if k != "tick"}
        keep["tick"] = str(tick + 1)
        again = p.url("site", "/pelun/wd/game.html?" + urlencode(keep))
        title = f"Velmora {server}服 · 第{tick}回合"
        back = p.url("site", "/pelun/wd/game.html?wd_returnlogin=1")
        body = (f"<h1>{html.escape(title)}</h1><p>游戏进行中，标题每 {every} 秒更新一次。</p>"
                f"<p>{link(back, '返回登录')}</p>")
        if values.get("wd_returnlogin") == "1":
            return page("返回登录", "<p>正在返回登录……</p>")
        return page(title, body, refresh=(every, again))

    def test_page(self, query, params):
        values = dict(params)
        try:
            status = int(values.get("status", "200"))
        except ValueError:
            status = 200
        if not 200 <= status <= 599:
            status = 200
        title = values.get("title", "test page")
        parts = [f"<h1>{html.escape(title)}</h1>"]
        for key, value in params:
            if key == "text":
                parts.append(f"<p>{html.escape(value)}</p>")
            elif key == "link":
                parts.append(f"<p>{link(value, value)}</p>")
            elif key == "blank":
                parts.append(f"<p>{link(value, value, blank=True)}</p>")
        parts.append(f"<p>query: {html.escape(query)}</p>")
        refresh = None
        if "refresh" in values:
            try:
                refresh = (max(0, int(values["refresh"])), values.get("to", ""))
            except ValueError:
                refresh = None
        return status, "text/html; charset=utf-8", page(title, "\n".join(parts), refresh=refresh), None


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--port", type=int, default=18080, help="0 picks a free port")
    parser.add_argument("--lifetime", type=float, default=600, help="seconds until it stops by itself")
    parser.add_argument("--log", help="request log file (JSON lines), rewritten at start")
    parser.add_argument("--ready-file", help="written with {\"port\": N} once listening")
    parser.add_argument("--app-ini", help="file with the version file's first content")
    parser.add_argument("--upgrader", help="file served as the upgrader download")
    for name in ("site", "download", "stats", "account", "qq"):
        parser.add_argument(f"--{name}-host", help=f"host[:port] of the {name} server in links (default: this server)")
    args = parser.parse_args()

    server = ThreadingHTTPServer(("127.0.0.1", args.port), Handler)
    server.daemon_threads = True
    port = server.server_address[1]
    Handler.platform = Platform(args, port)

    def stop(*_):
        threading.Thread(target=server.shutdown, daemon=True).start()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    timer = threading.Timer(max(1.0, args.lifetime), stop)
    timer.daemon = True
    timer.start()

    if args.ready_file:
        tmp = args.ready_file + ".tmp"
        with open(tmp, "w") as f:
            json.dump({"port": port, "pid": os.getpid()}, f)
        os.replace(tmp, args.ready_file)
    print(f"platform listening on 127.0.0.1:{port}", flush=True)
    try:
        server.serve_forever(poll_interval=0.2)
    finally:
        timer.cancel()
        server.server_close()
    print("platform stopped", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
