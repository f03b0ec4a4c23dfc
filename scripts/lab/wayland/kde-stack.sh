#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
# kde-stack.sh start [--portal] [--lockscreen] [--allow-fake-input EXE]... [DIR] | stop [DIR]
# A virtual KDE Plasma compositor for input tests: kwin_wayland (5.27 to 6) --virtual (1280x800) with a
# rootless Xwayland, a fullscreen X window that logs the input it receives (xcover.py), and with
# --portal xdg-desktop-portal + xdg-desktop-portal-kde. --allow-fake-input lets that executable
# bind org_kde_kwin_fake_input. Private session bus. State in DIR/kde; DIR is the argument, else
# $LAB_DIR, else a fresh mktemp -d. `start` returns once everything answers and prints the file to
# source for clients; `stop` ends every process the stack started. Exit 77: something is missing.
# --lockscreen (or LAB_KDE_LOCKSCREEN=1) keeps KWin's real lock screen (kscreenlocker), which follows a
# stand-in logind on a private system bus (shield-standins.py --logind-only). Its greeter checks the
# password through PAM for the user running the stack, so the stack runs in a mount namespace of its
# own whose /etc/shadow is a copy giving that user $LAB_PASSWORD (default lab-password); the host's
# files stay as they are. Needs root. The env file then also names:
#   LAB_LOCK    lock as Plasma's "Lock screen" does (org.freedesktop.ScreenSaver.Lock); returns once the
#               greeter takes keys, exit 1 when the screen did not lock within 10 s
#   LAB_LOCKED  print true/false: org.freedesktop.ScreenSaver GetActive
#   LAB_UNLOCK  unlock as `loginctl unlock-session` does (logind's Unlock signal), no password
set -u
. "$(dirname "$0")/lib.sh"
cmd=${1:-}; shift
portal=0; allow=(); args=("$@"); lockscreen=${LAB_KDE_LOCKSCREEN:-0}
while [ $# -gt 0 ]; do
  case $1 in
    --portal) portal=1; shift ;;
    --lockscreen) lockscreen=1; shift ;;
    --allow-fake-input) allow+=("$(realpath "$2")"); shift 2 ;;
    *) break ;;
  esac
done
case $cmd in
  start) ;;
  stop) [ -n "${1:-${LAB_DIR:-}}" ] || die "stop needs DIR or LAB_DIR"
        W=$(lab_dir "${1:-}"); S=$W/kde; stop_stack; exit 0 ;;
  *) echo "usage: $0 start [--portal] [--lockscreen] [--allow-fake-input EXE]... [DIR] | stop [DIR]" >&2; exit 2 ;;
esac
if [ $lockscreen = 1 ] && [ -z "${LAB_KDE_NAMESPACE:-}" ]; then
  need unshare mount openssl "$PY" py:gi /usr/lib/*/libexec/kscreenlocker_greet \
    /usr/share/plasma/look-and-feel/org.kde.breeze.desktop/contents/lockscreen/LockScreen.qml \
    /usr/lib/*/libLayerShellQtInterface.so.5
  if [ "$(id -u)" != 0 ]; then echo "SKIP: the lock screen's own /etc/shadow needs root" >&2; exit $LAB_SKIP; fi
  # Everything the stack starts stays in this namespace, which goes when they do.
  LAB_KDE_NAMESPACE=1 exec unshare --mount --propagation private bash "$0" start "${args[@]}"
fi

