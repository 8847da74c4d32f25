"""Headless Chromium and a local web server for the web player's tests.

Chromium runs as root in containers here, without a sandbox, GPU, sound
card or network beyond the loopback; its audio goes to a fake output that
keeps time like a real one and sounds nowhere.
"""

import contextlib
import functools
import http.server
import os
import shutil
import tempfile
import threading

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

CHROMIUM = os.environ.get("VEXL_CHROMIUM", "/usr/bin/chromium")
CHROMEDRIVER = os.environ.get("VEXL_CHROMEDRIVER", "/usr/bin/chromedriver")

CHROMIUM_FLAGS = [
    "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--autoplay-policy=no-user-gesture-required", "--disable-audio-output",
    "--window-size=1280,900",
]


class _QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


@contextlib.contextmanager
def serve(directory):
    """Serves `directory` on a free loopback port; yields its base URL."""
    handler = functools.partial(_QuietHandler, directory=str(directory))
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()
    try:
        yield f"http://127.0.0.1:{server.server_port}/"
    finally:
        server.shutdown()
        server.server_close()


@contextlib.contextmanager
def chromium():
    """A headless Chromium with a fresh profile, driven through chromedriver."""
    profile = tempfile.mkdtemp(prefix="vexl-chromium-")
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for flag in CHROMIUM_FLAGS:
        options.add_argument(flag)
    options.add_argument(f"--user-data-dir={profile}")
    driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
    driver.set_script_timeout(60)
    try:
        yield driver
    finally:
        driver.quit()
        shutil.rmtree(profile, ignore_errors=True)
