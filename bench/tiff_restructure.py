#!/usr/bin/python3
"""Times `faxtiff restructure` on a 120-page fine-resolution fax against a
plain file copy and against libtiff's tiffcp, and prints the ratios.

usage: tiff_restructure.py FAXTIFF [RUNS]
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

# ImageMagick's own convert, whatever else the PATH offers under that name.
CONVERT = "/usr/bin/convert"
PAGES = 120
WIDTH, HEIGHT = 1728, 2292  # A4 at 204x196


def run(*args):
    subprocess.run(args, check=True, capture_output=True)


def make_fax(folder):
    """Four distinct MH pages, repeated to 120, as the fax service renders a long document."""
    pages = []
    for i in range(4):
        page = os.path.join(folder, f"page{i}.pbm")
        run(CONVERT, "-size", f"{WIDTH}x{HEIGHT}", "xc:white", "-fill", "black",
            "-draw", f"rectangle {100 + 50 * i},100 {1600 - 50 * i},180",
            "-draw", f"circle 864,{900 + 100 * i} 864,{1200 + 100 * i}",
            "logo:", "-geometry", f"+{300 + 100 * i}+1400", "-composite",
            "logo:", "-geometry", f"+{100 * i}+300", "-composite",
            "-monochrome", page)
        pages.append(page)
    four = os.path.join(folder, "four.tif")
    run(CONVERT, *pages, "-density", "204x196", "-units", "PixelsPerInch", "-compress", "None",
        os.path.join(folder, "plain.tif"))
    run("tiffcp", "-c", "g3:1d:fill", "-r", "100000", os.path.join(folder, "plain.tif"), four)
    fax = os.path.join(folder, "fax.tif")
    run("tiffcp", *[four] * (PAGES // 4), fax)
    return fax


def timed(command):
    """Wall time and peak memory (KiB, from GNU time) of one run."""
    start = time.perf_counter()
    done = subprocess.run(["/usr/bin/time", "-f", "%M", *command], capture_output=True, text=True)
    elapsed = time.perf_counter() - start
    if done.returncode != 0:
        raise SystemExit(f"{' '.join(command)} failed: {done.stderr}")
    return elapsed, int(done.stderr.split()[-1])


def measure(command, runs):
    timed(command)  # warm the page cache and the binary
    samples = [timed(command) for _ in range(runs)]
    return statistics.median(s[0] for s in samples), max(s[1] for s in samples)


def main():
    faxtiff = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 15
    with tempfile.TemporaryDirectory(prefix="bench-tiff-") as folder:
        fax = make_fax(folder)
        out = os.path.join(folder, "out.tif")
        pages = subprocess.run([faxtiff, "pages", fax], check=True, capture_output=True, text=True).stdout.strip()
        print(f"document: {pages} pages, 204x196, MH, {os.path.getsize(fax) / 1e6:.1f} MB; median of {runs} runs")
        results = {
            "plain copy (cp)": measure(["cp", fax, out], runs),
            "faxtiff restructure": measure([faxtiff, "restructure", fax, out], runs),
            "libtiff tiffcp": measure(["tiffcp", fax, out], runs),
        }
        for name, (seconds, rss) in results.items():
            print(f"  {name:22s} {seconds * 1000:8.1f} ms   peak {rss / 1024:6.1f} MiB")
        ours = results["faxtiff restructure"][0]
        print(f"faxtiff / cp:     {ours / results['plain copy (cp)'][0]:.2f}")
        print(f"faxtiff / tiffcp: {ours / results['libtiff tiffcp'][0]:.2f}")


if __name__ == "__main__":
    main()
