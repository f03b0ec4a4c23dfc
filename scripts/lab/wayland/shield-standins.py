#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
"""What gnome-shell's screen shield listens to, on the lab's private buses (no system service touched):
  - logind (org.freedesktop.login1) on the bus given as DBUS_SYSTEM_BUS_ADDRESS: the Manager with
    GetSession/GetSessionByPID/ListSessions/Inhibit and LockSession/UnlockSession (as loginctl
    lock-session does: the Session's Lock/Unlock signal), session 1 with Active, LockedHint and
    SetLockedHint, and user/self; another user's session 2, whose Activate switches users (as loginctl
    activate 2 does: session 1 goes inactive; its Activate switches back); for a compositor on DRM
    (LAB_DRM=1) also seat0 and the session's device handling: TakeControl, and TakeDevice handing out
    fds of the real device nodes (the guest's udev rule lets the session's user open them, which logind
    does as root);
  - GDM's Manager (org.gnome.DisplayManager) on the same bus: its Version, without which the shell has no shield,
    and its reauthentication channel, which takes $LAB_PASSWORD (default lab-password) and then unlocks;
  - gnome-session (org.gnome.SessionManager) on the session bus: Inhibit for gsd-screensaver-proxy and
    a Presence whose status SetStatus changes (3 = idle: what gnome-session sends after idle-delay,
    which raises the shield).
KDE's lock screen follows logind alone: with --logind-only, the rest (GDM, gnome-session) is left out.
Usage: shield-standins.py [--logind-only]    (both buses from the environment; runs until killed)"""
import os
import sys

import dbus
import dbus.mainloop.glib
import dbus.server
import dbus.service
from gi.repository import GLib

PROPS = 'org.freedesktop.DBus.Properties'
LOGIN = 'org.freedesktop.login1'


def session_path(sid):
    return '/org/freedesktop/login1/session/_3' + sid


SESSION_PATH = session_path('1')
PASSWORD = os.environ.get('LAB_PASSWORD', 'lab-password')


class Props(dbus.service.Object):
    """An object whose D-Bus properties live in self.props[interface] (read-only from outside)."""

    def __init__(self, bus, path, props):
        super().__init__(bus, path)
        self.props = props

    @dbus.service.method(PROPS, in_signature='ss', out_signature='v')
    def Get(self, iface, name):
        return self.props[iface][name]

    @dbus.service.method(PROPS, in_signature='s', out_signature='a{sv}')
    def GetAll(self, iface):
        return dbus.Dictionary(self.props.get(iface, {}), signature='sv')

    @dbus.service.method(PROPS, in_signature='ssv')
    def Set(self, iface, name, value):
        raise dbus.exceptions.DBusException('read-only', name='org.freedesktop.DBus.Error.PropertyReadOnly')

    @dbus.service.signal(PROPS, signature='sa{sv}as')
    def PropertiesChanged(self, iface, changed, invalidated):
        pass

    def change(self, iface, name, value):
        self.props[iface][name] = value
        self.PropertiesChanged(iface, {name: value}, [])


