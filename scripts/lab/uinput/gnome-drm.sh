#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
# gnome-drm.sh start DIR | stop DIR: inside the uinput VM only (run-vm.py --gpu 800x600 --smp 2 --mem 3072),
# as root: gnome-shell (43, or 48 from Debian 13's chroot) as the display server on the VM's virtio GPU, with
# its real lock screen (locked by LAB_LOCK only: the idle shield alone does not lock), libinput
# on the kernel's evdev nodes, and the portals. Where nested gnome-shell sees input from an X server, here
# every key and pointer motion comes through evdev, as on a real computer.
# As root it starts udevd (a rule opens event*, uinput and DRM nodes to everyone, where logind would
# hand them to the session's user) and writes the sd-login files that mutter reads; the rest runs as
# nobody: two private buses with the stand-ins of shield-standins.py (logind with TakeDevice, GDM,
# gnome-session), gnome-shell, xdg-permission-store, xdg-desktop-portal-gnome and xdg-desktop-portal.
# State in DIR/gnome-drm, same layout and env file as the other stacks (. DIR/gnome-drm/env); it names:
#   LAB_LOCK      lock as `loginctl lock-session` does (logind's Lock signal)
#   LAB_IDLE      raise the idle shield (it blanks) as gnome-session does after idle-delay (Presence idle)
#   LAB_SHIELD    print true/false: the shell's org.gnome.ScreenSaver GetActive (not the relay's)
#   LAB_SWITCH away|back   switch to another user's session and back, as `loginctl activate` does
#   LAB_DIALOG    wait (bounded) until a portal dialog not waited for before has the keyboard focus
#   LAB_ANSWER    answer the RemoteDesktop consent dialog at the computer: LAB_DIALOG, then Space (the
#                 focus is on "Allow remote interaction", which makes Share sensitive) and Alt+S on the
#                 seat's own keyboard, Alt+S again while the dialog stays
#   LAB_TAKEN NAME    wait (bounded) until the compositor has the input device NAME (its event node,
#                 taken through the logind stand-in) and a moment more, for libinput to add it
#   LAB_SAW REGEX     wait (bounded) for a line of the stand-ins' log and print it: TakeDevice NODE,
#                 verification (GDM asked for the password), password right|wrong, Unlock
#   LAB_STANDINS_LOG  that log
#   LAB_USER      the unprivileged user (uid) the session belongs to
# LAB_PASSWORD (default lab-password) is what GDM's stand-in takes.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../wayland/lib.sh"
cmd=${1:-}; W=${2:-}
[ -n "$W" ] || { echo "usage: $0 start|stop DIR" >&2; exit 2; }
[ "${LAB_GUEST:-}" = 1 ] || die "gnome-drm.sh runs inside the uinput VM only"
S=$W/gnome-drm
# Stopping copies the logs to $LAB_OUT, where the host can read them after the VM is gone.
[ "$cmd" = stop ] && { stop_stack; [ -n "${LAB_OUT:-}" ] && cp -r "$S/log" "$LAB_OUT/gnome-drm-log"; exit 0; }
[ "$cmd" = start ] || { echo "usage: $0 start|stop DIR" >&2; exit 2; }
need dbus-daemon gdbus udevadm setpriv gnome-shell gjs "$PY" py:dbus py:gi /lib/systemd/systemd-udevd \
  /usr/libexec/xdg-desktop-portal /usr/libexec/xdg-desktop-portal-gnome /usr/libexec/xdg-permission-store
LAB_USER=${LAB_USER:-65534}

if [ "$(id -u)" = 0 ]; then
  ip link set lo up
  mkdir -p /run/udev/rules.d
  cat > /run/udev/rules.d/99-lab.rules <<'EOF'