need dbus-daemon gdbus xdpyinfo "$PY" py:dbus py:Xlib Xwayland kwin_wayland
xdpk=$(ls /usr/lib/*/libexec/xdg-desktop-portal-kde 2>/dev/null | head -1)
[ $portal = 1 ] && need /usr/libexec/xdg-desktop-portal /usr/libexec/xdg-permission-store "${xdpk:-xdg-desktop-portal-kde}"
W=$(lab_dir "${1:-}") || exit 1
stack_init kde

# /usr/bin/kwin_wayland carries the file capability cap_sys_resource; where the bounding set lacks
# it (containers), exec fails with EPERM. A plain copy runs everywhere.
mkdir -p "$W/bin"
[ -x "$W/bin/kwin_wayland" ] || cp "$(command -v kwin_wayland)" "$W/bin/kwin_wayland"
# Plasma 6 asks for consent in a dialog of its own (5.27 does not): the lab answers it with a key
# through KWin's fake input, which only the executables named below may use.
kwin_major=$("$W/bin/kwin_wayland" --version 2>/dev/null | sed -n 's/^kwin \([0-9]*\)\..*/\1/p')
if [ $portal = 1 ] && [ "${kwin_major:-5}" -ge 6 ]; then
  proto=/usr/share/plasma-wayland-protocols/fake-input.xml
  need wayland-scanner gcc "$proto"
  if [ ! -x "$W/bin/kwin-key" ]; then
    wayland-scanner client-header "$proto" "$W/bin/fake-input-client.h" &&
      wayland-scanner private-code "$proto" "$W/bin/fake-input.c" &&
      gcc -O1 -I"$W/bin" -o "$W/bin/kwin-key" "$LAB_HERE/kwin-key.c" "$W/bin/fake-input.c" \
        $(pkg-config --cflags --libs wayland-client) || die "building kwin-key failed"
  fi
  allow+=("$W/bin/kwin-key")
  # Share is the default button, but the dialog takes keys only a moment after it took the focus:
  # Enter until the observer has the focus back (bounded).
  cat > "$W/bin/answer-dialog" <<EOF
#!/bin/sh
for i in \$(seq 20); do
  $(printf %q "$W/bin/kwin-key") 28 || exit 1
  sleep 0.5
  [ "\$(grep -E '^focus(in|out)\$' $(printf %q "$S/log/xcover.log") | tail -1)" = focusin ] && exit 0
done
exit 1
EOF
  chmod +x "$W/bin/answer-dialog"
  export LAB_ANSWER=$W/bin/answer-dialog
fi
# KWin 6 grants restricted protocols (screencast, fake input) to a client it finds among the
# applications through KSycoca, which reads Plasma's menu only with this prefix.
[ -e /etc/xdg/menus/plasma-applications.menu ] && export XDG_MENU_PREFIX=plasma-

# KWin reads these .desktop files into its service cache at start; one written later is not seen
# until the cache notices it, and binds in between are refused.
apps=$XDG_DATA_HOME/applications
mkdir -p "$apps"; rm -f "$apps"/lab-fake-input-*.desktop
i=0
for exe in "${allow[@]}"; do
  i=$((i + 1))
  printf '[Desktop Entry]\nType=Application\nName=lab fake input %d\nNoDisplay=true\nExec=%s\nX-KDE-Wayland-Interfaces=org_kde_kwin_fake_input\n' \
    $i "$exe" > "$apps/lab-fake-input-$i.desktop"
done

T0=$(now_us)
start_bus; stamp "session bus"

lockarg=--no-lockscreen
if [ $lockscreen = 1 ]; then
  lockarg=
  export LAB_PASSWORD=${LAB_PASSWORD:-lab-password}
  user=$(id -un)
  [ "$(getent passwd "$user" | cut -d: -f2)" = x ] || die "$user's password is not kept in /etc/shadow"
  hash=$(printf '%s\n' "$LAB_PASSWORD" | openssl passwd -6 -stdin) || die "openssl passwd failed"
  cp -p /etc/shadow "$S/shadow"
  awk -F: -v OFS=: -v u="$user" -v h="$hash" \
    '$1 == u { $2 = h; n = 1 } { print } END { if (!n) print u, h, 20000, 0, 99999, 7, "", "", "" }' \
    /etc/shadow > "$S/shadow" || die "writing $S/shadow failed"
  mount --bind "$S/shadow" /etc/shadow || die "bind-mounting $S/shadow failed"
  out=$(dbus-daemon --session --address="unix:path=$S/run/system_bus" --fork --nopidfile --print-address=1 \
        --print-pid=1) || die "dbus-daemon (system stand-in) did not start"
  export DBUS_SYSTEM_BUS_ADDRESS=$(echo "$out" | head -1)
  echo "systembus $(echo "$out" | tail -1)" >> "$S/pids"
  start_bg standins "$PY" -u "$LAB_HERE/shield-standins.py" --logind-only
  wait_for 10 "the logind stand-in" grep -qs '^serving' "$S/log/standins.log" || exit 1
  # Locked only when asked: no timeout gets in a test's way, and no grace period unlocks without the password.
  mkdir -p "$XDG_CONFIG_HOME"
  printf '[Daemon]\nAutolock=false\nTimeout=5\nLockGrace=0\nLockOnResume=false\n' > "$XDG_CONFIG_HOME/kscreenlockerrc"
  export XDG_SESSION_ID=1 XDG_CURRENT_DESKTOP=KDE KDE_FULL_SESSION=true KDE_SESSION_VERSION=5
  stamp "shadow copy, logind stand-in"
fi

export WAYLAND_DISPLAY=wayland-lab
unset QT_QPA_PLATFORM
klog=$S/log/kwin.log
kwin_up() {
  alive "$(pid_of kwin)" && return 0
  echo "kwin_wayland exited:" >&2; tail -20 "$klog" >&2; exit 1
}
# Done when xsock.py (whose PID becomes kwin's) holds the lock, or has exited.
claimed() { ! alive "$(pid_of kwin)" || [ "$(tr -dc 0-9 2>/dev/null < /tmp/.X$xn-lock)" = "$(pid_of kwin)" ]; }
# xsock.py claims the display atomically; if another server took it since pick_x looked, try the next.
xn=$((LAB_XMIN - 1))
for try in 1 2 3; do
  xn=$(pick_x 1 $((xn + 1))) || die "no free X display in :$LAB_XMIN-:$LAB_XMAX"
  echo $xn > "$S/xdisplays"
  start_bg kwin "$PY" "$LAB_HERE/xsock.py" $xn -- "$W/bin/kwin_wayland" --virtual --width 1280 --height 800 \
    --socket $WAYLAND_DISPLAY $lockarg --xwayland {fds} --xwayland-display {display}
  wait_for 10 "X display claim" claimed || exit 1
  if alive "$(pid_of kwin)" || ! grep -q 'is taken' "$klog"; then break; fi
  sed -i '/^kwin /d' "$S/pids"
done
wait_for 20 "Wayland socket" eval 'kwin_up && [ -S "$S/run/$WAYLAND_DISPLAY" ]' || exit 1
stamp "Wayland socket $WAYLAND_DISPLAY"
wait_for 20 "KWin on the bus" eval 'kwin_up && bus_has org.kde.KWin' || exit 1
stamp "org.kde.KWin"
export DISPLAY=:$xn
wait_for 20 "Xwayland $DISPLAY" eval 'kwin_up && xdpyinfo >/dev/null 2>&1' || exit 1
stamp "Xwayland $DISPLAY answers"

export LAB_XCOVER_LOG=$S/log/xcover.log
start_bg xcover "$PY" -u "$LAB_HERE/xcover.py"
wait_for 10 "X window mapped" grep -qs '^enter' "$LAB_XCOVER_LOG" || exit 1
stamp "xcover mapped"

if [ $portal = 1 ]; then
  # The portal picks its backend by XDG_CURRENT_DESKTOP among the .portal files it is shown; its
  # dialogs must be Wayland clients of this compositor.
  mkdir -p "$S/portals"; cp /usr/share/xdg-desktop-portal/portals/kde.portal "$S/portals/"
  export XDG_CURRENT_DESKTOP=KDE QT_QPA_PLATFORM=wayland XDG_DESKTOP_PORTAL_DIR=$S/portals
  start_bg pstore /usr/libexec/xdg-permission-store --replace
  start_bg xdpk "$xdpk"
  wait_for 20 "xdg-desktop-portal-kde" bus_has org.freedesktop.impl.portal.desktop.kde || exit 1
  stamp "xdg-desktop-portal-kde"
  start_portal
fi

extra=()
if [ $lockscreen = 1 ]; then
  script() { { echo '#!/bin/sh'; cat; } > "$W/bin/$1"; chmod +x "$W/bin/$1"; }
  export LAB_LOCK=$W/bin/lock LAB_LOCKED=$W/bin/locked LAB_UNLOCK=$W/bin/unlock
  # Returns once the greeter takes keys: it says it is locked a moment before (typed at once, 5 of 12
  # passwords were lost or cut; from 0.5 s on, none of 36).
  script lock <<END
gdbus call --session -d org.freedesktop.ScreenSaver -o /ScreenSaver -m org.freedesktop.ScreenSaver.Lock >/dev/null || exit 1
for i in \$(seq 100); do [ "\$("$W/bin/locked")" = true ] && exec sleep 2; sleep 0.1; done
echo "the screen did not lock" >&2; exit 1
END
  script locked <<'END'
gdbus call --session -d org.freedesktop.ScreenSaver -o /ScreenSaver -m org.freedesktop.ScreenSaver.GetActive |
  sed -n 's/^(\(true\|false\),)$/\1/p' | grep .
END
  script unlock <<'END'
exec gdbus call --system -d org.freedesktop.login1 -o /org/freedesktop/login1 \
  -m org.freedesktop.login1.Manager.UnlockSession 1 >/dev/null
END
  [ "$("$LAB_LOCKED")" = false ] || die "org.freedesktop.ScreenSaver does not say the screen is unlocked"
  extra=(DBUS_SYSTEM_BUS_ADDRESS LAB_LOCK LAB_LOCKED LAB_UNLOCK LAB_PASSWORD)
fi
write_env XDG_RUNTIME_DIR DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY DISPLAY LAB_XCOVER_LOG "${extra[@]}" \
  ${LAB_RD_VERSION:+LAB_RD_VERSION} ${LAB_ANSWER:+LAB_ANSWER}
echo "ready: . $S/env"
