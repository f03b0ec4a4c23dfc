#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
#
# Installs the Debian packages that building, running and testing Quillmote need; with "run",
# only what building and running need (no desktops, compositors or VM for the tests).
# Only missing packages are installed, so running it again is cheap.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config clang-format
  qt6-base-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
  libavahi-client-dev libevdev-dev libx11-dev libxtst-dev libxrandr-dev libxi-dev libxkbcommon-dev libglib2.0-dev
  qt6-websockets-dev libqrencode-dev
  # run
  avahi-daemon dbus xdg-utils libqt6svg6 qt6-gtk-platformtheme
)
tests=(
  # tests: real outside observers and peers
  fonts-wqy-microhei avahi-utils xvfb xdotool xinput xclip x11-xserver-utils x11-utils trayer python3-zeroconf
  iproute2 procps
  # tests: real desktop applications (XFCE's window manager and editor)
  xfwm4 openbox mousepad xfce4-appfinder xfce4-terminal xfce4-clipman gir1.2-gtk-3.0 gir1.2-gtk-4.0
  # tests: Wayland clients of the lab desktops
  gnome-text-editor gnome-terminal kwrite konsole
  # tests: Wayland desktops (headless mutter and KWin with their portals) and a real kernel for uinput
  mutter xwayland xdg-desktop-portal xdg-desktop-portal-gnome kwin-wayland xdg-desktop-portal-kde qtwayland5
  dbus-daemon libglib2.0-bin gcc python3-dbus python3-xlib wl-clipboard qemu-system-x86 busybox-static cpio kmod
  udev libinput-tools  # what libinput makes of the uinput pointer (make bench)
  # tests: the browser remote in a real browser, its QR codes read back
  chromium zbar-tools x11-apps python3-websocket
  # tests: the page's JavaScript parses, the Python scripts follow PEP 8 (scripts/check-format.sh)
  nodejs python3-autopep8
  # tests: the package, checked as Debian and the desktops would
  dpkg-dev lintian desktop-file-utils python3-firewall systemd
)
[[ "${1:-}" == run ]] || packages+=("${tests[@]}")

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null || { echo "install-deps: not root and no sudo; install: ${missing[*]}" >&2; exit 1; }
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
# Without systemd (containers, CI) package scripts cannot start services properly, and the
# tests start their own instances anyway; on a desktop, avahi-daemon should start as usual.
policy_added=0
if [[ ! -d /run/systemd/system && ! -e /usr/sbin/policy-rc.d ]]; then
  printf '#!/bin/sh\nexit 101\n' | "${sudo[@]}" tee /usr/sbin/policy-rc.d >/dev/null
  "${sudo[@]}" chmod +x /usr/sbin/policy-rc.d
  policy_added=1
fi
trap '[[ $policy_added -eq 1 ]] && "${sudo[@]}" rm -f /usr/sbin/policy-rc.d' EXIT
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