SUBSYSTEM=="input", KERNEL=="event*", MODE="0666"
KERNEL=="uinput", MODE="0666"
SUBSYSTEM=="drm", MODE="0666"
EOF
  # udevd and udevadm do nothing in a chroot unless told; libinput and mutter find their devices through udev.
  export SYSTEMD_IGNORE_CHROOT=1
  /lib/systemd/systemd-udevd --daemon || die "systemd-udevd did not start"
  udevadm trigger --action=add && udevadm settle --timeout=60 || die "udev did not settle"
  # What sd-login tells mutter: session 1 of the user, active, on seat0, which can show graphics.
  name=$(getent passwd "$LAB_USER" | cut -d: -f1)
  mkdir -p /run/systemd/sessions /run/systemd/users /run/systemd/seats
  printf '%s\n' "UID=$LAB_USER" "USER=$name" ACTIVE=1 IS_DISPLAY=1 STATE=active REMOTE=0 TYPE=wayland \
    CLASS=user SEAT=seat0 VTNR=0 > /run/systemd/sessions/1
  printf '%s\n' "NAME=$name" STATE=active DISPLAY=1 SESSIONS=1 ACTIVE_SESSIONS=1 ONLINE_SESSIONS=1 \
    > "/run/systemd/users/$LAB_USER"
  printf '%s\n' IS_SEAT0=1 CAN_MULTI_SESSION=1 CAN_TTY=0 CAN_GRAPHICAL=1 ACTIVE=1 "ACTIVE_UID=$LAB_USER" \
    SESSIONS=1 "UIDS=$LAB_USER" > /run/systemd/seats/seat0
  mkdir -p "$W"; chown "$LAB_USER" "$W"
  exec setpriv --reuid="$LAB_USER" --regid="$LAB_USER" --clear-groups env -u SYSTEMD_IGNORE_CHROOT USER="$name" \
    bash "$0" start "$W"
fi

W=$(lab_dir "$W") || exit 1
stack_init gnome-drm
mkdir -p "$S/bin"
T0=$(now_us)

start_bus
out=$(dbus-daemon --session --address="unix:path=$S/run/system_bus" --fork --nopidfile --print-address=1 \
      --print-pid=1) || die "dbus-daemon (system stand-in) did not start"
export DBUS_SYSTEM_BUS_ADDRESS=$(echo "$out" | head -1)
echo "systembus $(echo "$out" | tail -1)" >> "$S/pids"
export LAB_PASSWORD=${LAB_PASSWORD:-lab-password} LAB_STANDINS_LOG=$S/log/standins.log LAB_USER
LAB_DRM=1 start_bg standins "$PY" -u "$here/../wayland/shield-standins.py"
wait_for 30 "the logind and gnome-session stand-ins" grep -qs '^serving' "$LAB_STANDINS_LOG" || exit 1
stamp "buses, logind and gnome-session stand-ins"

export GSETTINGS_BACKEND=keyfile NO_AT_BRIDGE=1
mkdir -p "$XDG_CONFIG_HOME/glib-2.0/settings"
# The screen saver only blanks, so that the phone's wake can end it; LAB_LOCK locks all the same.
cat > "$XDG_CONFIG_HOME/glib-2.0/settings/keyfile" <<EOF
[org/gnome/desktop/screensaver]
lock-enabled=false

[org/gnome/shell]
welcome-dialog-last-shown-version='$(gnome-shell --version | awk '{print $3}')'
EOF

# softpipe: llvmpipe's JIT crashed under TCG.
export WAYLAND_DISPLAY=wayland-drm XDG_SESSION_ID=1 XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland \
  GALLIUM_DRIVER=softpipe
unset LIBGL_ALWAYS_SOFTWARE   # Mesa 25 refuses it for the KMS device mutter picks
start_shell 300 --wayland --display-server --no-x11 --wayland-display=$WAYLAND_DISPLAY
wait_for 60 "org.gnome.Shell.ScreenShield" bus_has org.gnome.Shell.ScreenShield || exit 1

shield_commands
export LAB_DIALOG=$S/bin/dialog LAB_ANSWER=$S/bin/answer LAB_TAKEN=$S/bin/taken LAB_SAW=$S/bin/saw \
  LAB_SWITCH=$S/bin/switch
script saw <<EOF
for i in \$(seq 600); do grep -m1 -E "\$1" $LAB_STANDINS_LOG && exit 0; sleep 0.2; done
echo "the stand-ins saw no \$1" >&2; exit 1
EOF
script taken <<EOF
for i in \$(seq 300); do
  node=\$(grep -lxF "\$1" /sys/class/input/event*/device/name 2>/dev/null | head -1 | cut -d/ -f5)
  [ -n "\$node" ] && break; sleep 0.2
done
# An earlier device may have had the node: the last word on it counts.
for i in \$(seq 300); do
  [ -n "\$node" ] || break
  grep -E "^(Take|Release)Device /dev/input/\$node\$" $LAB_STANDINS_LOG | tail -1 | grep -q ^Take && exec sleep 2
  sleep 0.2
