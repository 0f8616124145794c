"""Makes the benchmark pictures, runs every job several times with each tool
and prints a table of median wall time and peak memory, with ratios."""

import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

from PIL import Image

PHOTOS = "/usr/share/backgrounds/mate"
IM = shutil.which("convert")
TIME = "/usr/bin/time"


def make_pictures(folder):
    """Canvases and insets from the package's photographs, baseline JPEG at
    quality 90 (what cameras and editors write), a 24-bit BMP and a GIF."""
    def save(src, size, name, **options):
        path = os.path.join(folder, name)
        image = Image.open(os.path.join(PHOTOS, src)).convert("RGB")
        image = image.resize(size, Image.LANCZOS)
        if name.endswith(".gif"):
            image = image.quantize(256)
        image.save(path, **options)
        return path

    return {
        "canvas4k": save("abstract/Elephants_5640x3172.jpg", (3840, 2160), "canvas4k.jpg", quality=90),
        "canvas8k": save("abstract/Elephants_5640x3172.jpg", (7680, 4320), "canvas8k.jpg", quality=90),
        "inset": save("nature/Dune.jpg", (1920, 1080), "inset.jpg", quality=90),
        "canvasbmp": save("nature/Storm.jpg", (1920, 1080), "canvas.bmp"),
        "insetgif": save("nature/LadyBird.jpg", (800, 600), "inset.gif"),
    }


# The floors each job is measured against, written as durably as Tessarin's
# output (an unnamed file, write-back started per strip, flushed, renamed, its
# folder flushed). First what two cores allow (two_core_floor): one thread
# decodes or reads the canvas into a ring of strips while another decodes the
# inset's block, patches it in and writes each strip. Nothing that writes the
# same picture durably can take less. A BMP canvas has a second floor: the
# canvas alone copied, its output made and committed the same way
# (two_core_floor --copy), which decodes no inset.
TWO_CORE_FLOOR = "two threads, decode and write, flushed"
COPY_FLOOR = "copy, flushed (canvas only)"


def jobs(p, out, work):
    """Per scenario: each tool's command (shell text), the floors last."""
    def two_core(canvas, inset, block, source="0 0"):
        return [(TWO_CORE_FLOOR, f"'{FLOOR}' '{canvas}' '{inset}' {block} '{out}' {source}")]

    def tools(canvas, inset, x, y, w, h, floors):
        geometry = f"{x:+d}{y:+d}"
        pil = ("from PIL import Image; import sys; c = Image.open(sys.argv[1]); "
               f"c.paste(Image.open(sys.argv[2]).crop((0, 0, {w}, {h})), ({x}, {y})); "
               "c.save(sys.argv[3], 'BMP')")
        return [
            ("Tessarin", f"'{TESSARIN}' '{canvas}', '{inset}', {x}, {y}, {w}, {h}, '{out}'"),
            ("ImageMagick", f"{IM} '{canvas}' \\( '{inset}' -crop {w}x{h}+0+0 +repage \\) "
                            f"-geometry {geometry} -composite -type truecolor BMP3:'{out}'"),
            ("GraphicsMagick", f"gm convert '{inset}' -crop {w}x{h}+0+0 +repage miff:- | "
                               f"gm composite -geometry {geometry} - '{canvas}' -type truecolor BMP3:'{out}'"),
            ("libvips", f"vips crop '{inset}' '{work}/block.v' 0 0 {w} {h} && "
                        f"vips insert -- '{canvas}' '{work}/block.v' '{out}' {x} {y}"),
            ("Pillow", f"/usr/bin/python3 -c \"{pil}\" '{canvas}' '{inset}' '{out}'"),
        ] + floors

    return [
        ("3840x2160 JPEG canvas, 1920x1080 JPEG inset, 800x600 at (100, 100)",
         tools(p["canvas4k"], p["inset"], 100, 100, 800, 600,
               two_core(p["canvas4k"], p["inset"], "100 100 800 600"))),
        ("7680x4320 JPEG canvas, same inset and block",
         tools(p["canvas8k"], p["inset"], 100, 100, 800, 600,
               two_core(p["canvas8k"], p["inset"], "100 100 800 600"))),
        # The block clipped: the inset's 600 x 380 at (200, 0) lands at (0, 700).
        ("1920x1080 BMP canvas, 800x600 GIF inset clipped left and bottom, at (-200, 700)",
         tools(p["canvasbmp"], p["insetgif"], -200, 700, 800, 600,
               two_core(p["canvasbmp"], p["insetgif"], "0 700 600 380", "200 0")
               + [(COPY_FLOOR, f"'{FLOOR}' --copy '{p['canvasbmp']}' '{out}'")])),
    ]


