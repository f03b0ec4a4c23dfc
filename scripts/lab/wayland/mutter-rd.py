#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
"""Inject input through mutter's own RemoteDesktop D-Bus API (no portal, no dialog).
Usage: mutter-rd.py ACTION...
  rel:DX,DY      relative pointer motion
  btn:CODE       press+release an evdev button (BTN_LEFT=272, BTN_RIGHT=273)
  key:CODE       press+release an evdev key (KEY_A=30)
  down:CODE up:CODE   hold / release an evdev key (modifiers)
  sym:HEX        press+release a keysym; dropped silently when the keymap lacks it
  axis:AXIS,STEPS     NotifyPointerAxisDiscrete (axis 0 vertical, 1 horizontal)
  smooth:DX,DY   NotifyPointerAxis, then the "finish" frame
  sleep:SEC      wait
  hold           keep the session (and its virtual devices) until killed
mutter ends a session when its caller leaves the bus, so the connection stays open while acting."""
import sys
import time
import dbus

PRESS_GAP = 0.02   # between press and release, as in a real click

bus = dbus.SessionBus()
rd = dbus.Interface(bus.get_object('org.gnome.Mutter.RemoteDesktop', '/org/gnome/Mutter/RemoteDesktop'),
                    'org.gnome.Mutter.RemoteDesktop')
t = time.monotonic()
path = rd.CreateSession()
s = dbus.Interface(bus.get_object('org.gnome.Mutter.RemoteDesktop', path),
                   'org.gnome.Mutter.RemoteDesktop.Session')
s.Start()
print('session', path, 'started in %.3fs' % (time.monotonic() - t), flush=True)


def tap(fn, code):
    fn(code, True)
    time.sleep(PRESS_GAP)
    fn(code, False)


for a in sys.argv[1:]:
    k, _, v = a.partition(':')
    if k == 'rel':
        dx, dy = map(float, v.split(','))
        s.NotifyPointerMotionRelative(dx, dy)
    elif k == 'btn':
        tap(s.NotifyPointerButton, int(v))
    elif k == 'key':
        tap(s.NotifyKeyboardKeycode, dbus.UInt32(int(v)))
    elif k in ('down', 'up'):
        s.NotifyKeyboardKeycode(dbus.UInt32(int(v)), k == 'down')
    elif k == 'sym':
        tap(s.NotifyKeyboardKeysym, dbus.UInt32(int(v, 16)))
    elif k == 'axis':
        ax, st = map(int, v.split(','))
        s.NotifyPointerAxisDiscrete(dbus.UInt32(ax), st)
    elif k == 'smooth':  # flags bit 0 = finish: ends the scroll sequence
        dx, dy = map(float, v.split(','))
        s.NotifyPointerAxis(dx, dy, dbus.UInt32(0))
        s.NotifyPointerAxis(0.0, 0.0, dbus.UInt32(1))
    elif k == 'sleep':
        time.sleep(float(v))
    elif k == 'hold':
        print('holding', flush=True)
        while True:
            time.sleep(3600)
    else:
        sys.exit('unknown action ' + a)
    print('done', a, flush=True)
time.sleep(0.2)   # let mutter process the last request before the session goes
s.Stop()
