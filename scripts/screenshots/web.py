# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
"""Pictures of the browser remote's page as a phone shows it (390 x 844, light and dark, English
and Chinese), drawn by headless Chromium against the real server.
Usage: QUILLMOTE_BIN=... /usr/bin/python3 web.py OUTPUT_FOLDER"""
import base64
import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "system"))
from browser import Chromium, web_port  # noqa: E402
from harness import Server  # noqa: E402

SHOTS = [  # file, dark, language, tab to show
    ("en-web-pad.png", False, "en-US", "pad-view"),
    ("dark-web-pad.png", True, "en-US", "pad-view"),
    ("en-web-keys.png", False, "en-US", "keys-view"),
    ("dark-web-actions.png", True, "en-US", "actions-view"),
    ("keys-web-pad.png", False, "zh-CN", "pad-view"),
]


def main(out):
    os.makedirs(out, exist_ok=True)
    with Server() as server:
        port = web_port(server)
        secret = server.wait_for(r"^Browser remote: (\S+)$", after_seen=False).group(1).split("#k=")[1]
        for name, dark, language, view in SHOTS:
            browser = Chromium(dark=dark)
            try:
                browser.call("Emulation.setUserAgentOverride", {"userAgent": "Mozilla/5.0 (Linux; Android 14)",
                                                                "acceptLanguage": language})
                browser.open(f"http://127.0.0.1:{port}/#k={secret}")
                browser.tap_on(f"#tabs [data-view={view}]")
                time.sleep(0.3)
                with open(os.path.join(out, name), "wb") as f:
                    f.write(base64.b64decode(browser.call("Page.captureScreenshot", {"format": "png"})["data"]))
            finally:
                browser.close()
            print("wrote", os.path.join(out, name))


if __name__ == "__main__":
    main(sys.argv[1])
