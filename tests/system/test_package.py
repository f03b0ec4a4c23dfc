# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
"""The Debian package made from this build: its files and fields, checked as Debian and the
desktops check them, then installed for real into a throwaway root (this machine's root under
an overlay, in a private mount namespace), run there, and purged."""
import configparser
import glob
import os
import shutil
import subprocess
import tempfile
import unittest

from harness import BIN, main, require

BUILD = os.path.dirname(BIN)
PAIR = ("import socket,sys;s=socket.create_connection(('127.0.0.1',int(sys.argv[1])),timeout=5);"
        "s.sendall(('PAIR:'+sys.argv[2]).encode());print(s.recv(256).decode())")

# Run as root inside `unshare -m`: nothing it mounts or installs is seen outside.
INSTALL = r"""
set -e
T=$1; DEB=$2
export PATH=/usr/sbin:/usr/bin:/sbin:/bin
mount -t tmpfs tmpfs "$T"
mkdir "$T/upper" "$T/work" "$T/root"
mount -t overlay overlay -o "lowerdir=/,upperdir=$T/upper,workdir=$T/work" "$T/root"
mount -t proc proc "$T/root/proc"
mount --bind /dev "$T/root/dev"
mount -t tmpfs tmpfs "$T/root/tmp"
cp "$DEB" "$T/root/tmp/quillmote.deb"
chroot "$T/root" dpkg -i /tmp/quillmote.deb >/dev/null
echo "status: $(chroot "$T/root" dpkg-query -W -f='${Status}' quillmote)"
chroot "$T/root" systemd-analyze verify --man=no /usr/lib/systemd/user/quillmote.service && echo "unit: verified"
chroot "$T/root" env -u LSAN_OPTIONS ASAN_OPTIONS=detect_leaks=0 XDG_CONFIG_HOME=/tmp/config \
    /usr/bin/quillmote --headless --input none --port 0 >"$T/root/tmp/out" 2>&1 &
server=$!
for i in $(seq 100); do grep -q '^Listening on port' "$T/root/tmp/out" && break; sleep 0.1; done
port=$(sed -n 's/^Listening on port //p' "$T/root/tmp/out")
code=$(sed -n 's/^Pairing code: //p' "$T/root/tmp/out")
echo "reply: $(/usr/bin/python3 -c "$3" "$port" "$code")"
kill "$server"; wait "$server" || true
chroot "$T/root" dpkg --purge quillmote >/dev/null
for f in $(cat "$4"); do [ -e "$T/root/$f" ] && echo "left: $f"; done
echo "config kept: $(ls "$T/root/tmp/config/Quillmote")"
"""

EXPECTED = [
    "usr/bin/quillmote", "usr/share/applications/quillmote.desktop",
    "usr/share/icons/hicolor/scalable/apps/quillmote.svg", "usr/share/quillmote/input-access.html",
    "usr/lib/udev/rules.d/70-quillmote-uinput.rules", "usr/lib/systemd/user/quillmote.service",
    "usr/lib/firewalld/services/quillmote.xml", "etc/ufw/applications.d/quillmote",
    "usr/share/man/man1/quillmote.1.gz", "usr/share/doc/quillmote/copyright",
]


