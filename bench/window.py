"""What the window costs: how soon it is on the screen, a 20-photo run from
the window against the same run on the command line, how long the window
goes without painting during that run, and what the command line pays for
having a window at all (against a build without one). Started by window.sh
on a virtual X server; every figure is a median, pairs interleaved."""
import argparse
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import compare  # noqa: E402  (the bench photos)


def wall(cmd, env=None):
    start = time.perf_counter()
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
    return time.perf_counter() - start


def window_on_screen(trimbrel, work):
    """Seconds from starting the process until its main window is mapped."""
    env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"))
    start = time.perf_counter()
    proc = subprocess.Popen([trimbrel], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    try:
        while True:
            found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Trimbrel"],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0
            if found:
                return time.perf_counter() - start
            if proc.poll() is not None:
                raise RuntimeError("the program ended before its window showed: " + proc.stderr.read().decode(errors="replace")[-500:])
            if time.perf_counter() - start > 20:
                raise RuntimeError("no window within 20 s")
    finally:
        proc.send_signal(signal.SIGTERM)
        proc.wait(timeout=20)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--trimbrel", required=True, help="the executable with its window module")
    parser.add_argument("--headless", required=True, help="the same tree built without the window")
    parser.add_argument("--bench-window", required=True)
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()

    with tempfile.TemporaryDirectory() as work:
        shown = [window_on_screen(args.trimbrel, work) for _ in range(7)]
        print("## The window\n")
        print(f"window on the screen after {statistics.median(shown) * 1000:.0f} ms "
              f"(median of 7, whole process; min {min(shown) * 1000:.0f}, max {max(shown) * 1000:.0f})")

        photos = compare.batch_photos(work, compare.make_photos(work))
        window_times, cli_times, gaps = [], [], []
        for _ in range(args.runs):
            out = os.path.join(work, "from_window")
            shutil.rmtree(out, ignore_errors=True)
            start = time.perf_counter()
            result = subprocess.run([args.bench_window, out] + photos, check=True, capture_output=True, text=True)
            figures = dict(line.split() for line in result.stdout.splitlines())
            window_times.append(float(figures["window_run_seconds"]))
            gaps.append(int(figures["longest_paint_gap_ms"]))
            cli_out = os.path.join(work, "from_cli")
            shutil.rmtree(cli_out, ignore_errors=True)
            cli_times.append(wall([args.trimbrel, "-q", "-o", cli_out] + photos))
        w, c = statistics.median(window_times), statistics.median(cli_times)
        print(f"20 photos from the window: {w:.2f} s; on the command line (whole process): {c:.2f} s; "
              f"ratio {w / c:.3f} (median of {args.runs})")
        print(f"longest time without a paint during those runs: median {statistics.median(gaps)} ms, "
              f"worst {max(gaps)} ms")

        print("\n## What the command line pays for the window\n")
        small = os.path.join(compare.MATE, "nature/Aqua.jpg")
        rows = {"--version": ["--version"], "one photo": ["-q", "-o", os.path.join(work, "one"), small]}
        print("| run | with the window | without | difference |")
        print("|---|---|---|---|")
        for label, extra in rows.items():
            with_w, without = [], []
            for _ in range(41):
                with_w.append(wall([args.trimbrel] + extra))
                without.append(wall([args.headless] + extra))
            a, b = statistics.median(with_w), statistics.median(without)
            print(f"| {label} | {a * 1000:.2f} ms | {b * 1000:.2f} ms | {(a - b) * 1000:+.2f} ms |")


if __name__ == "__main__":
    main()
