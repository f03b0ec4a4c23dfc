#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
# in-chroot.sh ROOT COMMAND...: inside the uinput VM only, as root: runs COMMAND as root in the Debian
# chroot ROOT (scripts/lab/chroot.sh keeps them in /var/cache/quillmote-lab), with the VM's devices, a
# fresh /run, /tmp and /var/tmp, /work, /tmp/fresh if there, and $LAB_OUT at /run/out.
set -eu
R=$1; shift
ip link set lo up   # the chroot may lack iproute2
for d in dev proc sys; do mount --rbind "/$d" "$R/$d"; done
mount -t tmpfs -o mode=755 run "$R/run"; mkdir -p "$R/run/out"
mount --bind "$LAB_OUT" "$R/run/out"
mount -t tmpfs -o mode=1777 tmp "$R/tmp"
mount -t tmpfs -o mode=1777 vartmp "$R/var/tmp"
mount --bind /work "$R/work"
[ -d /tmp/fresh ] && { mkdir -p "$R/tmp/fresh"; mount --bind /tmp/fresh "$R/tmp/fresh"; }
exec chroot "$R" /usr/bin/env -i PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin HOME=/run TMPDIR=/run \
  LAB_OUT=/run/out LAB_GUEST=1 "$@"
