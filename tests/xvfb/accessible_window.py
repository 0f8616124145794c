#!/usr/bin/env python3
"""What a screen reader finds in the program's window, read through AT-SPI on
the session bus the caller set up (as Orca reads it).

  accessible_window.py names     one line per window, text box and button:
                                 role, name, key binding, "labelled by" names
  accessible_window.py tooltip   the text of the tooltip shown, once one is

Waits up to ten seconds for the program to appear (and for a tooltip).
"""
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

APPLICATION = "Tessarin"
READ = {"text", "push button"}  # and the windows


def application():
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        child = desktop.get_child_at_index(i)
        if child is not None and child.get_name() == APPLICATION:
            return child
    return None


def descendants(node):
    yield node
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is not None:
            yield from descendants(child)


def labels_of(node):
    names = []
    for relation in node.get_relation_set():
        if relation.get_relation_type() == Atspi.RelationType.LABELLED_BY:
            names += [relation.get_target(i).get_name() for i in range(relation.get_n_targets())]
    return ",".join(names)


def key_binding(node):
    if "Action" not in node.get_interfaces() or Atspi.Action.get_n_actions(node) == 0:
        return ""
    return Atspi.Action.get_key_binding(node, 0)


def names(app):
    lines = []
    for node in descendants(app):
        role = node.get_role_name()
        if role in READ or node.get_parent() == app:
            lines.append("\t".join([role, node.get_name(), key_binding(node), labels_of(node)]))
    return lines


def tooltip(app):
    for node in descendants(app):
        if node.get_role_name() == "tool tip":
            return [node.get_name()]
    return []


def main():
    read = {"names": names, "tooltip": tooltip}[sys.argv[1]]
    for _ in range(100):
        app = application()
        lines = read(app) if app is not None else []
        if lines:
            print("\n".join(lines))
            return 0
        time.sleep(0.1)
    print(f"nothing read: {APPLICATION} is not on the accessibility bus", file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())
