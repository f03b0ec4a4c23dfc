#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
# gnome-shield-stack.sh start [--portal] [DIR] | stop [DIR]
# A GNOME session whose screen shield is real: gnome-shell --nested --wayland in a window on an Xvfb
# display (the computer's own screen, keyboard and pointer: what xdotool does there, the person at the
# computer does), Xwayland with the observer window (xcover.py), gsd-screensaver-proxy, and with
# --portal xdg-desktop-portal + xdg-desktop-portal-gnome. gnome-shell skips the shield's inhibition of
# remote access when headless, hence nested. Two private buses: the session bus with a stand-in
# gnome-session, and one given as the system bus with a stand-in logind (shield-standins.py).
# State in DIR/gnome-shield, same layout and env file as gnome-stack.sh; the env file also names:
#   LAB_IDLE    raise the shield as gnome-session does after idle-delay (Presence idle)
#   LAB_LOCK    lock as `loginctl lock-session` does (logind's Lock signal)
#   LAB_WAKE    wake the screen at the computer (pointer motion and Shift on the Xvfb display)
#   LAB_UNLOCK  unlock at the computer: Escape, the password ($LAB_PASSWORD, or the argument) and Return
#   LAB_SHIELD  print true/false: GetActive of the shell itself (org.gnome.Shell.ScreenShield)
#   LAB_ANSWER  answer the RemoteDesktop consent dialog at the computer (Space, then Alt+S)
# Settings: screen lock off (the idle shield only blanks); LAB_SHIELD_LOCK=1 turns it on, no delay.
# LAB_PASSWORD (default lab-password) is what GDM's stand-in takes; no real account is involved.
set -u
. "$(dirname "$0")/lib.sh"
cmd=${1:-}; shift
portal=0; [ "${1:-}" = --portal ] && { portal=1; shift; }
case $cmd in
  start) ;;
  stop) [ -n "${1:-${LAB_DIR:-}}" ] || die "stop needs DIR or LAB_DIR"
        W=$(lab_dir "${1:-}"); S=$W/gnome-shield; stop_stack; exit 0 ;;
  *) echo "usage: $0 start [--portal] [DIR] | stop [DIR]" >&2; exit 2 ;;
esac

need dbus-daemon gdbus xdpyinfo xdotool Xvfb gnome-shell gjs Xwayland "$PY" py:dbus py:gi py:Xlib \
  /usr/libexec/gsd-screensaver-proxy
[ $portal = 1 ] && need /usr/libexec/xdg-desktop-portal /usr/libexec/xdg-desktop-portal-gnome \
  /usr/libexec/xdg-permission-store
W=$(lab_dir "${1:-}") || exit 1
stack_init gnome-shield
mkdir -p "$S/bin"
T0=$(now_us)

# The computer's screen. GLX for gnome-shell's window on it (software rendering).
seat=$(pick_x 1) || die "no free X display in :$LAB_XMIN-:$LAB_XMAX"
x_clear_stale $seat
echo $seat > "$S/xdisplays"
start_bg xvfb Xvfb :$seat -screen 0 1280x800x24 -nolisten tcp +extension GLX
export LAB_SEAT_DISPLAY=:$seat
wait_for 20 "Xvfb :$seat" eval 'DISPLAY=:$seat xdpyinfo >/dev/null 2>&1' || exit 1
stamp "Xvfb :$seat"

start_bus
out=$(dbus-daemon --session --address="unix:path=$S/run/system_bus" --fork --nopidfile --print-address=1 \
      --print-pid=1) || die "dbus-daemon (system stand-in) did not start"
export DBUS_SYSTEM_BUS_ADDRESS=$(echo "$out" | head -1)
echo "systembus $(echo "$out" | tail -1)" >> "$S/pids"
export LAB_PASSWORD=${LAB_PASSWORD:-lab-password}
start_bg standins "$PY" -u "$LAB_HERE/shield-standins.py"
wait_for 10 "the logind and gnome-session stand-ins" grep -qs '^serving' "$S/log/standins.log" || exit 1
stamp "buses, logind and gnome-session stand-ins"

# GSettings in a key file the test owns: no welcome tour, screen lock as asked, no accessibility bridge.
export GSETTINGS_BACKEND=keyfile NO_AT_BRIDGE=1
mkdir -p "$XDG_CONFIG_HOME/glib-2.0/settings"
if [ "${LAB_SHIELD_LOCK:-0}" = 1 ]; then lock="lock-enabled=true
lock-delay=uint32 0"; else lock="lock-enabled=false"; fi
cat > "$XDG_CONFIG_HOME/glib-2.0/settings/keyfile" <<EOF
[org/gnome/desktop/screensaver]
$lock

[org/gnome/shell]
welcome-dialog-last-shown-version='$(gnome-shell --version | awk '{print $3}')'
EOF

# gnome-shell takes the first free X displays from :0 for its Xwayland; it says which.
rm -f "$S/run"/.mutter-Xwaylandauth.*   # an old cookie would be taken for the new server's
export WAYLAND_DISPLAY=wayland-shield XDG_SESSION_ID=1 XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland \
  MUTTER_DEBUG_DUMMY_MODE_SPECS=1280x800
# Up to a minute and a half under load (the tests give the whole start two minutes).
DISPLAY=:$seat start_shell 90 --nested --wayland --wayland-display=$WAYLAND_DISPLAY
wait_for 20 "Xwayland display" eval 'shell_up && xwayland_displays "$glog" >/dev/null' || exit 1
read -r pub priv <<< "$(xwayland_displays "$glog" | head -1)"
echo "$seat $pub $priv" > "$S/xdisplays"
export DISPLAY=:$pub
x_up() { XAUTHORITY=$(ls -t "$S/run"/.mutter-Xwaylandauth.* 2>/dev/null | head -1); export XAUTHORITY
         [ -n "$XAUTHORITY" ] && xdpyinfo >/dev/null 2>&1; }
