#!/usr/bin/env python3
"""Opens catalogues of the realistic tree (gencat.py) in the real program under a virtual display
and a window manager, beside an empty start and the floor (floor.c: the program's system calls for
the same work, on one thread), and uses the window as a user would. Run it through run.sh; see
README "Benchmarks".

Measured from outside the process (X server, /proc), in ms:
  shown      the spawn until the first Expose of the main window
  menus      the spawn until the popup of its first menu maps, clicked as soon as it is shown
  on screen  the spawn until the project rows on screen last changed (their pixels, read back from
             the X server every 10 ms until the fill is over): the shown category's statuses drawn
  stalls     the longest reply to _NET_WM_PING (sent every 10 ms; every 2 ms right after a key)
             per phase: open (first Expose until filled), refresh (the window activated again
             after another window had the focus), categories (Down in the category list),
             filter (全カテゴリー ticked, keys typed and erased, unticked), delete (a project
             deleted, its confirmation answered); the longest of a start is told apart
             into what the window's thread did meanwhile (/proc schedstat, /proc/stat, sampled
             every 10 ms): ran, waited for a core, the host's steal of the machine's processors,
             and the rest, asleep (blocked)
  key        a key press until the event loop is free again: the last late ping reply after it,
             before three prompt ones
  delete     also until the catalogue on disk was replaced (the new file's ctime, set by the
             rename): the loop answers pings while the write runs, and keys wait for it; beside
             the floor of a change (floor --rewrite: the same bytes written, fsync'ed, renamed),
             run right after it
  close      WM_DELETE_WINDOW (nothing left to save) until the window is gone / the process ended
  memory     VmHWM when filled, minus the empty start's; per project
From the program's own trace (ZARUN_TRACE), and labelled so: "filled", the moment every row's
executable is known (the end of the open and of the refresh phases).
"""
import argparse
import ctypes
import ctypes.util
import glob
import json
import os
import platform
import select
import shutil
import statistics
import subprocess
import sys
import time
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import gencat  # noqa: E402

MS = 1e6
VERBOSE = bool(os.environ.get("BENCH_VERBOSE"))

# ---- X ----------------------------------------------------------------------------------------


class XEvent(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("l", ctypes.c_long * 24)]


class XWindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int), ("height", ctypes.c_int),
                ("border_width", ctypes.c_int), ("depth", ctypes.c_int), ("visual", ctypes.c_void_p),
                ("root", ctypes.c_ulong), ("c_class", ctypes.c_int), ("bit_gravity", ctypes.c_int),
                ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int),
                ("backing_planes", ctypes.c_ulong), ("backing_pixel", ctypes.c_ulong),
                ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong), ("map_installed", ctypes.c_int),
                ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
                ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]


class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int)]


EXPOSE, CREATE, DESTROY, UNMAP, MAP, REPARENT, CLIENT_MESSAGE = 12, 16, 17, 18, 19, 21, 33
EXPOSURE_MASK, STRUCTURE_NOTIFY_MASK = 1 << 15, 1 << 17
SUBSTRUCTURE_NOTIFY_MASK, SUBSTRUCTURE_REDIRECT_MASK = 1 << 19, 1 << 20
XY_PIXMAP = 1
IS_VIEWABLE = 2


