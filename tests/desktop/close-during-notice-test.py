#!/usr/bin/python3
"""The window manager's close button pressed while a receive shows a notice is not lost: once the
notice is answered, the program ends. Qt itself drops a close request for a window that a modal box
blocks. Run by screen-reader-test.sh inside its own D-Bus session and X server."""
import ctypes
import os
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

program, folder = sys.argv[1], sys.argv[2]


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


def windows(name):
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", name], capture_output=True, text=True)
    return found.stdout.split()


def receive_tab():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == "nemuroa":
            stack = [app]
            while stack:
                node = stack.pop()
                if node.getRoleName() == "page tab" and node.name == "受信":
                    return node
                stack.extend(c for c in (node.getChildAtIndex(j) for j in range(node.childCount)) if c is not None)
    return None


def press_close_button(window):
    """What a window manager sends when its close button is pressed: WM_DELETE_WINDOW."""
    x = ctypes.cdll.LoadLibrary("libX11.so.6")
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x.XInternAtom.restype = ctypes.c_ulong

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                    ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]

    class Event(ctypes.Union):
        _fields_ = [("client", ClientMessage), ("pad", ctypes.c_long * 24)]

    x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.POINTER(Event)]
    x.XFlush.argtypes = [ctypes.c_void_p]
    x.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = x.XOpenDisplay(None)
    event = Event()
    event.client.type = 33  # ClientMessage
    event.client.window = window
    event.client.message_type = x.XInternAtom(display, b"WM_PROTOCOLS", 0)
    event.client.format = 32
    event.client.data[0] = x.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
    x.XSendEvent(display, window, 0, 0, ctypes.byref(event))
    x.XFlush(display)
    x.XCloseDisplay(display)


# A POP3 server that refuses the connection: the receive of a complete account shows the library's
# error in a box.
with open("vbmail.ini", "wb") as settings:
    settings.write(b"POP3=127.0.0.1:1\r\n")
with open(os.path.join(folder, "★MAilData", "iniIdPass.ini"), "wb") as account:
    account.write(b"[EXEINI]\r\nNAME=taro\r\nNAME2=secret\r\nNAME3=1\r\n")
environment = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
environment.pop("QT_ACCESSIBILITY", None)
nemuroa = subprocess.Popen([program, "--program-folder", folder], env=environment)
try:
    tab = wait_for(receive_tab, "the receive tab")
    main_window = wait_for(lambda: windows("^Nemuroa$"), "the main window")[0]
    extents = tab.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    subprocess.run(["xdotool", "mousemove", str(extents.x + extents.width // 2), str(extents.y + extents.height // 2),
                    "click", "1"], check=True)
    box = wait_for(lambda: windows("^エラー$"), "the receive's error box")[0]

    press_close_button(int(main_window))
    subprocess.run(["xdotool", "windowfocus", "--sync", box], check=True)
    subprocess.run(["xdotool", "key", "Return"], check=True)
    try:
        nemuroa.wait(30)
    except subprocess.TimeoutExpired:
        print("FAIL the close request made while the box was up was lost", flush=True)
        sys.exit(1)
finally:
    if nemuroa.poll() is None:
        nemuroa.terminate()
        nemuroa.wait(30)
sys.exit(0)
