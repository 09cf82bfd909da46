#!/usr/bin/env python3
"""Smoke test of the harness: the platform and the real client under Wine, the client's
windows seen from inside Wine, a screenshot, and both ended cleanly."""
import argparse
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

BUILD = None
EXIT_QUESTION = "此操作将退出游戏，是否继续？"
PLATFORM_PORT = 18080  # the port the test build's host settings name


class SmokeTest(unittest.TestCase):
    def test_client_runs_against_the_platform_and_ends_cleanly(self):
        wine = harness.Wine(BUILD)
        shots = os.path.join(wine.build, "e2e")
        os.makedirs(shots, exist_ok=True)
        with harness.Platform(port=PLATFORM_PORT, lifetime=200,
                              upgrader=wine.exe("StubUpgrader.exe")) as platform:
            with harness.Client(wine) as client:
                windows = client.wait_windows(2, timeout=60)
                for window in windows:
                    left, top, right, bottom = window["rect"]
                    self.assertEqual((1213, 749), (right - left, bottom - top), window)
                    self.assertTrue(window["visible"])
                    self.assertEqual("Velmora.exe", window["exe"])
                width, height = client.probe.screenshot(os.path.join(shots, "smoke.png"))
                self.assertEqual((1920, 1040), (width, height))

                # Ending: WM_CLOSE to one of the pair; the background window asks first.
                client.probe.close(windows[0]["hwnd"])

                def ended_or_asked():
                    if not client.running():
                        return "ended"
                    if any(EXIT_QUESTION in d["message"] for d in client.probe.dialogs()):
                        return "asked"
                    return None

                if harness.wait_until(ended_or_asked, 30, 0.3, "the client to end or ask") == "asked":
                    client.probe.answer_dialog(EXIT_QUESTION, "yes")
                self.assertEqual(0, client.wait_exit(30))
                self.assertEqual([], client.windows())
            # Whatever the client asked of the platform is in its log (printed for diagnosis).
            for entry in platform.log():
                print(entry["method"], entry["path"], entry["query"])
        self.assertIsNotNone(platform.process.poll())


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--build")
    args, rest = parser.parse_known_args()
    BUILD = args.build
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
