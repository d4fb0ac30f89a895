#!/usr/bin/env python3
"""Opens catalogues of 1,000 / 10,000 / 100,000 projects in the real program, side by side with
an empty start and with the floor (a C program that reads every listed .vbp once). Run it through
run.sh, which provides the virtual display; see README "Benchmarks".

Per start: the window shown (its first Expose, from the program's ZARUN_TRACE), the window
answering its menus (a click on its first menu once it is shown; that menu's popup mapped, as the
X server reports it), every row filled ("filled" from the trace; the later of it and the window shown), the
peak memory (VmHWM) and the longest event-loop stall while loading. Times count from the spawn.
The first start of each catalogue runs cold (page cache dropped); the rest are warm, interleaved.
"""
import argparse
import ctypes
import ctypes.util
import json
import os
import platform
import select
import shutil
import signal
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import gencat  # noqa: E402


# ---- X: key presses and the popup of a menu --------------------------------------------------

class XEvent(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("pad", ctypes.c_long * 24)]


MAP_NOTIFY = 19
UNMAP_NOTIFY = 18
SUBSTRUCTURE_NOTIFY_MASK = 1 << 19


class X:
    def __init__(self):
        self.lib = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        self.tst = ctypes.CDLL(ctypes.util.find_library("Xtst") or "libXtst.so.6")
        lib = self.lib
        lib.XOpenDisplay.restype = ctypes.c_void_p
        lib.XOpenDisplay.argtypes = [ctypes.c_char_p]
        lib.XDefaultRootWindow.restype = ctypes.c_ulong
        lib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        lib.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
        lib.XConnectionNumber.argtypes = [ctypes.c_void_p]
        lib.XPending.argtypes = [ctypes.c_void_p]
        lib.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(XEvent)]
        lib.XStringToKeysym.restype = ctypes.c_ulong
        lib.XStringToKeysym.argtypes = [ctypes.c_char_p]
        lib.XKeysymToKeycode.restype = ctypes.c_ubyte
        lib.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        lib.XFlush.argtypes = [ctypes.c_void_p]
        lib.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        lib.XInternAtom.restype = ctypes.c_ulong
        lib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        lib.XGetSelectionOwner.restype = ctypes.c_ulong
        lib.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.tst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        self.tst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int,
                                                  ctypes.c_ulong]
        self.tst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        ulong_p = ctypes.POINTER(ctypes.c_ulong)
        lib.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ulong_p, ulong_p,
                                   ctypes.POINTER(ulong_p), ctypes.POINTER(ctypes.c_uint)]
        lib.XGetWindowProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_long,
                                           ctypes.c_long, ctypes.c_int, ctypes.c_ulong, ulong_p,
                                           ctypes.POINTER(ctypes.c_int), ulong_p, ulong_p,
                                           ctypes.POINTER(ctypes.POINTER(ctypes.c_ubyte))]
        lib.XFree.argtypes = [ctypes.c_void_p]
        lib.XTranslateCoordinates.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_int,
                                              ctypes.c_int, ctypes.POINTER(ctypes.c_int),
                                              ctypes.POINTER(ctypes.c_int), ulong_p]
        # Windows may go while they are looked at: such errors are expected, not fatal.
        self._on_error = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(lambda d, e: 0)
        lib.XSetErrorHandler(self._on_error)
        self.dpy = lib.XOpenDisplay(None)
        if not self.dpy:
            raise SystemExit("cannot open the X display (run through run.sh)")
        lib.XSelectInput(self.dpy, lib.XDefaultRootWindow(self.dpy), SUBSTRUCTURE_NOTIFY_MASK)
        lib.XSync(self.dpy, 0)
        self.fd = lib.XConnectionNumber(self.dpy)
        self.mapped_popups = set()

    def has_window_manager(self):
        return self.lib.XGetSelectionOwner(self.dpy, self.lib.XInternAtom(self.dpy, b"WM_S0", 0)) != 0

    def popups(self):
        """Monotonic times at which override-redirect windows (menus) were mapped since the last call."""
        times = []
        ev = XEvent()
        while self.lib.XPending(self.dpy):
            self.lib.XNextEvent(self.dpy, ctypes.byref(ev))
            # XMapEvent / XUnmapEvent: type, serial, send_event, display, event, window, ...
            window = ctypes.cast(ctypes.byref(ev), ctypes.POINTER(ctypes.c_ulong))[5]
            if ev.type == MAP_NOTIFY:
                override = ctypes.cast(ctypes.byref(ev), ctypes.POINTER(ctypes.c_int))[12]
                if override:
                    times.append(time.monotonic_ns())
                    self.mapped_popups.add(window)
            elif ev.type == UNMAP_NOTIFY:
                self.mapped_popups.discard(window)
        return times

    def popup_open(self):
        """Whether a menu (an override-redirect window) is mapped now."""
        self.popups()
        return bool(self.mapped_popups)

    def _property(self, window, name, kind):
        actual, fmt_, n, after = ctypes.c_ulong(), ctypes.c_int(), ctypes.c_ulong(), ctypes.c_ulong()
        data = ctypes.POINTER(ctypes.c_ubyte)()
        atom = self.lib.XInternAtom(self.dpy, name, 0)
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

    def _children(self, window):
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        kids = ctypes.POINTER(ctypes.c_ulong)()
        n = ctypes.c_uint()
        if not self.lib.XQueryTree(self.dpy, window, ctypes.byref(root), ctypes.byref(parent), ctypes.byref(kids),
                                   ctypes.byref(n)):
            return []
        out = [kids[i] for i in range(n.value)]
        if kids:
            self.lib.XFree(kids)
        return out

    def main_window_of(self, pid):
        """The process's top-level window titled ZARUN... (framed by a window manager or not), or None."""
        utf8 = self.lib.XInternAtom(self.dpy, b"UTF8_STRING", 0)
        for top in self._children(self.lib.XDefaultRootWindow(self.dpy)):
            for w in [top] + self._children(top):
                if (self._property(w, b"_NET_WM_PID", 6) or [None])[0] == pid and \
                        (self._property(w, b"_NET_WM_NAME", utf8) or b"").startswith(b"ZARUN"):
                    return w
        return None

    def click_at(self, window, dx, dy):
        """A left click at (dx, dy) inside the window."""
        x, y, child = ctypes.c_int(), ctypes.c_int(), ctypes.c_ulong()
        self.lib.XTranslateCoordinates(self.dpy, window, self.lib.XDefaultRootWindow(self.dpy), dx, dy,
                                       ctypes.byref(x), ctypes.byref(y), ctypes.byref(child))
        self.tst.XTestFakeMotionEvent(self.dpy, -1, x.value, y.value, 0)
        self.tst.XTestFakeButtonEvent(self.dpy, 1, 1, 0)
        self.tst.XTestFakeButtonEvent(self.dpy, 1, 0, 0)
        self.lib.XFlush(self.dpy)

    def keys(self, *names):
        """Presses the keys in order, then releases them in reverse (a chord such as Alt_L d)."""
        codes = [self.lib.XKeysymToKeycode(self.dpy, self.lib.XStringToKeysym(n.encode())) for n in names]
        for c in codes:
            self.tst.XTestFakeKeyEvent(self.dpy, c, 1, 0)
        for c in reversed(codes):
            self.tst.XTestFakeKeyEvent(self.dpy, c, 0, 0)
        self.lib.XFlush(self.dpy)

    def wait(self, seconds):
        select.select([self.fd], [], [], seconds)


