#!/usr/bin/python3
"""The send path as a whole: the x64 provider driven by `faxhost.exe batch`
sends N documents at once to a local gateway mail server, for N in JOBS, and
beside it the floor for the same work: each document copied and handed to the
same server by Python's smtplib with the file attached. Then one send of a
1-page and of a 1,000-page fine-resolution fax, to show whether the host's
peak working set grows with the page count.

usage: send_path.py X64_BIN [--m365 | --google] [JOBS] [PAGES]
  --m365 send through Microsoft Graph: the HTTPS stand-ins of tests/cloud take
         each fax and hand it to the gateway mail server; the floor posts the
         same MIME message with one token to the same stand-in
  --google the same through the Gmail API stand-in, the floor uploading the
         MIME message with one token of the service account
  JOBS   comma-separated numbers of concurrent sends (default 1,4,16,64)
  PAGES  pages of each document in the concurrent sends (default 3)

The provider's time per send runs from FaxDevSend to its return, less the
send procedure's fixed 1000 ms pause before the job lookup; "own" is that
less the SMTP transfer, which the server measures from the connection to the
stored message.

Like with like: the fax service is one long-running process, and the floor
client has its token before its clock starts. So each round's faxhost process
first sends one fax alone, untimed (the provider loads its transport, fetches
its token and opens its HTTPS connection), and only then starts the timed
sends; the process's first send is shown apart for the cloud transports.
Each row is the median of three rounds, the provider and the floor taking
turns, since other work on the machine comes and goes.
"""
import base64
import concurrent.futures
import contextlib
import email.message
import email.policy
import http.client
import json
import os
import ssl
import urllib.parse
import shutil
import smtplib
import statistics
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "testbed", "faxhost"))
import faxhost_batch as fb  # noqa: E402
from fax_documents import make_fax, make_long_fax  # noqa: E402

LOOKUP_PAUSE_MS = 1000
REPETITIONS = 3
TIMEOUT_SECONDS = 120
LONG_MESSAGE_LIMIT = 512 * 1024 * 1024


class GraphFloor:
    """A minimal Graph client: one token, then each fax's MIME posted to sendMail."""

    def __init__(self, cloud):
        self.port = int(open(os.path.join(cloud, "graph.port")).read())
        self.context = ssl.create_default_context(cafile=os.path.join(cloud, "ca.pem"))
        form = urllib.parse.urlencode({"client_id": fb.M365_CLIENT_ID, "client_secret": fb.M365_SECRET,
                                       "grant_type": "client_credentials",
                                       "scope": "https://localhost:%d/.default" % self.port})
        answer = self.request("POST", "/%s/oauth2/v2.0/token" % fb.M365_TENANT, form,
                              {"Content-Type": "application/x-www-form-urlencoded"})
        self.token = json.loads(answer)["access_token"]

    def request(self, method, path, body, headers):
        connection = http.client.HTTPSConnection("localhost", self.port, context=self.context,
                                                 timeout=TIMEOUT_SECONDS)
        connection.request(method, path, body, headers)
        response = connection.getresponse()
        data = response.read()
        connection.close()
        if response.status not in (200, 202):
            raise SystemExit("the Graph stand-in answered %d: %s" % (response.status, data))
        return data

    def send(self, message):
        self.request("POST", "/v1.0/users/sender%40example.com/sendMail", base64.b64encode(message.as_bytes(policy=email.policy.SMTP)),
                     {"Content-Type": "text/plain", "Authorization": "Bearer " + self.token})