class Package(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="quillmote-package-")
        cls.deb = None
        if shutil.which("cpack") and shutil.which("dpkg-shlibdeps"):
            subprocess.run(["cpack", "-G", "DEB", "-B", cls.tmp, "--config", os.path.join(BUILD, "CPackConfig.cmake")],
                           check=True, capture_output=True, timeout=600)
            cls.deb = glob.glob(os.path.join(cls.tmp, "quillmote_*.deb"))[0]
            cls.root = os.path.join(cls.tmp, "contents")
            subprocess.run(["dpkg-deb", "-x", cls.deb, cls.root], check=True, timeout=60)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def setUp(self):
        require(self.deb is not None, "cpack and dpkg-shlibdeps (dpkg-dev) are needed to build the package")

    def test_files_and_fields(self):
        listed = subprocess.run(["dpkg-deb", "-c", self.deb], capture_output=True, check=True,
                                timeout=30).stdout.decode()
        files = {line.split()[-1].lstrip("./") for line in listed.splitlines()}
        self.assertLessEqual(set(EXPECTED), files)
        fields = dict(line.split(": ", 1) for line in subprocess.run(
            ["dpkg-deb", "-f", self.deb, "Package", "Depends", "Recommends", "Section"], capture_output=True,
            check=True, timeout=30).stdout.decode().splitlines())
        self.assertEqual(fields["Package"], "quillmote")
        self.assertEqual(fields["Recommends"], "avahi-daemon, qt6-wayland")
        self.assertIn("libqt6core6", fields["Depends"])
        self.assertIn("wl-clipboard", fields["Depends"])  # pastes into Wayland windows on KDE
        with open(os.path.join(self.root, "usr/lib/udev/rules.d/70-quillmote-uinput.rules")) as f:
            self.assertIn('KERNEL=="uinput", SUBSYSTEM=="misc", TAG+="uaccess", OPTIONS+="static_node=uinput"\n',
                          f.read())
        ufw = configparser.ConfigParser()
        ufw.read(os.path.join(self.root, "etc/ufw/applications.d/quillmote"))
        self.assertEqual(ufw["Quillmote"]["ports"], "61917/tcp|61918/tcp|5353/udp")

    def test_checked_by_lintian_the_desktop_and_firewalld(self):
        for tool in ("lintian", "desktop-file-validate"):
            require(shutil.which(tool), f"{tool} is not installed")
        lint = subprocess.run(["lintian", "--fail-on", "error", self.deb], capture_output=True, timeout=300)
        self.assertEqual(lint.returncode, 0, lint.stdout.decode())
        validate = subprocess.run(["desktop-file-validate",
                                   os.path.join(self.root, "usr/share/applications/quillmote.desktop")],
                                  capture_output=True, timeout=30)
        self.assertEqual((validate.returncode, validate.stdout), (0, b""))
        firewalld = subprocess.run(
            ["/usr/bin/python3", "-c", "import sys;from firewall.core.io.service import service_reader as r;"
             "s=r('quillmote.xml',sys.argv[1]);print(s.ports,s.includes)",
             os.path.join(self.root, "usr/lib/firewalld/services")], capture_output=True, timeout=60)
        require(b"No module named" not in firewalld.stderr, "python3-firewall is not installed")
        self.assertEqual(firewalld.stdout.decode().strip(),
                         "[('61917', 'tcp'), ('61918', 'tcp')] ['mdns']", firewalld.stderr)

    def test_installs_runs_and_purges_in_a_throwaway_root(self):
        require(os.geteuid() == 0, "needs root to mount an overlay of the root in a private mount namespace")
        require(shutil.which("unshare") and shutil.which("chroot"), "unshare and chroot are needed")
        mountpoint = os.path.join(self.tmp, "throwaway")
        os.makedirs(mountpoint, exist_ok=True)
        files = os.path.join(self.tmp, "files")
        with open(files, "w") as f:
            f.write("\n".join(EXPECTED + ["usr/share/doc/quillmote"]))
        out = subprocess.run(["unshare", "-m", "--propagation", "private", "sh", "-c", INSTALL, "install",
                              mountpoint, self.deb, PAIR, files], capture_output=True, timeout=300)
        lines = out.stdout.decode().splitlines()
        self.assertEqual(out.returncode, 0, out.stderr.decode() + out.stdout.decode())
        self.assertIn("status: install ok installed", lines)
        self.assertIn("unit: verified", lines)
        self.assertTrue(any(line.startswith("reply: PAIR_SUCCESS|") for line in lines), lines)
        self.assertEqual([line for line in lines if line.startswith("left: ")], [])
        self.assertIn("config kept: Quillmote.conf", lines)
        self.assertFalse(os.path.exists("/usr/lib/systemd/user/quillmote.service"), "the machine was touched")


if __name__ == "__main__":
    main()
