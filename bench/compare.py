"""Runs trimbrel side by side with the tools users would pick instead, on
the same photographs, and prints median per-photo time, peak resident
memory and the throughput of a 20-photo batch, each as a ratio to trimbrel
measured in the same run. Started by compare.sh, which installs the tools."""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from collections import namedtuple

from PIL import Image

Measure = namedtuple("Measure", "wall peak cpu out")

MATE = "/usr/share/backgrounds/mate"
HERE = os.path.dirname(os.path.abspath(__file__))
TW, TH = 154, 189
# Bare decoding, the least any road can cost: the whole picture decoded and
# thrown away, and the decode at the scale the fast road picks for the photo.
FLOORS = {"exact": "floor: djpeg -ppm", "fast": "floor: djpeg -scale 1/N -bmp"}


def fast_scale(photo):
    """The DCT scale trimbrel --fast decodes this photo at (fit on the width):
    the largest of 1/8, 1/4, 1/2 that leaves the canvas at least twice the
    target along both sides, and 1 unless the photo shrinks 4 times or more."""
    with Image.open(photo) as im:
        w, h = im.size
    scale = w / TW
    offset = int((TH - h / scale) / 2)
    canvas_h = int(h + offset * scale * 2)
    if scale < 4:
        return 1
    for d in (8, 4, 2):
        if w // d >= 2 * TW and canvas_h // d >= 2 * TH:
            return d
    return 1
GOALS = {"exact": 1.10, "fast": 1.15}
JOB = ["-filter", "Box", "-resize", f"{TW}x", "-gravity", "center", "-background", "#F0F0F0",
       "-extent", f"{TW}x{TH}", "-density", "150", "-units", "PixelsPerInch", "-quality", "90"]


def run(cmd, stdout=subprocess.DEVNULL):
    """Wall time, peak resident memory (bytes) and CPU time of one process.
    The memory comes from /usr/bin/time, whose own small process forks the
    command (a child forked straight from this script would inherit its
    high-water mark); the CPU time from wait4 on that process, which counts
    the command it waited for, to the microsecond."""
    with tempfile.NamedTemporaryFile(mode="r", suffix=".mem") as mem:
        start = time.perf_counter()
        proc = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", mem.name] + cmd, stdout=stdout,
                                stderr=subprocess.PIPE)
        out = proc.stdout.read().decode() if stdout == subprocess.PIPE else ""
        err = proc.stderr.read().decode(errors="replace")
        _, status, usage = os.wait4(proc.pid, 0)
        elapsed = time.perf_counter() - start
        proc.returncode = os.waitstatus_to_exitcode(status)
        if proc.returncode != 0:
            raise RuntimeError(f"{cmd[0]} failed ({proc.returncode}): {err[:300]}")
        peak = int(mem.read().split()[-1]) * 1024
    return Measure(elapsed, peak, usage.ru_utime + usage.ru_stime, out)


def tools(trimbrel, work):
    out = os.path.join(work, "out")
    jpg = os.path.join(work, "out.jpg")
    vtmp = os.path.join(work, "tmp.v")

    def vips(photo, fast):
        # Scale to the width (shrink-on-load), then centre on the target.
        a = run(["vips", "thumbnail", photo, vtmp, str(TW), "--height", "100000"])
        b = run(["vips", "gravity", vtmp, jpg + "[Q=90]", "centre", str(TW), str(TH),
                 "--extend", "background", "--background", "240 240 240"])
        return a.wall + b.wall, max(a.peak, b.peak), a.cpu + b.cpu

    def pillow(photo, fast):
        cmd = [sys.executable, os.path.join(HERE, "compare_pillow.py"), photo, jpg] + (["--draft"] if fast else [])
        m = run(cmd, stdout=subprocess.PIPE)
        wall, cpu = (float(v) for v in m.out.split())
        # Python's start-up is left out of both times.
        return wall, m.peak, cpu

    def simple(cmd_for):
        def measure(photo, fast):
            m = run(cmd_for(photo))
            return m.wall, m.peak, m.cpu
        return measure

    size = f"jpeg:size={2 * TW}x{2 * TH}"
    return {
        "exact": [
            ("trimbrel", simple(lambda p: [trimbrel, "-q", "-j", "1", "-o", out, p])),
            (FLOORS["exact"], simple(lambda p: ["djpeg", "-ppm", "-outfile", "/dev/null", p])),
            ("djpeg -bmp", simple(lambda p: ["djpeg", "-bmp", "-outfile", "/dev/null", p])),
            ("ImageMagick", simple(lambda p: ["convert", p] + JOB + [jpg])),
            ("GraphicsMagick", simple(lambda p: ["gm", "convert", p] + JOB + [jpg])),
            ("Pillow", pillow),
        ],
        "fast": [
            ("trimbrel -F", simple(lambda p: [trimbrel, "-F", "-q", "-j", "1", "-o", out, p])),
            (FLOORS["fast"], simple(lambda p: ["djpeg", "-scale", f"1/{fast_scale(p)}", "-bmp", "-outfile",
                                               "/dev/null", p])),
            ("ImageMagick jpeg:size", simple(lambda p: ["convert", "-define", size, p] + JOB + [jpg])),
            ("GraphicsMagick -size", simple(lambda p: ["gm", "convert", "-size", f"{2 * TW}x{2 * TH}", p] + JOB + [jpg])),
            ("vips thumbnail", lambda p, f: vips(p, True)),
            ("Pillow draft()", lambda p, f: pillow(p, True)),
        ],
    }


