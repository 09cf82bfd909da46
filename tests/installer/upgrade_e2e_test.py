#!/usr/bin/env python3
"""The whole self-update under Wine: an installed client, the demo platform offering a newer
version whose package is the real setup program, the notice answered, the upgraded client back.
And the same offer with a version file whose digest does not match the package."""
import argparse
import hashlib
import os
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "e2e"))
import harness  # noqa: E402
import installer_test  # noqa: E402
from installer_test import CLIENT_WINDOWS_PATH, fixed_file_version, wait_until  # noqa: E402

ARGS = None
NOTICE_CAPTION = "升级提醒"
UPGRADER = "/tarsel/pelun/official/tarselpelun.exe"


def sha256_of(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


class UpgradeEndToEndTest(unittest.TestCase):
    def setUp(self):
        self.wine = installer_test.Prefix(ARGS.wine_run, ARGS.prefix)
        self.wine.reset()
        self.harness_wine = harness.Wine(ARGS.build)
        self.probe = harness.Probe(self.harness_wine)
        self.port = self.harness_wine.platform_port()
        self.assertIsNotNone(self.port, "the build's server hosts must all name one loopback port")
        self.upgrade_record = os.path.join(self.wine.data_dir, "Upgrade", "LastUpgrade.ini")
        self.downloaded = os.path.join(self.wine.data_dir, "Upgrade", "tarselEntrelUpgrade.exe")

    def tearDown(self):
        self.wine.reset()

    def offer(self, digest):
        return ("[version]\r\ncurrentversion=%s\r\nupgraderange=\r\nsha256=%s\r\n"
                % (ARGS.newer_version, digest))

    def install_and_start_client(self):
        result = self.wine.run(ARGS.setup, "/S")
        self.assertEqual(result.returncode, 0, result.stdout)
        self.assertEqual(fixed_file_version(self.wine.client), ARGS.version)
        return self.wine.start(CLIENT_WINDOWS_PATH)

    def answer_notice(self):
        dialog = self.probe.answer_dialog("检测到最新版本[%s]，确认更新！" % ARGS.newer_version,
                                          "ok", timeout=60)
        self.assertEqual(dialog["text"], NOTICE_CAPTION)

    def login_screen_shown(self):
        windows = self.probe.windows_of("Velmora.exe", harness.CLIENT_CLASS)
        return len(windows) == 2 and all(w["rect"][0] > -1000 for w in windows)

    def test_offered_upgrade_replaces_the_client_and_it_comes_back(self):
        with harness.Platform(port=self.port, lifetime=300, upgrader=ARGS.newer_setup,
                              app_ini=self.offer(sha256_of(ARGS.newer_setup))) as platform:
            old = self.install_and_start_client()
            try:
                self.answer_notice()
                # The client starts the upgrader and ends; the upgrader replaces it.
                self.assertIsNotNone(wait_until(lambda: old.poll() is not None, 60),
                                     "the old client did not end")
            finally:
                harness.end_process(old)
            self.assertTrue(wait_until(
                lambda: fixed_file_version(self.wine.client) == ARGS.newer_version, 120),
                "the installed client was not replaced")
            # The upgraded client comes back on its own and shows its login screen.
            self.assertTrue(wait_until(self.login_screen_shown, 90), "no login screen after the upgrade")
            self.assertNotIn(old.pid, self.wine.client_pids())
            ini = self.wine.ini_values()
            self.assertEqual(ini.get(("Install", "InstallType")), "2")
            with open(self.upgrade_record, encoding="latin-1") as f:
                self.assertIn("lastUpgradeVer=" + ARGS.newer_version, f.read())
            self.assertEqual(len(platform.requests_to(UPGRADER)), 1)
            at = [e for e in platform.requests_to("/ps.gif") if "at=2" in str(e.get("query"))]
            self.assertEqual(len(at), 1, platform.log())
            entry = self.wine.reg_values(installer_test.UNINSTALL_KEY)
            self.assertEqual(entry.get("DisplayVersion"), ARGS.newer_version)

    def test_package_not_matching_its_digest_is_never_started(self):
        wrong = hashlib.sha256(b"another package").hexdigest()
        with harness.Platform(port=self.port, lifetime=300, upgrader=ARGS.newer_setup,
                              app_ini=self.offer(wrong)) as platform:
            client = self.install_and_start_client()
            try:
                self.answer_notice()
                self.assertTrue(wait_until(lambda: platform.requests_to(UPGRADER), 60))
                # Deleted, not run: the client keeps running and shows its login screen again.
                self.assertTrue(wait_until(lambda: not os.path.exists(self.downloaded), 30))
                self.assertTrue(wait_until(self.login_screen_shown, 30))
                self.assertIsNone(client.poll())
                self.assertEqual(fixed_file_version(self.wine.client), ARGS.version)
                self.assertEqual(self.wine.ini_values().get(("Install", "InstallType")), "1")
                self.assertFalse(os.path.exists(self.upgrade_record) and
                                 "lastUpgradeVer=" in open(self.upgrade_record, encoding="latin-1").read())
            finally:
                harness.end_process(client)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    for name in ["build", "wine-run", "prefix", "setup", "newer-setup", "newer-version",
                 "version"]:
        parser.add_argument("--" + name, required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
