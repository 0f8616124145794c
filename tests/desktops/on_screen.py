#!/usr/bin/env python3
"""The wallpaper on screen, drawn by each desktop's own process.

For one desktop: a logon (its own Xvfb, a private session bus and a private
system bus, a throw-away home, the desktop's real process started as its
session would), the built program run twice to one output path with two
different pictures, the screen read back after each run at the centre and
near the right edge; then the logon ends (desktop, buses, X server) and a new
one with the same home must still show the second picture.

    on_screen.py TESSARIN DESKTOP        one case; exit 77 when it is skipped

A desktop whose program is missing or cannot start here is skipped (status 77)
with the reason; under CI (CI=true), where the package lists install every
desktop, that is a failure instead.
"""
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import uuid
from pathlib import Path

SKIPPED = 77
WIDTH, HEIGHT = 1024, 768
# The pictures, each a canvas colour and another over its right third (as
# blue, green, red): big uniform blocks read back the same whatever the
# desktop's scaling does to the edges. Two pictures in a row differ by far
# more than the tolerance in some channel; none is Xvfb's white or black.
LEVELS = (30, 110, 190)
COLOURS = [(b, g, r) for b in LEVELS for g in LEVELS for r in LEVELS]


def picture(run):
    return COLOURS[run % len(COLOURS)], COLOURS[-1 - run % len(COLOURS)]


TOLERANCE = 24
SETTLE_SECONDS = 30  # a desktop's start, a cross-fade: far longer than either takes


class Skip(Exception):
    """The desktop cannot run here; the text says why."""


def bmp(width, height, bgr):
    stride = (width * 3 + 3) // 4 * 4
    row = bytes(bgr) * width + bytes(stride - width * 3)
    return (b"BM" + struct.pack("<IHHI", 54 + stride * height, 0, 0, 54) +
            struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, stride * height, 0, 0, 0, 0) +
            row * height)


def read_xwd(data):
    """(width, height, pixel(x, y) -> (b, g, r)) of an `xwd` dump in ZPixmap form."""
    fields = struct.unpack(">25I", data[:100])
    header_size, width, height = fields[0], fields[4], fields[5]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    masks = fields[14:17]
    colours = fields[19]
    if fields[2] != 2 or bits_per_pixel not in (24, 32):
        raise ValueError(f"unexpected xwd format {fields[2]}, {bits_per_pixel} bits a pixel")
    pixels = data[header_size + colours * 12:]
    step = bits_per_pixel // 8
    order = "little" if byte_order == 0 else "big"

    def channel(value, mask):
        shift = (mask & -mask).bit_length() - 1
        return ((value & mask) >> shift) * 255 // (mask >> shift)

    def pixel(x, y):
        at = y * bytes_per_line + x * step
        value = int.from_bytes(pixels[at:at + step], order)
        red, green, blue = (channel(value, mask) for mask in masks)
        return (blue, green, red)

    return width, height, pixel


def close(found, wanted):
    return all(abs(a - b) <= TOLERANCE for a, b in zip(found, wanted))


