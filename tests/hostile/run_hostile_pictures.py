#!/usr/bin/env python3
"""Runs the built program with each hostile picture as canvas, as inset, and
for some as both at once.

Every run must end within the whole run's bounds of wall time and peak
resident memory (src/limits/run_limits.h, passed by the build; the memory is
the process's own maximum, from wait4's resource usage; it includes what this
script held when it started the process, so the pictures are made by a
separate process and this one stays small), with the outcome listed below: a finished wallpaper, or a failure stop (status 1) whose
message starts with the picture's path and says why.

    run_hostile_pictures.py --seconds S --mib M TESSARIN [NAME...]
                                                   default: every picture
"""
import argparse
import os
import signal
import struct
import subprocess
import sys
import tempfile
import time
from pathlib import Path

GENERATOR = Path(__file__).resolve().parent / "make_hostile_pictures.py"
KILL_AFTER = 60  # a run this long has failed anyway; do not wait for it

# Per role (canvas with a small inset, inset on a small canvas, both at once):
# None when the wallpaper is made, else a text the failure stop's message holds.
def same(outcome):
    return {"canvas": outcome, "inset": outcome}


EXPECTED = {
    "pattern_brushes.wmf": same("too large to draw"),
    "zero_width_blits.wmf": same(None),
    "save_dc.wmf": same(None),
    "palettes.wmf": same(None),
    "dotted_lines.wmf": same("takes too long to draw"),
    "infinite_viewport.wmf": same("takes too long to draw"),
    "wide_row.bmp": same("100000000 pixels wide"),
    "huge_canvas.bmp": {"canvas": "more than 256 MiB", "inset": None},
    "large_canvas.bmp": {"canvas": None, "inset": None, "both": None},
    "text_pile_up.wmf": same("takes too long to draw"),
    "large_frame.wmf": {"canvas": None, "inset": None, "both": "too large to decode in memory"},
    "fuzz_ends_early.gif": {"canvas": "ends early", "inset": "ends early", "both": "ends early"},
    "fuzz_defective.gif": {"canvas": "defective", "inset": "defective", "both": "defective"},
    "fuzz_wide_dashed_pen.wmf": same("malformed record"),
}


def small_bmp(width, height):
    stride = (width * 3 + 3) // 4 * 4
    data = bytes([40, 90, 200] * width + [0] * (stride - width * 3)) * height
    return (b"BM" + struct.pack("<IHHI", 54 + len(data), 0, 0, 54) +
            struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 0, 0, 0, 0) + data)


def run(executable, home, arguments):
    """(exit status, seconds, peak MiB, standard error) of one run."""
    environment = {"HOME": str(home), "XDG_CONFIG_HOME": str(home / ".config"),
                   "PATH": "/usr/bin:/bin", "LC_ALL": "C"}
    start = time.monotonic()
    with open(home / "stderr.txt", "wb") as errors:
        process = subprocess.Popen([executable] + arguments, cwd=home, env=environment,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=errors)
    while True:
        pid, status, usage = os.wait4(process.pid, os.WNOHANG)
        if pid:
            break
        if time.monotonic() - start > KILL_AFTER:
            os.kill(process.pid, signal.SIGKILL)
        time.sleep(0.02)
    seconds = time.monotonic() - start
    process.returncode = os.waitstatus_to_exitcode(status)
    return process.returncode, seconds, usage.ru_maxrss / 1024, (home / "stderr.txt").read_text(errors="replace")


def check(executable, home, name, role, bounds):
    """Runs `name` as `role` ("canvas" or "inset"); returns a complaint or None."""
    canvas = "small.bmp" if role == "inset" else name
    inset = "small.bmp" if role == "canvas" else name
    status, seconds, mib, errors = run(executable, home, [canvas + ",", inset + ",", "0, 0, 9000, 9000,", "out.bmp"])
    print(f"{name} as {role}: status {status}, {seconds:.2f} s, {mib:.0f} MiB peak; {errors.strip()[:160]}")
    expected = EXPECTED[name][role]
    if seconds > bounds.seconds or mib > bounds.mib:
        return f"{name} as {role}: {seconds:.2f} s and {mib:.0f} MiB, over {bounds.seconds} s or {bounds.mib} MiB"
    if expected is None and status != 0:
        return f"{name} as {role}: the wallpaper was not made (status {status})"
    if expected is not None and (status != 1 or f" {name}: " not in errors or expected not in errors):
        return f"{name} as {role}: expected a failure stop saying \"{expected}\", got status {status}"
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--seconds", type=int, required=True, help="a run's most wall time")
    parser.add_argument("--mib", type=int, required=True, help="a run's most peak memory")
    parser.add_argument("executable")
    parser.add_argument("names", nargs="*", default=list(EXPECTED))
    bounds = parser.parse_args()
    executable, names = bounds.executable, bounds.names
    with tempfile.TemporaryDirectory(prefix="tessarin-hostile-") as folder:
        home = Path(folder)
        if run(executable, home, [])[0] != 0:  # the first run only shows its notice
            sys.exit("the first run failed")
        (home / "small.bmp").write_bytes(small_bmp(64, 48))
        subprocess.run([sys.executable, str(GENERATOR), str(home)], check=True)
        complaints = [c for name in names for role in EXPECTED[name]
                      if (c := check(executable, home, name, role, bounds))]
    for complaint in complaints:
        print("FAILED:", complaint)
    sys.exit(1 if complaints else 0)


if __name__ == "__main__":
    main()
