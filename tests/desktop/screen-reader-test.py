#!/usr/bin/python3
"""What a screen reader hears of Nemuroa over AT-SPI: short names on the controls, hints as
descriptions, the tab list with its tabs, and the focus moving over the tabs without opening one.
Run by screen-reader-test.sh inside its own D-Bus session, X server and accessibility bus."""
import os
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

program, folder = sys.argv[1], sys.argv[2]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL", what, flush=True)


def wait_for(find, what, seconds=60):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = find()
        if found:
            return found
        GLib.MainContext.default().iteration(False)
        time.sleep(0.05)
    print("FAIL waiting for", what, flush=True)
    sys.exit(1)


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == "nemuroa":
            return app
    return None


def walk(node, found):
    try:
        found.append(node)
        for i in range(node.childCount):
            child = node.getChildAtIndex(i)
            if child is not None:
                walk(child, found)
    except Exception:
        pass
    return found


def by_name(nodes, role, name):
    return [n for n in nodes if n.getRoleName() == role and n.name == name]


environment = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
environment.pop("QT_ACCESSIBILITY", None)
nemuroa = subprocess.Popen([program, "--program-folder", folder], env=environment)
try:
    app = wait_for(application, "the program on the accessibility bus")
    nodes = wait_for(lambda: [n for n in walk(app, []) if n.getRoleName() == "page tab list"] and walk(app, []),
                     "the tab list")

    tab_list = [n for n in nodes if n.getRoleName() == "page tab list"][0]
    check(tab_list.name == "画面の切り替え", "the tab list is named: %r" % tab_list.name)
    tabs = [tab_list.getChildAtIndex(i) for i in range(tab_list.childCount)]
    check(len(tabs) == 17, "seventeen tabs: %d" % len(tabs))
    check([t.name for t in tabs[:3]] == ["メイン画面", "新規作成", "受信"], "tab names: %r" % [t.name for t in tabs[:3]])
    check(tabs[0].getState().contains(pyatspi.STATE_SELECTED), "the first tab is selected")
    actions = [tabs[3].queryAction().getName(i) for i in range(tabs[3].queryAction().nActions)]
    check([a for a in actions if a.lower() == "press"],
          "a tab can be pressed: %r" % actions)

    for name, description in [("終了", "終了します。"), ("最小化", "フォーム（画面）を最小化します。")]:
        buttons = by_name(nodes, "push button", name)
        check(len(buttons) == 1, "one button named %s" % name)
        if buttons:
            check(buttons[0].description == description, "%s describes itself by its hint: %r" % (name, buttons[0].description))
    for name in ["備考", "現在の日時", "Past: 着信 その他", "New（使われていない欄）", "前の月", "次の月"]:
        check([n for n in nodes if n.name == name], "something named %s" % name)
    check(not [n for n in nodes if n.getRoleName() == "push button" and len(n.name) > 30],
          "no button is named by a long hint")

    # The keyboard over the tab strip, as a screen reader user moves: the focus walks, nothing opens.
    focused = []
    pyatspi.Registry.registerEventListener(
        lambda event: event.detail1 and focused.append(event.source.name), "object:state-changed:focused")
    window = subprocess.run(["xdotool", "search", "--name", "^Nemuroa$"], capture_output=True, text=True).stdout.split()
    subprocess.run(["xdotool", "windowfocus", "--sync", window[0]], check=True)
    tabs[0].queryComponent().grabFocus()
    wait_for(lambda: tabs[0].getState().contains(pyatspi.STATE_FOCUSED), "the focus on the first tab")
    subprocess.run(["xdotool", "key", "Right", "Right"], check=True)
    wait_for(lambda: tabs[2].getState().contains(pyatspi.STATE_FOCUSED), "the focus on the receive tab")
    wait_for(lambda: "受信" in focused, "the reader told of the receive tab")
    check(tabs[0].getState().contains(pyatspi.STATE_SELECTED), "passing the receive tab opened nothing")
    check(not tabs[2].getState().contains(pyatspi.STATE_SELECTED), "the receive tab is not opened")
    subprocess.run(["xdotool", "key", "End", "Return"], check=True)
    wait_for(lambda: tabs[16].getState().contains(pyatspi.STATE_SELECTED), "the last tab opened by Return")
finally:
    nemuroa.terminate()
    nemuroa.wait(30)

sys.exit(1 if failures else 0)
