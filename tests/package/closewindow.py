#!/usr/bin/python3
"""Asks an X window to close as a window manager's close button does: a WM_DELETE_WINDOW message.
   closewindow.py <window id>
Fails when the window does not take part in that protocol (it could then only be destroyed)."""
import sys

from Xlib import X, display, protocol

screen = display.Display()
window = screen.create_resource_object("window", int(sys.argv[1], 0))
delete = screen.intern_atom("WM_DELETE_WINDOW")
if delete not in (window.get_wm_protocols() or []):
    sys.exit(f"closewindow: window {sys.argv[1]} does not accept WM_DELETE_WINDOW")
window.send_event(protocol.event.ClientMessage(
    window=window, client_type=screen.intern_atom("WM_PROTOCOLS"),
    data=(32, [delete, X.CurrentTime, 0, 0, 0])))
screen.sync()
