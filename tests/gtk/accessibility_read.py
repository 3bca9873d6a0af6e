#!/usr/bin/python3
"""Reads the desktop window back through the accessibility API (AT-SPI), as
a screen reader does.  Run inside a session bus of its own
(dbus-run-session), on the display in DISPLAY:

    accessibility_read.py RASTREL FOLDER

Starts RASTREL --window in FOLDER, finds its text area in the accessibility
tree, and prints what it finds, one fact a line:

    name: the area's accessible name
    role: its role name
    menu: yes when its text holds the menu
    caret: the caret's offset, and the text's length
    converted: yes when, after 1 and Enter typed with xdotool, a converted
               file's line ("Writing TIFF file 5") has appeared in the text
    events: yes when text changes were reported as events
"""
import os
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

MENU = "1 - Convert scan file to TIFF."


def wait_for(condition, seconds=20.0):
    """Waits for condition, delivering the accessibility events meanwhile."""
    deadline = time.monotonic() + seconds
    context = GLib.MainContext.default()
    while time.monotonic() < deadline:
        while context.iteration(False):
            pass
        value = condition()
        if value:
            return value
        time.sleep(0.05)
    return condition()


def find_area(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is None:
            continue
        try:
            if app.get_process_id() != pid:
                continue
        except Exception:
            continue
        found = pyatspi.findDescendant(app, lambda a: a is not None and a.getRole() == pyatspi.ROLE_TERMINAL)
        if found is not None:
            return found
    return None


def text_of(area):
    text = area.queryText()
    return text.getText(0, -1)


def main():
    program, folder = sys.argv[1], sys.argv[2]
    env = dict(os.environ)
    env.pop("NO_AT_BRIDGE", None)
    child = subprocess.Popen([program, "--window"], cwd=folder, env=env, stdin=subprocess.DEVNULL,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    events = []

    def on_event(event):
        events.append(event.type)

    try:
        area = wait_for(lambda: find_area(child.pid))
        if area is None:
            print("no accessible text area")
            return 1
        print("name: " + area.name)
        print("role: " + area.getRoleName())
        print("menu: " + ("yes" if wait_for(lambda: MENU in text_of(area)) else "no: " + repr(text_of(area))))
        text = area.queryText()
        print("caret: %d of %d" % (text.caretOffset, text.characterCount))

        pyatspi.Registry.registerEventListener(on_event, "object:text-changed")
        wait_for(lambda: False, 0.5)   # the listener reaches the program
        window = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Vellomex Text Window$"],
                                capture_output=True, text=True).stdout.split()
        if window:
            subprocess.run(["xdotool", "windowfocus", "--sync", window[0], "type", "1"])
            subprocess.run(["xdotool", "windowfocus", "--sync", window[0], "key", "Return"])

        def converted():
            return "Writing TIFF file 5" in text_of(area)

        print("converted: " + ("yes" if wait_for(converted, 60) else "no: " + repr(text_of(area))))
        wait_for(lambda: events, 5)
        print("events: " + ("yes" if events else "no"))
        return 0
    finally:
        child.kill()
        child.wait()


if __name__ == "__main__":
    sys.exit(main())
