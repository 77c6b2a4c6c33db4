#!/usr/bin/python3
"""The screen reader's side of a11y_bench.

Listens to every accessibility event of the application with process id PID and
reads the name of each event's source, as a screen reader does (listening makes
the application send them), and asks the
application a simple question (its accessible name) every 10 ms over the
accessibility bus, timing each answer. Prints "ready" once the application is
found. Commands on stdin: "phase NAME" tags the answers that follow; "quit"
prints one line per phase and exits (events: those the listener had read):
    phase NAME answers N longest MS median MS p99 MS events N
Usage: a11y_probe.py PID
"""
import os
import sys
import threading
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, Gio, GLib  # noqa: E402

ROOT = "/org/a11y/atspi/accessible/root"
pid = int(sys.argv[1])
session = Gio.bus_get_sync(Gio.BusType.SESSION, None)
address = session.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress",
                            None, GLib.VariantType("(s)"), 0, 10000, None).unpack()[0]
# A connection of its own: the answer is not queued behind the events that the
# listener's connection is still reading.
bus = Gio.DBusConnection.new_for_address_sync(
    address,
    Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION,
    None, None)


def call(dest, path, iface, method, args, timeout=30000):
    return bus.call_sync(dest, path, iface, method, args, None, 0, timeout, None).unpack()


def find_application():
    children = call("org.a11y.atspi.Registry", ROOT, "org.a11y.atspi.Accessible", "GetChildren",
                    None)[0]
    for name, _path in children:
        owner = call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                     "GetConnectionUnixProcessID", GLib.Variant("(s)", (name,)))[0]
        if owner == pid:
            return name
    return None


application = None
phase = "start"
answers = {}
events = {}
order = []


def enter(name):
    global phase
    phase = name
    if name not in answers:
        answers[name] = []
        events[name] = 0
        order.append(name)


def on_event(event):
    events[phase] = events.get(phase, 0) + 1
    # A screen reader reads what changed: one more question per event.
    try:
        event.source.get_name()
    except GLib.Error:
        pass


def ask():
    # A thread of its own: the questions keep their pace while the main loop
    # works through a backlog of events.
    while not stopping.is_set():
        started = time.monotonic()
        call(application, ROOT, "org.freedesktop.DBus.Properties", "Get",
             GLib.Variant("(ss)", ("org.a11y.atspi.Accessible", "Name")))
        answers.setdefault(phase, []).append((time.monotonic() - started) * 1000.0)
        time.sleep(0.01)


def report():
    for name in order:
        ms = sorted(answers[name])
        if not ms:
            print(f"phase {name} answers 0 events {events[name]}")
            continue
        p99 = ms[min(len(ms) - 1, int(len(ms) * 0.99))]
        print(f"phase {name} answers {len(ms)} longest {ms[-1]:.1f} median {ms[len(ms) // 2]:.1f}"
              f" p99 {p99:.1f} events {events[name]}", flush=True)


def read_commands():
    # Also a thread of its own, so that a phase starts when the bench says so.
    for line in sys.stdin:
        if line.startswith("phase "):
            enter(line.split()[1])
        elif line.startswith("quit"):
            break
    stopping.set()
    asker.join()
    report()
    os._exit(0)


enter("start")
while application is None:
    application = find_application()
    time.sleep(0.1)
listener = Atspi.EventListener.new(on_event)
for kind in ("object:", "window:", "focus:"):
    listener.register(kind)
stopping = threading.Event()
asker = threading.Thread(target=ask)
asker.start()
print("ready", flush=True)
threading.Thread(target=read_commands, daemon=True).start()
Atspi.event_main()
