#!/usr/bin/python3
# Prints the AT-SPI events a screen reader acts on, one a line, for SECONDS
# at most: "TYPE|ROLE|NAME|DETAIL1" (only the program's own objects), and at
# the first focus event the program's tree, "tree|ROLE|NAME" a node. Prints
# "ready" once it listens.   Usage: atspi_events.py SECONDS
import sys

import pyatspi
from gi.repository import GLib

EVENTS = ["object:state-changed:showing", "object:property-change:accessible-name", "focus:"]


dumped = False


def dump(node, depth=0):
    for child in node:
        if child is not None and depth < 8:
            print(f"tree|{child.getRoleName()}|{child.name}", flush=True)
            dump(child, depth + 1)


def on_event(event):
    global dumped
    try:
        if event.host_application.name != "vevez":
            return
        source = event.source
        print(f"{event.type}|{source.getRoleName()}|{source.name}|{event.detail1}", flush=True)
        if event.type.startswith("focus") and not dumped:
            dumped = True
            dump(event.host_application)
    except Exception as e:  # an object gone meanwhile
        print(f"error|{e}", flush=True)


pyatspi.Registry.registerEventListener(on_event, *EVENTS)
GLib.timeout_add(int(float(sys.argv[1]) * 1000), pyatspi.Registry.stop)
GLib.idle_add(lambda: print("ready", flush=True))
pyatspi.Registry.start()
