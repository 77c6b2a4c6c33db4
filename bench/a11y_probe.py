#!/usr/bin/python3
"""The screen reader's side of a11y_bench.

Listens to every accessibility event of the application with process id PID and
reads the name of each event's source, as a screen reader does (listening makes
the application send them), and asks the
application a simple question (its accessible name) every 10 ms over the
accessibility bus, timing each answer. Prints "ready" once the application is
found. It also asks, every 10 ms from the listener's own loop and connection,
a question a screen reader would (the application's attributes), timing it from
when it was due: that wait includes the events queued before it.
Commands on stdin: "phase NAME" tags the answers that follow; "quit" prints one
line per phase and exits (events: those the listener had read):
    phase NAME answers N longest MS median MS p99 MS events N; as a reader N longest MS ...
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
reader = {}  # the same question on the listener's connection, from its main loop
events = {}
order = []


def enter(name):
    global phase
    phase = name
    if name not in answers:
        answers[name] = []
        reader[name] = []
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


def ask_as_reader():
    # Due every 10 ms; a late start counts, since a screen reader answers its
    # user only after the events it has queued before the question.
    global due
    accessible.get_attributes()
    reader.setdefault(phase, []).append((time.monotonic() - due) * 1000.0)
    due = time.monotonic() + 0.010
    return True


def figures(samples):
    ms = sorted(samples)
    if not ms:
        return "0"
    p99 = ms[min(len(ms) - 1, int(len(ms) * 0.99))]
    return f"{len(ms)} longest {ms[-1]:.1f} median {ms[len(ms) // 2]:.1f} p99 {p99:.1f}"


def report():
    for name in order:
        print(f"phase {name} answers {figures(answers[name])} events {events[name]};"
              f" as a reader {figures(reader[name])}", flush=True)


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
desktop = Atspi.get_desktop(0)
accessible = None
while accessible is None:
    for i in range(desktop.get_child_count()):
        child = desktop.get_child_at_index(i)
        if child is not None and child.get_process_id() == pid:
            accessible = child
listener = Atspi.EventListener.new(on_event)
for kind in ("object:", "window:", "focus:"):
    listener.register(kind)
stopping = threading.Event()
asker = threading.Thread(target=ask)
asker.start()
due = time.monotonic() + 0.010
GLib.timeout_add(10, ask_as_reader)
print("ready", flush=True)
threading.Thread(target=read_commands, daemon=True).start()
Atspi.event_main()
