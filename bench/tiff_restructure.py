#!/usr/bin/python3
"""Times `faxtiff restructure` on a 120-page and a 1,000-page fine-resolution
fax against a plain file copy (cp, and dd through a 64 KiB buffer) and
against libtiff's tiffcp, and prints the ratios. Runs are paired: each round
runs every command once, in turn, and a ratio is the median of the rounds'
ratios, so load that comes and goes on a shared machine hits both sides of
it alike. With a second faxtiff, that one is timed in the same rounds too
(to compare a change with the code before it).

Peak memory is shown beside that of a process that does nothing (`true`)
and of faxtiff doing nothing (`faxtiff pages` on a document without pages),
so the differences are the program's own.

usage: tiff_restructure.py FAXTIFF [RUNS [BASELINE_FAXTIFF]]
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
TIFFCP_RUNS = 3  # tiffcp decodes and takes seconds: a few runs show its scale


def timed(command):
    """Wall time and peak memory (KiB, from GNU time) of one run."""
    start = time.perf_counter()
    done = subprocess.run(["/usr/bin/time", "-f", "%M", *command], capture_output=True, text=True)
    elapsed = time.perf_counter() - start
    if done.returncode != 0:
        raise SystemExit(f"{' '.join(command)} failed: {done.stderr}")
    return elapsed, int(done.stderr.split()[-1])


def paired(commands, runs):
    """Runs every command once per round, after one warm-up round."""
    for command in commands.values():
        timed(command)
    samples = {name: [] for name in commands}
    for _ in range(runs):
        for name, command in commands.items():
            samples[name].append(timed(command))
    return samples


def idle_peaks(faxtiff, folder, runs):
    empty = os.path.join(folder, "empty.tif")
    with open(empty, "wb") as f:
        f.write(b"II*\0\0\0\0\0")
    samples = paired({"true": ["true"], "faxtiff": [faxtiff, "pages", empty]}, runs)
    return {name: max(s[1] for s in got) for name, got in samples.items()}


def ratio(samples, name, other):
    return statistics.median(a[0] / b[0] for a, b in zip(samples[name], samples[other]))


def compare(faxtiffs, fax, folder, runs, idle):
    out = os.path.join(folder, "out.tif")
    pages = subprocess.run([faxtiffs["faxtiff restructure"], "pages", fax], check=True, capture_output=True,
                           text=True).stdout.strip()
    print(f"document: {pages} pages, 204x196, MH, {os.path.getsize(fax) / 1e6:.1f} MB; {runs} paired rounds")
    commands = {
        "plain copy (cp)": ["cp", fax, out],
        # cp may copy inside the kernel; dd moves every byte through a 64 KiB
        # buffer in user space, as faxtiff does.
        "dd bs=64k": ["dd", "bs=64k", "if=" + fax, "of=" + out, "status=none"],
        **{name: [binary, "restructure", fax, out] for name, binary in faxtiffs.items()},
    }
    samples = paired(commands, runs)
    samples["libtiff tiffcp"] = paired({"tiffcp": ["tiffcp", fax, out]}, min(runs, TIFFCP_RUNS))["tiffcp"]
    for name, got in samples.items():
        seconds = statistics.median(s[0] for s in got)
        rss = max(s[1] for s in got)
        print(f"  {name:22s} {seconds * 1000:8.1f} ms   peak {rss / 1024:6.1f} MiB"
              f"   over true {(rss - idle['true']) / 1024:5.2f} MiB   over idle faxtiff "
              f"{(rss - idle['faxtiff']) / 1024:5.2f} MiB")
    print(f"faxtiff / cp:     {ratio(samples, 'faxtiff restructure', 'plain copy (cp)'):.2f}")
    print(f"faxtiff / dd:     {ratio(samples, 'faxtiff restructure', 'dd bs=64k'):.2f}")
    tiffcp = statistics.median(s[0] for s in samples["libtiff tiffcp"])
    print(f"faxtiff / tiffcp: {statistics.median(s[0] for s in samples['faxtiff restructure']) / tiffcp:.2f}")
    if "baseline faxtiff" in samples:
        print(f"faxtiff / baseline faxtiff: {ratio(samples, 'faxtiff restructure', 'baseline faxtiff'):.2f}")


def main():
    faxtiffs = {"faxtiff restructure": sys.argv[1]}
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 15
    if len(sys.argv) > 3:
        faxtiffs["baseline faxtiff"] = sys.argv[3]
    with tempfile.TemporaryDirectory(prefix="bench-tiff-") as folder:
        idle = idle_peaks(faxtiffs["faxtiff restructure"], folder, runs)
        print(f"doing nothing: true peak {idle['true'] / 1024:.1f} MiB, faxtiff peak {idle['faxtiff'] / 1024:.1f} MiB")
        for pages in LENGTHS:
            compare(faxtiffs, make_long_fax(folder, pages), folder, runs, idle)


if __name__ == "__main__":
    main()
