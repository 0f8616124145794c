#!/usr/bin/env python3
"""How often each desktop shows the new picture when the same output path is
written again: in one logon per desktop, RUNS runs to one path, each with a
picture of its own (tests/desktops/on_screen.py makes them), each counted when
the screen shows it within that driver's settling time.

    bench/desktop_refreshes.py TESSARIN [RUNS, default 20] [DESKTOP...]
"""
import sys
import tempfile
import time
from pathlib import Path

sys.dont_write_bytecode = True  # nothing left in the source tree
sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "desktops"))
import on_screen  # noqa: E402


def refreshes(tessarin, name, runs):
    with tempfile.TemporaryDirectory(prefix="tessarin-refreshes-") as folder:
        case = on_screen.Case(tessarin, name, Path(folder))
        logon = case.logon()
        try:
            shown = 0
            for run in range(runs):
                problems = case.apply(logon, run)
                shown += not problems
                for problem in problems:
                    print(f"  {name} run {run + 1}: {problem}", flush=True)
            return shown
        finally:
            logon.end()


def main():
    tessarin = str(Path(sys.argv[1]).resolve())
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    for name in sys.argv[3:] or on_screen.DESKTOPS:
        started = time.monotonic()
        try:
            shown = refreshes(tessarin, name, runs)
        except on_screen.Skip as skip:
            print(f"{name}: skipped: {skip}", flush=True)
            continue
        print(f"{name}: {shown}/{runs} shown, {time.monotonic() - started:.0f} s", flush=True)


if __name__ == "__main__":
    main()
