# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
"""A DNS-SD client as a phone app would be: browses for the service type for a while, resolves
every instance found, optionally pairs with each, and prints the result as JSON.

Usage: browse.py SECONDS [PAIRING_CODE]
       browse.py --publish NAME SECONDS   (holds an instance NAME of the type meanwhile)
"""
import json
import socket
import sys
import time

from zeroconf import ServiceBrowser, ServiceInfo, ServiceListener, Zeroconf

SERVICE_TYPE = "_zoduvived._tcp.local."


class Collector(ServiceListener):
    def __init__(self):
        self.names = set()

    def add_service(self, zc, type_, name):
        self.names.add(name)

    def update_service(self, zc, type_, name):
        self.names.add(name)

    def remove_service(self, zc, type_, name):
        self.names.discard(name)


def publish(name, seconds):
    zc = Zeroconf()
    try:
        zc.register_service(ServiceInfo(SERVICE_TYPE, name, port=9, server="phone.local.",
                                        addresses=[socket.inet_aton("192.0.2.2")]))
        print("published", flush=True)
        time.sleep(seconds)
    finally:
        zc.close()


def main():
    if sys.argv[1] == "--publish":
        publish(sys.argv[2], float(sys.argv[3]))
        return
    seconds = float(sys.argv[1])
    code = sys.argv[2] if len(sys.argv) > 2 else None
    zc = Zeroconf()
    try:
        collector = Collector()
        ServiceBrowser(zc, SERVICE_TYPE, collector)
        time.sleep(seconds)
        found = []
        for name in sorted(collector.names):
            info = zc.get_service_info(SERVICE_TYPE, name, timeout=3000)
            if info is None:
                continue
            entry = {"name": name, "port": info.port, "addresses": info.parsed_addresses(),
                     "txt": {k.decode(): (v.decode() if v else v) for k, v in info.properties.items()}}
            v4 = [a for a in entry["addresses"] if ":" not in a]
            if code and v4:
                try:
                    with socket.create_connection((v4[0], info.port), timeout=3) as s:
                        s.sendall(b"PAIR:" + code.encode())
                        entry["reply"] = s.recv(256).decode()
                except OSError as error:  # an instance that is not a server at all
                    entry["reply"] = str(error)
            found.append(entry)
        print(json.dumps(found))
    finally:
        zc.close()


if __name__ == "__main__":
    main()
