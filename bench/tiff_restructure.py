#!/usr/bin/python3
"""Times `faxtiff restructure` on a 120-page and a 1,000-page fine-resolution
fax against a plain file copy (cp, and dd through a 64 KiB buffer) and
against libtiff's tiffcp, and prints the ratios. Peak memory is shown beside that of a process that does nothing
(`true`), so the difference is the program's own.

usage: tiff_restructure.py FAXTIFF [RUNS]
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time


sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "testbed", "faxhost"))
from fax_documents import make_long_fax  # noqa: E402

LENGTHS = (120, 1000)


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


def compare(faxtiff, fax, folder, runs, idle_kib):
    out = os.path.join(folder, "out.tif")
    pages = subprocess.run([faxtiff, "pages", fax], check=True, capture_output=True, text=True).stdout.strip()
    print(f"document: {pages} pages, 204x196, MH, {os.path.getsize(fax) / 1e6:.1f} MB; median of {runs} runs")
    results = {
        "plain copy (cp)": measure(["cp", fax, out], runs),
        # cp may copy inside the kernel; dd moves every byte through a 64 KiB
        # buffer in user space, as faxtiff does.
        "dd bs=64k": measure(["dd", "bs=64k", "if=" + fax, "of=" + out, "status=none"], runs),
        "faxtiff restructure": measure([faxtiff, "restructure", fax, out], runs),
        "libtiff tiffcp": measure(["tiffcp", fax, out], runs),
    }
    for name, (seconds, rss) in results.items():
        print(f"  {name:22s} {seconds * 1000:8.1f} ms   peak {rss / 1024:6.1f} MiB"
              f"   own {(rss - idle_kib) / 1024:6.1f} MiB")
    ours = results["faxtiff restructure"][0]
    print(f"faxtiff / cp:     {ours / results['plain copy (cp)'][0]:.2f}")
    print(f"faxtiff / dd:     {ours / results['dd bs=64k'][0]:.2f}")
    print(f"faxtiff / tiffcp: {ours / results['libtiff tiffcp'][0]:.2f}")


def main():
    faxtiff = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 15
    idle_kib = measure(["true"], runs)[1]
    print(f"a process that does nothing (true): peak {idle_kib / 1024:.1f} MiB")
    with tempfile.TemporaryDirectory(prefix="bench-tiff-") as folder:
        for pages in LENGTHS:
            compare(faxtiff, make_long_fax(folder, pages), folder, runs, idle_kib)


if __name__ == "__main__":
    main()
