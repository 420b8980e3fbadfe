#!/usr/bin/python3
"""Walks the panel's window as a screen reader does (AT-SPI through pyatspi), prints the tree,
and checks that the link lamp is reached with the link's state in words and that the lists are
known by their labels. Exit 0 when all holds; waits up to the given seconds for the window."""
import sys
import time

import pyatspi

APP = "qevntpnl"
deadline = time.monotonic() + float(sys.argv[1] if len(sys.argv) > 1 else 20)


def frame():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == APP:
            for window in app:
                if window is not None and window.name.startswith("QEV Zozudo"):
                    return window
    return None


def walk(node, depth=0, lines=None, found=None):
    """Every object reached by going down from the window, each printed on a line."""
    lines = [] if lines is None else lines
    found = [] if found is None else found
    found.append(node)
    desc = f" - {node.description}" if node.description else ""
    lines.append(f"{'  ' * depth}[{node.getRoleName()}] '{node.name}'{desc}")
    # The open lists' thousands of entries say nothing about the window's shape.
    if node.getRole() == pyatspi.ROLE_LIST:
        lines.append(f"{'  ' * (depth + 1)}({node.childCount} entries)")
        return lines, found
    for child in node:
        if child is not None:
            walk(child, depth + 1, lines, found)
    return lines, found


def lamp_says_link_up(nodes):
    lamps = [n for n in nodes if n.name == "Link state"]
    return lamps and lamps[0].description.startswith("Switcher link up: 127.0.0.1:")


window = frame()
while time.monotonic() < deadline:
    window = frame()
    if window is not None and lamp_says_link_up(walk(window)[1]):
        break
    time.sleep(0.2)
if window is None:
    sys.exit("FAIL: no window of qevntpnl on the accessibility bus")

lines, nodes = walk(window)
faults = []

lamps = [n for n in nodes if n.name == "Link state"]
if not lamps:
    faults.append("the link lamp is not reached from the window")
else:
    lamp = lamps[0]
    if not lamp.description.startswith("Switcher link up: 127.0.0.1:"):
        faults.append(f"the lamp says '{lamp.description}' with the link up")
    if lamp.getIndexInParent() < 0:
        faults.append("the lamp is not among its parent's children")
    if lamp.getState().contains(pyatspi.STATE_FOCUSABLE):
        faults.append("the lamp takes the keyboard focus")

for label in ("Console", "Source"):
    lists = [n for n in nodes if n.getRole() == pyatspi.ROLE_COMBO_BOX and n.name == label]
    if not lists:
        faults.append(f"no list named '{label}'")
        continue
    by = [t.name for r in lists[0].getRelationSet()
          if r.getRelationType() == pyatspi.RELATION_LABELLED_BY
          for t in (r.getTarget(i) for i in range(r.getNTargets()))]
    if by != [label]:
        faults.append(f"the '{label}' list is labelled by {by}")
    # The chosen entry (simulator: console 5 and source 3 chosen in the ini) is heard too.
    text = lists[0].queryText()
    chosen = text.getText(0, text.characterCount)
    if not chosen.endswith("[005]" if label == "Console" else "[0003]"):
        faults.append(f"the '{label}' list's chosen entry reads '{chosen}'")
    lines.append(f"chosen in '{label}': '{chosen}'")

print("\n".join(lines))
for fault in faults:
    print("FAIL:", fault)
sys.exit(1 if faults else 0)