# ---- one start of the program -----------------------------------------------------------------

def read_trace(path):
    """{event: [ns, args...]} for the first line of each event; "stalls": every (ns, gap ns)."""
    events = {"stalls": []}
    try:
        with open(path) as f:
            for line in f:
                parts = line.split()
                if len(parts) < 2:
                    continue
                values = [int(parts[0])] + [int(p) for p in parts[2:]]
                if parts[1] == "stall" and len(values) == 2:
                    events["stalls"].append(tuple(values))
                elif parts[1] not in events:
                    events[parts[1]] = values
    except (FileNotFoundError, ValueError):
        pass
    return events


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


class Program:
    """One binary in a program folder of its own (ZARUN.ini lives beside the executable)."""

    def __init__(self, label, exe, work, env, x, timeout, fill_timeout):
        self.label = label
        self.folder = os.path.join(work, f"program-{label}")
        os.makedirs(self.folder, exist_ok=True)
        self.exe = os.path.join(self.folder, "zarun")
        shutil.copy2(exe, self.exe)
        self.env = env
        self.x = x
        self.timeout = timeout
        self.fill_timeout = fill_timeout

    def start(self, catalogue):
        ini = os.path.join(self.folder, "ZARUN.ini")
        with open(ini, "wb") as f:
            if catalogue:
                f.write(b"[Main]\r\nStartFile=" + catalogue.encode() + b"\r\n")
        trace = os.path.join(self.folder, "trace.txt")
        if os.path.exists(trace):
            os.remove(trace)
        env = dict(self.env, ZARUN_TRACE=trace)
        log = open(os.path.join(self.folder, "program.log"), "ab")
        self.x.popups()
        self.x.mapped_popups.clear()
        t0 = time.monotonic_ns()
        proc = subprocess.Popen([self.exe], cwd=self.folder, env=env, stdout=log, stderr=subprocess.STDOUT)
        result = {"ok": False}
        deadline = time.monotonic() + self.timeout
        try:
            events = {}
            while "shown" not in events:
                if proc.poll() is not None or time.monotonic() > deadline:
                    raise RuntimeError("no window")
                self.x.wait(0.001)
                events = read_trace(trace)
            # A click on the first menu of the menu bar; the keyboard would wait for the window manager's focus.
            window = self.x.main_window_of(proc.pid)
            if window is None:
                raise RuntimeError("window not found")
            self.x.popups()
            self.x.click_at(window, 20, 10)
            clicked = time.monotonic()
            menu = None
            fill_deadline = time.monotonic() + self.fill_timeout
            while menu is None or (catalogue and "filled" not in events):
                if proc.poll() is not None or time.monotonic() > deadline:
                    raise RuntimeError("no menu" if menu is None else "not filled")
                if menu is not None and time.monotonic() > fill_deadline:
                    break  # some rows are never filled: reported as such
                self.x.wait(0.005)
                if menu is None:
                    times = self.x.popups()
                    menu = times[0] if times else None
                    # A click that reached the window before it took input is lost: click again.
                    if menu is None and time.monotonic() - clicked > 2:
                        result["clicks"] = result.get("clicks", 1) + 1
                        self.x.click_at(window, 20, 10)
                        clicked = time.monotonic()
                events = read_trace(trace)
            result["hwm_kib"] = vm_hwm_kib(proc.pid)
            result["cpu_ms"] = cpu_ms(proc.pid)
            shown = events["shown"][0]
            result["shown"] = (shown - t0) / 1e6
            result["menus"] = (menu - t0) / 1e6
            if not catalogue:
                result["filled"] = result["shown"]
            elif "filled" in events:
                result["filled"] = (max(events["filled"][0], shown) - t0) / 1e6
            else:
                result["filled"] = None
                result["unfilled"] = True
            # The open menu's Quit (its mnemonic): the program ends as the user ends it. A window
            # that came up meanwhile may have closed the menu: open it again first.
            while not self.x.popup_open():
                if proc.poll() is not None or time.monotonic() > deadline:
                    raise RuntimeError("menu closed")
                self.x.click_at(window, 20, 10)
                reopened = time.monotonic()
                while not self.x.popup_open() and time.monotonic() - reopened < 2:
                    self.x.wait(0.005)
            quit_sent = time.monotonic_ns()
            self.x.keys("x")
            proc.wait(timeout=max(1, deadline - time.monotonic()))
            # The longest stall while loading: up to the last row, or up to the Quit when rows stay empty.
            until = events["filled"][0] if "filled" in events else quit_sent
            gaps = [gap for ns, gap in read_trace(trace)["stalls"] if ns <= until]
            result["stall"] = max(gaps) / 1e6 if gaps else None
            result["ok"] = True
        except (RuntimeError, subprocess.TimeoutExpired) as e:
            result["error"] = str(e)
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
            log.close()
        return result


