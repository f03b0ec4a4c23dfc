# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
# lib.sh: shared by the stack and e2e scripts (sourced, not run).
# A stack keeps everything under its state directory S ($LAB_DIR/gnome or $LAB_DIR/kde):
#   run/   XDG_RUNTIME_DIR: Wayland socket, private session bus socket
#   home/  HOME and the XDG config/data/cache directories
#   log/   one log per started process; log/xcover.log is what the X window saw
#   pids   "name pid" per started process      xdisplays  X display numbers the stack holds
#   env    exports for clients: `. "$S/env"`

LAB_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
LAB_SKIP=77                                   # ctest SKIP_RETURN_CODE / automake convention
read -r LAB_XMIN LAB_XMAX <<< "${LAB_X_RANGE:-80 89}"
# python3-dbus, -gi and -xlib are Debian packages: they exist for the system Python only, not for
# a pyenv or venv python3 that may come first in PATH.
PY=${LAB_PYTHON:-/usr/bin/python3}

die() { echo "ERROR: $*" >&2; exit 1; }

# need PROGRAM|/PATH|py:MODULE...: exit 77 naming whatever is missing.
need() {
  local miss=() x
  for x; do
    case $x in
      py:*) "$PY" -c "import ${x#py:}" 2>/dev/null ;;
      /*) [ -e "$x" ] ;;
      *) command -v "$x" >/dev/null ;;
    esac || miss+=("$x")
  done
  [ ${#miss[@]} -eq 0 ] && return 0
  echo "SKIP: missing ${miss[*]} (scripts/install-deps.sh installs it)" >&2
  exit $LAB_SKIP
}

# lab_dir DIR: the work directory, from the argument, $LAB_DIR, or a fresh one.
lab_dir() {
  local d=${1:-${LAB_DIR:-}}
  [ -n "$d" ] || d=$(mktemp -d /tmp/lab.XXXXXX)
  mkdir -p "$d" && cd "$d" && pwd
}

now_us() { echo $(( ${EPOCHREALTIME/./} )); }
T0=$(now_us)
since_t0() { local us=$(( $(now_us) - T0 )); printf '%d.%02d' $((us / 1000000)) $((us % 1000000 / 10000)); }
stamp() { printf '%-34s %6ss\n' "$1" "$(since_t0)"; }

# wait_for SECONDS WHAT CMD...: poll CMD (which should be quiet) every 50 ms; bounded, so a stuck
# start fails instead of hanging.
wait_for() {
  local secs=$1 what=$2; shift 2
  local end=$(( $(now_us) + secs * 1000000 ))
  until "$@"; do
    [ "$(now_us)" -lt $end ] || { echo "timeout after ${secs}s waiting for $what" >&2; return 1; }
    sleep 0.05
  done
}

bus_has() {
  gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus \
    -m org.freedesktop.DBus.NameHasOwner "$1" 2>/dev/null | grep -q true
}

# rd_version: the version of the portal's RemoteDesktop interface, once it is exported (1.20 takes
# its bus name before it exports the interfaces). Asked only once the name has an owner, so that
# the call does not start another portal through D-Bus activation.
rd_version() {
  bus_has org.freedesktop.portal.Desktop || return 1
  gdbus call --session -d org.freedesktop.portal.Desktop -o /org/freedesktop/portal/desktop \
    -m org.freedesktop.DBus.Properties.Get org.freedesktop.portal.RemoteDesktop version 2>/dev/null |
    sed -n 's/.*uint32 \([0-9]*\).*/\1/p' | grep .
}
# start_shell SECONDS ARGS...: gnome-shell with ARGS, waited for until it says it started (its log
# in $glog); shell_up, for later waits, fails the start with the end of that log once it exited.
start_shell() {
  local seconds=$1; shift
  start_bg shell gnome-shell "$@"
  glog=$S/log/shell.log
  wait_for "$seconds" "GNOME Shell started" eval 'shell_up && grep -q "GNOME Shell started" "$glog"' || exit 1
  stamp "gnome-shell"
}
shell_up() {
  alive "$(pid_of shell)" && return 0
  echo "gnome-shell exited:" >&2; tail -40 "$glog" >&2; exit 1
}

