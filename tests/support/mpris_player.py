#!/usr/bin/python3
# A scripted media player for the tests: it owns org.mpris.MediaPlayer2.NAME on the session bus and
# answers the Player interface's PlaybackStatus and Metadata as a desktop player does, stepping
# through its tracks on a schedule.
#   mpris_player.py NAME STATUS SECONDS 'TITLE|ARTIST|ALBUM' [SECONDS 'TITLE|ARTIST|ALBUM' ...]
# Each track is announced for its SECONDS; the last one until the player is stopped.
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

PLAYER = 'org.mpris.MediaPlayer2.Player'


class Player(dbus.service.Object):
    def __init__(self, bus, status, tracks):
        super().__init__(bus, '/org/mpris/MediaPlayer2')
        self.status = status
        self.tracks = tracks
        self.current = 0

    def metadata(self):
        title, artist, album = self.tracks[self.current][1]
        return dbus.Dictionary({'xesam:title': dbus.String(title),
                                'xesam:artist': dbus.Array([artist], signature='s'),
                                'xesam:album': dbus.String(album),
                                'mpris:length': dbus.Int64(200000000)}, signature='sv')

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature='ss', out_signature='v')
    def Get(self, interface, name):
        return self.GetAll(interface)[name]

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature='s', out_signature='a{sv}')
    def GetAll(self, interface):
        if interface != PLAYER:
            return dbus.Dictionary({}, signature='sv')
        return dbus.Dictionary({'PlaybackStatus': dbus.String(self.status), 'Metadata': self.metadata()},
                               signature='sv')

    def next(self):
        if self.current + 1 < len(self.tracks):
            self.current += 1
            GLib.timeout_add(int(1000 * self.tracks[self.current][0]), self.next)
        return False


def main():
    name, status = sys.argv[1], sys.argv[2]
    rest = sys.argv[3:]
    tracks = [(float(rest[i]), tuple(rest[i + 1].split('|'))) for i in range(0, len(rest), 2)]
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    keep = dbus.service.BusName('org.mpris.MediaPlayer2.' + name, bus)
    player = Player(bus, status, tracks)
    GLib.timeout_add(int(1000 * tracks[0][0]), player.next)
    print('ready', flush=True)
    GLib.MainLoop().run()
    del keep


main()
