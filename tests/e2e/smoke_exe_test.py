#!/usr/bin/env python3
"""Smoke test of the harness: the platform and the real client under Wine, the client's
windows seen from inside Wine, a screenshot, its exit question answered No and then Yes, and
both ended cleanly."""
import argparse
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

BUILD = None
EXIT_QUESTION = "此操作将退出游戏，是否继续？"
WM_CONFIRM_EXIT = 1230
WS_SYSMENU, WS_MINIMIZEBOX, WS_CAPTION = 0x00080000, 0x00020000, 0x00C00000
WS_EX_LAYERED = 0x00080000


class SmokeTest(unittest.TestCase):
    def ask_to_exit(self, client, windows):
        """Posts WM_CONFIRM_EXIT to the login window (whichever of the pair answers it) and
        waits for the question; returns the window that asked."""
        for window in windows:
            # Sent, as the background window sends it: a queued one would pass the client's
            # message filter, which the window in the foreground may answer.
            client.probe.send(window["hwnd"], WM_CONFIRM_EXIT)
            try:
                harness.wait_until(lambda: any(EXIT_QUESTION in d["message"] for d in client.probe.dialogs()),
                                   8, 0.3, "the exit question")
                return window["hwnd"]
            except harness.HarnessError:
                continue
        self.fail("no window of the client asked the exit question")

    def test_client_runs_against_the_platform_and_ends_cleanly(self):
        wine = harness.Wine(BUILD)
        port = wine.platform_port()
        self.assertIsNotNone(port, "the build's server hosts must all name one loopback port")
        shots = os.path.join(wine.build, "e2e")
        os.makedirs(shots, exist_ok=True)
        with harness.Platform(port=port, lifetime=200,
                              upgrader=wine.exe("StubUpgrader.exe")) as platform:
            with harness.Client(wine) as client:
                windows = client.wait_windows(2, timeout=60)
                for window in windows:
                    left, top, right, bottom = window["rect"]
                    self.assertEqual((1213, 749), (right - left, bottom - top), window)
                    self.assertTrue(window["visible"])
                    self.assertEqual("Velmora.exe", window["exe"])
                    # Both windows of the login screen: frameless, system menu, layered.
                    self.assertEqual(WS_SYSMENU | WS_MINIMIZEBOX, window["style"] & (WS_SYSMENU | WS_MINIMIZEBOX))
                    self.assertEqual(0, window["style"] & WS_CAPTION)
                    self.assertTrue(window["exstyle"] & WS_EX_LAYERED)
                width, height = client.probe.screenshot(os.path.join(shots, "smoke.png"))
                self.assertEqual((1920, 1040), (width, height))

                # The exit question (WM_CONFIRM_EXIT), answered through the probe: No keeps
                # the client running, Yes ends it.
                asking = self.ask_to_exit(client, windows)
                client.probe.answer_dialog(EXIT_QUESTION, "no")
                harness.wait_until(lambda: not any(EXIT_QUESTION in d["message"] for d in client.probe.dialogs()),
                                   20, 0.3, "the question to go away")
                self.assertTrue(client.running())
                self.assertEqual(2, len(client.windows()))
                client.probe.send(asking, WM_CONFIRM_EXIT)
                dialog = client.probe.answer_dialog(EXIT_QUESTION, "yes")
                self.assertEqual("提示", dialog["text"])
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