# start_portal: xdg-desktop-portal, once its backend runs; returns when RemoteDesktop answers.
start_portal() {
  start_bg xdp /usr/libexec/xdg-desktop-portal --replace
  wait_for "${LAB_PORTAL_WAIT:-20}" "the RemoteDesktop portal" eval 'rd_version >/dev/null' || exit 1
  export LAB_RD_VERSION=$(rd_version)
  stamp "RemoteDesktop portal version $LAB_RD_VERSION"
}

# A zombie counts as gone: in containers PID 1 may reap orphans only every second or two, and a
# compositor that is a zombie no longer serves its X display.
alive() {
  local st
  [ -n "${1:-}" ] && read -r st 2>/dev/null < "/proc/$1/stat" || return 1
  st=${st##*) }; [ "${st%% *}" != Z ]
}

# The public and private X displays of the Xwayland that mutter (or gnome-shell) logged to $1:
# 43 and 48 say "(using :M for ...", 50 "(using unix:/tmp/.X11-unix/XM for ...".
xwayland_displays() {
  sed -nE 's/.*Using public X11 display :([0-9]+), \(using (unix:\/tmp\/\.X11-unix\/X|:)([0-9]+) .*/\1 \3/p' \
    "$1" | grep .
}

# An X display is free when no live process holds its lock file and nothing listens on its socket
# (filesystem or abstract). A lock left by a dead server is stale and may be removed.
x_listening() { grep -qE " @?/tmp/\.X11-unix/X$1\$" /proc/net/unix; }
x_free() {
  local p
  if [ -e "/tmp/.X$1-lock" ]; then
    p=$(tr -dc 0-9 2>/dev/null < "/tmp/.X$1-lock")
    alive "$p" && return 1
  fi
  ! x_listening "$1"
}
x_clear_stale() {
  local n
  for n; do
    x_free "$n" || continue
    rm -f "/tmp/.X$n-lock" "/tmp/.X11-unix/X$n"
  done
}
# pick_x COUNT [AFTER]: first N in the lab's range with N..N+COUNT-1 free.
pick_x() {
  local n k ok
  for (( n = ${2:-$LAB_XMIN}; n + $1 - 1 <= LAB_XMAX; n++ )); do
    ok=1; for (( k = n; k < n + $1; k++ )); do x_free $k || { ok=0; break; }; done
    [ $ok = 1 ] && { echo $n; return 0; }
  done
  return 1
}

# start_bg NAME CMD...: run CMD in the background with its own log, stdin closed (a harness that
# reads this script's output must not wait for our daemons), and record its PID.
start_bg() {
  local name=$1; shift
  "$@" > "$S/log/$name.log" 2>&1 < /dev/null &
  echo "$name $!" >> "$S/pids"
}
pid_of() { awk -v n="$1" '$1 == n { print $2 }' "$S/pids" 2>/dev/null; }

# script NAME: a command for tests in $S/bin, its body on stdin.
script() { { echo '#!/bin/sh'; cat; } > "$S/bin/$1"; chmod +x "$S/bin/$1"; }

# gnome-shell's shield as the session drives it: LAB_IDLE (gnome-session's idle after idle-delay),
# LAB_LOCK (logind's Lock, as `loginctl lock-session`), LAB_SHIELD (true/false, asked of the shell
# itself: nothing starts its org.gnome.ScreenSaver relay, as in a session where nobody called it yet).
shield_commands() {
  mkdir -p "$S/bin"
  export LAB_IDLE=$S/bin/idle LAB_LOCK=$S/bin/lock LAB_SHIELD=$S/bin/shield
  script idle <<'EOF'
exec gdbus call --session -d org.gnome.SessionManager -o /org/gnome/SessionManager/Presence \
  -m org.gnome.SessionManager.Presence.SetStatus 3 >/dev/null
EOF
  script lock <<'EOF'
exec gdbus call --system -d org.freedesktop.login1 -o /org/freedesktop/login1 \
  -m org.freedesktop.login1.Manager.LockSession 1 >/dev/null
EOF
  script shield <<'EOF'
gdbus call --session -d org.gnome.Shell.ScreenShield -o /org/gnome/ScreenSaver -m org.gnome.ScreenSaver.GetActive |
  sed -n 's/^(\(true\|false\),)$/\1/p' | grep .
EOF
}

# stack_init KIND: state directory, marker and environment shared by every process of the stack; a
# start that fails half-way leaves nothing running.
stack_init() {
  S=$W/$1
  [ -f "$S/pids" ] && die "a stack already runs in $S (stop it first)"
  trap '[ $? = 0 ] || stop_stack' EXIT
  mkdir -p "$S/run" "$S/home" "$S/log"
  chmod 700 "$S/run"
  # The runtime directory ends up in socket paths, which the kernel limits to 108 bytes.
  [ ${#S} -le 80 ] || die "work directory path too long for Unix sockets: $S"
  # Every process the stack starts inherits LAB_STACK, D-Bus-activated services and Xwayland included;
  # stop kills by this marker, so even a service that re-parents itself is not left behind.
  export LAB_STACK=$S XDG_RUNTIME_DIR=$S/run HOME=$S/home XDG_CONFIG_HOME=$S/home/.config \
    XDG_DATA_HOME=$S/home/.local/share XDG_CACHE_HOME=$S/home/.cache LIBGL_ALWAYS_SOFTWARE=1
  # Never reach the machine's system bus (logind, colord, locale1): point it at nothing.
  export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$S/run/no-system-bus
  unset DISPLAY WAYLAND_DISPLAY XAUTHORITY DBUS_SESSION_BUS_ADDRESS
}

start_bus() {
  rm -f "$S/run/bus"
  local out
  out=$(dbus-daemon --session --address="unix:path=$S/run/bus" --fork --nopidfile \
        --print-address=1 --print-pid=1) || die "dbus-daemon did not start"
  export DBUS_SESSION_BUS_ADDRESS=$(echo "$out" | head -1)
  echo "bus $(echo "$out" | tail -1)" >> "$S/pids"
}

marked_pids() {
  grep -slzxF "LAB_STACK=$S" /proc/[0-9]*/environ 2>/dev/null | cut -d/ -f3 | grep -vx "$$"
}

# stop_stack: TERM every process of the stack, wait (bounded), KILL what is left, then undo what the
# processes leave behind when killed: the document portal's FUSE mount and the X lock files.
stop_stack() {
  [ -f "$S/pids" ] || return 0
  local pids p i
  pids="$(awk '{print $2}' "$S/pids") $(marked_pids)"
  kill -TERM $pids 2>/dev/null
  for i in $(seq 100); do
    for p in $pids; do alive $p && break; p=; done
    [ -z "$p" ] && break; sleep 0.05
  done
  for p in $pids; do alive $p && { echo "stop: killing $p ($(tr '\0' ' ' < /proc/$p/cmdline))" >&2; kill -KILL $p; }; done
  for p in $pids; do for i in $(seq 40); do alive $p || break; sleep 0.05; done; done
  if mountpoint -q "$S/run/doc" 2>/dev/null; then
    fusermount3 -u "$S/run/doc" 2>/dev/null || fusermount -u "$S/run/doc" 2>/dev/null || umount -l "$S/run/doc"
  fi
  [ -f "$S/xdisplays" ] && x_clear_stale $(cat "$S/xdisplays")
  rm -f "$S/pids" "$S/xdisplays" "$S/env"
}

# write_env VAR...: the exports a client needs, quoted for `.`.
write_env() {
  local v
  for v; do printf 'export %s=%q\n' "$v" "${!v}"; done > "$S/env"
}

# For e2e scripts: mark LOG prints its line count; expect LABEL PATTERN LOG FROM waits (bounded)
# until PATTERN shows up after line FROM; check LABEL PATTERN FILE looks once.
LAB_FAIL=0
mark() { wc -l < "$1"; }
seen_after() { tail -n +$(( $3 + 1 )) "$2" 2>/dev/null | grep -q -- "$1"; }
expect() {
  if wait_for "${5:-3}" "$1" seen_after "$2" "$3" "$4" 2>/dev/null; then
    echo "PASS $1"
  else
    echo "FAIL $1 (no '$2' in $3 after line $4)"; LAB_FAIL=1
  fi
}
# first_key LOG FROM: the first key press after line FROM.
first_key() { tail -n +$(( $2 + 1 )) "$1" | grep -m1 '^keypress'; }
check() {
  if grep -q -- "$2" "$3"; then echo "PASS $1"; else echo "FAIL $1 (no '$2' in $3)"; LAB_FAIL=1; fi
}
