#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
#
# Newer Debian releases (their GNOME, Plasma, Qt and compilers) in a chroot, for building and
# testing Quillmote there too. The chroots are kept outside the checkout, in
# ${QUILLMOTE_LAB_CACHE:-/var/cache/quillmote-lab}/SUITE, and reused.
#
#   chroot.sh make SUITE         creates the chroot (debootstrap) or brings its packages up to
#                                scripts/install-deps.sh, which is run inside (with "wayland")
#   chroot.sh run SUITE CMD...   runs CMD as root inside, in the current folder: the checkout is
#                                mounted at the same path
#   chroot.sh test SUITE BUILD   make, then build into BUILD (a folder of the checkout) and run the
#                                fast tests, the headless and Wayland system tests and the format
#                                check inside
#
# SUITE is a Debian codename (trixie, forky, ...). Exit 77 without root or debootstrap (fails
# instead under CI=true).
set -euo pipefail

here=$(cd "$(dirname "$0")/../.." && pwd)
mirror=http://deb.debian.org/debian
cache=${QUILLMOTE_LAB_CACHE:-/var/cache/quillmote-lab}

usage() { echo "usage: $0 make SUITE | run SUITE CMD... | test SUITE BUILD" >&2; exit 2; }
skip() {
  if [[ ${CI:-} == true ]]; then echo "chroot: $* (required under CI)" >&2; exit 1; fi
  echo "SKIP: $*" >&2; exit 77
}
[[ $# -ge 2 ]] || usage
action=$1 suite=$2
shift 2
[[ $suite =~ ^[a-z]+$ ]] || usage
root=$cache/$suite
[[ $(id -u) -eq 0 ]] || skip "the $suite chroot needs root"

# One user of a chroot at a time: a second run waits (bounded) rather than racing on its mounts
# and packages.
mkdir -p "$cache"
exec {lock}> "$cache/$suite.lock"
flock -w 3600 "$lock" || { echo "chroot: $cache/$suite.lock still held after an hour" >&2; exit 1; }

# The lists of packages the chroot was last brought up to, with the script that installed them.
deps_hash() { cat "$here/scripts/install-deps.sh" | sha256sum | cut -d' ' -f1; }

mounts_under() { awk -v r="$root/" 'index($2 "/", r) == 1 { print $2 }' /proc/mounts | sort -r; }

unmount_all() {
  local pid m
  # Whatever CMD left running inside keeps its mounts busy: end it first.
  for pid in $(ls /proc | grep -x '[0-9]*'); do
    [[ $(readlink "/proc/$pid/root" 2>/dev/null) == "$root" ]] && kill -KILL "$pid" 2>/dev/null
  done
  for m in $(mounts_under); do
    # A FUSE mount (the document portal's) is its daemon's to undo; the others are plain mounts.
    umount "$m" 2>/dev/null || fusermount3 -u "$m" 2>/dev/null || umount -l "$m"
  done
  m=$(mounts_under)
  [[ -z $m ]] || { echo "chroot: still mounted: $m" >&2; return 1; }
}

enter() {
  trap 'unmount_all' EXIT
  trap 'exit 143' TERM INT HUP  # so that a stopped run unmounts too
  unmount_all  # a run killed before its trap may have left some
  mount -t proc proc "$root/proc"
  local d
  for d in sys dev dev/pts dev/shm; do
    mount --bind "/$d" "$root/$d"
    # Private: mounts made below must not propagate back to the machine's own /dev or /sys.
    mount --make-private "$root/$d"
  done
  cp -L /etc/resolv.conf "$root/etc/resolv.conf"
  mkdir -p "$root/$here" "$root/tmp/.X11-unix"
  chmod 1777 "$root/tmp" "$root/tmp/.X11-unix"  # mutter refuses Xwayland in a 1755 one
  mount --bind "$here" "$root/$here"
  mount --make-private "$root/$here"
  # A worktree's history is kept in the main checkout's .git: at its own path too, for git ls-files.
  local git
  git=$(git -C "$here" rev-parse --path-format=absolute --git-common-dir 2>/dev/null) || return 0
  if [[ $git != "$here"/* ]]; then
    mkdir -p "$root/$git"
    mount --bind "$git" "$root/$git"
    mount --make-private "$root/$git"
  fi
}

in_root() {
  chroot "$root" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    HOME=/root LANG=C.UTF-8 TERM="${TERM:-dumb}" CI="${CI:-}" "$@"
}

make_root() {
  command -v debootstrap >/dev/null || skip "debootstrap is not installed (scripts/install-deps.sh installs it)"
  local script=() apt=()
  # Debian testing is made with unstable's script, and its Release files may outlive their date.
  if [[ ! -e /usr/share/debootstrap/scripts/$suite ]]; then
    script=(/usr/share/debootstrap/scripts/sid)
    apt=('Acquire::Check-Valid-Until "false";')
  fi
  if [[ ! -e $root/.quillmote-made ]]; then
    echo "chroot: making $suite in $root"
    # Made aside and moved in place once whole, so an interrupted debootstrap is not taken for a chroot.
    rm -rf "$root.new"
    debootstrap --variant=minbase "$suite" "$root.new" "$mirror" "${script[@]}"
    cat > "$root.new/etc/apt/sources.list" <<EOF
deb $mirror $suite main
deb $mirror $suite-updates main
deb ${mirror}-security $suite-security main
EOF
    printf '%s\n' 'APT::Install-Recommends "false";' "${apt[@]}" > "$root.new/etc/apt/apt.conf.d/90quillmote"
    # Package scripts must not start services in the chroot.
    printf '#!/bin/sh\nexit 101\n' > "$root.new/usr/sbin/policy-rc.d"
    chmod +x "$root.new/usr/sbin/policy-rc.d"
    touch "$root.new/.quillmote-made"
    rm -rf "$root"
    mv "$root.new" "$root"
  fi
  local want
  want=$(deps_hash)
  if [[ $(cat "$root/.quillmote-deps" 2>/dev/null) != "$want" ]]; then
    echo "chroot: installing packages into $suite"
    (enter; in_root bash "$here/scripts/install-deps.sh" wayland)
    in_root apt-get clean
    echo "$want" > "$root/.quillmote-deps"
  fi
}

case $action in
  make) make_root ;;
  run)
    [[ $# -ge 1 ]] || usage
    [[ -e $root/.quillmote-deps ]] || { echo "chroot: no $suite chroot yet: $0 make $suite" >&2; exit 1; }
    enter
    status=0
    in_root sh -c 'cd "$1" && shift && exec "$@"' sh "$PWD" "$@" || status=$?
    exit $status ;;
  test)
    [[ $# -eq 1 ]] || usage
    make_root
    werror=$([[ ${CI:-} == true ]] && echo ON || echo OFF)
    cd "$here"
    enter
    # Built once, as the Makefile builds (warnings as errors under CI); no sanitizer pass here.
    in_root sh -c 'cd "$1" && cmake -S . -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMOTE_WERROR="$3" &&
      nice -n 10 cmake --build "$2" -j2 && status=0 &&
      { bash scripts/check-format.sh || status=$?; } &&
      bash scripts/run-tests.sh "$2" -R "^(tst_.*|system_headless|system_wayland|system_wayland_libei|system_wayland_session|system_wayland_shield)\$" &&
      exit $status' sh "$here" "$1" "$werror" ;;
  *) usage ;;
esac
