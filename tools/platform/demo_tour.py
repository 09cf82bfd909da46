#!/usr/bin/env python3
"""A bounded, unattended demo run for a screen nobody watches (Xvfb): starts the client, walks
through the login flow where the screens allow it, takes screenshots, then ends the client.

    demo_tour.py --build BUILD --out FOLDER [--seconds N] [-- client arguments]

The platform must already be running (scripts/demo starts it). Steps that the client does not
offer yet (no login page on the screen, no game window) are skipped with a note.
"""
import argparse
import os
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import harness  # noqa: E402

EXIT_QUESTION = "此操作将退出游戏，是否继续？"


def views(probe):
    """Visible stand-in views of the client, with their screen origin and page summary."""
    found = []
    for window in probe.windows_of("Velmora.exe"):
        for child in window.get("children", []):
            if child["class"] == "StandinBrowserView" and child["visible"]:
                summary = harness.view_summary(child["text"])
                summary.update(hwnd=child["hwnd"], origin=child["origin"], top=window)
                found.append(summary)
    return found


def on_screen(view):
    x, y = view["origin"]
    return x >= 0 and y >= 0


def click_link(probe, contains, timeout=20):
    """Clicks the first on-screen link whose address contains the text; True when done."""
    def find():
        for view in views(probe):
            if not on_screen(view):
                continue
            for link in view["links"]:
                if contains in link["href"]:
                    return view, link
        return None
    try:
        view, link = harness.wait_until(find, timeout, 0.5, f"a link to {contains!r}")
    except harness.HarnessError as error:
        print(f"demo: skipped ({error})")
        return False
    probe.click(view["hwnd"], *link["center"])
    print(f"demo: clicked {link['href']}")
    return True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("client_args", nargs="*")
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    deadline = time.monotonic() + args.seconds
    wine = harness.Wine(args.build)
    shot_number = [0]

    def shot(name):
        shot_number[0] += 1
        path = os.path.join(args.out, f"{shot_number[0]:02d}-{name}.png")
        client.probe.screenshot(path)
        print(f"demo: screenshot {path}")

    with harness.Client(wine, *args.client_args) as client:
        try:
            client.wait_windows(1, timeout=max(5, min(60, deadline - time.monotonic())))
            time.sleep(3)
            shot("start")
            if click_link(client.probe, "wd_username=alice"):
                time.sleep(3)
                shot("signed-in")
                if click_link(client.probe, "wd_entergame=1"):
                    time.sleep(5)
                    shot("game")
            while time.monotonic() < deadline - 5 and client.running():
                time.sleep(1)
            if client.running():
                shot("end")
                for window in client.windows():
                    client.probe.close(window["hwnd"])
                    break
                try:
                    client.probe.answer_dialog(EXIT_QUESTION, "yes", timeout=5)
                except harness.HarnessError:
                    pass
                client.wait_exit(10)
        except harness.HarnessError as error:
            print(f"demo: {error}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