done
echo "the compositor did not take \$1" >&2; exit 1
EOF
script switch <<'EOF'
case $1 in away) sid=2 ;; back) sid=1 ;; *) echo "usage: switch away|back" >&2; exit 2 ;; esac
exec gdbus call --system -d org.freedesktop.login1 -o /org/freedesktop/login1/session/_3$sid \
  -m org.freedesktop.login1.Session.Activate >/dev/null
EOF
# The portal's dialogs log their Wayland traffic: a wl_keyboard.enter is a dialog getting the focus.
# It takes keys only once drawn, which softpipe under TCG needs a few seconds for.
script dialog <<EOF
log=$S/log/xdpg.log; seen=\$(cat $S/dialogs-seen 2>/dev/null || echo 0); end=\$((\$(date +%s) + 120))
while [ \$(date +%s) -lt \$end ]; do
  at=\$(grep -nE 'wl_keyboard[@#][0-9]+\.enter\(' \$log | cut -d: -f1 | awk -v s=\$seen '\$1 > s' | head -1)
  [ -n "\$at" ] && { echo \$at > $S/dialogs-seen; sleep 4; exit 0; }
  sleep 0.5
done
echo "no portal dialog got the focus" >&2; exit 1
EOF
# Alt+S is now and then lost under TCG: it is pressed again while the dialog stays (xdg_toplevel.destroy:
# it went away). Space is not: a second one would turn the switch off again.
# RemoteDesktop 2 (GNOME 46 on) has the focus on a ticked "Remember": Alt+I allows interaction instead.
script answer <<EOF
allow=space; [ "\${LAB_RD_VERSION:-1}" -ge 2 ] && allow=alt+i
$S/bin/dialog && $PY $here/seat-keys.py \$allow || exit 1
for try in 1 2 3; do
  $PY $here/seat-keys.py alt+s || exit 1
  for i in \$(seq 30); do tail -n +\$(cat $S/dialogs-seen) $S/log/xdpg.log | grep -q 'xdg_toplevel[@#][0-9]*\.destroy' && exit 0; sleep 0.5; done
done
echo "the dialog stayed" >&2; exit 1
EOF
[ "$("$LAB_SHIELD")" = false ] || die "org.gnome.ScreenSaver does not say the shield is down"
stamp "org.gnome.ScreenSaver"
# The shell starts in the overview, whose search entry keeps the keyboard when a dialog opens: Escape
# at the computer leaves it, as a person would.
overview() {
  gdbus call --session -d org.gnome.Shell -o /org/gnome/Shell -m org.freedesktop.DBus.Properties.Get \
    org.gnome.Shell OverviewActive 2>/dev/null | grep -q "$1"
}
for try in 1 2; do
  overview true || break
  "$PY" "$here/seat-keys.py" esc || exit 1
  wait_for 20 "the overview to close" overview false 2>/dev/null && break
done
overview false || die "the shell stays in its overview"
stamp "left the overview"

mkdir -p "$S/portals"; cp /usr/share/xdg-desktop-portal/portals/gnome.portal "$S/portals/"
export GDK_BACKEND=wayland XDG_DESKTOP_PORTAL_DIR=$S/portals
start_bg pstore /usr/libexec/xdg-permission-store --replace
WAYLAND_DEBUG=client start_bg xdpg /usr/libexec/xdg-desktop-portal-gnome --replace
wait_for 60 "xdg-desktop-portal-gnome" bus_has org.freedesktop.impl.portal.desktop.gnome || exit 1
stamp "xdg-desktop-portal-gnome"
start_portal

write_env XDG_RUNTIME_DIR HOME XDG_CONFIG_HOME DBUS_SESSION_BUS_ADDRESS DBUS_SYSTEM_BUS_ADDRESS WAYLAND_DISPLAY XDG_SESSION_TYPE \
  XDG_CURRENT_DESKTOP LAB_IDLE LAB_LOCK LAB_SWITCH LAB_SHIELD LAB_DIALOG LAB_ANSWER LAB_TAKEN LAB_SAW LAB_STANDINS_LOG LAB_PASSWORD LAB_USER \
  LAB_RD_VERSION
echo "ready: . $S/env"
