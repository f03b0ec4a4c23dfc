#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
# build-initramfs.sh [DIR]: DIR/uinput/initramfs.cpio.gz for run-vm.py: a static busybox, the init
# script beside this one, and the kernel modules that init loads, dependencies first: virtio PCI,
# 9p over virtio (the host's root and the output folder), evdev and uinput.
# DIR is the argument, else $LAB_DIR; it must hold fetch-kernel.sh's output. Exit 77: a tool is missing.
# LAB_MODULES names more modules (virtio-gpu for a compositor on DRM); their initramfs is kept apart,
# as DIR/uinput/initramfs-MODULES.cpio.gz, so that the plain one stays as small and quick as it is.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
skip() { echo "SKIP: $*" >&2; exit 77; }
for t in busybox cpio gzip; do command -v $t >/dev/null || skip "missing $t"; done
bb=$(command -v busybox)
# The initramfs has no libc: only the static busybox (package busybox-static) runs there.
ldd "$bb" 2>&1 | grep -q 'not a dynamic executable' || skip "$bb is dynamically linked: install busybox-static"
W=${1:-${LAB_DIR:-}}; [ -n "$W" ] || { echo "usage: $0 DIR (or set LAB_DIR)" >&2; exit 2; }
U=$W/uinput
kver=$(cat "$U/kver" 2>/dev/null) || { echo "ERROR: no kernel in $U: run fetch-kernel.sh first" >&2; exit 1; }
MD=$U/kroot/lib/modules/$kver

extra=${LAB_MODULES:-}
name=initramfs${extra:+-${extra// /-}}
R=$U/$name
rm -rf "$R"; mkdir -p "$R/bin" "$R/lib/modules"
cp "$bb" "$R/bin/busybox"
cp "$here/init" "$R/init"; chmod 755 "$R/init"
order=$R/lib/modules/order
: > "$order"
for m in virtio_pci 9pnet_virtio 9p evdev uinput $extra; do
  if ! line=$(grep -E "(^|/)$m\.ko(\.xz|\.zst)?:" "$MD/modules.dep"); then
    grep -qE "/$m\.ko\$" "$MD/modules.builtin" && continue   # built in: nothing to load
    echo "ERROR: kernel $kver has no $m" >&2; exit 1
  fi
  # modules.dep names a module's dependencies so that loading them in reverse order works.
  for f in $(echo ${line#*:} | tr ' ' '\n' | tac) ${line%%:*}; do
    n=$(basename "$f"); n=${n%%.ko*}
    grep -qx "$n" "$order" && continue
    case $f in   # busybox insmod takes plain .ko files only
      *.xz) xz -dc "$MD/$f" ;;
      *.zst) zstd -qdc "$MD/$f" ;;
      *) cat "$MD/$f" ;;
    esac > "$R/lib/modules/$n.ko"
    echo "$n" >> "$order"
  done
done
(cd "$R" && find . | cpio -o -H newc --quiet | gzip -1) > "$U/$name.cpio.gz"
echo "modules: $(tr '\n' ' ' < "$order")"
ls -l "$U/$name.cpio.gz"
