#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
"""The keyboard of the person at the computer, in the VM: a uinput keyboard of its own (not Quillmote's)
that presses the keys named, e.g. `seat-keys.py space alt+s`, once the compositor took its event node
through the logind stand-in (whose log is $LAB_STANDINS_LOG). Keys pressed earlier would be lost."""
import fcntl
import os
import re
import struct
import sys
import time

KEYS = {'esc': 1, 'enter': 28, 'alt': 56, 'space': 57, 's': 31, 'i': 23, 'tab': 15, 'shift': 42}
UI_SET_EVBIT, UI_SET_KEYBIT, UI_DEV_CREATE, UI_DEV_DESTROY = 0x40045564, 0x40045565, 0x5501, 0x5502
NAME = 'Lab seat keyboard'


def emit(fd, kind, code, value):
    os.write(fd, struct.pack('qqHHi', 0, 0, kind, code, value))


def node():
    for name in os.listdir('/sys/class/input'):
        try:
            with open('/sys/class/input/%s/device/name' % name) as f:
                if name.startswith('event') and f.read().strip() == NAME:
                    return '/dev/input/' + name
        except OSError:
            pass
    return None


def main():
    chords = [[KEYS[k] for k in arg.split('+')] for arg in sys.argv[1:]]
    fd = os.open('/dev/uinput', os.O_WRONLY | os.O_NONBLOCK)
    fcntl.ioctl(fd, UI_SET_EVBIT, 1)
    for code in KEYS.values():
        fcntl.ioctl(fd, UI_SET_KEYBIT, code)
    # struct uinput_user_dev: name, bus/vendor/product/version, ff_effects_max, 4 x 64 axis limits.
    os.write(fd, struct.pack('80sHHHHI', NAME.encode(), 3, 0x1234, 0x5678, 1, 0) + bytes(4 * 64 * 4))
    fcntl.ioctl(fd, UI_DEV_CREATE)
    try:
        deadline, taken = time.monotonic() + 90, None
        while time.monotonic() < deadline and not taken:
            path = node()
            with open(os.environ['LAB_STANDINS_LOG']) as f:   # an earlier device may have had the node
                said = re.findall('^(Take|Release)Device %s$' % path, f.read(), re.M) if path else []
            taken = said and said[-1] == 'Take'
            time.sleep(0.2)
        if not taken:
            sys.exit('seat-keys.py: the compositor did not take the seat keyboard')
        time.sleep(1)   # libinput adds the device a moment after it was opened
        for chord in chords:
            for code in chord:
                emit(fd, 1, code, 1)
                emit(fd, 0, 0, 0)
                time.sleep(0.4 if len(chord) > 1 else 0.06)   # modifiers held as a slow hand would
            for code in reversed(chord):
                emit(fd, 1, code, 0)
                emit(fd, 0, 0, 0)
            time.sleep(2)   # under TCG the dialog needs a while to act on a key (the switch makes Share sensitive)
        time.sleep(0.5)
    finally:
        fcntl.ioctl(fd, UI_DEV_DESTROY)


if __name__ == '__main__':
    main()