class X:
    """One connection to the display: the events of every top-level window, pings and input."""

    def __init__(self):
        self.lib = lib = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        self.tst = ctypes.CDLL(ctypes.util.find_library("Xtst") or "libXtst.so.6")
        vp, ul, ci = ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int
        ulp = ctypes.POINTER(ul)
        sig = {
            "XOpenDisplay": (vp, [ctypes.c_char_p]), "XDefaultRootWindow": (ul, [vp]),
            "XSelectInput": (ci, [vp, ul, ctypes.c_long]), "XConnectionNumber": (ci, [vp]),
            "XPending": (ci, [vp]), "XEventsQueued": (ci, [vp, ci]), "XNextEvent": (ci, [vp, ctypes.POINTER(XEvent)]),
            "XStringToKeysym": (ul, [ctypes.c_char_p]), "XKeysymToKeycode": (ctypes.c_ubyte, [vp, ul]),
            "XFlush": (ci, [vp]), "XSync": (ci, [vp, ci]), "XInternAtom": (ul, [vp, ctypes.c_char_p, ci]),
            "XGetSelectionOwner": (ul, [vp, ul]),
            "XQueryTree": (ci, [vp, ul, ulp, ulp, ctypes.POINTER(ulp), ctypes.POINTER(ctypes.c_uint)]),
            "XGetWindowProperty": (ci, [vp, ul, ul, ctypes.c_long, ctypes.c_long, ci, ul, ulp,
                                        ctypes.POINTER(ci), ulp, ulp, ctypes.POINTER(ctypes.POINTER(ctypes.c_ubyte))]),
            "XFree": (ci, [vp]),
            "XTranslateCoordinates": (ci, [vp, ul, ul, ci, ci, ctypes.POINTER(ci), ctypes.POINTER(ci), ulp]),
            "XSendEvent": (ci, [vp, ul, ci, ctypes.c_long, ctypes.POINTER(XEvent)]),
            "XGetWindowAttributes": (ci, [vp, ul, ctypes.POINTER(XWindowAttributes)]),
            "XGetInputFocus": (ci, [vp, ulp, ctypes.POINTER(ci)]),
            "XSetInputFocus": (ci, [vp, ul, ci, ul]),
            "XCreateSimpleWindow": (ul, [vp, ul, ci, ci, ctypes.c_uint, ctypes.c_uint, ctypes.c_uint, ul, ul]),
            "XMapWindow": (ci, [vp, ul]), "XStoreName": (ci, [vp, ul, ctypes.c_char_p]),
            "XGetImage": (ctypes.POINTER(XImage), [vp, ul, ci, ci, ctypes.c_uint, ctypes.c_uint, ul, ci]),
        }
        for name, (res, args) in sig.items():
            getattr(lib, name).restype = res
            getattr(lib, name).argtypes = args
        self.tst.XTestFakeKeyEvent.argtypes = [vp, ctypes.c_uint, ci, ul]
        self.tst.XTestFakeMotionEvent.argtypes = [vp, ci, ci, ci, ul]
        self.tst.XTestFakeButtonEvent.argtypes = [vp, ctypes.c_uint, ci, ul]
        # Windows may go while they are looked at: such errors are expected, not fatal.
        self._on_error = ctypes.CFUNCTYPE(ci, vp, vp)(lambda d, e: 0)
        lib.XSetErrorHandler(self._on_error)
        self.dpy = lib.XOpenDisplay(None)
        if not self.dpy:
            raise SystemExit("cannot open the X display (run through run.sh)")
        self.root = lib.XDefaultRootWindow(self.dpy)
        # Structure: Qt sends its replies to _NET_WM_PING to the root with that mask.
        lib.XSelectInput(self.dpy, self.root, SUBSTRUCTURE_NOTIFY_MASK | STRUCTURE_NOTIFY_MASK)
        self.fd = lib.XConnectionNumber(self.dpy)
        self.atoms = {}
        for name in ("WM_PROTOCOLS", "_NET_WM_PING", "WM_DELETE_WINDOW", "_NET_ACTIVE_WINDOW", "_NET_WM_PID",
                     "_NET_WM_NAME", "UTF8_STRING", "WM_S0"):
            self.atoms[name] = lib.XInternAtom(self.dpy, name.encode(), 0)
        lib.XSync(self.dpy, 0)
        self.handlers = []
        self.helper = None

    def atom(self, name):
        return self.atoms[name]

    def has_window_manager(self):
        return self.lib.XGetSelectionOwner(self.dpy, self.atom("WM_S0")) != 0

    def select(self, window, mask):
        self.lib.XSelectInput(self.dpy, window, mask)

    def drain(self):
        """Hands every queued event, with the time it was read, to the handlers."""
        ev = XEvent()
        while self.lib.XPending(self.dpy):
            self.lib.XNextEvent(self.dpy, ctypes.byref(ev))
            now = time.monotonic_ns()
            ints = ctypes.cast(ctypes.byref(ev), ctypes.POINTER(ctypes.c_int))
            for handler in self.handlers:
                handler(now, ev.type, ev.l, ints)

    def _property(self, window, atom, kind):
        actual, fmt_, n, after = ctypes.c_ulong(), ctypes.c_int(), ctypes.c_ulong(), ctypes.c_ulong()
        data = ctypes.POINTER(ctypes.c_ubyte)()
        if self.lib.XGetWindowProperty(self.dpy, window, atom, 0, 256, 0, kind, ctypes.byref(actual),
                                       ctypes.byref(fmt_), ctypes.byref(n), ctypes.byref(after),
                                       ctypes.byref(data)) != 0 or not data:
            return None
        if fmt_.value == 32:
            value = [ctypes.cast(data, ctypes.POINTER(ctypes.c_ulong))[i] for i in range(n.value)]
        else:
            value = bytes(data[i] for i in range(n.value))
        self.lib.XFree(data)
        return value

    def pid_of(self, window):
        return (self._property(window, self.atom("_NET_WM_PID"), 6) or [None])[0]

    def name_of(self, window):
        name = self._property(window, self.atom("_NET_WM_NAME"), self.atom("UTF8_STRING")) or b""
        return name.decode("utf-8", "replace")

    def attributes(self, window):
        attrs = XWindowAttributes()
        if not self.lib.XGetWindowAttributes(self.dpy, window, ctypes.byref(attrs)):
            return None
        return attrs

    def focus(self):
        window, revert = ctypes.c_ulong(), ctypes.c_int()
        self.lib.XGetInputFocus(self.dpy, ctypes.byref(window), ctypes.byref(revert))
        return window.value

    def send(self, destination, window, message_type, data, mask):
        ev = XEvent()
        longs = ev.l
        ints = ctypes.cast(ctypes.byref(ev), ctypes.POINTER(ctypes.c_int))
        ev.type = CLIENT_MESSAGE
        longs[2] = 1  # send_event
        longs[4] = window
        longs[5] = message_type
        ints[12] = 32  # format
        for i, value in enumerate(data):
            longs[7 + i] = value
        self.lib.XSendEvent(self.dpy, destination, 0, mask, ctypes.byref(ev))
        self.lib.XFlush(self.dpy)

    def ping(self, window, serial):
        self.send(window, window, self.atom("WM_PROTOCOLS"), [self.atom("_NET_WM_PING"), serial, window], 0)

    def request_close(self, window):
        self.send(window, window, self.atom("WM_PROTOCOLS"), [self.atom("WM_DELETE_WINDOW"), 0], 0)

    def activate(self, window):
        """Brings the window to the front and gives it the focus, as a task bar does."""
        if self.has_window_manager():
            self.send(self.root, window, self.atom("_NET_ACTIVE_WINDOW"), [2, 0, 0],
                      SUBSTRUCTURE_NOTIFY_MASK | SUBSTRUCTURE_REDIRECT_MASK)
        else:
            self.lib.XSetInputFocus(self.dpy, window, 1, 0)
            self.lib.XFlush(self.dpy)

    def make_helper(self):
        """A window of our own that takes the focus away from the program for a while."""
        self.helper = self.lib.XCreateSimpleWindow(self.dpy, self.root, 1100, 900, 120, 80, 0, 0, 0xffffff)
        self.lib.XStoreName(self.dpy, self.helper, b"zarun-bench")
        self.lib.XMapWindow(self.dpy, self.helper)
        self.lib.XSync(self.dpy, 0)

    def pointer_to_corner(self):
        self.tst.XTestFakeMotionEvent(self.dpy, -1, 10000, 10000, 0)
        self.lib.XSync(self.dpy, 0)

    def click_at(self, window, dx, dy):
        x, y, child = ctypes.c_int(), ctypes.c_int(), ctypes.c_ulong()
        self.lib.XTranslateCoordinates(self.dpy, window, self.root, dx, dy, ctypes.byref(x), ctypes.byref(y),
                                       ctypes.byref(child))
        self.tst.XTestFakeMotionEvent(self.dpy, -1, x.value, y.value, 0)
        self.tst.XTestFakeButtonEvent(self.dpy, 1, 1, 0)
        self.tst.XTestFakeButtonEvent(self.dpy, 1, 0, 0)
        self.lib.XFlush(self.dpy)

    def keys(self, *names):
        """Presses the keys in order, then releases them in reverse (a chord such as Control_L f)."""
        self.press(*names)
        self.release(*names)

    def codes(self, names):
        return [self.lib.XKeysymToKeycode(self.dpy, self.lib.XStringToKeysym(n.encode())) for n in names]

    def press(self, *names):
        for c in self.codes(names):
            self.tst.XTestFakeKeyEvent(self.dpy, c, 1, 0)
        self.lib.XFlush(self.dpy)

    def release(self, *names):
        for c in reversed(self.codes(names)):
            self.tst.XTestFakeKeyEvent(self.dpy, c, 0, 0)
        self.lib.XFlush(self.dpy)

    def region_hash(self, window, x, y, w, h):
        """A checksum of the region's pixels (the top bit of each colour), or None."""
        image = self.lib.XGetImage(self.dpy, window, x, y, w, h, 0x808080, XY_PIXMAP)
        if not image:
            return None
        img = image.contents
        value = zlib.crc32(ctypes.string_at(img.data, img.bytes_per_line * img.height * 3))
        self.lib.XFree(img.data)
        self.lib.XFree(image)
        return value


# ---- /proc ------------------------------------------------------------------------------------

def vm_hwm_kib(pid):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


def cpu_ms(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) * 1000 / os.sysconf("SC_CLK_TCK")
    except OSError:
        return None


def window_thread_ns(pid, field=0):
    """The CPU time the process's first thread (the window's) has run, from the scheduler; field 1:
    the time it waited to run, ready but without a core."""
    try:
        with open(f"/proc/{pid}/task/{pid}/schedstat") as f:
            return int(f.read().split()[field])
    except (OSError, ValueError, IndexError):
        return None


def host_steal_ms():
    """The time the host has kept this machine's processors from it, all of them together."""
    try:
        with open("/proc/stat") as f:
            fields = f.readline().split()
        return int(fields[8]) * 1000 / os.sysconf("SC_CLK_TCK")
    except (OSError, ValueError, IndexError):
        return None


