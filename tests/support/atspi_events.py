#!/usr/bin/python3
# For SECONDS: "ready", then the program's AT-SPI events "TYPE|ROLE|NAME|DETAIL1" (a value
# change: the new value)
# and, at the first focus in each of its windows, that window's tree "tree|ROLE|NAME"
# (a table adds "table|COLUMN NAME|...").  Usage: atspi_events.py SECONDS
import sys
import pyatspi
from gi.repository import GLib

def dump(node, depth=0):
    for child in (c for c in node if c is not None and depth < 8):
        print(f"tree|{child.getRoleName()}|{child.name}", flush=True)
        if child.getRoleName() == "table":
            table = child.queryTable()
            names = (table.getColumnDescription(i) for i in range(table.nColumns))
            print("table|" + "|".join(names), flush=True)
        dump(child, depth + 1)

def window_of(node):
    while node.parent is not None and node.parent.getRoleName() != "application":
        node = node.parent
    return node

def on_event(event, dumped=set()):
    try:
        if event.host_application.name == "vevez":
            detail = event.source.queryValue().currentValue if "value" in event.type else event.detail1
            print(f"{event.type}|{event.source.getRoleName()}|{event.source.name}|{detail}", flush=True)
            window = window_of(event.source)
            if event.type.startswith("focus") and window.name not in dumped:
                dumped.add(window.name)
                print(f"tree|{window.getRoleName()}|{window.name}", flush=True)
                dump(window)
    except Exception as e:  # an object gone meanwhile
        print(f"error|{e}", flush=True)

EVENTS = ["object:state-changed:showing", "focus:", "object:property-change:accessible-name",  # names refresh the cache
          "object:property-change:accessible-value"]
pyatspi.Registry.registerEventListener(on_event, *EVENTS)
GLib.timeout_add(int(float(sys.argv[1]) * 1000), pyatspi.Registry.stop)
GLib.idle_add(lambda: print("ready", flush=True))
pyatspi.Registry.start()
