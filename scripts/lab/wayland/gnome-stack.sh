#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
# gnome-stack.sh start [--portal] [DIR] | stop [DIR]
# A headless GNOME session for input tests: mutter (43 to 50) --headless with a 1280x800 virtual monitor and
# Xwayland, a fullscreen X window that logs the input it receives (xcover.py), a RemoteDesktop
# session that holds a virtual pointer and keyboard, and with --portal xdg-desktop-portal +
# xdg-desktop-portal-gnome. Private session bus. State in DIR/gnome; DIR is the argument, else
# $LAB_DIR, else a fresh mktemp -d. `start` returns once everything answers and prints the file to
# source for clients; `stop` ends every process the stack started. Exit 77: something is missing.
set -u
. "$(dirname "$0")/lib.sh"
cmd=${1:-}; shift
portal=0; [ "${1:-}" = --portal ] && { portal=1; shift; }
case $cmd in
  start) ;;
  stop) [ -n "${1:-${LAB_DIR:-}}" ] || die "stop needs DIR or LAB_DIR"
        W=$(lab_dir "${1:-}"); S=$W/gnome; stop_stack; exit 0 ;;
  *) echo "usage: $0 start [--portal] [DIR] | stop [DIR]" >&2; exit 2 ;;
esac

need dbus-daemon gdbus gcc pkg-config xdpyinfo "$PY" py:dbus py:Xlib Xwayland
pkg-config --exists glib-2.0 || need libglib2.0-dev
mutterlib=$(ls /usr/lib/*/libmutter-*.so.0 2>/dev/null | head -1)
[ -n "$mutterlib" ] || need mutter
[ $portal = 1 ] && need /usr/libexec/xdg-desktop-portal /usr/libexec/xdg-desktop-portal-gnome \
  /usr/libexec/xdg-permission-store
W=$(lab_dir "${1:-}") || exit 1
stack_init gnome

mkdir -p "$W/bin"
if [ ! -x "$W/bin/mutter-xdisplay" ]; then
  gcc -O1 -o "$W/bin/mutter-xdisplay" "$LAB_HERE/mutter-xdisplay.c" \
    $(pkg-config --cflags --libs glib-2.0) "$mutterlib" || die "building mutter-xdisplay failed"
fi

# GSettings in memory and no accessibility bridge: no dconf or at-spi services on the private bus.
export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1
T0=$(now_us)
start_bus; stamp "session bus"

# mutter takes two X displays: the public one and one for its own managed services.
xn=$(pick_x 2) || die "no two free X displays in :$LAB_XMIN-:$LAB_XMAX"
x_clear_stale $xn $((xn + 1))
rm -f "$S/run"/.mutter-Xwaylandauth.*   # an old cookie would be taken for the new server's
export WAYLAND_DISPLAY=wayland-lab MUTTER_X_DISPLAY=$xn
start_bg mutter "$W/bin/mutter-xdisplay" --headless --wayland --wayland-display=$WAYLAND_DISPLAY \
  --virtual-monitor 1280x800
mlog=$S/log/mutter.log
mutter_up() {
  alive "$(pid_of mutter)" && return 0
  echo "mutter exited:" >&2; tail -20 "$mlog" >&2; exit 1
}
wait_for 30 "mutter on the bus" eval 'mutter_up && bus_has org.gnome.Mutter.RemoteDesktop' || exit 1
stamp "org.gnome.Mutter.RemoteDesktop"
wait_for 10 "Wayland socket" eval 'mutter_up && [ -S "$S/run/$WAYLAND_DISPLAY" ]' || exit 1
stamp "Wayland socket $WAYLAND_DISPLAY"
wait_for 10 "Xwayland display" eval 'mutter_up && xwayland_displays "$mlog" >/dev/null' || exit 1
read -r pub priv <<< "$(xwayland_displays "$mlog" | head -1)"
echo "$pub $priv" > "$S/xdisplays"
# Another server may have taken :$xn since we looked; mutter then moves on, which is fine in range.
[ "$pub" -ge "$LAB_XMIN" ] && [ "$priv" -le "$LAB_XMAX" ] || die "mutter took :$pub/:$priv, outside :$LAB_XMIN-:$LAB_XMAX"
export DISPLAY=:$pub
x_up() { XAUTHORITY=$(ls "$S/run"/.mutter-Xwaylandauth.* 2>/dev/null | head -1); export XAUTHORITY
         [ -n "$XAUTHORITY" ] && xdpyinfo >/dev/null 2>&1; }
wait_for 20 "Xwayland $DISPLAY" eval 'mutter_up && x_up' || exit 1
stamp "Xwayland $DISPLAY answers"

export LAB_XCOVER_LOG=$S/log/xcover.log
start_bg xcover "$PY" -u "$LAB_HERE/xcover.py"
wait_for 10 "X window focused" grep -qs '^focusin' "$LAB_XCOVER_LOG" || exit 1
stamp "xcover mapped+focused"

# Headless mutter has no input devices. Without a virtual pointer and keyboard that outlive each
# client's session, the first button or key of a new session is lost: keep one for the stack.
start_bg holder "$PY" -u "$LAB_HERE/mutter-rd.py" rel:0,0 key:42 hold
wait_for 10 "holder session" grep -qs 'done key:42' "$S/log/holder.log" || exit 1
stamp "virtual pointer+keyboard held"

if [ $portal = 1 ]; then
  # The portal picks its backend by XDG_CURRENT_DESKTOP among the .portal files it is shown; its
  # dialogs must be Wayland clients of this compositor.
  mkdir -p "$S/portals"; cp /usr/share/xdg-desktop-portal/portals/gnome.portal "$S/portals/"
  export XDG_CURRENT_DESKTOP=GNOME GDK_BACKEND=wayland XDG_DESKTOP_PORTAL_DIR=$S/portals
  # Without a Wayland session type, xdg-desktop-portal-gnome 48 offers settings only.
  export XDG_SESSION_TYPE=wayland
  start_bg pstore /usr/libexec/xdg-permission-store --replace
  start_bg xdpg /usr/libexec/xdg-desktop-portal-gnome --replace
  wait_for 20 "xdg-desktop-portal-gnome" bus_has org.freedesktop.impl.portal.desktop.gnome || exit 1
  stamp "xdg-desktop-portal-gnome"
  start_portal
  # The consent dialog, answered with the keyboard through mutter: remote interaction allowed, then
  # Alt+S shares. Where the portal can remember a grant (RemoteDesktop 2) the dialog shows a ticked
  # "Remember This Selection" with the focus, which Space would untick: Alt+I there. 43's dialog
  # (portal 1.16) has no such box, and no mnemonic on its switch, which has the focus: Space.
  allow=key:57
  [ "$LAB_RD_VERSION" -ge 2 ] && allow="down:56 key:23 up:56"
  printf '#!/bin/sh\nexec %q %q %s sleep:0.2 down:56 key:31 up:56\n' "$PY" "$LAB_HERE/mutter-rd.py" "$allow" \
    > "$W/bin/answer-dialog"
  chmod +x "$W/bin/answer-dialog"
  export LAB_ANSWER=$W/bin/answer-dialog
fi

# Ptyxis starts its commands through `systemd-run --user --scope`, which fails at once without a
# user systemd manager (the stack has none): one first in PATH drops its options and runs the command.
cat > "$W/bin/systemd-run" <<'EOF'
#!/bin/sh
while [ $# -gt 0 ]; do case $1 in --) shift; break ;; -*) shift ;; *) break ;; esac; done
exec "$@"
EOF
chmod +x "$W/bin/systemd-run"
export PATH=$W/bin:$PATH

write_env XDG_RUNTIME_DIR DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY DISPLAY XAUTHORITY LAB_XCOVER_LOG PATH \
  ${LAB_RD_VERSION:+LAB_RD_VERSION} ${LAB_ANSWER:+LAB_ANSWER}
echo "ready: . $S/env"