# ---- cache state ------------------------------------------------------------------------------

def drop_caches_permitted():
    try:
        with open("/proc/sys/vm/drop_caches", "w"):
            return True
    except OSError:
        return False


def make_cold(method, floor, catalogue):
    if method == "drop":
        os.sync()
        with open("/proc/sys/vm/drop_caches", "w") as f:
            f.write("3\n")
    elif method == "fadvise" and catalogue:
        subprocess.run([floor, "--evict", catalogue], check=True)


def resident(floor, catalogue):
    out = subprocess.run([floor, "--resident", catalogue], check=True, capture_output=True, text=True).stdout
    return tuple(int(v) for v in out.split())


def run_floor(floor, catalogue):
    out = subprocess.run([floor, catalogue], check=True, capture_output=True, text=True).stdout
    files, _bytes, ns = (int(v) for v in out.split())
    return {"ok": True, "files": files, "ms": ns / 1e6}


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
        disk = f"{dev} ({'rotational' if rota == '1' else 'non-rotational'} as reported"
        if os.path.exists(f"/sys/block/{name}/device/vendor") or name.startswith("vd"):
            disk += ", virtio" if name.startswith("vd") else ""
        disk += ")"
    except OSError:
        pass
    return {"cpu": cpu, "cores": os.cpu_count(), "kernel": platform.release(), "disk": disk,
            "load": open("/proc/loadavg").read().split()[:3]}


