#!/usr/bin/env python3
"""Times programs on an X display by the windows they map, for scripts/benchmark-update.

  x11-timing.py startup PROGRAM [ARG...]
                                       ms from start to the first frame of its window shown
  x11-timing.py update UPDATER FIFO    ms from the click on "Şimdi Güncelle" to the started
                                       program's line in FIFO; the completion box is answered
                                       as soon as it is mapped
  x11-timing.py update-windows UPDATER.EXE TITLE
                                       the same under Wine, to the started program's window
                                       titled TITLE
  x11-timing.py update-until UPDATER TITLE [ARG...]
                                       the same for a program of this system (under Wine when
                                       UPDATER ends in .exe), started with ARGs
  x11-timing.py continue LOG same|new UPDATER TITLE [ARG...]
                                       a download cut by the network: the error box and the
                                       cancel box are answered, LOG (the server's) is emptied,
                                       and the update is started again in the same window or,
                                       after "Kapat", in a new run; ms from that click on as
                                       update-until
"""
import ctypes
import os
import subprocess
import sys
import time

MAP_NOTIFY = 19
SUBSTRUCTURE_NOTIFY_MASK = 1 << 19

x11 = ctypes.CDLL("libX11.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XDefaultRootWindow.restype = ctypes.c_ulong
x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x11.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
x11.XFlush.argtypes = [ctypes.c_void_p]
x11.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
x11.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_char_p)]
x11.XGetImage.restype = ctypes.c_void_p
x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                          ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
Z_PIXMAP = 2
ALL_PLANES = 0xFFFFFFFF


def title_text(raw):
    """WM_NAME's text: UTF-8 where the program set UTF8_STRING (Wine), else STRING, Latin-1 (Qt)."""
    try:
        return raw.decode("utf-8")
    except UnicodeDecodeError:
        return raw.decode("latin-1")


class Display:
    def __init__(self):
        self.handle = x11.XOpenDisplay(None)
        if not self.handle:
            sys.exit("x11-timing: no display")
        x11.XSelectInput(self.handle, x11.XDefaultRootWindow(self.handle), SUBSTRUCTURE_NOTIFY_MASK)
        x11.XFlush(self.handle)

    def next_mapped(self):
        """The id and title of the next top-level window mapped."""
        event = ctypes.create_string_buffer(192)
        while True:
            x11.XNextEvent(self.handle, event)
            if int.from_bytes(event.raw[0:4], "little") == MAP_NOTIFY:
                window = int.from_bytes(event.raw[40:48], "little")
                name = ctypes.c_char_p()
                x11.XFetchName(self.handle, window, ctypes.byref(name))
                return window, title_text(name.value or b"")

    def pixel(self, window, x, y):
        """The colour of one pixel of a window as the screen shows it (0 before any drawing)."""
        image = x11.XGetImage(self.handle, window, x, y, 1, 1, ALL_PLANES, Z_PIXMAP)
        if not image:
            return 0
        data = ctypes.cast(ctypes.c_void_p.from_address(image + 16).value, ctypes.POINTER(ctypes.c_uint32))
        return data[0] & 0xFFFFFF

    def first_frame(self, window):
        """Waits until the window's first frame is on the screen: its corner is no longer black."""
        while self.pixel(window, 2, 2) == 0:
            time.sleep(0.0005)


def startup(command):
    display = Display()
    start = time.monotonic()
    process = subprocess.Popen(command, stderr=subprocess.DEVNULL)
    window, _ = display.next_mapped()
    display.first_frame(window)
    elapsed = time.monotonic() - start
    process.kill()
    process.wait()
    print(f"{elapsed * 1000:.1f}")


def mapped(display, wanted):
    """The next top-level window mapped with the title `wanted`."""
    while True:
        window, title = display.next_mapped()
        if title == wanted:
            return window


def start_updater(display, updater, arguments):
    """The updater's process and its window, drawn: a click before that can be lost."""
    command = (["wine"] if updater.endswith(".exe") else []) + [updater] + arguments
    process = subprocess.Popen(command, stderr=subprocess.DEVNULL)
    window = mapped(display, "Velkora Lirvane Güncelleme")
    display.first_frame(window)
    return process, window


def click(window, x, y):
    subprocess.run(["xdotool", "mousemove", "--window", str(window), str(x), str(y), "click", "1"], check=True)


def key(window, name):
    subprocess.run(["xdotool", "windowfocus", "--sync", str(window), "key", name], check=True)


# "Şimdi Güncelle" lies at 8,104 and "Kapat" at 256,104, each 113 x 49, in the window.
UPDATE_BUTTON = (64, 128)
CLOSE_BUTTON = (312, 128)


def update(updater, fifo=None, started_title=None, arguments=(), cut=None):
    display = Display()
    process, window = start_updater(display, updater, list(arguments))
    if cut:
        log, again = cut
        click(window, *UPDATE_BUTTON)
        # The download error, in a box with the application's name: the Win32 window's is fixed,
        # Qt's is the program's file name.
        box = "updatelirvane" if updater.endswith(".exe") else os.path.basename(updater)
        key(mapped(display, box), "Return")
        key(window, "Escape")  # " İptal"
        key(mapped(display, "Velkora"), "Return")
        open(log, "w").close()
        if again == "new":
            click(window, *CLOSE_BUTTON)
            process.wait()
            process, window = start_updater(display, updater, list(arguments))
    start = time.monotonic()
    click(window, *UPDATE_BUTTON)
    key(mapped(display, "Velkora"), "Return")
    if started_title:
        mapped(display, started_title)
    else:
        with open(fifo) as started:
            started.readline()
    elapsed = time.monotonic() - start
    process.wait()
    print(f"{elapsed * 1000:.1f}")


if __name__ == "__main__":
    if len(sys.argv) >= 3 and sys.argv[1] == "startup":
        startup(sys.argv[2:])
    elif len(sys.argv) == 4 and sys.argv[1] == "update":
        update(sys.argv[2], fifo=sys.argv[3])
    elif len(sys.argv) == 4 and sys.argv[1] == "update-windows":
        update(sys.argv[2], started_title=sys.argv[3])
    elif len(sys.argv) >= 4 and sys.argv[1] == "update-until":
        update(sys.argv[2], started_title=sys.argv[3], arguments=sys.argv[4:])
    elif len(sys.argv) >= 6 and sys.argv[1] == "continue" and sys.argv[3] in ("same", "new"):
        update(sys.argv[4], started_title=sys.argv[5], arguments=sys.argv[6:], cut=(sys.argv[2], sys.argv[3]))
    else:
        sys.exit(__doc__)
