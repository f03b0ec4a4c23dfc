#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
"""Boot Debian's kernel under QEMU/TCG with this machine's root shared read-only over 9p, run one
shell command inside as root, and report whether it passed.
usage: run-vm.py [--dir DIR] [--out OUT] [--timeout S] [--mem MB] [--smp N] [--gpu WxH] [--verbose] 'COMMAND'
DIR (default $LAB_DIR) holds fetch-kernel.sh's and build-initramfs.sh's output in DIR/uinput.
OUT (default DIR/uinput/out, emptied first) is writable in the guest as /run/out ($LAB_OUT).
--gpu adds a virtio GPU with one WxH output and boots the initramfs built with LAB_MODULES=virtio-gpu.
The kernel command line cannot nest quotes: for anything beyond a plain command, pass a script.
Exit 0 only when QEMU exits 33 (the guest's init saw status 0) and the serial log has
'LAB-CMD-END rc=0'; 1 otherwise; 77 when QEMU or the kernel files are missing."""
import argparse
import os
import resource
import shutil
import signal
import subprocess
import sys
import threading
import time

ap = argparse.ArgumentParser()
ap.add_argument('--dir', default=os.environ.get('LAB_DIR'))
ap.add_argument('--out')
ap.add_argument('--timeout', type=float, default=120, help='wall-clock limit in seconds')
ap.add_argument('--mem', default='1024')
ap.add_argument('--smp', default='1', help='vCPUs: 2 for a compositor, whose threads then need not take turns')
ap.add_argument('--gpu', metavar='WxH', help='a virtio GPU with one output of that size')
ap.add_argument('--verbose', action='store_true', help='full kernel log instead of quiet')
ap.add_argument('cmd')
a = ap.parse_args()
if not a.dir:
    sys.exit('run-vm.py: --dir or LAB_DIR is required')
u = os.path.join(a.dir, 'uinput')
kernel = os.path.join(u, 'vmlinux')
initrd = os.path.join(u, 'initramfs-virtio-gpu.cpio.gz' if a.gpu else 'initramfs.cpio.gz')
for f in (kernel, initrd):
    if not os.path.exists(f):
        print('SKIP: no %s (run fetch-kernel.sh and build-initramfs.sh)' % f, file=sys.stderr)
        sys.exit(77)
if not shutil.which('qemu-system-x86_64'):
    print('SKIP: missing qemu-system-x86_64 (package qemu-system-x86)', file=sys.stderr)
    sys.exit(77)
if '"' in a.cmd:
    sys.exit('run-vm.py: the command may not contain double quotes (kernel command line)')
out = a.out or os.path.join(u, 'out')
shutil.rmtree(out, ignore_errors=True)   # a result file from an earlier run must not count
os.makedirs(out)

append = 'console=ttyS0 panic=-1 %sLAB_CMD="%s"' % ('' if a.verbose else 'quiet loglevel=3 ', a.cmd)
# pc, not microvm: microvm hung in some boots when the PIT calibration failed. One vCPU by default:
# more do not help one process under TCG (a compositor's threads do gain from two). -no-reboot with
# panic=-1 turns a panic into QEMU exiting 0, never 33.
qemu = ['qemu-system-x86_64', '-nodefaults', '-no-user-config', '-nographic', '-no-reboot',
        '-machine', 'pc', '-accel', 'tcg', '-cpu', 'max', '-m', a.mem, '-smp', a.smp,
        '-serial', 'stdio', '-monitor', 'none',
        '-kernel', kernel, '-initrd', initrd, '-append', append,
        '-device', 'isa-debug-exit,iobase=0xf4,iosize=0x04',
        '-fsdev', 'local,id=root,path=/,security_model=none,readonly=on,multidevs=remap',
        '-device', 'virtio-9p-pci,fsdev=root,mount_tag=hostroot',
        '-fsdev', 'local,id=out,path=%s,security_model=none,multidevs=remap' % out,
        '-device', 'virtio-9p-pci,fsdev=out,mount_tag=out']
if a.gpu:
    w, h = a.gpu.split('x')
    qemu += ['-device', 'virtio-gpu-pci,xres=%s,yres=%s' % (w, h)]

t0 = time.monotonic()
p = subprocess.Popen(qemu, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
# SIGTERM from a harness must not leave QEMU running: turn it into an exception, caught below.
signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
timed_out = threading.Event()


def watchdog():   # a hung guest prints nothing, so watch the clock, not the output
    if p.poll() is None:
        timed_out.set()
        p.kill()


wd = threading.Timer(a.timeout, watchdog)
wd.daemon = True
wd.start()
marks, cmd_rc = {}, None
try:
    for raw in p.stdout:
        line = raw.decode(errors='replace').rstrip('\r\n')
        t = time.monotonic() - t0
        for m in ('LAB-INIT', 'LAB-CMD-START', 'LAB-CMD-END'):
            if line.startswith(m):
                marks[m] = t
        if line.startswith('LAB-CMD-END rc='):
            cmd_rc = line.split()[1][3:]
        print('[%7.3f] %s' % (t, line), flush=True)
    rc = p.wait()
finally:
    wd.cancel()
    if p.poll() is None:
        p.kill()
        p.wait()
passed = rc == 33 and cmd_rc == '0' and not timed_out.is_set()
ru = resource.getrusage(resource.RUSAGE_CHILDREN)
print('LAB-HOST qemu_exit=%s cmd_rc=%s passed=%s total=%.2fs qemu_cpu=%.2fs %s' % (
    'timeout' if timed_out.is_set() else rc, cmd_rc, passed, time.monotonic() - t0,
    ru.ru_utime + ru.ru_stime, ' '.join('%s=%.2fs' % kv for kv in marks.items())), flush=True)
sys.exit(0 if passed else 1)
