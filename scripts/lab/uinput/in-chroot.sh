#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
# in-chroot.sh ROOT COMMAND...: inside the uinput VM only, as root: runs COMMAND as root in the Debian
# chroot ROOT (scripts/lab/chroot.sh keeps them in /var/cache/quillmote-lab), with the VM's devices, a
# fresh /run, /tmp and /var/tmp, this checkout at its own path, and $LAB_OUT at /run/out.
set -eu
R=$1; shift
here=$(cd "$(dirname "$0")/../../.." && pwd)
ip link set lo up   # the chroot may lack iproute2
for d in dev proc sys; do mount --rbind "/$d" "$R/$d"; done
mount -t tmpfs -o mode=755 run "$R/run"; mkdir -p "$R/run/out"
mount --bind "$LAB_OUT" "$R/run/out"
mount -t tmpfs -o mode=1777 tmp "$R/tmp"
mount -t tmpfs -o mode=1777 vartmp "$R/var/tmp"
# The host's root is read-only here: outside /tmp and /var/tmp the mount point is the one chroot.sh made.
mkdir -p "$R$here" 2>/dev/null || true
[ -d "$R$here" ] || { echo "in-chroot: no $R$here: run scripts/lab/chroot.sh from this checkout first" >&2; exit 1; }
mount --bind "$here" "$R$here"
exec chroot "$R" /usr/bin/env -i PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin HOME=/run TMPDIR=/run \
  LAB_OUT=/run/out LAB_GUEST=1 "$@"
