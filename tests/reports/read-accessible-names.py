#!/usr/bin/python3
"""Reads a running program's accessibility tree over AT-SPI, as a screen reader does: prints the
accessible name of every object whose name starts with one of the prefixes, one per line, once
each prefix is found (or after the time allowed, with what was found).

Usage: read-accessible-names.py PID SECONDS PREFIX...
Exit codes: 0 every prefix found, 1 not all found, 3 AT-SPI cannot be used here."""
import sys
import time

try:
    import gi

    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi
except (ImportError, ValueError) as error:
    print(f"no AT-SPI client library: {error}", file=sys.stderr)
    sys.exit(3)

# Tables list every cell as a child; what is sought is never inside one.
SKIPPED_ROLES = {Atspi.Role.TABLE, Atspi.Role.TREE_TABLE, Atspi.Role.TABLE_CELL, Atspi.Role.LIST}


def application(pid):
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        try:
            if app is not None and app.get_process_id() == pid:
                return app
        except gi.repository.GLib.Error:
            continue
    return None


def names_under(node, prefixes, found, depth=0):
    if node is None or depth > 40:
        return
    try:
        name = node.get_name() or ""
        role = node.get_role()
        count = node.get_child_count()
    except gi.repository.GLib.Error:
        return
    if any(name.startswith(p) for p in prefixes):
        found.append(name)
    if role in SKIPPED_ROLES:
        return
    for i in range(count):
        try:
            child = node.get_child_at_index(i)
        except gi.repository.GLib.Error:
            continue
        names_under(child, prefixes, found, depth + 1)


def main():
    pid, seconds, prefixes = int(sys.argv[1]), float(sys.argv[2]), sys.argv[3:]
    deadline = time.monotonic() + seconds
    found = []
    while True:
        app = application(pid)
        found = []
        if app is not None:
            names_under(app, prefixes, found)
        if all(any(n.startswith(p) for n in found) for p in prefixes) or time.monotonic() > deadline:
            break
        time.sleep(0.2)  # the program registers with the bus when it gets to it
    for name in found:
        print(name)
    if app is None:
        print(f"no application with process id {pid} on the accessibility bus", file=sys.stderr)
    return 0 if all(any(n.startswith(p) for n in found) for p in prefixes) else 1


if __name__ == "__main__":
    sys.exit(main())