def run_once(command, out):
    """Wall seconds and peak resident MiB (the largest process of the job, as
    /usr/bin/time reports it) of one run, from a flushed disk."""
    if os.path.exists(out):
        os.remove(out)
    os.sync()  # no run waits for the write-back of the one before it
    start = time.perf_counter()
    done = subprocess.run([TIME, "-f", "%M", "sh", "-c", command], capture_output=True, text=True)
    wall = time.perf_counter() - start
    if done.returncode != 0 or not os.path.exists(out):
        raise SystemExit(f"failed: {command}\n{done.stderr}")
    return wall, int(done.stderr.strip().splitlines()[-1]) / 1024


def measure(tools, out, runs):
    """Per tool, median wall seconds and median peak MiB over `runs` rounds
    after one warm-up round. Each round runs every tool once, starting with a
    different one each time, so that what else the machine does meanwhile
    weighs on all of them alike."""
    walls = {name: [] for name, _ in tools}
    peaks = {name: [] for name, _ in tools}
    for i in range(runs + 1):
        for name, command in tools[i % len(tools):] + tools[:i % len(tools)]:
            wall, peak = run_once(command, out)
            if i:
                walls[name].append(wall)
                peaks[name].append(peak)
    return [(name, statistics.median(walls[name]), statistics.median(peaks[name]))
            for name, _ in tools]


def same_pixels(tools, out, work):
    """Whether Tessarin's output has exactly the pixels of Pillow's."""
    outputs = []
    for name, command in tools:
        if name in ("Tessarin", "Pillow"):
            subprocess.run(["sh", "-c", command], check=True, capture_output=True)
            kept = os.path.join(work, name + ".bmp")
            os.replace(out, kept)
            outputs.append(Image.open(kept).convert("RGB"))
    return outputs[0].tobytes() == outputs[1].tobytes()


def main():
    global TESSARIN, FLOOR
    TESSARIN, runs, FLOOR = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    work = tempfile.mkdtemp(prefix="tessarin-bench-")
    try:
        config = os.path.join(work, "config")
        os.makedirs(os.path.join(config, "Tessarin"))
        with open(os.path.join(config, "Tessarin", "Tessarin.ini"), "w") as ini:
            ini.write("[App]\nFirstRun=1\n")  # past the first run's notice
        os.environ["XDG_CONFIG_HOME"] = config
        pictures = make_pictures(work)
        out = os.path.join(work, "out.bmp")
        print(f"{os.cpu_count()} cores, {time.strftime('%Y-%m-%d')}, {runs} alternating rounds "
              f"(medians), load average {os.getloadavg()[0]:.1f} at the start\n")
        for title, tools in jobs(pictures, out, work):
            results = measure(tools, out, runs)
            # Ratios to the two-core floor.
            ours = results[0][1]
            floor = next(wall for name, wall, _ in results if name == TWO_CORE_FLOOR)
            print(f"### {title}\n")
            print("| tool | wall ms | peak MiB | × two-core floor | Tessarin × tool |")
            print("|---|---:|---:|---:|---:|")
            for name, wall, peak in results:
                print(f"| {name} | {wall * 1000:.0f} | {peak:.1f} | {wall / floor:.2f} | {ours / wall:.2f} |")
            print(f"\nTessarin's pixels equal Pillow's: {'yes' if same_pixels(tools, out, work) else 'NO'}"
                  f"; load average {os.getloadavg()[0]:.1f}\n")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
