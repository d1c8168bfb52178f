#!/usr/bin/env python3
"""Checks the layers of the source tree from its includes.

Usage: check_layers.py SOURCE_DIR QT_WIDGETS_INCLUDE_DIR

Fails (exit 1, naming file and line) when
- a widget-free core includes a window, window support or any Qt Widgets
  header,
- window support includes a window,
- the command line or the simulator includes window support or a window,
- any folder includes a folder it may not, or the folders' includes form a
  cycle.
"""
import os
import re
import sys

CORES = ["protocol", "video", "discovery", "encoder", "image", "settingsfile", "network", "lens", "diagnostics",
         "site"]
# What each folder may include besides itself.
ALLOWED = {
    "protocol": set(),
    "video": {"protocol"},
    "discovery": {"protocol"},
    "encoder": {"protocol"},
    "image": {"protocol"},
    "settingsfile": {"protocol", "encoder", "image"},
    "network": {"protocol"},
    "lens": {"protocol"},
    "diagnostics": {"protocol"},
    "site": {"protocol", "video", "discovery", "encoder", "image", "settingsfile"},
    "windowsupport": set(CORES),
    "app": set(CORES) | {"windowsupport"},
    "cli": set(CORES),
    "sim": set(CORES),
}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def widget_headers(qt_widgets_dir):
    names = {"QtWidgets", "QtWidgets/QtWidgets"}
    for entry in os.listdir(qt_widgets_dir):
        if not entry.endswith(".h") and entry[:1] == "Q":
            names.add(entry)
            names.add("QtWidgets/" + entry)
    return names


def sources(root, folder):
    for directory, _, files in os.walk(os.path.join(root, folder)):
        for name in sorted(files):
            if name.endswith((".h", ".cpp")):
                yield os.path.join(directory, name)


def find_cycle(edges):
    """A cycle of folders as a list, or None."""
    state = {}

    def visit(node, path):
        state[node] = "open"
        for nxt in sorted(edges.get(node, ())):
            if state.get(nxt) == "open":
                return path[path.index(nxt):] + [nxt]
            if nxt not in state:
                cycle = visit(nxt, path + [nxt])
                if cycle:
                    return cycle
        state[node] = "done"
        return None

    for node in sorted(edges):
        if node not in state:
            cycle = visit(node, [node])
            if cycle:
                return cycle
    return None


def main():
    root, qt_widgets_dir = sys.argv[1], sys.argv[2]
    widgets = widget_headers(qt_widgets_dir)
    problems = []
    edges = {}
    for folder in ALLOWED:
        for path in sources(root, folder):
            relative = os.path.relpath(path, root)
            with open(path, encoding="utf-8", errors="replace") as source:
                for number, line in enumerate(source, 1):
                    match = INCLUDE.match(line)
                    if not match:
                        continue
                    bracket, name = match.groups()
                    where = "%s:%d" % (relative, number)
                    if bracket == "<" and folder in CORES and name in widgets:
                        problems.append("%s: the widget-free folder %s includes <%s>" % (where, folder, name))
                    if bracket != '"' or "/" not in name:
                        continue
                    target = name.split("/", 1)[0]
                    if target == folder or target not in ALLOWED:
                        continue
                    edges.setdefault(folder, set()).add(target)
                    if target not in ALLOWED[folder]:
                        problems.append("%s: %s may not include %s (\"%s\")" % (where, folder, target, name))
    cycle = find_cycle(edges)
    if cycle:
        problems.append("the folders include each other in a circle: " + " -> ".join(cycle))
    for problem in problems:
        print(problem)
    if problems:
        return 1
    print("layers hold: %d folders" % len(ALLOWED))
    return 0


if __name__ == "__main__":
    sys.exit(main())
