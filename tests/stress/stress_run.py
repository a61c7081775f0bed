#!/usr/bin/python3
"""The send path under load with faults: many jobs in flight at once against
a gateway mail server that refuses, drops during DATA, stays silent into the
time-out or answers slowly (picked per job by its fax number), while other
threads abort jobs at random moments and query their status.

  stress_run.py BIN [--minutes M | --rounds N] [--jobs-per-round N]
                [--concurrency N] [--abort-percent P] [--seed N]
                [--platform MAJOR.MINOR[-server]] [--debug-output] [--m365]

Every job must post exactly two completion packets, the first "initializing";
its final status must match what happened to it: completed with its page
count and its message received once carrying its own document, a fatal error
0x8000FFFF where the server failed it, error 2 where its document is
missing (one error event for each failed job), or a user abort with 995
where it was aborted. After each round the service heap must
be balanced and no file of ours left in the temporary folder; no message may
arrive twice, for a job that did not complete, or with another job's pages,
and no two sends in flight at once may work under one temporary name.
Prints a summary table and exits 1 on any violation.

With --m365 every second round sends through Microsoft Graph: the HTTPS
stand-ins of tests/cloud take each job's message and hand it to the same
misbehaving server, answering 502 where it fails the message.
"""

import argparse
import collections
import contextlib
import os
import random
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))),
                                "testbed", "faxhost"))
import faxhost_batch as fb  # noqa: E402
from fax_documents import make_fax  # noqa: E402

# Fax numbers: the first two digits pick the server's behaviour for the job
# (see gateway_server.py --faults-by-number), the rest make it unique.
# "missing" jobs name a document that is not there: they fail at once, so
# their senders start new jobs while the others are still in flight.
FAULT_PREFIX = {"none": "70", "refuse": "71", "drop": "72", "silent": "73", "slow": "74", "missing": "75"}
FAULT_WEIGHTS = {"none": 55, "refuse": 9, "drop": 9, "silent": 9, "slow": 9, "missing": 9}
SERVER_FAILS = {"refuse", "drop", "silent"}
ERROR_FILE_NOT_FOUND = 2
SMTP_TIMEOUT_SECONDS = 3
SLOW_DELAY_SECONDS = 0.5
# Documents differ in pages, resolution and coding, so crossed pages show.
DOCUMENTS = [(1, "normal", "g3"), (2, "fine", "g4"), (3, "fine", "g3-2d"), (4, "normal", "g4")]


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("bin_folder")
    parser.add_argument("--minutes", type=float)
    parser.add_argument("--rounds", type=int, default=1)
    parser.add_argument("--jobs-per-round", type=int, default=192)
    parser.add_argument("--concurrency", type=int, default=64)
    parser.add_argument("--abort-percent", type=int, default=15)
    parser.add_argument("--max-abort-delay", type=int, default=3000, metavar="MS")
    parser.add_argument("--status-threads", type=int, default=2)
    parser.add_argument("--seed", type=int, default=int(time.time()) % 100000)
    parser.add_argument("--platform", help="faxhost --os value; the default is what Wine reports")
    parser.add_argument("--debug-output", action="store_true", help="every job writes its log and debugger output")
    parser.add_argument("--m365", action="store_true", help="every second round sends through Microsoft Graph")
    return parser.parse_args(argv)


class Documents:
    """The test documents, their page counts and what the gateway must receive of each."""

    def __init__(self, bin_folder, folder):
        self.paths, self.pages, self.expected = [], {}, {}
        self.missing = os.path.join(folder, "missing.tif")
        for index, (pages, resolution, coding) in enumerate(DOCUMENTS):
            path = make_fax(os.path.join(folder, "doc%d.tif" % index), pages, resolution, coding)
            self.paths.append(path)
            self.pages[path] = pages
            self.expected[path] = fb.restructured(bin_folder, path, folder)


class Tally:
    def __init__(self):
        self.counts = collections.Counter()
        self.violations = []
        self.names = []  # (attachment name, send start, send end, number) of the round

    def check_shared_names(self):
        """Two sends in flight at once must never work under one temporary name:
        the later would overwrite the earlier's document."""
        by_name = collections.defaultdict(list)
        for name, start, end, number in self.names:
            by_name[name].append((start, end, number))
        for name, sends in by_name.items():
            sends.sort()
            for (_, end, number), (start, _, other) in zip(sends, sends[1:]):
                if start < end:
                    self.counts["shared temporary names"] += 1
                    self.violate("jobs %s and %s were in flight at once under one temporary name %s" % (
                        number, other, name))
        self.names = []

    def violate(self, what):
        self.violations.append(what)