def make_photos(work):
    """The two large progressive photos as shipped, a baseline 6000 x 4000
    and a portrait 3000 x 4000 made from the largest, and the package's
    1920 x 1280 baseline Storm.jpg, where start-up weighs most."""
    big = os.path.join(MATE, "abstract/Elephants_5640x3172.jpg")
    photos = [big, os.path.join(MATE, "abstract/Elephants_3840x2160.jpg")]
    im = Image.open(big).convert("RGB")
    scaled = im.resize((round(im.width * 4000 / im.height), 4000), Image.LANCZOS)
    left = (scaled.width - 6000) // 2
    baseline = scaled.crop((left, 0, left + 6000, 4000))
    path = os.path.join(work, "baseline_6000x4000.jpg")
    baseline.save(path, "JPEG", quality=92)
    photos.append(path)
    path = os.path.join(work, "portrait_3000x4000.jpg")
    baseline.crop((1500, 0, 4500, 4000)).save(path, "JPEG", quality=92)
    photos.append(path)
    photos.append(os.path.join(MATE, "nature/Storm.jpg"))
    return photos


def batch_photos(work, photos):
    """Twenty photos: every JPEG of the package, the two made ones, and copies."""
    found = sorted(os.path.join(root, f) for root, _, files in os.walk(MATE) for f in files if f.endswith(".jpg"))
    pool = photos[2:4] + found
    folder = os.path.join(work, "batch")
    os.makedirs(folder, exist_ok=True)
    chosen = []
    for i in range(20):
        src = pool[i % len(pool)]
        dst = os.path.join(folder, f"{i:02d}_{os.path.basename(src)}")
        shutil.copyfile(src, dst)
        chosen.append(dst)
    return chosen


def mb(n):
    return n / (1 << 20)


def per_photo(photos, kinds, runs, pixels):
    print(f"\n## Per photo: median of {runs} runs; ratio = tool / trimbrel of the same road\n")
    print("| photo | road | tool | median time | time ratio | median CPU time | CPU ratio | peak memory | memory ratio |")
    print("|---|---|---|---|---|---|---|---|---|")
    for photo in photos:
        name = os.path.basename(photo)
        for road, entries in kinds.items():
            results = {}
            # Interleaved, so that noise from the shared machine falls on every tool alike.
            samples = {label: ([], [], []) for label, _ in entries}
            for _ in range(runs):
                for label, measure in entries:
                    for series, value in zip(samples[label], measure(photo, road == "fast")):
                        series.append(value)
            for label, series in samples.items():
                results[label] = tuple(statistics.median(v) for v in series)
            base_t, base_m, base_c = results[entries[0][0]]
            for label, (t, m, c) in results.items():
                print(f"| {name} | {road} | {label} | {t * 1000:.0f} ms | {t / base_t:.2f} | {c * 1000:.0f} ms | "
                      f"{c / max(base_c, 0.005):.2f} | {mb(m):.0f} MB | {m / base_m:.2f} |")
            floor_t, floor_m, floor_c = results[FLOORS[road]]
            print(f"| {name} | {road} | {entries[0][0]} ÷ {FLOORS[road][7:]} (goal ≤ {GOALS[road]:.2f}) | | "
                  f"{base_t / floor_t:.3f} | | {base_c / max(floor_c, 0.0005):.3f} | | {base_m / floor_m:.2f} |")
            if road == "exact":
                w, h = pixels[photo]
                print(f"| {name} | exact | (decoded 24-bit size) | | | | | {mb(w * h * 3):.0f} MB | "
                      f"trimbrel's peak is {base_m / (w * h * 3):.2f} × this |")
        sys.stdout.flush()


