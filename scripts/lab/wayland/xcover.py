#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
"""The observer: a fullscreen X window on Xwayland that logs, one line each, the pointer, button,
key and focus events it receives, with root coordinates and modifier state:
    press detail=1 root=110,45 state=0x0      (X buttons 4/5 = wheel up/down, 6/7 = left/right)
    keypress detail=38 root=110,45 state=0x1  (X keycode = evdev code + 8; state bit 0 = Shift)
Fullscreen and managed, so the compositor gives it pointer and keyboard focus over the whole
screen; a dialog that takes the focus shows as 'focusout'. Usage: DISPLAY=... xcover.py"""
from Xlib import X, display, Xatom

d = display.Display()
s = d.screen()
w = s.root.create_window(0, 0, s.width_in_pixels, s.height_in_pixels, 0, s.root_depth,
                         background_pixel=s.white_pixel,
                         event_mask=X.PointerMotionMask | X.ButtonPressMask | X.ButtonReleaseMask |
                         X.KeyPressMask | X.KeyReleaseMask | X.FocusChangeMask | X.EnterWindowMask |
                         X.StructureNotifyMask)
w.set_wm_name('xcover')
w.change_property(d.intern_atom('_NET_WM_STATE'), Xatom.ATOM, 32, [d.intern_atom('_NET_WM_STATE_FULLSCREEN')])
w.map()
d.flush()
names = {X.MotionNotify: 'motion', X.ButtonPress: 'press', X.ButtonRelease: 'release',
         X.KeyPress: 'keypress', X.KeyRelease: 'keyrelease', X.FocusIn: 'focusin', X.FocusOut: 'focusout',
         X.EnterNotify: 'enter', X.ConfigureNotify: 'configure', X.MapNotify: 'mapped'}
while True:
    e = d.next_event()
    n = names.get(e.type)
    if n is None:
        continue
    if e.type == X.ConfigureNotify:
        print(n, e.x, e.y, e.width, e.height, flush=True)
    elif e.type in (X.FocusIn, X.FocusOut, X.MapNotify):
        print(n, flush=True)
    else:
        print(n, 'detail=%d root=%d,%d state=0x%x' % (e.detail, e.root_x, e.root_y, e.state), flush=True)