wait_for 30 "Xwayland $DISPLAY" eval 'shell_up && x_up' || exit 1
stamp "Xwayland $DISPLAY answers"

# The shell starts in the overview; Escape at the computer leaves it, as a person would.
at_seat() { DISPLAY=$LAB_SEAT_DISPLAY XAUTHORITY= xdotool "$@"; }
at_seat mousemove 640 400 key Escape
export LAB_XCOVER_LOG=$S/log/xcover.log
start_bg xcover "$PY" -u "$LAB_HERE/xcover.py"
wait_for 20 "X window focused" grep -qs '^focusin' "$LAB_XCOVER_LOG" || exit 1
stamp "xcover mapped+focused"

# The shell serves the shield as org.gnome.Shell.ScreenShield; org.gnome.ScreenSaver is gjs's
# D-Bus-activated relay of it, which a session's first caller starts: nothing here calls it, as in
# a session where nobody has yet.
wait_for 20 "org.gnome.Shell.ScreenShield" bus_has org.gnome.Shell.ScreenShield || exit 1
start_bg ssproxy /usr/libexec/gsd-screensaver-proxy
wait_for 20 "gsd-screensaver-proxy" bus_has org.freedesktop.ScreenSaver || exit 1

# Commands for tests: the idle shield, the lock, and the person at the computer.
shield_commands
export LAB_WAKE=$S/bin/wake LAB_UNLOCK=$S/bin/unlock
# At the lock screen: Escape shows the password prompt; the password (no shifted characters: see
# xscreensaver's findings) and Return. GDM's stand-in checks it and unlocks through logind.
script unlock <<EOF
DISPLAY=$LAB_SEAT_DISPLAY XAUTHORITY= xdotool mousemove_relative -- 7 7 key Escape sleep 1 \
  type --delay 60 "\${1:-$LAB_PASSWORD}" && DISPLAY=$LAB_SEAT_DISPLAY XAUTHORITY= xdotool sleep 0.3 key Return
EOF
# The pointer moved and Shift pressed on the computer; gnome-session then sees the user back (Presence available).
script wake <<EOF
DISPLAY=$LAB_SEAT_DISPLAY XAUTHORITY= xdotool mousemove_relative -- 7 7 sleep 0.1 mousemove_relative -- -7 -7 \
  key shift || exit 1
exec gdbus call --session -d org.gnome.SessionManager -o /org/gnome/SessionManager/Presence \
  -m org.gnome.SessionManager.Presence.SetStatus 0 >/dev/null
EOF

[ "$("$LAB_SHIELD")" = false ] || die "org.gnome.Shell.ScreenShield does not say the shield is down"
stamp "org.gnome.Shell.ScreenShield, org.freedesktop.ScreenSaver"

if [ $portal = 1 ]; then
  # The portal picks its backend by XDG_CURRENT_DESKTOP among the .portal files it is shown; its
  # dialogs are Wayland clients of the shell.
  mkdir -p "$S/portals"; cp /usr/share/xdg-desktop-portal/portals/gnome.portal "$S/portals/"
  export GDK_BACKEND=wayland XDG_DESKTOP_PORTAL_DIR=$S/portals
  start_bg pstore /usr/libexec/xdg-permission-store --replace
  start_bg xdpg /usr/libexec/xdg-desktop-portal-gnome --replace
  wait_for 30 "xdg-desktop-portal-gnome" bus_has org.freedesktop.impl.portal.desktop.gnome || exit 1
  stamp "xdg-desktop-portal-gnome"
  start_portal
  # The consent dialog, answered at the computer once it has the focus (the observer saw focusout):
  # Space turns on "Allow remote interaction" (43's dialog has the focus on that switch), Alt+S
  # shares; where the portal remembers grants (RemoteDesktop 2) the focus is on a ticked "Remember
  # This Selection" instead, and Alt+I allows. The dialog takes keys only once drawn, a moment after
  # it has the focus: keys pressed before are lost, so wait a little, and once more if the observer
  # did not get the focus back.
  allow=space; [ "$LAB_RD_VERSION" -ge 2 ] && allow=alt+i
  export LAB_ANSWER=$S/bin/answer-dialog
  script answer-dialog <<EOF
for wait in 0.7 1.5; do
  n=\$(wc -l < $LAB_XCOVER_LOG)
  DISPLAY=$LAB_SEAT_DISPLAY XAUTHORITY= xdotool sleep \$wait key $allow sleep 0.2 key alt+s || exit 1
  for i in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15; do
    tail -n +\$((n + 1)) $LAB_XCOVER_LOG | grep -q '^focusin' && exit 0
    sleep 0.2
  done
done
echo "the dialog did not go away" >&2; exit 1
EOF
fi

write_env XDG_RUNTIME_DIR DBUS_SESSION_BUS_ADDRESS DBUS_SYSTEM_BUS_ADDRESS WAYLAND_DISPLAY DISPLAY XAUTHORITY \
  LAB_XCOVER_LOG LAB_SEAT_DISPLAY LAB_IDLE LAB_LOCK LAB_WAKE LAB_UNLOCK LAB_SHIELD LAB_PASSWORD \
  ${LAB_RD_VERSION:+LAB_RD_VERSION} ${LAB_ANSWER:+LAB_ANSWER}
echo "ready: . $S/env"
