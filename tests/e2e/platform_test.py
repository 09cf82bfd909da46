#!/usr/bin/env python3
"""The demo platform on its own: pages, the sign-in chain, version file, upgrader, beacons,
request log, control addresses and its bounded life."""
import argparse
import os
import socket
import sys
import time
import unittest
import urllib.error
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

BUILD = None


class NoRedirect(urllib.request.HTTPRedirectHandler):
    def redirect_request(self, *args, **kwargs):
        return None


def fetch(url, data=None):
    """(status, headers, text) without following redirects."""
    opener = urllib.request.build_opener(NoRedirect)
    try:
        with opener.open(urllib.request.Request(url, data=data), timeout=10) as answer:
            return answer.status, answer.headers, answer.read()
    except urllib.error.HTTPError as error:
        return error.code, error.headers, error.read()


class PlatformTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        upgrader = os.path.join(BUILD, "bin", "StubUpgrader.exe") if BUILD else None
        cls.platform = harness.Platform(port=0, lifetime=100, upgrader=upgrader,
                                        qq_host="qq.test:1", account_host="account.test:2")
        cls.base = cls.platform.base

    @classmethod
    def tearDownClass(cls):
        cls.platform.stop()

    def page(self, path):
        status, _, body = fetch(self.base + path)
        return status, body.decode("utf-8")

    def test_login_page_offers_the_platform_addresses(self):
        status, text = self.page("/pelun/wd/index.html?refer=x&version=3000&a=<b>")
        self.assertEqual(200, status)
        self.assertIn("<title>Velmora 登录</title>", text)
        self.assertIn("refer=x&amp;version=3000&amp;a=&lt;b&gt;", text)  # the query, escaped
        self.assertIn("wd_username=alice", text)
        self.assertIn('href="http://qq.test:1/qqconn/oauth/redirect_to_login.php?from=velmora" target="_blank"', text)
        status, text = self.page("/pelun/wd/index.html?signed=1&wd_username=alice")
        self.assertIn("欢迎，alice", text)
        self.assertIn(f"{self.base}/pelun/wd/game.html?wd_entergame=1&amp;wd_server=7&amp;wd_username=alice", text)

    def test_game_page_refreshes_itself_with_a_new_title(self):
        cases = [("tick=0", "第0回合", "tick=1"), ("tick=41&every=5", "第41回合", "tick=42"),
                 ("tick=bad", "第0回合", "tick=1"), ("tick=-3", "第0回合", "tick=1")]
        for query, title_part, next_tick in cases:
            with self.subTest(query=query):
                status, text = self.page("/pelun/wd/game.html?wd_entergame=1&wd_server=3&" + query)
                self.assertEqual(200, status)
                self.assertIn(f"<title>Velmora 3服 · {title_part}</title>", text)
                self.assertIn('http-equiv="refresh"', text)
                self.assertIn(next_tick, text)
                self.assertIn("wd_returnlogin=1", text)

    def test_toolbar_pages_answer(self):
        for path in ("/pelun/", "/action/redirect_pay.php?gid=1078&sid=7&uid=alice&role_id=",
                     "/action/redirect_bbs.php?gid=1078", "/action/redirect_kf.php?gid=1078&sid=&uid=&role_id="):
            with self.subTest(path=path):
                status, _ = self.page(path)
                self.assertEqual(200, status)

    def test_qq_sign_in_leads_to_the_account_site_and_back_to_the_login_page(self):
        _, text = self.page("/qqconn/oauth/redirect_to_login.php?from=velmora")
        self.assertIn("http://qq.test:1/qqconn/oauth/authorize.php?user=qq_10001", text)
        _, text = self.page("/qqconn/oauth/authorize.php?user=qq_10001")
        self.assertIn('content="1;url=http://account.test:2/login?go=wd&amp;wd_username=qq_10001"', text)
        status, headers, _ = fetch(self.base + "/login?go=wd&wd_username=qq_10001")
        self.assertEqual(302, status)
        self.assertEqual(f"{self.base}/pelun/wd/index.html?from=account&wd_username=qq_10001",
                         headers["Location"])

    def test_version_file_is_switchable_at_run_time(self):
        url = self.base + "/tarsel/pelun/official/app.ini"
        self.assertIn("currentversion=3.0.0.0", fetch(url)[2].decode())
        self.platform.set_app_ini("[version]\r\ncurrentversion=3.0.0.1\r\nupgraderange=2000-3000\r\n")
        self.assertEqual("[version]\r\ncurrentversion=3.0.0.1\r\nupgraderange=2000-3000\r\n", fetch(url)[2].decode())
        fetch(self.base + "/__platform/app.ini?set=%5Bversion%5D%0Acurrentversion%3D3.0.0.2%0A")
        self.assertEqual("[version]\ncurrentversion=3.0.0.2\n", fetch(url)[2].decode())
        self.platform.set_app_ini(harness_default_ini())

    def test_upgrader_download(self):
        status, _, body = fetch(self.base + "/tarsel/pelun/official/tarselpelun.exe")
        if BUILD:
            self.assertEqual(200, status)
            self.assertEqual(b"MZ", body[:2])
        with harness.Platform(port=0, lifetime=20) as bare:
            self.assertEqual(404, fetch(bare.base + "/tarsel/pelun/official/tarselpelun.exe")[0])

    def test_beacons_are_logged_with_their_raw_query(self):
        # The client puts the install time into the query without encoding: a raw space.
        query = "id=2&gid=1078&e1=wd&e2=&e3=&e4={A-B}&e5=abc&e6=2&e8=3000&e9=2026-12-11 01:02:03&at=5"
        with socket.create_connection(("127.0.0.1", self.platform.port), timeout=10) as s:
            s.sendall(f"GET /ps.gif?{query} HTTP/1.1\r\nHost: stats\r\nConnection: close\r\n\r\n".encode())
            answer = b""
            while True:
                chunk = s.recv(4096)
                if not chunk:
                    break
                answer += chunk
        self.assertTrue(answer.startswith(b"HTTP/1.0 200"), answer[:40])
        self.assertIn(b"image/gif", answer)
        beacons = self.platform.requests_to("/ps.gif")
        self.assertEqual(query, beacons[-1]["query"])
        self.assertIn(["e9", "2026-12-11 01:02:03"], beacons[-1]["params"])

    def test_log_records_requests_but_not_control_calls(self):
        fetch(self.base + "/t/page.html?m=log_probe")
        fetch(self.base + "/t/page.html?m=log_post", data=b"a=1&b=2")
        self.platform.control("status")
        entries = self.platform.log()
        probe = [e for e in entries if e["query"] == "m=log_probe"]
        self.assertEqual(1, len(probe))
        self.assertEqual("GET", probe[0]["method"])
        post = [e for e in entries if e["query"] == "m=log_post"][0]
        self.assertEqual("POST", post["method"])
        self.assertEqual("a=1&b=2", post["body"])
        self.assertFalse([e for e in entries if e["path"].startswith("/__platform")])
        over_http = self.platform.control("log")
        self.assertIn('"query": "m=log_probe"', over_http)

    def test_test_pages_and_unknown_paths(self):
        status, text = self.page("/t/page.html?title=T&link=http://x/a&blank=http://x/b&refresh=2&to=http://x/c")
        self.assertEqual(200, status)
        self.assertIn('<a href="http://x/a">', text)
        self.assertIn('<a href="http://x/b" target="_blank">', text)
        self.assertIn('content="2;url=http://x/c"', text)
        self.assertEqual(404, self.page("/t/page.html?status=404")[0])
        self.assertEqual(200, self.page("/t/page.html?status=nonsense")[0])
        self.assertEqual(404, self.page("/nothing/here")[0])
        self.assertEqual(404, self.platform.requests_to("/nothing/here")[-1]["status"])


class LifetimeTest(unittest.TestCase):
    def test_stops_by_itself_and_on_request(self):
        short = harness.Platform(port=0, lifetime=2)
        try:
            harness.wait_until(lambda: short.process.poll() is not None, 30,
                               what="the platform to stop itself")
            self.assertEqual(0, short.process.returncode)
        finally:
            short.stop()
        asked = harness.Platform(port=0, lifetime=100)
        try:
            asked.control("shutdown")
            asked.process.wait(30)
            self.assertEqual(0, asked.process.returncode)
        finally:
            asked.stop()


def harness_default_ini():
    return "[version]\r\ncurrentversion=3.0.0.0\r\nupgraderange=\r\n"


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--build")
    args, rest = parser.parse_known_args()
    BUILD = args.build
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
