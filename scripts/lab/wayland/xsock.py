#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
"""xsock.py N -- CMD...: claim X display :N (lock file, filesystem and abstract listening sockets)
the way kwin_wayland_wrapper does, then exec CMD with the socket fds inherited. In CMD, '{fds}'
becomes '--xwayland-fd A --xwayland-fd B' and '{display}' becomes ':N'.
kwin_wayland hands these fds to its Xwayland; outside a Plasma session nobody else creates them.
Exit 3 when :N is taken (a live process holds the lock)."""
import os
import socket
import sys

n = int(sys.argv[1])
cmd = sys.argv[sys.argv.index('--') + 1:]
lock = '/tmp/.X%d-lock' % n


def alive(pid):  # a zombie counts as gone
    try:
        return open('/proc/%d/stat' % pid).read().rsplit(') ', 1)[1][0] != 'Z'
    except (OSError, IndexError):
        return False


try:
    if not alive(int(open(lock).read().strip())):
        os.unlink(lock)   # stale: its server is gone
except (OSError, ValueError):
    pass
try:
    fd = os.open(lock, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o444)
except FileExistsError:
    print('display :%d is taken' % n, file=sys.stderr)
    sys.exit(3)
os.write(fd, b'%10d\n' % os.getpid())   # after exec, this PID is the compositor's
os.close(fd)
if not os.path.isdir('/tmp/.X11-unix'):
    os.mkdir('/tmp/.X11-unix')
    os.chmod('/tmp/.X11-unix', 0o1777)
path = '/tmp/.X11-unix/X%d' % n
if os.path.exists(path):
    os.unlink(path)
a = socket.socket(socket.AF_UNIX)
a.bind(path)
a.listen(16)
b = socket.socket(socket.AF_UNIX)
b.bind('\0' + path)
b.listen(16)
for s in (a, b):
    os.set_inheritable(s.fileno(), True)
out = []
for c in cmd:
    if c == '{fds}':
        out += ['--xwayland-fd', str(a.fileno()), '--xwayland-fd', str(b.fileno())]
    else:
        out.append(c.replace('{display}', ':%d' % n))
os.execvp(out[0], out)