def batch(trimbrel, work, photos, kinds):
    print("\n## Batch of 20 photos: photos per second; ratio = trimbrel / tool\n")
    print("| tool | seconds | photos/s | trimbrel -j 1 is faster by |")
    print("|---|---|---|---|")
    out = os.path.join(work, "batch_out")
    rows = []
    for label, args in [("trimbrel -j 1", ["-j", "1"]), ("trimbrel -j 2", ["-j", "2"]),
                        ("trimbrel -F -j 1", ["-F", "-j", "1"]), ("trimbrel -F -j 2", ["-F", "-j", "2"])]:
        rows.append((label, run([trimbrel, "-q", "-o", out] + args + photos).wall))
    for road, entries in kinds.items():
        for label, measure in entries[1:]:
            if label in FLOORS.values():
                continue
            total = sum(measure(p, road == "fast")[0] for p in photos)
            rows.append((label + " (one process per photo)", total))
    base = rows[0][1]
    for label, t in rows:
        print(f"| {label} | {t:.2f} | {len(photos) / t:.2f} | {t / base:.2f} |")
    print(f"\n--jobs 2 over --jobs 1: {rows[0][1] / rows[1][1]:.2f} × the throughput (exact), "
          f"{rows[2][1] / rows[3][1]:.2f} × (fast)")


def psnr_check(trimbrel, work, photos):
    print("\n## Fast road against the exact road (BMP output)\n")
    print("| photo | PSNR | photo rows exact | photo rows fast |")
    print("|---|---|---|---|")
    for photo in photos:
        result = {}
        for label, extra in [("exact", []), ("fast", ["-F"])]:
            out = os.path.join(work, "psnr_" + label)
            edges = os.path.join(work, "edges_" + label)
            run([trimbrel, "-q", "-f", "bmp", "-o", out] + extra + [photo])
            run([trimbrel, "-q", "-f", "bmp", "--background", "FF00FF", "-o", edges] + extra + [photo])
            base = os.path.splitext(os.path.basename(photo))[0] + ".bmp"
            image = Image.open(os.path.join(out, base)).convert("RGB")
            marked = Image.open(os.path.join(edges, base)).convert("RGB")
            column = [marked.getpixel((TW // 2, y)) for y in range(TH)]
            shown = [y for y, (r, g, b) in enumerate(column) if abs(r - 255) + g + abs(b - 255) >= 60]
            result[label] = (image, (shown[0], shown[-1]) if shown else None)
        a, b = result["exact"][0].tobytes(), result["fast"][0].tobytes()
        mse = sum((x - y) ** 2 for x, y in zip(a, b)) / len(a)
        psnr = 99.0 if mse == 0 else 10 * __import__("math").log10(255 * 255 / mse)
        print(f"| {os.path.basename(photo)} | {psnr:.1f} dB | {result['exact'][1]} | {result['fast'][1]} |")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--trimbrel", required=True)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--skip-batch", action="store_true")
    parser.add_argument("--psnr-only", action="store_true", help="only compare the fast road with the exact one")
    parser.add_argument("--only", default="", help="time only the photos whose name holds this text")
    parser.add_argument("--floors", action="store_true",
                        help="time only trimbrel and bare decoding, the two roads' goals, without peers or batch")
    args = parser.parse_args()
    trimbrel = os.path.abspath(args.trimbrel)
    with tempfile.TemporaryDirectory(prefix="trimbrel-bench-") as work:
        photos = make_photos(work)
        pixels = {p: Image.open(p).size for p in photos}
        print(f"# trimbrel against its peers, {time.strftime('%Y-%m-%d %H:%M')}, {os.cpu_count()} processors")
        print("Job: 154 x 189 at 150 dpi, basis width, JPEG quality 90, bands F0F0F0.")
        kinds = tools(trimbrel, work)
        if args.floors:
            kinds = {road: [e for e in entries if e[0] in ("trimbrel", "trimbrel -F", FLOORS[road])]
                     for road, entries in kinds.items()}
        if not args.psnr_only:
            per_photo([p for p in photos if args.only in os.path.basename(p)], kinds, args.runs, pixels)
        if args.floors:
            return
        if not args.skip_batch and not args.psnr_only:
            batch(trimbrel, work, batch_photos(work, photos), kinds)
        psnr_check(trimbrel, work, photos + [os.path.join(MATE, "nature/Wood.jpg"), os.path.join(MATE, "nature/GreenMeadow.jpg")])


if __name__ == "__main__":
    main()
