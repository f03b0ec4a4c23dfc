#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
"""gnome-unlock.py QUILLMOTE [idle|phone]: inside the uinput VM (run-vm.py --gpu 800x600 --smp 2 --mem 3072), as root,
or in a Debian chroot there (in-chroot.sh: GNOME 48 from Debian 13, whose portal remembers the grant).
gnome-shell on the VM's GPU (gnome-drm.sh); quillmote --input portal as the session's user, granted
once at the computer; the screen shield comes up (gnome-session's idle, or with "phone" the phone's screen
saver) and the phone's wake ends it; then the session is locked and the phone (a paired client on loopback)
raises the password prompt, types the password and, where the grant is not remembered, answers the desktop's
new consent dialog. Writes what quillmote said and what the stand-ins saw to $LAB_OUT/seen.json, for
whoever runs it to judge."""
import base64
import json
import os
import shlex
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, '..', '..', '..', 'tests', 'system'))
from test_uinput import changes, device  # noqa: E402 (found through the path above)
LAB = HERE


class Stop(Exception):
    """A step did not happen: the rest cannot, so the run ends there instead of waiting out each step."""


def presses(fd):
    """The key presses the device passed on since the last look."""
    return sum(kind == 1 and value == 1 for kind, _, value in changes(fd))


def scenario(binary, seen, shield="idle", password="Lab-P4ss!W0rd#"):
    """Fills seen step by step; the host compares it with what should have happened."""
    os.environ.update(QUILLMOTE_BIN=binary, LAB_PASSWORD=password)
    t0 = time.monotonic()
    from harness import Server
    subprocess.run(["bash", f"{LAB}/gnome-drm.sh", "start", "/run/lab"], check=True, timeout=900)
    with open("/run/lab/gnome-drm/env") as f:
        env = dict(shlex.split(line)[1].split("=", 1) for line in f)
    user = ("setpriv", f"--reuid={env['LAB_USER']}", f"--regid={env['LAB_USER']}", "--clear-groups")

    def lab(name, *args):
        print('%7.1fs %s %s' % (time.monotonic() - t0, name, ' '.join(args)), file=sys.stderr, flush=True)
        done = subprocess.run([*user, env[name], *args], env={**os.environ, **env}, capture_output=True, text=True,
                              timeout=150)
        print(done.stderr, end='', file=sys.stderr, flush=True)
        if done.returncode != 0:
            raise Stop(name + ' failed')
        return done.stdout.strip()
    # The phone pairs without a question, as in the other system tests; quillmote uses only its user's files.
    settings = f"{env['XDG_CONFIG_HOME']}/Quillmote"
    os.makedirs(settings)

    def standins(prefix):
        with open(env["LAB_STANDINS_LOG"]) as f:
            return [line.strip() for line in f if line.startswith(prefix)]

    def wait(probe, seconds, what="the stand-ins saw nothing new"):
        deadline = time.monotonic() + seconds
        while not (found := probe()) and time.monotonic() < deadline:
            time.sleep(0.3)
        if not found:
            raise Stop(what)
        return found
    with open(f"{settings}/Quillmote.conf", "w") as f:
        f.write("[General]\nAskBeforeNewDevice=false\n")
    for path in (settings, f"{settings}/Quillmote.conf"):
        os.chown(path, int(env['LAB_USER']), int(env['LAB_USER']))
    with Server(args=("--headless", "--input", "portal"), prefix=user,
                env={**env, "QUILLMOTE_UINPUT_DEVICE": "/dev/uinput",
                     "QT_LOGGING_RULES": "quillmote.input.debug=true"}) as server:
        def said(*patterns):
            for p in patterns:
                print('%7.1fs waiting for %s' % (time.monotonic() - t0, p), file=sys.stderr, flush=True)
                if not server.wait_for(p, timeout=120):
                    seen["output"] = server.lines
                    raise Stop('quillmote did not say ' + p)
            return [True] * len(patterns)
        try:
            seen["first"] = [lab("LAB_ANSWER"), *said("^The desktop allows remote input$")]
            client = server.paired_client(timeout=60)
            remembered = int(env.get("LAB_RD_VERSION", "1")) >= 2  # RemoteDesktop 2 keeps the grant

            def granted_again():
                """After the shield: the remembered grant, or the new consent dialog answered from the phone
                (uinput carries on until the grant). Nobody at the computer either way."""
                if remembered:
                    t1 = time.monotonic()
                    back = said("^Input goes through the portal again$")
                    return back, round(time.monotonic() - t1, 2)
                lab("LAB_DIALOG")
                # "Allow remote interaction" on, which makes Share sensitive, then Share; Alt+S again while the
                # dialog stays (under TCG it is now and then lost), never Space, which would turn the switch off.
                client.exchange(b"KEY:SPACE")
                time.sleep(2)
                for answers in range(1, 4):
                    client.exchange(b"KEY:ALT+S")
                    if server.wait_for("^The desktop allows remote input$", timeout=20):
                        break
                return said("^Input goes through the portal again$"), answers
            # The idle shield (it blanks; the lock is off), or the one the phone's screen saver raises (the shell
            # says it is up only once it is drawn, seconds after it ended the session here), ended by the phone's
            # wake: the pointer's nudge through uinput is what the shell sees as the user coming back.
            if shield == "phone":
                client.exchange(b"CMD:SCREENSAVER")
            else:
                lab("LAB_IDLE")
            seen["blank"] = [*said("^The desktop closed the remote input session at its screen shield",
                                   "^Input goes through uinput while the screen shield is up$")]
            seen["blank"].append(wait(lambda: lab("LAB_SHIELD") == "true" and "true", 120, "the shield never came up"))
            lab("LAB_TAKEN", "Quillmote pointer")
            client.exchange(b"CMD:WAKE")
            seen["woken"] = [*said("^The screen shield went down$"), lab("LAB_SHIELD")]
            seen["woken"].append(granted_again()[0])
            lab("LAB_LOCK")
            seen["locked"] = [*said("^The desktop closed the remote input session at its screen shield",
                                    "^Input goes through uinput while the screen shield is up$"), lab("LAB_SHIELD")]
            lab("LAB_TAKEN", "Quillmote keyboard")
            # Another user's session in front: nothing the phone sends reaches it, then or after.
            keyboard = device("Quillmote keyboard")
            lab("LAB_SWITCH", "away")
            said("^Input stops: another login session is in front$")
            for message in (b"KEY:ESC", b"TYPE:" + base64.b64encode(b"other"), b"KEY:ENTER"):
                client.exchange(message, timeout=1)
            time.sleep(1)
            lab("LAB_SWITCH", "back")
            seen["switched"] = [*said("^Input goes through uinput while the screen shield is up$"), presses(keyboard)]
            lab("LAB_TAKEN", "Quillmote keyboard")
            seen["switched"].append(presses(keyboard))
            client.exchange(b"KEY:ESC")
            seen["prompt"] = lab("LAB_SAW", "^verification")
            seen["switched"].append(presses(keyboard))  # the Escape: what was looked for did show
            # After a wrong answer the shell asks again and the phone types once more; what came instead
            # is kept for the host to judge.
            seen["wrong"] = []
            for attempt in range(2):
                asked = len(standins("verification"))
                time.sleep(6)  # the password entry takes keys once it is drawn
                for message in (b"TYPE:" + base64.b64encode(password.encode()), b"KEY:ENTER"):
                    client.exchange(message, timeout=1)
                seen["password"] = lab("LAB_SAW", "^password ") and wait(lambda: standins("password")[attempt:], 60)[0]
                if seen["password"] == "password right":
                    break
                seen["wrong"].append(seen["password"])
                wait(lambda: len(standins("verification")) > asked, 60)
            seen["unlocked"] = [*said("^The screen shield went down$", "^Asking the desktop to allow remote input$"),
                                lab("LAB_SHIELD")]
            seen["back"], again = granted_again()
            seen["restored_s" if remembered else "answers"] = again
            print('%7.1fs done' % (time.monotonic() - t0), file=sys.stderr, flush=True)
        finally:
            seen["output"] = server.lines


if __name__ == '__main__':
    seen = {}
    try:
        scenario(sys.argv[1], seen, *sys.argv[2:3])
    except (Stop, LookupError) as stop:  # LookupError: a device of ours never showed
        seen["stopped"] = str(stop)
        print('stopped:', stop, file=sys.stderr)
    finally:
        subprocess.run(["bash", f"{LAB}/gnome-drm.sh", "stop", "/run/lab"], timeout=60)
        print('seen:', {k: v for k, v in seen.items() if k != 'output'}, file=sys.stderr)
        with open(os.path.join(os.environ['LAB_OUT'], 'seen.json'), 'w') as f:
            json.dump(seen, f)
    sys.exit(1 if 'stopped' in seen else 0)