class Session(Props):
    IFACE = LOGIN + '.Session'

    def __init__(self, bus, sid='1', uid=os.getuid(), name=os.environ.get('USER', 'lab')):
        super().__init__(bus, session_path(sid), {self.IFACE: {
            'Id': sid, 'Active': sid == '1', 'LockedHint': False, 'Remote': False, 'Type': 'wayland', 'Class': 'user',
            'State': 'active' if sid == '1' else 'online', 'Name': name,
            'User': dbus.Struct((dbus.UInt32(uid), dbus.ObjectPath('/org/freedesktop/login1/user/self')),
                                signature='uo'),
            'Seat': dbus.Struct(('seat0', dbus.ObjectPath('/org/freedesktop/login1/seat/seat0')), signature='so'),
            'IdleHint': False, 'VTNr': dbus.UInt32(0)}})
        self.devices = {}
        self.seat = []  # the sessions on the seat, this one among them

    @dbus.service.method(IFACE, in_signature='b')
    def SetLockedHint(self, locked):
        print('SetLockedHint', bool(locked), flush=True)
        self.change(self.IFACE, 'LockedHint', dbus.Boolean(locked))

    @dbus.service.method(IFACE, in_signature='b')
    def SetIdleHint(self, idle):
        self.change(self.IFACE, 'IdleHint', dbus.Boolean(idle))

    @dbus.service.method(IFACE)
    def Activate(self):
        # A user switch (loginctl activate): this session comes to the front, the others go behind it.
        for session in self.seat:
            if session is not self and session.props[self.IFACE]['Active']:
                session.change(self.IFACE, 'Active', dbus.Boolean(False))
        self.change(self.IFACE, 'Active', dbus.Boolean(True))
        print('Activate', self.props[self.IFACE]['Id'], flush=True)

    # The compositor opens DRM and evdev nodes through its session. The first to open a card is its
    # DRM master, which is why the same open file goes back for a device asked for again.
    @dbus.service.method(IFACE, in_signature='b')
    def TakeControl(self, force):
        print('TakeControl', flush=True)

    @dbus.service.method(IFACE)
    def ReleaseControl(self):
        pass

    @dbus.service.method(IFACE, in_signature='uu', out_signature='hb')
    def TakeDevice(self, major, minor):
        key = (int(major), int(minor))
        if key not in self.devices:
            with open('/sys/dev/char/%d:%d/uevent' % key) as f:
                name = '/dev/' + dict(line.rstrip('\n').split('=', 1) for line in f if '=' in line)['DEVNAME']
            self.devices[key] = (os.open(name, os.O_RDWR | os.O_CLOEXEC | os.O_NONBLOCK | os.O_NOCTTY), name)
            print('TakeDevice', name, flush=True)
        return dbus.types.UnixFd(self.devices[key][0]), False

    @dbus.service.method(IFACE, in_signature='uu')
    def ReleaseDevice(self, major, minor):
        fd, name = self.devices.pop((int(major), int(minor)), (None, None))
        if fd is not None:
            os.close(fd)
            print('ReleaseDevice', name, flush=True)

    @dbus.service.method(IFACE, in_signature='uu')
    def PauseDeviceComplete(self, major, minor):
        pass

    @dbus.service.signal(IFACE, signature='uus')
    def PauseDevice(self, major, minor, kind):
        pass

    @dbus.service.signal(IFACE, signature='uuh')
    def ResumeDevice(self, major, minor, fd):
        pass

    @dbus.service.signal(IFACE)
    def Lock(self):
        print('Lock', flush=True)

    @dbus.service.signal(IFACE)
    def Unlock(self):
        print('Unlock', flush=True)


class Seat(Props):
    IFACE = LOGIN + '.Seat'

    def __init__(self, bus):
        super().__init__(bus, '/org/freedesktop/login1/seat/seat0', {self.IFACE: {
            'Id': 'seat0', 'ActiveSession': ('1', dbus.ObjectPath(SESSION_PATH)), 'CanGraphical': True,
            'CanTTY': False, 'Sessions': dbus.Array([('1', dbus.ObjectPath(SESSION_PATH))], signature='(so)')}})

    @dbus.service.method(IFACE, in_signature='u')
    def SwitchTo(self, vt):
        pass