class Trace:
    """The program's ZARUN_TRACE file, read as it grows."""

    def __init__(self, path):
        self.path = path
        self.file = None
        self.rest = b""
        self.events = {}
        self.values = {}  # event: [(time, the number the line gives)]

    def poll(self):
        if self.file is None:
            try:
                self.file = open(self.path, "rb")
            except OSError:
                return
        data = self.rest + self.file.read()
        lines = data.split(b"\n")
        self.rest = lines.pop()
        for line in lines:
            parts = line.split()
            if len(parts) >= 2 and parts[0].isdigit():
                self.events.setdefault(parts[1].decode(), []).append(int(parts[0]))
                if len(parts) >= 3 and parts[2].isdigit():
                    self.values.setdefault(parts[1].decode(), []).append((int(parts[0]), int(parts[2])))

    def times(self, event):
        return self.events.get(event, [])

    def numbers(self, event):
        return self.values.get(event, [])

    def close(self):
        if self.file:
            self.file.close()


# ---- one start of the program -----------------------------------------------------------------

class Failed(Exception):
    pass


class Session:
    """One process of the program and what the X server tells of its windows."""

    PING_MS = 10
    DENSE_PING_MS = 2
    PROMPT_MS = 4  # a ping answered within this found the event loop free
    AFTER_MARK_MS = 10  # a filter key's rows are painted within this after the trace marks them
    KEY_HELD_MS = 80  # how long a typist's key is down
    GRAB_MS = 10
    SAMPLE_MS = 10

    def __init__(self, x, proc, trace, t0):
        self.x, self.proc, self.trace, self.t0 = x, proc, trace, t0
        self.pidfd = os.pidfd_open(proc.pid)
        self.exited = None
        self.created = {}      # window -> override_redirect, for windows made since the spawn
        self.exposed = {}      # window -> first Expose
        self.mapped = {}       # window -> last MapNotify
        self.unmapped = {}     # window -> last UnmapNotify
        self.parent = {}       # window -> frame it was reparented into
        self.popups = []       # MapNotify times of override-redirect windows
        self.open_popups = set()
        self.pids = {}
        self.main = None
        self.pings = {}        # serial -> [sent, reply or None]
        self.outstanding = set()
        self.serial = 0x5A000000
        self.ping_ms = None
        self.next_ping = 0
        self.grab = None       # (x, y, w, h) in the main window while the rows are watched
        self.next_grab = 0
        self.frames = []       # (time, checksum)
        self.samples = []      # (time, window thread ran ns, waited for a core ns, host steal ms)
        self.next_sample = 0
        self.expect_dialog = False
        x.handlers = [self.on_event]

    # events
    def on_event(self, now, kind, longs, ints):
        if kind == CREATE and longs[4] == self.x.root:
            window = longs[5]
            self.created[window] = bool(ints[17])
            # Before the window is mapped, so that its first Expose is seen.
            self.x.select(window, EXPOSURE_MASK | STRUCTURE_NOTIFY_MASK)
        elif kind == EXPOSE:
            self.exposed.setdefault(longs[4], now)
        elif kind == MAP:
            window = longs[5]
            if longs[4] != window and longs[4] != self.x.root:
                return  # the copy sent to the window itself; the one to its parent counts alike
            self.mapped[window] = now
            if ints[12] and longs[4] == self.x.root:
                self.popups.append(now)
                self.open_popups.add(window)
        elif kind == UNMAP:
            window = longs[5]
            self.unmapped[window] = now
            self.open_popups.discard(window)
        elif kind == REPARENT:
            self.parent[longs[5]] = longs[6]
        elif kind == CLIENT_MESSAGE and longs[4] == self.x.root and longs[5] == self.x.atom("WM_PROTOCOLS") \
                and longs[7] == self.x.atom("_NET_WM_PING"):
            ping = self.pings.get(longs[8])
            if ping and ping[1] is None:
                ping[1] = now
                self.outstanding.discard(longs[8])

    def mine(self, window, mapped=True):
        """Whether the window is the program's. Qt sets its pid before it maps a window: an unmapped
        window is asked again next time."""
        if window not in self.pids or (self.pids[window] is None and not mapped):
            self.pids[window] = self.x.pid_of(window)
        return self.pids[window] == self.proc.pid

    def dialogs(self):
        """The program's top-level windows other than the main one, mapped now."""
        return [w for w, t in self.mapped.items()
                if w != self.main and not self.created.get(w, True) and t >= self.unmapped.get(w, 0)
                and self.mine(w)]

    # the loop
    def pump(self, until, timeout, what):
        deadline = time.monotonic_ns() + timeout * 1e9
        if VERBOSE:
            print(f"    {(time.monotonic_ns() - self.t0) / MS:9.1f} ms: waiting for {what}", file=sys.stderr, flush=True)
        while True:
            self.x.drain()
            self.trace.poll()
            if not self.expect_dialog and self.main and self.dialogs():
                raise Failed("a message box (" + ", ".join(repr(self.x.name_of(w)) for w in self.dialogs())
                             + f") came up while waiting for {what}")
            if until():
                return
            now = time.monotonic_ns()
            if self.exited is None:
                ready, _, _ = select.select([self.pidfd], [], [], 0)
                if ready:
                    self.exited = now
            if self.exited is not None:
                raise Failed(f"the program ended while waiting for {what}")
            if now > deadline:
                raise Failed(f"waited {timeout:.0f} s for {what}")
            # While the loop is stuck one waiting ping times it; more would only pile up.
            if self.main and self.ping_ms and now >= self.next_ping and len(self.outstanding) < 2:
                self.serial += 1
                self.x.ping(self.main, self.serial)
                self.pings[self.serial] = [time.monotonic_ns(), None]
                self.outstanding.add(self.serial)
                self.next_ping = now + self.ping_ms * MS
            if now >= self.next_sample:
                self.sample()
            if self.grab and now >= self.next_grab:
                value = self.x.region_hash(self.main, *self.grab)
                self.frames.append((time.monotonic_ns(), value))
                self.next_grab = now + self.GRAB_MS * MS
            wake = [deadline, now + 5 * MS, self.next_sample]
            if self.main and self.ping_ms:
                wake.append(self.next_ping)
            if self.grab:
                wake.append(self.next_grab)
            # Replies read along with another reply wait in Xlib's queue, not on the socket.
            if not self.x.lib.XEventsQueued(self.x.dpy, 0):
                wait = max(0, min(wake) - time.monotonic_ns()) / 1e9
                select.select([self.x.fd, self.pidfd], [], [], wait)

    def idle(self, seconds):
        end = time.monotonic_ns() + seconds * 1e9
        self.pump(lambda: time.monotonic_ns() >= end, seconds + 5, "a pause")

    def answered(self):
        return not self.outstanding

    def settle(self, timeout=300):
        """Waits until every ping sent so far has come back."""
        self.pump(self.answered, timeout, "the window to answer")

    def longest_ping(self, start, end):
        """(sent, replied) of the longest ping reply among the pings sent in [start, end] (unanswered:
        until end), or None."""
        spans = [(s, r if r is not None else end) for s, r in self.pings.values() if start <= s <= end]
        return max(spans, key=lambda span: span[1] - span[0]) if spans else None

    def stall(self, start, end):
        """The longest ping reply among the pings sent in [start, end], in ms."""
        span = self.longest_ping(start, end)
        return (span[1] - span[0]) / MS if span else None

    def sample(self):
        ran, waited = window_thread_ns(self.proc.pid), window_thread_ns(self.proc.pid, 1)
        steal = host_steal_ms()
        now = time.monotonic_ns()
        if ran is not None and waited is not None and steal is not None:
            self.samples.append((now, ran, waited, steal))
        self.next_sample = now + self.SAMPLE_MS * MS

    def stall_parts(self, start, end):
        """What the window's thread did during the longest ping reply of [start, end], in ms, from
        the samples around it (10 ms apart): ran, waited for a core, the host's steal (the whole
        machine's), and asleep (the rest)."""
        span = self.longest_ping(start, end)
        if not span or len(self.samples) < 2:
            return None
        a, b = span
        before = [x for x in self.samples if x[0] <= a][-1:] or self.samples[:1]
        after = [x for x in self.samples if x[0] >= b][:1] or self.samples[-1:]
        (t0, ran0, wait0, steal0), (t1, ran1, wait1, steal1) = before[0], after[0]
        ran, waited = (ran1 - ran0) / MS, (wait1 - wait0) / MS
        return {"stall": (b - a) / MS, "span": (t1 - t0) / MS, "ran": ran, "waited": waited,
                "host": steal1 - steal0, "asleep": max(0.0, (t1 - t0) / MS - ran - waited)}

    # steps
    def wait_shown(self, timeout):
        def found():
            for window, when in sorted(self.exposed.items(), key=lambda kv: kv[1]):
                if not self.created.get(window, True) and self.mine(window):
                    self.main = window
                    return True
            # Exposed before it could be watched: it is shown when its frame is mapped.
            for window in self.created:
                if not self.created[window] and self.mine(window, mapped=False):
                    attrs = self.x.attributes(window)
                    if attrs and attrs.map_state == IS_VIEWABLE:
                        self.main = window
                        return True
            return False
        self.pump(found, timeout, "the window")
        self.x.drain()  # an Expose read along with the reply that found it viewable
        if self.main in self.exposed:
            return self.exposed[self.main], "Expose"
        frame = self.parent.get(self.main)
        return self.mapped.get(frame, self.mapped.get(self.main, time.monotonic_ns())), "frame mapped"

    def start_pings(self, ms=None):
        self.ping_ms = ms or self.PING_MS
        self.next_ping = 0

    def rows_area(self):
        """The right half of the project list, below its header: clear of the menus' popups."""
        attrs = self.x.attributes(self.main)
        if attrs and attrs.width > 200 and attrs.height > 200:
            x0, y0 = attrs.width // 2, 110
            return (x0, y0, attrs.width - 30 - x0, attrs.height - 30 - y0)
        return None

    def rows_look(self):
        area = self.rows_area()
        return self.x.region_hash(self.main, *area) if area else None

    def watch_rows(self):
        self.grab = self.rows_area()
        self.next_grab = 0

    def rows_settled(self):
        """When the watched rows took their last look; None when they never changed."""
        self.grab = None
        if len(self.frames) < 2:
            return None
        last = self.frames[-1][1]
        settled = None
        for when, value in reversed(self.frames):
            if value != last:
                break
            settled = when
        return None if settled == self.frames[0][0] else settled

    def changes(self):
        """When the watched rows changed (every frame unlike the one before)."""
        return [t for (t, v), (_, before) in zip(self.frames[1:], self.frames) if v != before]

    def open_menu(self, timeout):
        """Clicks the first menu until its popup maps; returns the time it mapped."""
        seen = len(self.popups)
        self.x.click_at(self.main, 20, 10)
        clicked = time.monotonic()
        while True:
            try:
                self.pump(lambda: len(self.popups) > seen, 2, "the menu")
                return self.popups[seen]
            except Failed as e:
                # A click that came before the window took input is lost: click again.
                if self.exited is not None or "message box" in str(e) or time.monotonic() - clicked > timeout:
                    raise
                self.x.click_at(self.main, 20, 10)

    def close_menu(self):
        if self.open_popups:
            self.x.keys("Escape")
            self.pump(lambda: not self.open_popups, 10, "the menu to close")

    def ensure_focus(self):
        if not self.focused(self.main):
            self.x.activate(self.main)
            self.pump(lambda: self.focused(self.main), 10, "the window to take the focus")

    def focused(self, window):
        focus = self.x.focus()
        return focus == window or focus == self.parent.get(window)

    def key(self, *names, timeout=120):
        """Presses a key (chord) and returns (pressed, free): free - pressed is how long the event loop
        took to handle it, as the pings tell (Failed when it did not within timeout). The key is let
        go KEY_HELD_MS after it went down, as a typist's is (or once the loop is free, if later), and
        what it waited for is the longer of the press's wait and the release's: a check box acts when
        the key goes up. Let go at once, the release waited behind the press and was counted in it.
        While the key is down the loop is pinged densely, for what the caller may look at after."""
        pressed = time.monotonic_ns()
        self.x.press(*names)
        try:
            free = self.loop_free(timeout)
            held = pressed + self.KEY_HELD_MS * MS - time.monotonic_ns()
            if held > 0:
                self.ping_ms = self.DENSE_PING_MS
                try:
                    self.idle(held / 1e9)
                finally:
                    self.ping_ms = self.PING_MS
        finally:
            released = time.monotonic_ns()
            self.x.release(*names)
        waited = max(free - pressed, self.loop_free(timeout) - released)
        return pressed, pressed + waited

    def busy_after(self, moment, ms):
        """The last reply made late (the loop busy) among the pings sent from just before moment until
        ms after it; None when none was."""
        late = [r for s, r in self.pings.values() if r is not None and r - s > self.PROMPT_MS * MS
                and moment - 2 * self.DENSE_PING_MS * MS <= s <= moment + ms * MS]
        return max(late, default=None)

    def loop_free(self, timeout):
        """Pings densely until three in a row come back promptly; returns when the loop was free: the
        last late reply before them, or the first reply when none was late."""
        self.ping_ms = self.DENSE_PING_MS
        self.next_ping = 0
        first = self.serial + 1

        def since():
            return [self.pings[n] for n in range(first, self.serial + 1)]

        def prompt_run():
            """Where the first three prompt replies in a row begin; None until there are."""
            prompt = 0
            for i, (s, r) in enumerate(since()):
                if r is None:
                    return None
                prompt = prompt + 1 if r - s <= self.PROMPT_MS * MS else 0
                if prompt == 3:
                    return i - 2
            return None
        try:
            self.pump(lambda: prompt_run() is not None, timeout, "the event loop after a key")
        finally:
            self.ping_ms = self.PING_MS
        after = since()
        late = [r for s, r in after[:prompt_run()] if r - s > self.PROMPT_MS * MS]
        return max(late) if late else after[0][1]

    def end(self):
        """The process killed if it still runs, and what watched it let go."""
        if self.proc.poll() is None:
            self.proc.kill()
        self.proc.wait()
        os.close(self.pidfd)
        self.trace.close()
        self.x.handlers = []

    def wait_exit(self, timeout):
        def ended():
            if self.exited is None and select.select([self.pidfd], [], [], 0)[0]:
                self.exited = time.monotonic_ns()
            return self.exited is not None
        deadline = time.monotonic() + timeout
        while not ended():
            if time.monotonic() > deadline:
                raise Failed("the program did not end")
            self.x.drain()
            select.select([self.pidfd, self.x.fd], [], [], 0.05)
        self.x.drain()
        return self.exited


