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
so the differences are the program's own. CPU time (user and system) is the
median of the rounds too; the system calls of each command are counted once,
under strace, outside the timed rounds.

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
    """Wall time, peak memory (KiB, from GNU time) and CPU time of one run."""
    start = time.perf_counter()
    with tempfile.TemporaryFile("w+") as errors:
        process = subprocess.Popen(["/usr/bin/time", "-f", "%M", *command], stdout=subprocess.DEVNULL, stderr=errors)
        _, status, usage = os.wait4(process.pid, 0)
        elapsed = time.perf_counter() - start
        errors.seek(0)
        text = errors.read()
    if os.waitstatus_to_exitcode(status) != 0:
        raise SystemExit(f"{' '.join(command)} failed: {text}")
    # GNU time waits for the command, so its usage includes the command's.
    return elapsed, int(text.split()[-1]), usage.ru_utime + usage.ru_stime


def system_calls(command, folder):
    """The command's system calls, counted by strace: (total, the three most made)."""
    counts = os.path.join(folder, "strace.txt")
    subprocess.run(["strace", "-f", "-c", "-o", counts, *command], check=True, capture_output=True)
    calls = {}
    with open(counts) as f:
        for line in f:
            fields = line.split()
            if len(fields) >= 5 and fields[0][0].isdigit() and fields[-1] != "total":
                calls[fields[-1]] = int(fields[3])
    top = sorted(calls.items(), key=lambda item: -item[1])[:3]
    return sum(calls.values()), ", ".join(f"{name} {count:,}" for name, count in top)


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


def ratio(samples, name, other, field=0):
    return statistics.median(a[field] / b[field] for a, b in zip(samples[name], samples[other]))


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
        cpu = statistics.median(s[2] for s in got)
        print(f"  {name:22s} {seconds * 1000:8.1f} ms   CPU {cpu * 1000:6.1f} ms   peak {rss / 1024:6.1f} MiB"
              f"   over true {(rss - idle['true']) / 1024:5.2f} MiB   over idle faxtiff "
              f"{(rss - idle['faxtiff']) / 1024:5.2f} MiB")
    print("system calls:")
    for name, command in commands.items():
        total, top = system_calls(command, folder)
        print(f"  {name:22s} {total:8,}   ({top})")
    for other, label in (("plain copy (cp)", "cp"), ("dd bs=64k", "dd")):
        print(f"faxtiff / {label}:     {ratio(samples, 'faxtiff restructure', other):.2f}"
              f"   CPU {ratio(samples, 'faxtiff restructure', other, 2):.2f}")
    tiffcp = statistics.median(s[0] for s in samples["libtiff tiffcp"])
    print(f"faxtiff / tiffcp: {statistics.median(s[0] for s in samples['faxtiff restructure']) / tiffcp:.2f}")
    if "baseline faxtiff" in samples:
        print(f"faxtiff / baseline faxtiff: {ratio(samples, 'faxtiff restructure', 'baseline faxtiff'):.2f}"
              f"   CPU {ratio(samples, 'faxtiff restructure', 'baseline faxtiff', 2):.2f}")


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