class Manager(Props):
    IFACE = LOGIN + '.Manager'

    def __init__(self, bus, session):
        super().__init__(bus, '/org/freedesktop/login1', {self.IFACE: {'IdleHint': False}})
        self.session = session
        self.inhibitors = []

    @dbus.service.method(IFACE, in_signature='s', out_signature='o')
    def GetSession(self, sid):
        return dbus.ObjectPath(SESSION_PATH)

    @dbus.service.method(IFACE, in_signature='u', out_signature='o')
    def GetSessionByPID(self, pid):
        return dbus.ObjectPath(SESSION_PATH)

    @dbus.service.method(IFACE, out_signature='a(susso)')
    def ListSessions(self):
        return [('1', dbus.UInt32(os.getuid()), os.environ.get('USER', 'lab'), 'seat0', SESSION_PATH)]

    @dbus.service.method(IFACE, in_signature='s')
    def LockSession(self, sid):
        self.session.Lock()

    @dbus.service.method(IFACE, in_signature='s')
    def UnlockSession(self, sid):
        self.session.Unlock()

    @dbus.service.method(IFACE, in_signature='ssss', out_signature='h')
    def Inhibit(self, what, who, why, mode):
        # The caller holds the inhibitor as long as it keeps its end open; ours is kept for it.
        r, w = os.pipe()
        self.inhibitors.append(r)
        return dbus.types.UnixFd(w)

    @dbus.service.method(IFACE, out_signature='s')
    def CanSuspend(self):
        return 'na'

    @dbus.service.method(IFACE, out_signature='s')
    def CanPowerOff(self):
        return 'na'

    @dbus.service.method(IFACE, out_signature='s')
    def CanReboot(self):
        return 'na'

    @dbus.service.signal(IFACE, signature='b')
    def PrepareForSleep(self, start):
        pass


class UserVerifier(dbus.service.Object):
    """GDM's reauthentication conversation, on a private connection: asks for the password once
    verification begins; the right one completes it and unlocks the session through logind, as GDM does."""
    IFACE = 'org.gnome.DisplayManager.UserVerifier'

    def __init__(self, conn, session):
        super().__init__(conn, '/org/gnome/DisplayManager/Session')
        self.session = session

    @dbus.service.method(IFACE, in_signature='as')
    def EnableExtensions(self, extensions):
        pass

    @dbus.service.method(IFACE, in_signature='ss')
    def BeginVerificationForUser(self, service, user):
        self.BeginVerification(service)

    @dbus.service.method(IFACE, in_signature='s')
    def BeginVerification(self, service):
        print('verification', service, flush=True)
        self.SecretInfoQuery(service, 'Password:')

    @dbus.service.method(IFACE, in_signature='ss')
    def AnswerQuery(self, service, answer):
        # The lab's password is no secret: what came instead of it tells what the typing lost.
        print('password', 'right' if answer == PASSWORD else 'wrong: %r' % answer, flush=True)
        if answer != PASSWORD:
            self.Problem(service, 'Sorry, that didn\u2019t work. Please try again.')
            self.ConversationStopped(service)
            return
        self.VerificationComplete(service)
        self.session.Unlock()

    @dbus.service.method(IFACE)
    def Cancel(self):
        pass

    @dbus.service.signal(IFACE, signature='ss')
    def SecretInfoQuery(self, service, prompt):
        pass

    @dbus.service.signal(IFACE, signature='ss')
    def Problem(self, service, message):
        pass

    @dbus.service.signal(IFACE, signature='s')
    def ConversationStopped(self, service):
        pass

    @dbus.service.signal(IFACE, signature='s')
    def VerificationComplete(self, service):
        pass


class DisplayManager(Props):
    """GDM: the shell has a screen shield only when GDM (3.5.91 or later) runs, and unlocks through
    its reauthentication channel, a private D-Bus server whose address OpenReauthenticationChannel gives."""
    IFACE = 'org.gnome.DisplayManager.Manager'

    def __init__(self, bus, session):
        super().__init__(bus, '/org/gnome/DisplayManager/Manager', {self.IFACE: {'Version': '43.0'}})
        self.server = dbus.server.Server('unix:tmpdir=' + os.environ['XDG_RUNTIME_DIR'])
        self.verifiers = []
        self.server.on_connection_added.append(lambda conn: self.verifiers.append(UserVerifier(conn, session)))

    @dbus.service.method(IFACE, in_signature='a{sv}')
    def RegisterSession(self, details):
        pass

    @dbus.service.method(IFACE, in_signature='s', out_signature='s')
    def OpenReauthenticationChannel(self, user):
        return self.server.address


