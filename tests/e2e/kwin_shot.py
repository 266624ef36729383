#!/usr/bin/env python3
"""A screenshot of KWin's whole workspace, through its D-Bus screenshot interface, as a PNG.

kwin_shot.py OUT.png: KWin writes the raw pixels into a pipe it is handed and says their size and
layout in its answer; ImageMagick turns them into the picture. Exits 1 with KWin's words if it refuses.
"""
import os
import subprocess
import sys
import threading

import dbus

out = sys.argv[1]
read_end, write_end = os.pipe()
chunks = []
reader = threading.Thread(target=lambda: chunks.extend(iter(lambda: os.read(read_end, 1 << 16), b"")), daemon=True)
reader.start()
try:
    shots = dbus.Interface(dbus.SessionBus().get_object("org.kde.KWin", "/org/kde/KWin/ScreenShot2"),
                           "org.kde.KWin.ScreenShot2")
    answer = shots.CaptureWorkspace(dbus.Dictionary({}, signature="sv"), dbus.types.UnixFd(write_end), timeout=10)
except dbus.DBusException as error:
    sys.exit(f"kwin_shot.py: KWin took no screenshot: {error}")
os.close(write_end)
reader.join(10)  # KWin closes its end once the pixels are written; one that never does is no screenshot
if reader.is_alive():
    sys.exit("kwin_shot.py: KWin answered but wrote no pixels within 10 s")
width, height, stride, layout = (int(answer[k]) for k in ("width", "height", "stride", "format"))
pixels = b"".join(chunks)
if len(pixels) < stride * height:
    sys.exit(f"kwin_shot.py: {len(pixels)} bytes for a {width}x{height} picture (stride {stride})")
# QImage's 32-bit layouts (RGB32, ARGB32, premultiplied) are blue, green, red, alpha in memory.
if layout not in (4, 5, 6):
    sys.exit(f"kwin_shot.py: pixel layout {layout} is not one this script reads")
rows = b"".join(pixels[y * stride:y * stride + width * 4] for y in range(height))
subprocess.run(["convert", "-size", f"{width}x{height}", "-depth", "8", "bgra:-", "-alpha", "off", out],
               input=rows, check=True)
