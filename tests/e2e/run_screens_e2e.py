#!/usr/bin/env python3
"""Runs the screen tests: the loopback platform on PORT, then the test program under Wine.

Usage: run_screens_e2e.py WINE_RUN TEST_EXE PORT OUTPUT_DIR [gtest arguments...]
The test program learns where things are from the environment:
  VELMORA_E2E_REQUEST_LOG  the platform's request log (Windows path)
  VELMORA_E2E_SHOTS        folder for screenshots (Windows path)
  VELMORA_E2E_PORT         the platform's port
"""
import os
import socket
import subprocess
import sys
import time

wine_run, test_exe, port, out_dir = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
extra = sys.argv[5:]
here = os.path.dirname(os.path.abspath(__file__))
os.makedirs(out_dir, exist_ok=True)
log = os.path.join(out_dir, "requests.log")
open(log, "w").close()


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


server = subprocess.Popen([sys.executable, os.path.join(here, "screen_platform.py"), str(port), log,
                           "1200"])
try:
    deadline = time.time() + 20
    while True:
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            break
        except OSError:
            if time.time() > deadline or server.poll() is not None:
                print("platform did not start on port %d" % port, file=sys.stderr)
                sys.exit(1)
            time.sleep(0.1)
    env = dict(os.environ)
    env["VELMORA_E2E_REQUEST_LOG"] = windows_path(log)
    env["VELMORA_E2E_SHOTS"] = windows_path(out_dir)
    env["VELMORA_E2E_PORT"] = str(port)
    sys.exit(subprocess.call([wine_run, test_exe] + extra, env=env))
finally:
    server.terminate()
    try:
        server.wait(5)
    except subprocess.TimeoutExpired:
        server.kill()