class GmailFloor:
    """A minimal Gmail client: one token for the service account's signed grant, then each fax's MIME uploaded."""

    def __init__(self, cloud):
        import jwt  # only this benchmark needs it
        self.port = int(open(os.path.join(cloud, "google.port")).read())
        self.context = ssl.create_default_context(cafile=os.path.join(cloud, "ca.pem"))
        now = int(time.time())
        grant = jwt.encode({"iss": fb.GOOGLE_ACCOUNT, "scope": "https://www.googleapis.com/auth/gmail.send",
                            "aud": "https://localhost:%d/token" % self.port, "sub": "sender@example.com",
                            "iat": now, "exp": now + 3600},
                           open(os.path.join(cloud, "google-key.pem")).read(), algorithm="RS256")
        form = urllib.parse.urlencode({"grant_type": "urn:ietf:params:oauth:grant-type:jwt-bearer",
                                       "assertion": grant})
        answer = self.request("/token", form, {"Content-Type": "application/x-www-form-urlencoded"})
        self.token = json.loads(answer)["access_token"]

    def request(self, path, body, headers):
        connection = http.client.HTTPSConnection("localhost", self.port, context=self.context,
                                                 timeout=TIMEOUT_SECONDS)
        connection.request("POST", path, body, headers)
        response = connection.getresponse()
        data = response.read()
        connection.close()
        if response.status != 200:
            raise SystemExit("the Gmail stand-in answered %d: %s" % (response.status, data))
        return data

    def send(self, message):
        self.request("/upload/gmail/v1/users/sender%40example.com/messages/send?uploadType=media",
                     message.as_bytes(policy=email.policy.SMTP),
                     {"Content-Type": "message/rfc822", "Authorization": "Bearer " + self.token})


# The stand-ins of each cloud transport with the provider's settings for them, and the floor's client.
CLOUDS = {"--m365": (fb.microsoft365, GraphFloor, " through Microsoft Graph"),
          "--google": (fb.google, GmailFloor, " through the Gmail API")}


def floor_send(port, number, document, folder, cloud_client=None):
    """What a minimal client does for one fax: copy the document, attach it, submit it."""
    start = time.perf_counter()
    copy = os.path.join(folder, "floor-%s.tif" % number)
    shutil.copyfile(document, copy)
    message = email.message.EmailMessage()
    message["From"] = "sender@example.com"
    message["To"] = "%s@t37gw.corvisk.example" % number
    message["Subject"] = number
    message.set_content(" ")
    with open(copy, "rb") as data:
        message.add_attachment(data.read(), maintype="image", subtype="tiff", filename=os.path.basename(copy))
    if cloud_client:
        cloud_client.send(message)
    else:
        with smtplib.SMTP("127.0.0.1", port, timeout=TIMEOUT_SECONDS) as client:
            client.send_message(message)
    os.unlink(copy)
    return (time.perf_counter() - start) * 1000


def run_floor(port, jobs, document, folder, cloud_client=None):
    start = time.perf_counter()
    with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
        times = list(pool.map(lambda i: floor_send(port, "69%06d" % i, document, folder, cloud_client), range(jobs)))
    return (time.perf_counter() - start) * 1000, statistics.mean(times)


def transfer_times(mailbox):
    return {message["recipients"][0].rpartition("@")[0]: message["transfer_ms"]
            for message in fb.received_messages(mailbox)}


def run_provider(bin_folder, port, mailbox, jobs, document, round_number, concurrency=None, warm_up=1):
    """jobs timed sends in one faxhost process, after warm_up untimed ones; the transcript's jobs are the timed."""
    numbers = ["68%02d%04d" % (round_number, i) for i in range(warm_up + jobs)]
    transcript = fb.run_batch(os.path.join(bin_folder, "faxhost.exe"), [(n, document) for n in numbers],
                              concurrency or jobs, warm_up=warm_up)
    transfers = transfer_times(mailbox)
    for number, job in zip(numbers, transcript["jobs"]):
        if job["final"] != fb.FS_COMPLETED or number not in transfers:
            raise SystemExit("send %s did not complete: %s" % (number, job))
    del transcript["jobs"][:warm_up]
    sends, owns = [], []
    for number, job in zip(numbers[warm_up:], transcript["jobs"]):
        sends.append(job["end_ms"] - job["start_ms"] - LOOKUP_PAUSE_MS)
        owns.append(sends[-1] - transfers[number])
    return transcript, statistics.mean(sends), statistics.mean(owns)