class Program:
    """One binary in a program folder of its own (ZARUN.ini lives beside the executable)."""

    # 1260 x 960 pixels at 15 twips a pixel; the columns wide enough to show the status.
    WINDOW = b"[Window]\r\nTOP=0\r\nLEFT=0\r\nWIDTH=18900\r\nHEIGHT=14400\r\nMAXIMIZE=0\r\n"
    COLUMNS = b"[Column]\r\nProjectName=2400\r\nFileName=3300\r\nPath=5400\r\nExeName=3300\r\nStatus=1500\r\n"

    def __init__(self, label, exe, work, env, x, args):
        self.label = label
        self.folder = os.path.join(work, f"program-{label}")
        os.makedirs(self.folder, exist_ok=True)
        self.exe = os.path.join(self.folder, "zarun")
        shutil.copy2(exe, self.exe)
        self.env = env
        self.x = x
        self.args = args

    def start(self, catalogue, phases=True, fill_timeout=60):
        with open(os.path.join(self.folder, "ZARUN.ini"), "wb") as f:
            f.write(self.WINDOW + self.COLUMNS)
            if catalogue:
                f.write(b"[Main]\r\nStartFile=" + catalogue.encode("cp932") + b"\r\n")
        trace_path = os.path.join(self.folder, "trace.txt")
        if os.path.exists(trace_path):
            os.remove(trace_path)
        env = dict(self.env, ZARUN_TRACE=trace_path)
        log = open(os.path.join(self.folder, "program.log"), "ab")
        # The pointer off the window: a row under it would change its look when it moves away.
        self.x.pointer_to_corner()
        self.x.drain()
        t0 = time.monotonic_ns()
        proc = subprocess.Popen([self.exe], cwd=self.folder, env=env, stdout=log, stderr=subprocess.STDOUT)
        trace = Trace(trace_path)
        s = Session(self.x, proc, trace, t0)
        s.catalogue = catalogue
        result = {"ok": False}
        ms = lambda t: None if t is None else (t - t0) / MS  # noqa: E731
        try:
            shown, how = s.wait_shown(self.args.timeout)
            result["shown"] = ms(shown)
            if how != "Expose":
                result["shown_from"] = how
            s.start_pings()
            if catalogue:
                s.watch_rows()
            result["menus"] = ms(s.open_menu(self.args.timeout))
            s.close_menu()
            if catalogue:
                try:
                    s.pump(lambda: bool(trace.times("filled")), fill_timeout, "the rows to be filled")
                except Failed as e:
                    if s.exited is not None or "message box" in str(e):
                        raise
                    result["unfilled"] = True
                fill = trace.times("filled")[0] if trace.times("filled") else None
                result["filled"] = ms(max(fill, shown)) if fill else None
                result["hwm_kib"] = vm_hwm_kib(proc.pid)
                result["cpu_ms"] = cpu_ms(proc.pid)
                s.idle(0.3)  # what the rows show once filled, and a moment of quiet after it
                result["on_screen"] = ms(s.rows_settled())
                result["row_changes"] = [round(ms(t), 1) for t in s.changes()]
                s.settle()
                result["stall_open"] = s.stall(shown, time.monotonic_ns())
                result["stall_open_parts"] = s.stall_parts(shown, time.monotonic_ns())
                # The program's own figure (its trace only): the longest gap of 30 ms or more between
                # its timer's ticks that began after the window showed, until filled (0: none). Far
                # below the pings' figure, the wait was outside its loop.
                gaps = [gap for end, gap in trace.numbers("gap") if end - gap >= shown and (not fill or end <= fill)]
                result["stall_open_trace"] = max(gaps, default=0) / MS
                if phases and fill:
                    self.phases(s, result, fill - shown)
            else:
                s.settle()
                result["hwm_kib"] = vm_hwm_kib(proc.pid)
                result["cpu_ms"] = cpu_ms(proc.pid)
            # Closing as the window manager's close button does; nothing is left to save.
            s.ping_ms = None
            s.settle(30)
            asked = time.monotonic_ns()
            self.x.request_close(s.main)
            s.pump(lambda: s.unmapped.get(s.main, 0) > asked, self.args.timeout, "the window to close")
            gone = s.unmapped[s.main]
            ended = s.wait_exit(self.args.timeout)
            result["close_window"] = (gone - asked) / MS
            result["close_exit"] = (ended - asked) / MS
            result["ok"] = True
        except (Failed, OSError) as e:
            result["error"] = str(e)
        finally:
            s.end()
            log.close()
        return result

    def phases(self, s, result, fill_ns):
        x = self.x
        longest = max(5.0, 3 * fill_ns / 1e9)

        # Status refresh: another window has the focus for a second, then this one again.
        x.activate(x.helper)
        s.pump(lambda: s.focused(x.helper) or x.focus() == x.helper, 10, "the other window to take the focus")
        s.idle(1.0)
        fills = len(s.trace.times("filled"))
        start = time.monotonic_ns()
        x.activate(s.main)
        try:
            s.pump(lambda: len(s.trace.times("filled")) > fills, longest, "the refresh to end")
            result["refresh"] = (s.trace.times("filled")[fills] - start) / MS
        except Failed:
            if s.exited is not None:
                raise
        s.idle(0.3)
        s.settle()
        result["stall_refresh"] = s.stall(start, time.monotonic_ns())

        # Switching categories: Down in the category list (the filter box, then back twice).
        s.ensure_focus()
        for chord in (("Control_L", "f"), ("Shift_L", "Tab"), ("Shift_L", "Tab")):
            s.key(*chord)
        start = time.monotonic_ns()
        keys = [self.timed(s, "Down") for _ in range(5)]
        s.idle(0.5)
        s.settle()
        result["stall_categories"] = s.stall(start, time.monotonic_ns())
        result["key_categories"] = max(keys)

        # The filter with every category ticked: keys typed, then erased.
        s.key("Control_L", "f")
        start = time.monotonic_ns()
        s.key("Tab")
        result["tick"] = self.timed(s, "space")
        s.idle(0.5)
        s.key("Shift_L", "Tab")
        type_filter(s, result)
        s.idle(0.5)
        s.key("Escape")
        s.key("Tab")
        result["untick"] = self.timed(s, "space")
        s.idle(0.5)
        s.settle()
        result["stall_filter"] = s.stall(start, time.monotonic_ns())

        # A command: the first project deleted, its confirmation answered with Enter.
        s.key("Control_L", "f")
        s.key("Down")
        start = time.monotonic_ns()
        before = set(s.dialogs())
        s.expect_dialog = True
        x.keys("Delete")
        s.pump(lambda: set(s.dialogs()) - before, 60, "the confirmation")
        box = (set(s.dialogs()) - before).pop()
        result["confirm_shown"] = (s.mapped[box] - start) / MS
        s.pump(lambda: s.focused(box), 10, "the confirmation to take the focus")
        inode = os.stat(s.catalogue).st_ino
        pressed, free = s.key("Return")
        result["delete"] = (free - pressed) / MS
        s.pump(lambda: os.stat(s.catalogue).st_ino != inode, 60, "the catalogue to be written")
        # The rename sets the ctime (wall clock, at the kernel's tick); the folder's fsync follows it.
        offset = time.time_ns() - time.monotonic_ns()
        written = os.stat(s.catalogue).st_ctime_ns - offset
        result["delete_written"] = (written - pressed) / MS
        # The floor of that write at once, in the machine's state of the moment: on a virtual machine a
        # write into pages not used for a while has cost 4 times one into pages just freed.
        result["delete_floor"] = run_rewrite(self.args.floor, s.catalogue)
        s.pump(lambda: s.unmapped.get(box, 0) > s.mapped[box], 60, "the confirmation to close")
        s.expect_dialog = False
        s.idle(0.5)
        s.settle()
        result["stall_delete"] = s.stall(start, time.monotonic_ns())

    @staticmethod
    def timed_filter(s, *chord):
        """A key in the filter box: until the loop was free and the first rows for the text painted,
        until the program's trace marked those rows as shown (those of the index's first piece, or
        all of them), and until it marked them as all there (None from a build that does not mark
        it); and the CPU the window's thread ran for it, until a tenth of a second after (its pings'
        replies included). The thread's wait for a core is left in s.queued_ms."""
        cpu = window_thread_ns(s.proc.pid)
        queued = window_thread_ns(s.proc.pid, 1)
        marks = len(s.trace.times("narrowed"))
        firsts = len(s.trace.times("narrowed-first"))
        look = s.rows_look()
        pressed, free = s.key(*chord)
        shown = whole = None
        if not getattr(s, "no_narrowed_mark", False):
            try:
                s.pump(lambda: len(s.trace.times("narrowed")) > marks, 5, "the rows for the text")
                found = s.trace.times("narrowed-first")[firsts:firsts + 1] + s.trace.times("narrowed")[marks:marks + 1]
                whole = (found[-1] - pressed) / MS
                shown = (found[0] - pressed) / MS
                # The rows are painted after their mark, which a search on a worker may set after
                # the loop's first quiet run: the key lasts until that paint is over too. The first
                # rows shown answer the key; the rest of a long list coming later is timed as a stall.
                # Rows that look as before (the same ones on screen) leave nothing to wait for.
                s.idle(Session.AFTER_MARK_MS / 1000)
                s.settle()
                busy = s.busy_after(found[0], Session.AFTER_MARK_MS)
                if busy is not None and s.rows_look() != look:
                    free = max(free, busy)
            except Failed:
                if s.exited is not None:
                    raise
                s.no_narrowed_mark = True
        s.idle(0.1)
        after = window_thread_ns(s.proc.pid)
        waited = window_thread_ns(s.proc.pid, 1)
        s.queued_ms = (waited - queued) / MS if queued is not None and waited is not None else None
        return (free - pressed) / MS, shown, whole, (after - cpu) / MS if cpu is not None and after is not None else None

    @staticmethod
    def timed(s, *chord):
        """A key, then a pause as between a user's keys; the key's time until the loop was free."""
        pressed, free = s.key(*chord)
        s.idle(0.1)
        return (free - pressed) / MS


