#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
# fetch-kernel.sh [DIR]: Debian's own kernel for the uinput VM, without installing it. Downloads
# the one package that linux-image-amd64 depends on, extracts it, builds its modules.dep, and
# decompresses its vmlinuz into an ELF vmlinux that QEMU boots directly (PVH entry), which saves
# about 3 s of xz decompression under TCG on every boot.
# Results in DIR/uinput/{kroot,vmlinux,kver}; DIR is the argument, else $LAB_DIR, else a fresh
# mktemp -d. Does nothing when DIR already holds that kernel. Exit 77: a tool is missing.
set -eu
skip() { echo "SKIP: $*" >&2; exit 77; }
PATH=$PATH:/usr/sbin:/sbin   # depmod lives there, outside an ordinary user's PATH
for t in apt-cache apt-get dpkg-deb depmod /usr/bin/python3; do
  command -v $t >/dev/null || skip "missing $t"
done
W=${1:-${LAB_DIR:-}}; [ -n "$W" ] || W=$(mktemp -d /tmp/lab.XXXXXX)
U=$W/uinput
mkdir -p "$U/debs"

# Name exactly one package: a pattern such as linux-image-6.1* matches dozens of kernels (1.8 GB).
# Not the -cloud- flavour: it has neither uinput nor 9p.
pkg=$(apt-cache depends linux-image-amd64 2>/dev/null |
      awk '$1 == "Depends:" && $2 ~ /^linux-image-[0-9]/ { print $2; exit }')
[ -n "$pkg" ] || { echo "ERROR: apt-cache knows no linux-image-amd64 (apt-get update?)" >&2; exit 1; }
kver=${pkg#linux-image-}
if [ -s "$U/vmlinux" ] && [ "$(cat "$U/kver" 2>/dev/null)" = "$kver" ]; then
  echo "kernel $kver already in $U"; echo "LAB_DIR=$W"; exit 0
fi

rm -f "$U/debs/"*.deb "$U/kver"
# apt-get download only fetches the .deb; nothing is installed and /boot stays as it is.
# As root, apt would hand the download to its _apt user, who cannot write into a private folder.
sandbox=(); [ "$(id -u)" = 0 ] && sandbox=(-o APT::Sandbox::User=root)
(cd "$U/debs" && apt-get download -q "${sandbox[@]}" "$pkg")
rm -rf "$U/kroot"
dpkg-deb -x "$U/debs/${pkg}_"*.deb "$U/kroot"
rm -f "$U/debs/"*.deb
depmod -b "$U/kroot" "$kver"   # the package ships no modules.dep; build-initramfs.sh reads it

/usr/bin/python3 - "$U/kroot/boot/vmlinuz-$kver" "$U/vmlinux" <<'EOF'
import lzma, sys
img = open(sys.argv[1], 'rb').read()
at = img.find(b'\xfd7zXZ\x00')   # a bzImage is setup code + decompressor + this xz stream
if at < 0:
    sys.exit('no xz stream in ' + sys.argv[1])
elf = lzma.LZMADecompressor(lzma.FORMAT_XZ).decompress(img[at:])
if elf[:4] != b'\x7fELF':
    sys.exit('the xz stream does not hold an ELF image')
open(sys.argv[2], 'wb').write(elf)
EOF
echo "$kver" > "$U/kver"
ls -l "$U/vmlinux"
echo "LAB_DIR=$W"