class Logon:
    """One logon: X server, buses and desktop, every process of it marked by an
    environment variable so that all of it, daemons that outlive their bus
    included, is ended by its process id."""

    def __init__(self, desktop, home, work):
        self.desktop = desktop
        self.mark = uuid.uuid4().hex
        self.work = work
        runtime = work / f"runtime-{self.mark}"
        runtime.mkdir(mode=0o700)
        self.env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "HOME": str(home),
            "USER": os.environ.get("USER", "root"),
            "LOGNAME": os.environ.get("USER", "root"),
            "SHELL": "/bin/sh",
            "LANG": "C.UTF-8",
            "XDG_CONFIG_HOME": str(home / ".config"),
            "XDG_DATA_HOME": str(home / ".local/share"),
            "XDG_CACHE_HOME": str(home / ".cache"),
            "XDG_RUNTIME_DIR": str(runtime),
            "XDG_SESSION_TYPE": "x11",
            "LIBGL_ALWAYS_SOFTWARE": "1",
            "NO_AT_BRIDGE": "1",
            "TESSARIN_TEST_LOGON": self.mark,
        }
        self.env.update(desktop["environment"])
        self.logs = []
        self.started = []
        self.desktop_process = None

    def start(self):
        self.env["DISPLAY"] = self._start_xvfb()
        self.env["DBUS_SESSION_BUS_ADDRESS"] = self._start_bus("session")
        self.env["DBUS_SYSTEM_BUS_ADDRESS"] = self._start_bus("system")
        if "window_manager" in self.desktop:
            self._spawn(self.desktop["window_manager"], "window-manager")
            self._wait_for_window_manager()
        self.desktop_process = self._spawn(self.desktop["command"], "desktop")

    def _wait_for_window_manager(self):
        """Until a window manager says on the root window that it runs."""
        deadline = time.monotonic() + SETTLE_SECONDS
        while time.monotonic() < deadline:
            said = self.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"]).stdout
            if "window id" in said:
                return
            time.sleep(0.2)
        raise Skip("the window manager did not start")

    def _spawn(self, command, name, **options):
        log = open(self.work / f"{name}-{self.mark}.log", "wb")
        self.logs.append(log)
        process = subprocess.Popen(command, env=self.env, stdin=subprocess.DEVNULL, stdout=log,
                                   stderr=subprocess.STDOUT, start_new_session=True, **options)
        self.started.append(process)
        return process

    def _start_xvfb(self):
        read, write = os.pipe()
        # -noreset: a server that resets as its last client leaves refuses
        # the next one for a moment, and screen reads come and go.
        self._spawn(["Xvfb", "-displayfd", str(write), "-screen", "0", f"{WIDTH}x{HEIGHT}x24",
                     "-nolisten", "tcp", "-noreset", "-wr", "+extension", "GLX"], "Xvfb",
                    pass_fds=[write])
        os.close(write)
        with os.fdopen(read) as lines:
            number = lines.readline().strip()
        if not number:
            raise Skip("Xvfb did not start")
        return ":" + number

    def _start_bus(self, name):
        read, write = os.pipe()
        address = f"unix:path={self.env['XDG_RUNTIME_DIR']}/{name}_bus"
        # The session configuration for both: a system bus needs no more here
        # than a bus to connect to.
        self._spawn(["dbus-daemon", "--session", "--nofork", "--address=" + address,
                     f"--print-address={write}"], f"dbus-{name}", pass_fds=[write])
        os.close(write)
        with os.fdopen(read) as lines:
            if not lines.readline().strip():
                raise Skip(f"the private {name} bus did not start")
        return address

    def run(self, command):
        return subprocess.run(command, env=self.env, stdin=subprocess.DEVNULL, capture_output=True,
                              text=True, timeout=60)

    def desktop_ended(self):
        return self.desktop_process.poll() is not None

    def desktop_output(self):
        return (self.work / f"desktop-{self.mark}.log").read_text(errors="replace")

    def screen(self):
        """The colours at the centre and near the right edge, or None while
        nothing can be read."""
        dump = subprocess.run(["xwd", "-root", "-silent", "-display", self.env["DISPLAY"]],
                              capture_output=True, timeout=20)
        if dump.returncode != 0:
            return None
        width, height, pixel = read_xwd(dump.stdout)
        return pixel(width // 2, height // 2), pixel(width - 24, height // 2)

    def processes(self):
        pids = []
        for entry in Path("/proc").iterdir():
            if not entry.name.isdigit():
                continue
            try:
                environ = (entry / "environ").read_bytes()
            except OSError:
                continue
            if f"TESSARIN_TEST_LOGON={self.mark}".encode() in environ.split(b"\0"):
                pids.append(int(entry.name))
        return pids

    def end(self):
        """As a session manager logs out: the desktop is asked to end (SIGTERM)
        and given time to save what it keeps, then the rest goes."""
        if self.desktop_process is not None:
            self.desktop_process.terminate()
            try:
                self.desktop_process.wait(timeout=SETTLE_SECONDS)
            except subprocess.TimeoutExpired:
                pass
        for sig in (signal.SIGTERM, signal.SIGKILL):
            for pid in self.processes():
                try:
                    os.kill(pid, sig)
                except ProcessLookupError:
                    pass
            deadline = time.monotonic() + 5
            while self.processes() and time.monotonic() < deadline:
                time.sleep(0.1)
        for process in self.started:
            process.wait()
        for log in self.logs:
            log.close()


def wait_until_steady(logon, accept, seconds=SETTLE_SECONDS):
    """The screen once two reads half a second apart agree and `accept` takes
    them (a cross-fade is over), else the last reads when the time is up."""
    deadline = time.monotonic() + seconds
    last = None
    while True:
        now = logon.screen()
        if now is not None and now == last and accept(now):
            return now
        if time.monotonic() > deadline or logon.desktop_ended():
            return now
        last = now
        time.sleep(0.5)


def shows(picture):
    return lambda screen: close(screen[0], picture[0]) and close(screen[1], picture[1])


def start_desktop(logon):
    """Starts the logon and waits until the desktop draws its background."""
    logon.start()
    logon.desktop.get("once_up", lambda logon: None)(logon)
    # Xvfb's root is white (-wr) until the desktop draws on it.
    wait_until_steady(logon, lambda screen: screen[0] != (255, 255, 255))
    if logon.desktop_ended():
        raise Skip(f"{logon.desktop['command'][0]} ended at start: " +
                   " | ".join(logon.desktop_output().strip().splitlines()[-3:]))


def run_tessarin(logon, tessarin, folder, run, output):
    """The program run from the command line, making picture(run) at `output`."""
    canvas, inset = folder / f"canvas-{run}.bmp", folder / f"inset-{run}.bmp"
    for path, colour in zip((canvas, inset), picture(run)):
        path.write_bytes(bmp(WIDTH, HEIGHT, colour))
    third = WIDTH // 3
    fields = [str(canvas), str(inset), str(WIDTH - third), "0", str(third), str(HEIGHT),
              str(output)]
    return logon.run([tessarin, *(field + "," for field in fields[:-1]), fields[-1]])


def first_run_notice_passed(home):
    settings = home / ".config/Tessarin/Tessarin.ini"
    settings.parent.mkdir(parents=True, exist_ok=True)
    settings.write_text("[App]\nFirstRun=1\n")


class Case:
    """One desktop's throw-away home and pictures, kept across its logons."""

    def __init__(self, tessarin, name, work):
        self.tessarin, self.desktop, self.work = tessarin, DESKTOPS[name], work
        self.home = work / "home"
        self.home.mkdir()
        first_run_notice_passed(self.home)
        self.desktop.get("prepare", lambda home: None)(self.home)
        self.output = self.home / "wallpaper.bmp"
        self.said_next_logon_hides = False

    def logon(self):
        """A new logon whose desktop is up; a desktop that ends at its start
        gets a second try (printed), as a session manager would give it."""
        missing = [p for p in self.desktop["needs"] if shutil.which(p) is None]
        if missing:
            raise Skip(f"{', '.join(missing)} not installed")
        for attempt in (1, 2):
            logon = Logon(self.desktop, self.home, self.work)
            try:
                start_desktop(logon)
                return logon
            except Skip as skip:
                logon.end()
                if attempt == 2:
                    raise
                print(f"first start failed, trying again: {skip}", flush=True)
            except BaseException:
                logon.end()
                raise

    def apply(self, logon, run):
        """What went wrong with run number `run`, if anything: its status and
        standard error, and whether the screen then shows its picture."""
        done = run_tessarin(logon, self.tessarin, self.work, run, self.output)
        problems = []
        warning = self.desktop.get("warns_next_logon_hides")
        if warning and done.stderr.strip() == warning:
            self.said_next_logon_hides = True
        elif done.returncode != 0 or done.stderr:
            problems.append(f"run {run + 1}: status {done.returncode}, stderr {done.stderr!r}")
        screen = wait_until_steady(logon, shows(picture(run)))
        if screen is None or not shows(picture(run))(screen):
            problems.append(f"after run {run + 1} the screen reads {screen}, not {picture(run)}")
            if logon.desktop_ended():
                problems.append("the desktop ended: " + logon.desktop_output()[-500:])
        return problems


def run_case(tessarin, name):
    with tempfile.TemporaryDirectory(prefix="tessarin-on-screen-") as folder:
        case = Case(tessarin, name, Path(folder))
        started = time.monotonic()
        logon = case.logon()
        try:
            problems = case.apply(logon, 0) + case.apply(logon, 1)
        finally:
            logon.end()
        if not problems:
            logon = case.logon()
            try:
                # Where the run said the picture will not show, the screen is
                # read as it settles rather than awaited.
                drawn = (lambda screen: screen[0] != (255, 255, 255)) \
                    if case.said_next_logon_hides else shows(picture(1))
                screen = wait_until_steady(logon, drawn)
                if screen is None or not shows(picture(1))(screen):
                    problem = f"at the next logon the screen reads {screen}, not {picture(1)}"
                    if case.said_next_logon_hides:
                        print(f"{name}: as the run said: {problem}")
                    else:
                        problems.append(problem)
            finally:
                logon.end()
        print(f"{name}: {time.monotonic() - started:.1f} s")
        return problems


def leave_overview(logon):
    """GNOME Shell starts in its overview, which hides the background, and may
    enter it a while after it is on the bus: it is left (Escape) until the
    shell says twice in a row, a second apart, that it is not in it."""
    asked = ["gdbus", "call", "--session", "--dest", "org.gnome.Shell", "--object-path",
             "/org/gnome/Shell", "--method", "org.freedesktop.DBus.Properties.Get",
             "org.gnome.Shell", "OverviewActive"]
    deadline = time.monotonic() + SETTLE_SECONDS
    outside = 0
    while outside < 2 and time.monotonic() < deadline and not logon.desktop_ended():
        answer = logon.run(asked).stdout
        outside = outside + 1 if "false" in answer else 0
        if "true" in answer:
            logon.run(["xdotool", "key", "Escape"])
        time.sleep(1)


def in_home(relative, text):
    def prepare(home):
        (home / relative).parent.mkdir(parents=True, exist_ok=True)
        (home / relative).write_text(text)
    return prepare


# Each desktop as its session starts it: the program (and a window manager
# started before it), the variables its session sets, the programs it needs,
# what is done once it is up, what its home holds before the first logon.
DESKTOPS = {
    # xfdesktop draws the backdrop at its start only beside xfwm4.
    "xfce": {"command": ["xfdesktop"], "window_manager": ["xfwm4"],
             "needs": ["xfdesktop", "xfwm4"],
             "environment": {"XDG_CURRENT_DESKTOP": "XFCE", "DESKTOP_SESSION": "xfce"}},
    "mate": {"command": ["caja", "-n", "--force-desktop"], "needs": ["caja"],
             "environment": {"XDG_CURRENT_DESKTOP": "MATE", "DESKTOP_SESSION": "mate"}},
    "lxde": {"command": ["pcmanfm", "--desktop", "--profile", "LXDE"], "needs": ["pcmanfm"],
             "environment": {"XDG_CURRENT_DESKTOP": "LXDE", "DESKTOP_SESSION": "LXDE"}},
    # startlxqt puts /usr/share among the configuration folders, where
    # Debian's profile for pcmanfm-qt lies.
    "lxqt": {"command": ["pcmanfm-qt", "--desktop", "--profile=lxqt"], "needs": ["pcmanfm-qt"],
             "environment": {"XDG_CURRENT_DESKTOP": "LXQt", "DESKTOP_SESSION": "lxqt",
                             "XDG_CONFIG_DIRS": "/etc/xdg:/usr/share"}},
    # A user who once chose "no wallpaper" in pcmanfm-qt's preferences.
    "lxqt_mode_none": {"command": ["pcmanfm-qt", "--desktop", "--profile=lxqt"],
                       "needs": ["pcmanfm-qt"],
                       "environment": {"XDG_CURRENT_DESKTOP": "LXQt", "DESKTOP_SESSION": "lxqt"},
                       "prepare": in_home(".config/pcmanfm-qt/lxqt/settings.conf",
                                          "[Desktop]\nWallpaperMode=none\nBgColor=#000080\n"),
                       # pcmanfm-qt 1.2 saves the mode it started with as it
                       # ends, which the run can only say; a pcmanfm-qt that
                       # keeps the mode it is given must show it next time.
                       "warns_next_logon_hides":
                           "Tessarin: the wallpaper may not show: pcmanfm-qt will hide it again at "
                           "the next logon: its desktop saves the wallpaper mode it started with "
                           "(none) as it ends; another mode chosen in its desktop preferences "
                           "keeps the wallpaper"},
    "plasma": {"command": ["plasmashell", "--no-respawn"], "needs": ["plasmashell"],
               "environment": {"XDG_CURRENT_DESKTOP": "KDE", "DESKTOP_SESSION": "plasma",
                               "KDE_FULL_SESSION": "true", "KDE_SESSION_VERSION": "5",
                               "QT_QUICK_BACKEND": "software", "QT_XCB_GL_INTEGRATION": "none"}},
    "gnome_shell": {"command": ["gnome-shell", "--x11", "--replace"], "needs": ["gnome-shell"],
                    "once_up": leave_overview,
                    "environment": {"XDG_CURRENT_DESKTOP": "GNOME", "DESKTOP_SESSION": "gnome",
                                    "XDG_SESSION_DESKTOP": "gnome"}},
    # The background is drawn by its settings daemon, which waits for the
    # session manager: the real session, then.
    "cinnamon": {"command": ["cinnamon-session", "--session", "cinnamon"],
                 "needs": ["cinnamon-session", "cinnamon"],
                 "environment": {"XDG_CURRENT_DESKTOP": "X-Cinnamon", "DESKTOP_SESSION": "cinnamon",
                                 "XDG_SESSION_DESKTOP": "cinnamon"}},
    # Its full session needs logind; the window manager draws the background.
    "budgie": {"command": ["budgie-wm", "--replace", "--sm-disable"], "needs": ["budgie-wm"],
               "environment": {"XDG_CURRENT_DESKTOP": "Budgie:GNOME",
                               "DESKTOP_SESSION": "budgie-desktop"}},
}


def main():
    tessarin, name = sys.argv[1], sys.argv[2]
    try:
        problems = run_case(os.path.abspath(tessarin), name)
    except Skip as skip:
        if os.environ.get("CI") == "true":
            print(f"{name}: cannot run, and CI installs every desktop: {skip}")
            return 1
        print(f"{name}: skipped: {skip}")
        return SKIPPED
    for problem in problems:
        print(f"{name}: {problem}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