def plan_round(number_of_jobs, round_number, documents, chooser):
    faults, weights = zip(*FAULT_WEIGHTS.items())
    jobs = []
    for index in range(number_of_jobs):
        fault = chooser.choices(faults, weights)[0]
        number = "%s%03d%04d" % (FAULT_PREFIX[fault], round_number, index)
        document = documents.missing if fault == "missing" else chooser.choice(documents.paths)
        jobs.append({"number": number, "fault": fault, "document": document})
    return jobs


def outcome_of(job):
    if job["final"] == fb.FS_COMPLETED:
        return "completed"
    if job["final"] == fb.FS_FATAL_ERROR:
        return "failed"
    if job["final"] == fb.FS_USER_ABORT:
        return "aborted"
    return "unknown 0x%08X" % job["final"]


def check_job(planned, job, messages, documents, tally):
    """The facts of one job against what it was planned to meet."""
    name = "job %s (%s)" % (planned["number"], planned["fault"])
    if not job.get("started"):
        tally.violate("%s: FaxDevStartJob failed, error 0x%08X" % (name, job["lasterror"]))
        return None
    if job["packets"] != 2 or job["first"] != fb.FS_INITIALIZING or not job["sizes"]:
        tally.violate("%s: %d completion packets, first 0x%08X, sizes %s" % (
            name, job["packets"], job["first"], "match" if job["sizes"] else "differ"))
    outcome = outcome_of(job)
    allowed = {"failed" if planned["fault"] in SERVER_FAILS | {"missing"} else "completed"}
    if job["abort"]:
        allowed.add("aborted")
    if outcome not in allowed:
        tally.violate("%s: %s, expected %s (abort requested: %d)" % (name, outcome, " or ".join(sorted(allowed)),
                                                                    job["abort"]))
    failure = ERROR_FILE_NOT_FOUND if planned["fault"] == "missing" else fb.E_UNEXPECTED
    expected_result = {"completed": (1, 0, 0), "failed": (0, failure, failure),
                       "aborted": (0, fb.ERROR_OPERATION_ABORTED, fb.ERROR_OPERATION_ABORTED)}.get(outcome)
    if expected_result and (job["result"], job["lasterror"], job["error"]) != expected_result:
        tally.violate("%s: %s with result %d, last error 0x%08X, status error 0x%08X" % (
            name, outcome, job["result"], job["lasterror"], job["error"]))
    received = messages.get(planned["number"], [])
    if outcome == "completed":
        if job["pages"] != documents.pages[planned["document"]]:
            tally.violate("%s: completed with %d pages, its document has %d" % (
                name, job["pages"], documents.pages[planned["document"]]))
        if not received:
            tally.violate("%s: completed, but the gateway received no message" % name)
    elif received:
        tally.violate("%s: %s, yet the gateway received its message" % (name, outcome))
    if len(received) > 1:
        tally.counts["duplicate messages"] += len(received) - 1
        tally.violate("%s: the gateway received %d messages" % (name, len(received)))
    for message in received:
        for attachment in message["attachments"]:
            tally.names.append((attachment, job["start_ms"], job["end_ms"], planned["number"]))
        bodies = list(message["attachments"].values())
        if len(bodies) != 1 or bodies[0] != documents.expected[planned["document"]]:
            tally.counts["crossed messages"] += 1
            tally.violate("%s: the message's attachment is not the job's own document" % name)
    return outcome