class Presence(Props):
    IFACE = 'org.gnome.SessionManager.Presence'

    def __init__(self, bus):
        super().__init__(bus, '/org/gnome/SessionManager/Presence',
                         {self.IFACE: {'status': dbus.UInt32(0), 'status-text': ''}})

    @dbus.service.method(IFACE, in_signature='u')
    def SetStatus(self, status):
        print('Presence status', int(status), flush=True)
        self.props[self.IFACE]['status'] = dbus.UInt32(status)
        self.StatusChanged(dbus.UInt32(status))

    @dbus.service.method(IFACE, in_signature='s')
    def SetStatusText(self, text):
        self.props[self.IFACE]['status-text'] = text
        self.StatusTextChanged(text)

    @dbus.service.signal(IFACE, signature='u')
    def StatusChanged(self, status):
        pass

    @dbus.service.signal(IFACE, signature='s')
    def StatusTextChanged(self, text):
        pass


class Client(dbus.service.Object):
    IFACE = 'org.gnome.SessionManager.ClientPrivate'

    @dbus.service.method(IFACE, in_signature='bs')
    def EndSessionResponse(self, ok, reason):
        pass


class SessionManager(Props):
    IFACE = 'org.gnome.SessionManager'

    def __init__(self, bus):
        super().__init__(bus, '/org/gnome/SessionManager',
                         {self.IFACE: {'SessionIsActive': True, 'InhibitedActions': dbus.UInt32(0),
                                       'SessionName': 'gnome', 'Renderer': ''}})
        self.cookies = {}
        self.clients = []

    @dbus.service.method(IFACE, in_signature='susu', out_signature='u')
    def Inhibit(self, app, xid, reason, flags):
        cookie = len(self.cookies) + 1
        self.cookies[cookie] = int(flags)
        return dbus.UInt32(cookie)

    @dbus.service.method(IFACE, in_signature='u')
    def Uninhibit(self, cookie):
        self.cookies.pop(int(cookie), None)

    @dbus.service.method(IFACE, in_signature='u', out_signature='b')
    def IsInhibited(self, flags):
        return any(f & flags for f in self.cookies.values())

    @dbus.service.method(IFACE, out_signature='ao')
    def GetInhibitors(self):
        return dbus.Array([], signature='o')

    @dbus.service.method(IFACE, in_signature='ss')
    def Setenv(self, name, value):
        pass

    @dbus.service.method(IFACE, in_signature='ss', out_signature='o')
    def RegisterClient(self, app_id, startup_id):
        """gnome-settings-daemon's plugins register; the session never ends here, so the client is never asked."""
        path = '/org/gnome/SessionManager/Client%d' % (len(self.clients) + 1)
        self.clients.append(Client(self.connection, path))
        return dbus.ObjectPath(path)

    @dbus.service.method(IFACE, out_signature='b')
    def CanShutdown(self):
        return False


def main():
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    system = dbus.bus.BusConnection(os.environ['DBUS_SYSTEM_BUS_ADDRESS'])
    # Session 2, another user's on the same seat, comes to the front when activated (a user switch).
    sessions = [Session(system), Session(system, '2', 0, 'root')]
    for session in sessions:
        session.seat = sessions
    keep = sessions[:]
    keep += [Manager(system, keep[0]), Props(system, '/org/freedesktop/login1/user/self', {LOGIN + '.User': {
        'Display': ('1', dbus.ObjectPath(SESSION_PATH)), 'UID': dbus.UInt32(os.getuid()), 'State': 'active',
        'Sessions': dbus.Array([('1', dbus.ObjectPath(SESSION_PATH))], signature='(so)')}})]
    if os.environ.get('LAB_DRM') == '1':
        keep.append(Seat(system))
    # Names last: whoever sees a name may call at once.
    names = [dbus.service.BusName(LOGIN, system)]
    if '--logind-only' not in sys.argv[1:]:
        session = dbus.bus.BusConnection(os.environ['DBUS_SESSION_BUS_ADDRESS'])
        keep += [DisplayManager(system, keep[0]), SessionManager(session), Presence(session)]
        names += [dbus.service.BusName('org.gnome.DisplayManager', system),
                  dbus.service.BusName('org.gnome.SessionManager', session)]
    print('serving', flush=True)
    GLib.MainLoop().run()
    del keep, names


if __name__ == '__main__':
    main()