def med(samples, key):
    values = [s[key] for s in samples if s.get("ok") and s.get(key) is not None]
    return statistics.median(values) if values else None


def fmt(v, digits=0):
    return "-" if v is None else f"{v:,.{digits}f}"


def report(results, sizes, labels, info, runs, cold_method, fill_timeout):
    print()
    print(f"machine: {info['cpu']}, {info['cores']} cores, kernel {info['kernel']}, disk {info['disk']}")
    print(f"load average at start {' '.join(info['load'])}, at end {' '.join(open('/proc/loadavg').read().split()[:3])}")
    print(f"cold = first start after {cold_method}; median of {runs} warm starts. Times in ms from the spawn.")
    print("added = catalogue start - empty start (medians; cold: cold start - median empty start);"
          " ratio = added / floor")
    for label in labels:
        r = results[label]
        e = r["empty"]
        base_shown, base_menus = med(e["warm"], "shown"), med(e["warm"], "menus")
        print()
        print(f"[{label}] {r['exe']}")
        print(f"  empty start: shown {fmt(med(e['warm'], 'shown'))} (cold {fmt(e['cold'].get('shown'))}),"
              f" menus {fmt(base_menus)} (cold {fmt(e['cold'].get('menus'))}),"
              f" peak RSS {fmt((med(e['warm'], 'hwm_kib') or 0) / 1024, 1)} MB, CPU {fmt(med(e['warm'], 'cpu_ms'))} ms")
        head = ("| projects | run | shown | menus answer | rows filled | added (menus) | added (filled) "
                "| floor | ratio (menus) | ratio (filled) | peak RSS MB | longest stall | CPU ms |")
        print(head)
        print("|" + "---|" * (head.count("|") - 1))
        for n in sizes:
            c = r[n]
            fl = results["floor"][n]
            rows = [("cold", c["cold"], fl["cold"].get("ms")), (f"median", None, med(fl["warm"], "ms"))]
            for name, one, floor_ms in rows:
                def val(key):
                    return one.get(key) if one is not None else med(c["warm"], key)
                shown, menus, filled = val("shown"), val("menus"), val("filled")
                am = menus - base_menus if menus is not None and base_menus is not None else None
                af = filled - base_shown if filled is not None and base_shown is not None else None
                rm = am / floor_ms if am is not None and floor_ms else None
                rf = af / floor_ms if af is not None and floor_ms else None
                hwm = val("hwm_kib")
                print(f"| {n:,} | {name} | {fmt(shown)} | {fmt(menus)} | {fmt(filled)} | {fmt(am)} | {fmt(af)} "
                      f"| {fmt(floor_ms, 1)} | {fmt(rm, 1)} | {fmt(rf, 1)} | {fmt(hwm / 1024 if hwm else None, 1)} "
                      f"| {fmt(val('stall'))} | {fmt(val('cpu_ms'))} |")
        unfilled = sum(1 for n in sizes for s in [r[n]["cold"]] + r[n]["warm"] if s.get("unfilled"))
        if unfilled:
            print(f"  starts whose rows were not all filled {fill_timeout:.0f} s after the window answered: {unfilled}")
        failures = [s.get("error") for n in sizes for s in [r[n]["cold"]] + r[n]["warm"] if not s.get("ok")]
        if failures:
            print(f"  failed starts: {len(failures)} ({', '.join(sorted(set(map(str, failures))))})")


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("zarun", nargs="+", help="program executables to compare")
    ap.add_argument("--floor", required=True, help="the floor program (floor.c built)")
    ap.add_argument("--sizes", default="1000,10000,100000")
    ap.add_argument("--categories", type=int, default=0,
                    help="categories per catalogue; default 100, or 100 projects each above 10,000 projects")
    ap.add_argument("--runs", type=int, default=5, help="warm starts per catalogue (after the cold one)")
    ap.add_argument("--cold", choices=["auto", "drop", "fadvise", "none"], default="auto")
    ap.add_argument("--work", required=True, help="folder for catalogues and program folders")
    ap.add_argument("--timeout", type=float, default=300, help="seconds a start may take")
    ap.add_argument("--fill-timeout", type=float, default=60,
                    help="seconds to wait for every row to be filled once the window answers")
    ap.add_argument("--json", help="also write every sample here")
    args = ap.parse_args()

    sizes = [int(s) for s in args.sizes.split(",") if s]
    cold = args.cold
    if cold == "auto":
        cold = "drop" if drop_caches_permitted() else "fadvise"
    cold_text = {"drop": "sync; echo 3 > /proc/sys/vm/drop_caches (page cache, dentries, inodes), then one"
                         " untimed start with a catalogue of 100 other projects to bring back the program's own"
                         " files",
                 "fadvise": "posix_fadvise(POSIX_FADV_DONTNEED) on the catalogue and every .vbp",
                 "none": "nothing (cold = first run only)"}[cold]
    info = machine()
    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)

    # A private home: nothing of the user's is read or written.
    home = os.path.join(work, "home")
    runtime = os.path.join(work, "runtime")
    for d in (home, runtime):
        os.makedirs(d, exist_ok=True)
    os.chmod(runtime, 0o700)
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
               XDG_DATA_HOME=os.path.join(home, ".local/share"), XDG_CACHE_HOME=os.path.join(home, ".cache"),
               XDG_RUNTIME_DIR=runtime, QT_QPA_PLATFORM="xcb")
    env.pop("ZARUN_TRACE", None)

    # Above 10,000 projects the categories grow instead: a section of 1,000 entries is more than a
    # 32,767-byte section read holds (older builds silently stopped at 420 of these entries).
    def categories_for(n):
        return args.categories or max(100, -(-n // 100))

    catalogues = {}
    for n in sizes:
        folder = os.path.join(work, f"catalogue-{n}x{categories_for(n)}")
        path = os.path.join(folder, "Catalogue.zrd")
        if not os.path.exists(path):
            print(f"writing a catalogue of {n:,} projects in {categories_for(n):,} categories ...", flush=True)
            shutil.rmtree(folder, ignore_errors=True)
            gencat.generate(folder, n, categories_for(n))
        catalogues[n] = path
    # Started before a cold start: brings back the program's own files (libraries, fonts, the glyphs
    # of such names) after the drop, while the measured catalogue's files stay cold.
    warmup = os.path.join(work, "catalogue-warmup", "Catalogue.zrd")
    if not os.path.exists(warmup):
        gencat.generate(os.path.dirname(warmup), 100, 100)
    empty_catalogue = os.path.join(work, "empty.zrd")
    open(empty_catalogue, "wb").close()

    x = X()
    wm = None
    if not x.has_window_manager() and shutil.which("openbox"):
        wm = subprocess.Popen(["openbox"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while not x.has_window_manager() and time.monotonic() < deadline:
            time.sleep(0.02)
    print(f"window manager: {'yes' if x.has_window_manager() else 'none'}; cold: {cold_text}", flush=True)

    labels = [chr(ord("A") + i) for i in range(len(args.zarun))]
    programs = {l: Program(l, exe, work, env, x, args.timeout, args.fill_timeout) for l, exe in zip(labels, args.zarun)}
    results = {l: {"exe": os.path.abspath(exe), "empty": {"cold": {}, "warm": []}} for l, exe in
               zip(labels, args.zarun)}
    results["floor"] = {}
    for l in labels:
        for n in sizes:
            results[l][n] = {"cold": {}, "warm": []}
    for n in sizes:
        results["floor"][n] = {"cold": {}, "warm": []}

    try:
        if cold != "none":
            n = sizes[0]
            make_cold(cold, args.floor, catalogues[n])
            pages = resident(args.floor, catalogues[n])
            print(f"check of the cold state: {pages[0]} of {pages[1]} pages of the {n:,} catalogue's files"
                  " resident right after it was made", flush=True)
            if pages[0] > pages[1] // 100:
                print("WARNING: the page cache was not emptied; cold numbers are not cold", flush=True)

        # Cold: one start of each, caches dropped just before.
        for l in labels:
            make_cold(cold, args.floor, None)
            results[l]["empty"]["cold"] = programs[l].start(None)
        for n in sizes:
            for l in labels:
                make_cold(cold, args.floor, catalogues[n])
                if cold == "drop":
                    programs[l].start(warmup)
                print(f"cold start [{l}] {n:,} ...", flush=True)
                results[l][n]["cold"] = programs[l].start(catalogues[n])
            make_cold(cold, args.floor, catalogues[n])
            run_floor(args.floor, empty_catalogue)
            results["floor"][n]["cold"] = run_floor(args.floor, catalogues[n])

        # Warm: interleaved so that a change of the machine's load touches every column alike.
        for r in range(args.runs):
            print(f"warm round {r + 1}/{args.runs} ...", flush=True)
            for l in labels:
                results[l]["empty"]["warm"].append(programs[l].start(None))
            for n in sizes:
                for l in labels:
                    results[l][n]["warm"].append(programs[l].start(catalogues[n]))
                results["floor"][n]["warm"].append(run_floor(args.floor, catalogues[n]))
    finally:
        if wm:
            wm.terminate()
            wm.wait()

    report(results, sizes, labels, info, args.runs, cold_text, args.fill_timeout)
    if args.json:
        with open(args.json, "w") as f:
            json.dump({"machine": info, "cold": cold, "results": {k: {str(n): v for n, v in r.items()}
                                                                  for k, r in results.items()}}, f, indent=1)
    ok = all(s.get("ok") for l in labels for n in sizes for s in [results[l][n]["cold"]] + results[l][n]["warm"])
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
