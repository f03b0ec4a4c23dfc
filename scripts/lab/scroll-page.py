#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
"""scroll-page.py LOG: Firefox ESR (a fresh profile, kiosk: the page fills the screen) showing a tall
page from a loopback server, which tells what it sees; each line appended to LOG is one report:
  ready WIDTH HEIGHT    the page is up (its viewport)
  pointer X Y           the pointer moved over the page
  scroll Y              window.scrollY after a scroll event
Runs Firefox with this environment (MOZ_ENABLE_WAYLAND=1 and WAYLAND_DISPLAY make it a Wayland client,
else it takes DISPLAY); what Firefox prints goes to LOG.firefox. Ends Firefox and removes the profile
on SIGTERM, SIGINT, or when stdin (a pipe) closes.
Exit 77: no firefox-esr."""
import http.server
import os
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import threading

PAGE = b"""<!doctype html><meta charset="utf-8"><title>scroll</title>
<body style="margin:0;height:40000px;background:repeating-linear-gradient(#fff 0 50px,#ddd 50px 100px)"><script>
const tell = line => fetch("/", {method: "POST", body: line});
addEventListener("scroll", () => tell("scroll " + Math.round(scrollY)));
addEventListener("mousemove", e => tell(`pointer ${e.clientX} ${e.clientY}`));
addEventListener("load", () => tell(`ready ${innerWidth} ${innerHeight}`));</script>"""

# No first-run pages, updates or reports: nothing but the page, and nothing leaves the machine.
PREFS = {"browser.shell.checkDefaultBrowser": False, "browser.startup.homepage_override.mstone": '"ignore"',
         "browser.aboutwelcome.enabled": False, "datareporting.policy.dataSubmissionEnabled": False,
         "toolkit.telemetry.reportingpolicy.firstRun": False, "app.update.disabledForTesting": True,
         "browser.sessionstore.resume_from_crash": False, "network.proxy.type": 0,
         "browser.tabs.warnOnClose": False, "extensions.autoDisableScopes": 15}


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: scroll-page.py LOG")
    firefox = shutil.which("firefox-esr") or shutil.which("firefox")
    if not firefox:
        print("SKIP: firefox-esr is not installed", file=sys.stderr)
        sys.exit(77)
    log = open(sys.argv[1], "a", buffering=1)
    lock = threading.Lock()

    class Page(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            self.send_response(200)
            self.send_header("Content-Type", "text/html; charset=utf-8")
            self.end_headers()
            self.wfile.write(PAGE)

        def do_POST(self):
            line = self.rfile.read(int(self.headers["Content-Length"])).decode(errors="replace")
            with lock:
                log.write(line.replace("\n", " ") + "\n")
            self.send_response(204)
            self.end_headers()

        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Page)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    profile = tempfile.mkdtemp(prefix="scroll-page-")
    with open(os.path.join(profile, "user.js"), "w") as f:
        f.writelines(f'user_pref("{k}", {str(v).lower() if isinstance(v, bool) else v});\n' for k, v in PREFS.items())
    firefox_log = open(sys.argv[1] + ".firefox", "a")
    browser = subprocess.Popen([firefox, "--no-remote", "--kiosk", "--profile", profile,
                                f"http://127.0.0.1:{server.server_port}/"], stdin=subprocess.DEVNULL,
                               stdout=firefox_log, stderr=subprocess.STDOUT, start_new_session=True)
    done = threading.Event()
    for sig in (signal.SIGTERM, signal.SIGINT):
        signal.signal(sig, lambda *_: done.set())
    if stat.S_ISFIFO(os.fstat(0).st_mode):  # a caller that dies closes it
        threading.Thread(target=lambda: (sys.stdin.read(), done.set()), daemon=True).start()
    threading.Thread(target=lambda: (browser.wait(), done.set()), daemon=True).start()
    done.wait()
    # Firefox's content processes share its process group: end them all, bounded.
    for sig in (signal.SIGTERM, signal.SIGKILL):
        try:
            os.killpg(browser.pid, sig)
            browser.wait(5)
            break
        except (ProcessLookupError, subprocess.TimeoutExpired):
            continue
    try:
        os.killpg(browser.pid, signal.SIGKILL)  # children left after Firefox itself ended
    except ProcessLookupError:
        pass
    server.shutdown()
    shutil.rmtree(profile, ignore_errors=True)


if __name__ == "__main__":
    main()