def run_round(arguments, round_number, documents, chooser, folder, tally):
    jobs = plan_round(arguments.jobs_per_round, round_number, documents, chooser)
    round_folder = os.path.join(folder, "round%d" % round_number)
    os.makedirs(round_folder)
    graph_round = arguments.m365 and round_number % 2 == 1
    with fb.gateway_server(round_folder, "--faults-by-number", "--slow-delay", str(SLOW_DELAY_SECONDS)) as (port, box):
        with fb.provider_settings(arguments.bin_folder, port, SMTP_TIMEOUT_SECONDS, arguments.debug_output), \
                (fb.microsoft365(arguments.bin_folder, port, round_folder, "--smtp-timeout", str(SMTP_TIMEOUT_SECONDS))
                 if graph_round else contextlib.nullcontext()):
            if graph_round:
                tally.counts["rounds through Graph"] += 1
            transcript = fb.run_batch(os.path.join(arguments.bin_folder, "faxhost.exe"),
                                      [(job["number"], job["document"]) for job in jobs], arguments.concurrency,
                                      arguments.abort_percent, arguments.status_threads,
                                      arguments.seed + round_number, arguments.max_abort_delay,
                                      platform=arguments.platform)
        messages = collections.defaultdict(list)
        known = {job["number"] for job in jobs}
        for message in fb.received_messages(box):
            local_parts = [recipient.rpartition("@")[0] for recipient in message["recipients"]]
            if len(local_parts) != 1 or local_parts[0] not in known:
                tally.violate("a message arrived for %s, which no job sent to" % message["recipients"])
                continue
            messages[local_parts[0]].append(message)
    failed = 0
    for planned, job in zip(jobs, transcript["jobs"]):
        tally.counts["jobs"] += 1
        outcome = check_job(planned, job, messages, documents, tally)
        if outcome == "failed":
            failed += 1
            tally.counts["failed: " + planned["fault"]] += 1
        elif outcome:
            tally.counts[outcome] += 1
    tally.check_shared_names()
    # The texts of error events other than the transport's refusals and the
    # missing documents: what explains a violation.
    refusals = ("Microsoft Graph ", "The connection to localhost:") if graph_round else ("error 0x8004",)
    for text in transcript["error_events"]:
        if not text.startswith(refusals) and not text.startswith("CopyFile() failed"):
            tally.counts["other error events"] += 1
            tally.violate("round %d: error event: %s" % (round_number, text))
    errors = transcript.get("events", {}).get("error", 0)
    if errors != failed:
        tally.violate("round %d: %d error events for %d failed jobs" % (round_number, errors, failed))
    if transcript.get("status_faults"):
        tally.counts["status faults"] += transcript["status_faults"]
        tally.violate("round %d: %d status queries on running jobs failed" % (round_number,
                                                                              transcript["status_faults"]))
    heap = transcript["heap"]
    if heap["live"] or heap["faults"]:
        tally.counts["leaks found"] += heap["live"] + heap["faults"]
        tally.violate("round %d: %d provider blocks left on the service heap; %s" % (
            round_number, heap["live"], "; ".join(transcript["heap_faults"]) or "no heap faults"))
    if transcript["tempfiles"]:
        tally.counts["files left"] += len(transcript["tempfiles"])
        tally.violate("round %d: files left in the temporary folder: %s" % (
            round_number, " ".join(transcript["tempfiles"])))
    return transcript


SUMMARY_ROWS = ["rounds through Graph", "jobs", "completed", "failed: refuse", "failed: drop", "failed: silent", "failed: missing",
                "failed: slow",
                "failed: none", "aborted", "leaks found", "files left", "duplicate messages", "crossed messages", "shared temporary names", "status faults",
                "other error events"]


def print_summary(tally, rounds, seconds, seed):
    print("\nstress: %d rounds in %.0f s, seed %d" % (rounds, seconds, seed))
    print("  %-22s %8s" % ("", "count"))
    for row in SUMMARY_ROWS:
        print("  %-22s %8d" % (row, tally.counts[row]))
    print("  %-22s %8d" % ("violations", len(tally.violations)))
    for violation in tally.violations[:40]:
        print("  ! " + violation)
    if len(tally.violations) > 40:
        print("  ! ... and %d more" % (len(tally.violations) - 40))


def main(argv):
    arguments = parse_arguments(argv)
    chooser = random.Random(arguments.seed)
    tally = Tally()
    start = time.monotonic()
    with tempfile.TemporaryDirectory(prefix="corvisk-stress-") as folder:
        documents = Documents(arguments.bin_folder, folder)
        round_number = 0
        while True:
            round_number += 1
            transcript = run_round(arguments, round_number, documents, chooser, folder, tally)
            print("round %d: %d jobs in %.1f s, %d violations so far" % (
                round_number, arguments.jobs_per_round, transcript["wall_ms"] / 1000, len(tally.violations)),
                flush=True)
            elapsed = time.monotonic() - start
            if arguments.minutes is None and round_number >= arguments.rounds:
                break
            if arguments.minutes is not None and elapsed >= arguments.minutes * 60:
                break
    print_summary(tally, round_number, time.monotonic() - start, arguments.seed)
    return 1 if tally.violations else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