def type_filter(s, result):
    """The filter's keys, typed then erased, each timed; the box has the focus."""
    # "0" keeps every project (each path holds one), "0001" the first category's and a few more.
    timed, queued = [], []
    for k in ("0", "0", "0", "1", "2", "3") + ("BackSpace",) * 6:
        timed.append(Program.timed_filter(s, k))
        queued.append(s.queued_ms)
    result["keys_filter"] = [free for free, _, _, _ in timed]
    result["cpu_keys"] = [cpu for _, _, _, cpu in timed]
    # How long the window's thread was ready to run but waited for a core (another process, the
    # host): a slow key with little CPU and much of this was the machine's, not the program's.
    result["queued_keys"] = queued
    shown = [first for _, first, _, _ in timed if first is not None]
    if shown:
        result["shown_filter"] = max(shown)
    narrowed = [whole for _, _, whole, _ in timed if whole is not None]
    if narrowed:
        result["narrowed_filter"] = max(narrowed)
        result["narrowed_keys"] = [whole for _, _, whole, _ in timed]


class PlainList:
    """The floor for the filter's keys (plain_list.cpp): the same rows, columns and window in a plain
    Qt list, its rows for each text found before the keys; the same keys, timed the same way."""

    def __init__(self, exe, work, env, x, args):
        self.exe, self.work, self.env, self.x, self.args = exe, work, env, x, args

    def start(self, catalogue):
        text = catalogue + ".utf-8"
        if not os.path.exists(text) or os.path.getmtime(text) < os.path.getmtime(catalogue):
            with open(catalogue, "rb") as f, open(text, "w", encoding="utf-8") as out:
                out.write(f.read().decode("cp932"))
        trace_path = os.path.join(self.work, "plain-trace.txt")
        if os.path.exists(trace_path):
            os.remove(trace_path)
        self.x.pointer_to_corner()
        self.x.drain()
        t0 = time.monotonic_ns()
        proc = subprocess.Popen([self.exe, text], env=dict(self.env, ZARUN_TRACE=trace_path),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        trace = Trace(trace_path)
        s = Session(self.x, proc, trace, t0)
        result = {"ok": False}
        try:
            s.wait_shown(self.args.timeout)
            s.start_pings()
            s.pump(lambda: bool(trace.times("filled")), self.args.timeout, "the rows")
            s.idle(0.3)
            s.settle()
            s.ensure_focus()
            s.key("Control_L", "f")
            s.key("Tab")
            s.key("space")
            s.idle(0.5)
            s.key("Shift_L", "Tab")
            type_filter(s, result)
            result["ok"] = True
        except (Failed, OSError) as e:
            result["error"] = str(e)
        finally:
            s.end()
        return result


# ---- cache state ------------------------------------------------------------------------------

def drop_caches_permitted():
    try:
        with open("/proc/sys/vm/drop_caches", "w"):
            return True
    except OSError:
        return False


def kept_looks(home):
    return glob.glob(os.path.join(home, ".cache", "*", "looks", "*")) + \
        glob.glob(os.path.join(home, ".cache", "looks", "*"))


def make_cold(method, floor, catalogue, home):
    if method == "drop":
        os.sync()
        with open("/proc/sys/vm/drop_caches", "w") as f:
            f.write("3\n")
    elif method == "fadvise":
        if catalogue:
            subprocess.run([floor, "--evict", catalogue], check=True)
        for path in kept_looks(home):
            try:
                fd = os.open(path, os.O_RDONLY)
                os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
                os.close(fd)
            except OSError:
                pass


def resident(floor, catalogue):
    out = subprocess.run([floor, "--resident", catalogue], check=True, capture_output=True, text=True).stdout
    return tuple(int(v) for v in out.split())


def run_floor(floor, catalogue):
    out = subprocess.run([floor, catalogue], check=True, capture_output=True, text=True).stdout
    projects, _bytes, stats, ns = (int(v) for v in out.split())
    return {"ok": True, "projects": projects, "stats": stats, "ms": ns / MS}


def run_rewrite(floor, catalogue):
    out = subprocess.run([floor, "--rewrite", catalogue], check=True, capture_output=True, text=True).stdout
    return int(out) / MS


# ---- report -----------------------------------------------------------------------------------

def machine():
    cpu = "?"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    disk = "?"
    try:
        dev = subprocess.run(["findmnt", "-n", "-o", "SOURCE", "--target", "/tmp"], capture_output=True,
                             text=True).stdout.strip()
        name = os.path.basename(dev)
        rota = open(f"/sys/block/{name}/queue/rotational").read().strip()
        disk = f"{dev} ({'rotational' if rota == '1' else 'non-rotational'} as reported)"
    except OSError:
        pass
    return {"cpu": cpu, "cores": os.cpu_count(), "kernel": platform.release(), "disk": disk,
            "load": open("/proc/loadavg").read().split()[:3]}


def value(sample, key):
    v = sample.get(key) if sample else None
    if isinstance(v, list):
        v = max((k for k in v if k is not None), default=None)
    return v


def med(samples, key):
    values = [value(s, key) for s in samples if s.get("ok")]
    values = [v for v in values if v is not None]
    return statistics.median(values) if values else None


def most(samples, key):
    values = [value(s, key) for s in samples if s.get("ok")]
    return max((v for v in values if v is not None), default=None)


def fmt(v, digits=0):
    return "-" if v is None else f"{v:,.{digits}f}"


def report(results, sizes, labels, info, args, cold_text):
    print()
    print(f"machine: {info['cpu']}, {info['cores']} cores, kernel {info['kernel']}, disk {info['disk']}")
    print(f"load average at start {' '.join(info['load'])}, at end {' '.join(open('/proc/loadavg').read().split()[:3])}")
    print(f"first = the catalogue's first start (no looks kept), after {cold_text}; cold = the same with the"
          f" looks kept by the first; median of {args.runs} warm starts. ms.")
    print("From outside (X server, /proc) unless marked [trace]: filled is the program's own trace mark.")
    for label in labels:
        r = results[label]
        e = r["empty"]
        runs = [("cold", [e["cold"]] if e["cold"] else []), ("median", e["warm"])]
        print()
        print(f"[{label}] {r['exe']}")
        for name, samples in runs:
            if samples:
                print(f"  empty start ({name}): shown {fmt(med(samples, 'shown'))}, menus {fmt(med(samples, 'menus'))},"
                      f" close {fmt(med(samples, 'close_window'))} / {fmt(med(samples, 'close_exit'))},"
                      f" peak RSS {fmt((med(samples, 'hwm_kib') or 0) / 1024, 1)} MB")
        base_shown, base_menus = med(e["warm"], "shown"), med(e["warm"], "menus")
        base_hwm = med(e["warm"], "hwm_kib")
        open_head = ("| projects | run | shown | menus | menus - empty | rows on screen | filled [trace] | floor "
                     "| (filled - empty shown) / floor | stall: open (most) | its loop's gaps [trace] | peak RSS MB | KB / project | CPU ms |")
        after_head = ("| projects | run | refresh [trace end] | stall: refresh | stall: categories | slowest Down "
                      "| stall: filter | first key | slowest key | window's CPU: most a key [/proc] | slowest rows: first / all shown [trace] | tick / untick | stall: delete "
                      "| delete (Enter): loop free / on disk | floor: rewrite | close: window / exit |")
        tables = ([], [])
        for n in sizes:
            c = r[n]
            fl = results["floor"][n]
            rows = [("first", c["first"], fl["cold"].get("ms") if fl["cold"] else None),
                    ("cold", c["cold"], fl["cold"].get("ms") if fl["cold"] else None),
                    ("median", None, med(fl["warm"], "ms"))]
            for name, one, floor_ms in rows:
                if one is not None and not one:
                    continue
                if one is None and not c["warm"]:
                    continue
                if one is not None and not one.get("ok"):
                    tables[0].append(f"| {n:,} | {name} | failed: {one.get('error')} (floor {fmt(floor_ms)}) |")
                    continue

                def val(key):
                    return value(one, key) if one is not None else med(c["warm"], key)

                def worst(key):
                    """A median with the most of any start beside it: one stall is what a user feels."""
                    if one is not None:
                        return fmt(value(one, key))
                    return f"{fmt(med(c['warm'], key))} ({fmt(most(c['warm'], key))})"

                def first_key():
                    if one is not None:
                        return (one.get("keys_filter") or [None])[0]
                    firsts = [s["keys_filter"][0] for s in c["warm"] if s.get("ok") and s.get("keys_filter")]
                    return statistics.median(firsts) if firsts else None
                shown, menus, filled, hwm = val("shown"), val("menus"), val("filled"), val("hwm_kib")
                am = menus - base_menus if menus is not None and base_menus is not None else None
                ratio = (filled - base_shown) / floor_ms if filled is not None and base_shown is not None \
                    and floor_ms else None
                per = (hwm - base_hwm) / n if hwm and base_hwm else None
                tables[0].append(
                    f"| {n:,} | {name} | {fmt(shown)} | {fmt(menus)} | {fmt(am)} | {fmt(val('on_screen'))} "
                    f"| {fmt(filled)} | {fmt(floor_ms)} | {fmt(ratio, 2)} | {worst('stall_open')} | {worst('stall_open_trace')} "
                    f"| {fmt(hwm / 1024 if hwm else None)} | {fmt(per, 2)} | {fmt(val('cpu_ms'))} |")
                tables[1].append(
                    f"| {n:,} | {name} | {fmt(val('refresh'))} | {fmt(val('stall_refresh'))} "
                    f"| {fmt(val('stall_categories'))} | {fmt(val('key_categories'))} | {fmt(val('stall_filter'))} "
                    f"| {fmt(first_key())} | {fmt(val('keys_filter'))} | {fmt(val('cpu_keys'))} | {fmt(val('shown_filter'))} / {fmt(val('narrowed_filter'))} | {fmt(val('tick'))} / {fmt(val('untick'))} "
                    f"| {fmt(val('stall_delete'))} | {fmt(val('delete'))} / {fmt(val('delete_written'))} "
                    f"| {fmt(val('delete_floor'))} "
                    f"| {fmt(val('close_window'))} / {fmt(val('close_exit'))} |")
        for head, lines in zip((open_head, after_head), tables):
            print(head)
            print("|" + "---|" * (head.count("|") - 1))
            for line in lines:
                print(line)
        for n in sizes:
            parts = [s["stall_open_parts"] for s in [r[n]["first"], r[n]["cold"]] + r[n]["warm"]
                     if s and s.get("stall_open_parts")]
            if parts:
                print(f"  {n:,}: the longest open stall of each start, and what the window's thread did in it "
                      "(ran / waited for a core / the host's steal of all processors / asleep): "
                      + ", ".join(f"{fmt(p['stall'])} ({fmt(p['ran'])} / {fmt(p['waited'])} / {fmt(p['host'])}"
                                  f" / {fmt(p['asleep'])})" for p in parts))
        unfilled = sum(1 for n in sizes for s in [r[n]["first"], r[n]["cold"]] + r[n]["warm"] if s.get("unfilled"))
        if unfilled:
            print(f"  starts whose rows were not all filled in time: {unfilled}")
        failures = [s.get("error") for n in sizes for s in [r[n]["first"], r[n]["cold"]] + r[n]["warm"]
                    if s and not s.get("ok")]
        if failures:
            print(f"  failed starts: {len(failures)} ({'; '.join(sorted(set(map(str, failures))))})")
    plain = results.get("plain")
    if plain and any(plain[n]["warm"] for n in sizes):
        print()
        print(f"[plain list] {args.plain_list}: the floor for the filter's keys, the same rows in a plain Qt list"
              " (its rows for each text found before the keys)")
        print("| projects | run | first key | slowest key | window's CPU: most a key [/proc] |")
        print("|---|---|---|---|---|")
        for n in sizes:
            samples = [p for p in plain[n]["warm"] if p.get("ok")]
            if samples:
                firsts = [p["keys_filter"][0] for p in samples]
                print(f"| {n:,} | median | {fmt(statistics.median(firsts))} | {fmt(med(samples, 'keys_filter'))} "
                      f"| {fmt(med(samples, 'cpu_keys'))} |")
            failed = [p.get("error") for p in plain[n]["warm"] if not p.get("ok")]
            if failed:
                print(f"  failed: {len(failed)} ({'; '.join(sorted(set(map(str, failed))))})")


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("zarun", nargs="+", help="program executables to compare")
    ap.add_argument("--floor", required=True, help="the floor program (floor.c built)")
    ap.add_argument("--sizes", default="10000,100000,1000000")
    ap.add_argument("--runs", type=int, default=5, help="warm starts per catalogue (after the cold ones)")
    ap.add_argument("--cold", choices=["auto", "drop", "fadvise", "none"], default="auto")
    ap.add_argument("--phases", type=int, default=1, help="0: open and close only")
    ap.add_argument("--work", required=True, help="folder for the tree, catalogues and program folders")
    ap.add_argument("--timeout", type=float, default=120, help="seconds a window or a step may take")
    ap.add_argument("--fill-timeout", type=float, default=0,
                    help="seconds to wait for every row to be filled; default 60 + 0.5 ms a project")
    ap.add_argument("--json", help="also write every sample here")
    ap.add_argument("--plain-list", help="the plain list (plain_list.cpp built): a floor for the filter's keys")
    args = ap.parse_args()

    sizes = [int(s) for s in args.sizes.split(",") if s]
    cold = args.cold
    if cold == "auto":
        cold = "drop" if drop_caches_permitted() else "fadvise"
    cold_text = {"drop": "sync; echo 3 > /proc/sys/vm/drop_caches (page cache, dentries, inodes), then one"
                         " untimed start with a catalogue of 100 other projects to bring back the program's own"
                         " files",
                 "fadvise": "posix_fadvise(POSIX_FADV_DONTNEED) on the catalogue, every .vbp and the kept looks",
                 "none": "nothing (no cold starts)"}[cold]
    info = machine()
    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)

    # A private home: nothing of the user's is read or written.
    home = os.path.join(work, "home")
    runtime = os.path.join(work, "runtime")
    for d in (home, runtime):
        os.makedirs(d, exist_ok=True)
    os.chmod(runtime, 0o700)
    state = os.path.join(home, ".local", "state")
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
               XDG_DATA_HOME=os.path.join(home, ".local/share"), XDG_CACHE_HOME=os.path.join(home, ".cache"),
               XDG_STATE_HOME=state, XDG_RUNTIME_DIR=runtime, QT_QPA_PLATFORM="xcb")
    env.pop("ZARUN_TRACE", None)

    catalogues = {}
    for n in list(sizes):
        path = gencat.catalogue(work, n, log=lambda text: print(text, flush=True))
        if path is None:
            sizes.remove(n)
            continue
        catalogues[n] = path
        print(f"{n:,} projects in {-(-n // gencat.PER_CATEGORY):,} categories of {gencat.PER_CATEGORY}:"
              f" {os.path.getsize(path) / 2**20:,.1f} MB catalogue, paths of"
              f" {gencat.mean_path_length(work, n):.0f} characters", flush=True)
    # Started before a cold start: brings back the program's own files (libraries, fonts, glyphs)
    # after the drop, while the measured catalogue's files stay cold.
    warmup = gencat.catalogue(os.path.join(work, "warmup"), 100, log=lambda text: None)
    empty_catalogue = os.path.join(work, "empty.zrd")
    open(empty_catalogue, "wb").close()

    x = X()
    wm = None
    if not x.has_window_manager():
        wm = subprocess.Popen(["openbox"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while not x.has_window_manager() and time.monotonic() < deadline:
            time.sleep(0.02)
        if not x.has_window_manager():
            raise SystemExit("openbox did not start")
    x.make_helper()
    print(f"cold: {cold_text}", flush=True)
    try:
        return measure(args, x, env, home, state, work, sizes, catalogues, warmup, empty_catalogue, cold,
                       cold_text, info)
    finally:
        if wm:
            wm.terminate()
            wm.wait()


def measure(args, x, env, home, state, work, sizes, catalogues, warmup, empty_catalogue, cold, cold_text, info):
    def fill_timeout(n):
        return args.fill_timeout or 60 + 0.0005 * n

    labels = [chr(ord("A") + i) for i in range(len(args.zarun))]
    programs = {l: Program(l, exe, work, env, x, args) for l, exe in zip(labels, args.zarun)}
    results = {l: {"exe": os.path.abspath(exe), "empty": {"cold": {}, "warm": []}} for l, exe in
               zip(labels, args.zarun)}
    results["floor"] = {n: {"cold": {}, "warm": []} for n in sizes}
    plain = PlainList(args.plain_list, work, env, x, args) if args.plain_list and args.phases else None
    if plain:
        results["plain"] = {n: {"warm": []} for n in sizes}
    for l in labels:
        for n in sizes:
            results[l][n] = {"first": {}, "cold": {}, "warm": []}

    def start(label, n, kind):
        catalogue = catalogues[n]
        sample = programs[label].start(catalogue, bool(args.phases), fill_timeout(n))
        gencat.restore_catalogue(catalogue)  # the delete changed it
        shutil.rmtree(os.path.join(state, "ZARUN", "backups"), ignore_errors=True)
        print(f"  [{label}] {n:,} {kind}: " + (f"filled {fmt(sample.get('filled'))} ms" if sample.get("ok")
                                               else f"failed: {sample.get('error')}"), flush=True)
        return sample

    if cold != "none" and sizes:
        n = sizes[0]
        make_cold(cold, args.floor, catalogues[n], home)
        pages = resident(args.floor, catalogues[n])
        print(f"check of the cold state: {pages[0]} of {pages[1]} pages of the {n:,} catalogue's files"
              " resident right after it was made", flush=True)
        if pages[0] > pages[1] // 100:
            print("WARNING: the page cache was not emptied; cold numbers are not cold", flush=True)

    if cold != "none":
        for l in labels:
            make_cold(cold, args.floor, None, home)
            results[l]["empty"]["cold"] = programs[l].start(None)
        # First starts: nothing kept from earlier runs; then cold starts with what those kept.
        for kind in ("first", "cold"):
            if kind == "first":
                for path in kept_looks(home):
                    os.remove(path)
            for n in sizes:
                for l in labels:
                    make_cold(cold, args.floor, catalogues[n], home)
                    if cold == "drop":
                        programs[l].start(warmup, phases=False)
                    results[l][n][kind] = start(l, n, kind)
                if kind == "cold":
                    make_cold(cold, args.floor, catalogues[n], home)
                    run_floor(args.floor, empty_catalogue)
                    results["floor"][n]["cold"] = run_floor(args.floor, catalogues[n])

    # Warm: interleaved so that a change of the machine's load touches every column alike, and each
    # round starts with another executable: the place in a round has moved a fill by up to two fifths.
    for r in range(args.runs):
        print(f"warm round {r + 1}/{args.runs} ...", flush=True)
        order = labels[r % len(labels):] + labels[:r % len(labels)]
        for l in order:
            results[l]["empty"]["warm"].append(programs[l].start(None))
        for n in sizes:
            for l in order:
                results[l][n]["warm"].append(start(l, n, "warm"))
            results["floor"][n]["warm"].append(run_floor(args.floor, catalogues[n]))
            if plain and n <= 100000:
                results["plain"][n]["warm"].append(plain.start(catalogues[n]))

    report(results, sizes, labels, info, args, cold_text)
    if args.json:
        with open(args.json, "w") as f:
            json.dump({"machine": info, "cold": cold, "results": {k: {str(n): v for n, v in r.items()}
                                                                  for k, r in results.items()}}, f, indent=1)
    ok = all(s.get("ok") for l in labels for n in sizes
             for s in [results[l][n]["first"], results[l][n]["cold"]] + results[l][n]["warm"] if s)
    ok = ok and all(s.get("ok") for l in labels for s in [results[l]["empty"]["cold"]] + results[l]["empty"]["warm"]
                    if s)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
