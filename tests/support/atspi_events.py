#!/usr/bin/python3
# For SECONDS: "ready", then the program's AT-SPI events "TYPE|ROLE|NAME|DETAIL1"
# and, at its first focus event, its tree "tree|ROLE|NAME".  Usage: atspi_events.py SECONDS
import sys
import pyatspi
from gi.repository import GLib

def dump(node, depth=0):
    for child in (c for c in node if c is not None and depth < 8):
        print(f"tree|{child.getRoleName()}|{child.name}", flush=True)
        dump(child, depth + 1)

def on_event(event, dumped=[]):
    try:
        if event.host_application.name == "vevez":
            print(f"{event.type}|{event.source.getRoleName()}|{event.source.name}|{event.detail1}", flush=True)
            if event.type.startswith("focus") and not dumped:
                dumped.append(dump(event.host_application))
    except Exception as e:  # an object gone meanwhile
        print(f"error|{e}", flush=True)

EVENTS = ["object:state-changed:showing", "focus:", "object:property-change:accessible-name"]  # names refresh the cache
pyatspi.Registry.registerEventListener(on_event, *EVENTS)
GLib.timeout_add(int(float(sys.argv[1]) * 1000), pyatspi.Registry.stop)
GLib.idle_add(lambda: print("ready", flush=True))
pyatspi.Registry.start()
