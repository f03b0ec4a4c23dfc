#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
#
# Installs the Debian packages that building, running and testing Quillmote need; with "run",
# only what building and running need (no desktops, compositors or VM for the tests); with
# "wayland", what building and the Wayland lab's tests need (the chroots of scripts/lab/chroot.sh).
# Only missing packages are installed, so running it again is cheap. Debian 12 and 13, Debian
# testing and Ubuntu 24.04: the names that differ between them are in one place, below.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config clang-format
  qt6-base-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
  libavahi-client-dev libevdev-dev libx11-dev libxtst-dev libxrandr-dev libxi-dev libxkbcommon-dev libglib2.0-dev
  qt6-websockets-dev libqrencode-dev libsodium-dev
  # run (qt6-wayland: Quillmote's own window as a Wayland client; only a Recommends of Qt)
  avahi-daemon dbus xdg-utils libqt6svg6 qt6-gtk-platformtheme qt6-wayland
  wl-clipboard  # pastes into Wayland windows on KDE
)
# tests: the Wayland desktops (headless mutter and KWin with their portals), their clients and
# observers, the format check (scripts/check-format.sh) and, with node, the page's gesture tests
wayland=(
  xwayland mutter xdg-desktop-portal xdg-desktop-portal-gnome kwin-wayland xdg-desktop-portal-kde
  dbus-daemon libglib2.0-bin gcc python3-dbus python3-xlib wl-clipboard x11-utils xclip procps
  gnome-text-editor kwrite konsole xfce4-terminal
  plasma-wayland-protocols libwayland-dev libwayland-bin  # the lab's KWin fake-input client
  git nodejs python3-autopep8
  python3-dbusmock  # NetworkManager's D-Bus interface with a chosen Wi-Fi network (system_headless)
)
tests=(
  # tests: real outside observers and peers
  fonts-wqy-microhei avahi-utils xvfb xdotool xinput x11-xserver-utils python3-zeroconf iproute2
  # tests: real desktop applications (XFCE's window manager and editor)
  xfwm4 openbox mousepad xfce4-appfinder xfce4-clipman libreoffice-writer libreoffice-gtk3
  firefox-esr gir1.2-gtk-3.0 gir1.2-gtk-4.0
  # tests: a real screen locker, unlocked by a password typed from the phone
  xscreensaver xdg-utils openssl util-linux
  # tests: GNOME's own screen shield, gnome-shell nested on Xvfb (gjs: its D-Bus services)
  gnome-shell gjs
  # tests: KWin's own lock screen (its greeter's look-and-feel and layer-shell-qt, without which it shows nothing)
  plasma-workspace layer-shell-qt
  # tests: a real kernel for uinput, and what libinput makes of the uinput pointer (make bench)
  qemu-system-x86 busybox-static cpio kmod udev libinput-tools
  # tests: the browser remote in a real browser, its QR codes read back
  chromium zbar-tools x11-apps python3-websocket tcpdump python3-cryptography
  # tests: the package, checked as Debian and the desktops would
  dpkg-dev lintian desktop-file-utils python3-firewall systemd
  # tests: the Wayland lab again on Debian 13 and testing (make test-debian13, make test-forky)
  debootstrap
)
# What differs between releases. Debian 13 and later: xdg-desktop-portal-kde needs KWin's
# screencast and input plugins (kwin-common) and Plasma's consent dialog (plasma-workspace);
# Ptyxis replaced gnome-terminal; libei is an optional build dependency; testing has no trayer.
. /etc/os-release
case ${VERSION_CODENAME:-} in
  bookworm | jammy | noble)
    wayland+=(qtwayland5 gnome-terminal)
    tests+=(trayer) ;;
  trixie)
    # and GNOME 48's own screen shield, nested on Xvfb (the seat's display)
    wayland+=(kwin-common plasma-workspace ptyxis fonts-noto-color-emoji gnome-shell gjs gnome-settings-daemon
              xvfb xdotool)
    packages+=(libei-dev libeis-dev liboeffis-dev)
    tests+=(trayer) ;;
  *)  # testing and unstable: as 13, without trayer
    wayland+=(kwin-common plasma-workspace ptyxis fonts-noto-color-emoji)
    packages+=(libei-dev libeis-dev liboeffis-dev) ;;
esac
case ${1:-} in
  run) ;;
  wayland) packages+=("${wayland[@]}") ;;
  *) packages+=("${wayland[@]}" "${tests[@]}") ;;
esac

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