def concurrent_sends(bin_folder, counts, pages, folder, cloud):
    document = make_fax(os.path.join(folder, "doc.tif"), pages, "fine", "g4")
    print("concurrent sends of a %d-page fine-resolution fax (%d KB)%s" % (
        pages, os.path.getsize(document) // 1000, CLOUDS[cloud][2] if cloud else ""))
    print("%5s | %8s %10s %10s %7s %9s | %8s %10s %7s | %6s" % (
        "jobs", "wall s", "send ms", "own ms", "msg/s", "peak MiB", "floor s", "floor ms", "msg/s", "ratio"))
    walls = {}
    with contextlib.ExitStack() as stack:
        port, mailbox = stack.enter_context(fb.gateway_server(folder))
        stack.enter_context(fb.provider_settings(bin_folder, port, TIMEOUT_SECONDS))
        cloud_client = None
        if cloud:
            standins, floor, _ = CLOUDS[cloud]
            cloud_client = floor(stack.enter_context(standins(bin_folder, port, folder)))
        for count_index, jobs in enumerate(counts):
            # Other work on the machine comes and goes: the provider and the floor take turns, and each column is
            # the median of the repetitions.
            rounds = []
            for repetition in range(REPETITIONS):
                transcript, send_ms, own_ms = run_provider(bin_folder, port, mailbox, jobs, document,
                                                           count_index * REPETITIONS + repetition)
                floor_wall, floor_ms = run_floor(port, jobs, document, folder, cloud_client)
                rounds.append((transcript["wall_ms"], send_ms, own_ms, transcript["peak_kib"] / 1024, floor_wall,
                               floor_ms, send_ms / floor_ms))
            wall, send_ms, own_ms, peak_mib, floor_wall, floor_ms, ratio = (statistics.median(column)
                                                                             for column in zip(*rounds))
            walls[jobs] = wall
            print("%5d | %8.2f %10.1f %10.1f %7.2f %9.1f | %8.2f %10.1f %7.2f | %6.2f" % (
                jobs, wall / 1000, send_ms, own_ms, jobs * 1000 / wall, peak_mib,
                floor_wall / 1000, floor_ms, jobs * 1000 / floor_wall, ratio))
        if cloud:
            token_sends(bin_folder, port, mailbox, document, folder, cloud_client)
    if 1 in walls and 16 in walls:
        print("wall of 16 concurrent sends / wall of one: %.2f (target at most 1.5)" % (walls[16] / walls[1]))
    print("ratio: provider send time less the pause / the floor's send time (target at most 1.5)")


def token_sends(bin_folder, port, mailbox, document, folder, cloud_client):
    """What the warm-up leaves out: a new process's first send fetches the token and makes the process's first
    HTTPS connection. Sends one after the other in one process show both."""
    transcript, _, _ = run_provider(bin_folder, port, mailbox, 6, document, 80, concurrency=1, warm_up=0)
    times = [job["end_ms"] - job["start_ms"] - LOOKUP_PAUSE_MS for job in transcript["jobs"]]
    _, floor_ms = run_floor(port, 1, document, folder, cloud_client)
    print("one process, one send at a time: first (with the token) %.1f ms, then %.1f ms; floor %.1f ms; ratio %.2f"
          % (times[0], statistics.median(times[1:]), floor_ms, statistics.median(times[1:]) / floor_ms))


def long_sends(bin_folder, folder):
    print("\none send each; peak working set of the host process")
    print("%6s %10s %10s %10s" % ("pages", "MB", "send s", "peak MiB"))
    # The long fax's message is larger than the server's usual limit.
    with fb.gateway_server(folder, "--size-limit", str(LONG_MESSAGE_LIMIT)) as (port, mailbox), \
            fb.provider_settings(bin_folder, port, TIMEOUT_SECONDS):
        for index, pages in enumerate((4, 1000)):
            document = make_long_fax(folder, pages)
            transcript, send_ms, _ = run_provider(bin_folder, port, mailbox, 1, document, 90 + index, warm_up=0)
            print("%6d %10.1f %10.2f %10.1f" % (pages, os.path.getsize(document) / 1e6,
                                                 (send_ms + LOOKUP_PAUSE_MS) / 1000, transcript["peak_kib"] / 1024))


def main():
    arguments = sys.argv[1:]
    cloud = next((argument for argument in arguments if argument in CLOUDS), None)
    arguments = [argument for argument in arguments if argument not in CLOUDS]
    bin_folder = arguments[0]
    counts = [int(n) for n in arguments[1].split(",")] if len(arguments) > 1 else [1, 4, 16, 64]
    pages = int(arguments[2]) if len(arguments) > 2 else 3
    print("machine load: " + open("/proc/loadavg").read().strip())
    with tempfile.TemporaryDirectory(prefix="bench-send-") as folder:
        concurrent_sends(bin_folder, counts, pages, folder, cloud)
        if not cloud:
            long_sends(bin_folder, folder)


if __name__ == "__main__":
    main()
