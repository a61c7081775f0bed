"""Runs many sends through the provider at once with `faxhost.exe batch`
against a gateway mail server of tests/smtp/gateway_server.py, and reads back
what both sides saw. Shared by tools/stress and tools/bench-send.
"""

import contextlib
import email
import email.policy
import glob
import json
import os
import re
import signal
import subprocess
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
GATEWAY_SERVER = os.path.join(ROOT, "tests", "smtp", "gateway_server.py")
SETTINGS_KEY = r"HKLM\SOFTWARE\Mervale\CorviskFSP"
CLOUD_FIXTURE = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))), "tests",
                             "cloud", "cloud-fixture")
M365_TENANT = "11111111-2222-3333-4444-555555555555"
M365_CLIENT_ID = "aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee"
M365_SECRET = "test-secret~1"
GOOGLE_ACCOUNT = "fax-sender@corvisk-fax.iam.gserviceaccount.com"

FS_INITIALIZING = 0x20000000
FS_COMPLETED = 0x20000008
FS_FATAL_ERROR = 0x20000800
FS_USER_ABORT = 0x20200000
E_UNEXPECTED = 0x8000FFFF
ERROR_OPERATION_ABORTED = 995


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wine(bin_folder, *args, **kwargs):
    """Runs a program in the Wine prefix of the build tree whose bin folder is given."""
    return subprocess.run([os.path.join(bin_folder, "wine-run"), *args], capture_output=True, text=True, **kwargs)


@contextlib.contextmanager
def gateway_server(folder, *options):
    """A gateway mail server on a free 127.0.0.1 port; yields (port, mailbox)."""
    port_file, mailbox = os.path.join(folder, "gateway.port"), os.path.join(folder, "mailbox")
    if os.path.exists(port_file):
        os.unlink(port_file)
    log = open(os.path.join(folder, "gateway.log"), "wb")
    server = subprocess.Popen(["/usr/bin/python3", GATEWAY_SERVER, "--port", "0", "--port-file", port_file,
                               "--mailbox", mailbox, *options], stdin=subprocess.DEVNULL, stdout=log,
                              stderr=subprocess.STDOUT, start_new_session=True)
    try:
        for _ in range(100):
            if os.path.exists(port_file) or server.poll() is not None:
                break
            time.sleep(0.1)
        if not os.path.exists(port_file):
            raise SystemExit("the gateway mail server did not start; see " + log.name)
        with open(port_file, encoding="ascii") as text:
            yield int(text.read()), mailbox
    finally:
        server.send_signal(signal.SIGTERM)
        try:
            server.wait(10)
        except subprocess.TimeoutExpired:
            server.kill()
            server.wait()
        log.close()


@contextlib.contextmanager
def provider_settings(bin_folder, port, timeout_seconds=10, debug_output=False):
    """The provider's settings key, in the prefix of bin_folder's build tree, pointing at 127.0.0.1:port; removed
    afterwards."""
    values = [("SMTPServer", "127.0.0.1"), ("SMTPPort", str(port)), ("SMTPTimeout", str(timeout_seconds)),
              ("DebugOutput", "Y" if debug_output else "N"), ("NotifyMeEMailAddress", "sender@example.com"), ("CorviskPwd", "gateway-secret")]
    key = SETTINGS_KEY.replace("HKLM", "HKEY_LOCAL_MACHINE")
    text = "REGEDIT4\r\n\r\n[%s]\r\n" % key + "".join('"%s"="%s"\r\n' % value for value in values)
    with tempfile.NamedTemporaryFile("w", suffix=".reg", delete=False, encoding="ascii", newline="") as script:
        script.write(text)
    wine(bin_folder, "reg", "delete", SETTINGS_KEY, "/f")
    try:
        wine(bin_folder, "reg", "import", windows_path(script.name), check=True)
        yield
    finally:
        os.unlink(script.name)
        wine(bin_folder, "reg", "delete", SETTINGS_KEY, "/f")


@contextlib.contextmanager
def cloud_standins(bin_folder, port, folder, *options):
    """The cloud stand-ins of tests/cloud handing on to the gateway server on port; yields their folder."""
    gateway, cloud = os.path.join(folder, "gateway"), os.path.join(folder, "cloud")
    os.makedirs(gateway, exist_ok=True)
    with open(os.path.join(gateway, "open.port"), "w") as text:
        text.write("%d\n" % port)
    subprocess.run([CLOUD_FIXTURE, "start", cloud, os.path.abspath(bin_folder), gateway, *options], check=True)
    try:
        yield cloud
    finally:
        subprocess.run([CLOUD_FIXTURE, "stop", cloud], check=False)


def text_settings(bin_folder, settings):
    for name, value in settings:
        wine(bin_folder, "reg", "add", SETTINGS_KEY, "/v", name, "/t", "REG_SZ", "/d", value, "/f", check=True)


@contextlib.contextmanager
def microsoft365(bin_folder, port, folder, *options):
    """The Microsoft 365 stand-ins of tests/cloud handing on to the gateway server on port, and the provider's
    settings (MailTransport Microsoft365, a client secret) for them; yields the stand-ins' folder."""
    with cloud_standins(bin_folder, port, folder, *options) as cloud:
        host = "localhost:" + open(os.path.join(cloud, "graph.port")).read().strip()
        text_settings(bin_folder, (("MailTransport", "Microsoft365"), ("M365TenantId", M365_TENANT),
                                   ("M365ClientId", M365_CLIENT_ID), ("M365AuthorityHost", host),
                                   ("M365GraphHost", host)))
        wine(bin_folder, os.path.join(bin_folder, "m365credential.exe"), "secret", M365_SECRET, check=True)
        yield cloud


@contextlib.contextmanager
def google(bin_folder, port, folder, *options):
    """The Google stand-ins of tests/cloud handing on to the gateway server on port, and the provider's settings
    (MailTransport Google, the service account's key file imported) for them; yields the stand-ins' folder."""
    with cloud_standins(bin_folder, port, folder, *options) as cloud:
        host = "localhost:" + open(os.path.join(cloud, "google.port")).read().strip()
        key_file = os.path.join(folder, "fax-key.json")
        with open(key_file, "w") as text:
            json.dump({"type": "service_account", "client_email": GOOGLE_ACCOUNT, "token_uri": "https://%s/token" % host,
                       "private_key": open(os.path.join(cloud, "google-key.pem")).read()}, text)
        wine(bin_folder, os.path.join(bin_folder, "googlekey.exe"), windows_path(key_file), check=True)
        os.unlink(key_file)
        text_settings(bin_folder, (("MailTransport", "Google"), ("GoogleApiHost", host)))
        yield cloud


JOB_LINE = re.compile(r"job (.*)")
FIELD = re.compile(r"(\w+)=(\S*)")


def parse_transcript(text):
    """faxhost batch's transcript: {"jobs": [dict per job], plus its summary lines}."""
    transcript = {"jobs": [], "heap_faults": [], "tempfiles": [], "error_events": []}
    for line in text.splitlines():
        line = line.rstrip("\r")
        if line.startswith("job "):
            fields = dict(FIELD.findall(line))
            transcript["jobs"].append({name: int(value, 0) if re.fullmatch(r"(0x[0-9A-Fa-f]+|\d+)", value)
                                       else (float(value) if name.endswith("_ms") else value)
                                       for name, value in fields.items()})
        elif line.startswith("error event: "):
            transcript["error_events"].append(line[len("error event: "):])
        elif line.startswith("events "):
            transcript["events"] = {name: int(value) for name, value in FIELD.findall(line)}
        elif line.startswith("tempfiles left="):
            transcript["tempfiles"] = line.split()[2:]
        elif line.startswith("heap live="):
            transcript["heap"] = {name: int(value) for name, value in FIELD.findall(line)}
        elif line.startswith("heap fault: "):
            transcript["heap_faults"].append(line[len("heap fault: "):])
        elif line.startswith("status faults="):
            transcript["status_faults"] = int(line.split("=")[1])
        elif line.startswith("peak_working_set_kib="):
            transcript["peak_kib"] = int(line.split("=")[1])
        elif line.startswith("wall_ms="):
            transcript["wall_ms"] = float(line.split("=")[1])
    return transcript


def run_batch(faxhost, jobs, concurrency, abort_percent=0, status_threads=0, seed=1, max_abort_delay_ms=3000,
              platform=None, warm_up=0):
    """Runs (number, document) jobs through faxhost batch, the first warm_up of them one at a time before the
    others start; returns the parsed transcript."""
    with tempfile.NamedTemporaryFile("w", suffix=".plan", delete=False, encoding="utf-8") as plan:
        for number, document in jobs:
            plan.write("%s\t%s\n" % (number, windows_path(document)))
    try:
        command = [faxhost]
        if platform:
            command += ["--os", platform]
        command += ["batch", "--plan", windows_path(plan.name), "--concurrency", str(concurrency),
                    "--abort-percent", str(abort_percent), "--max-abort-delay", str(max_abort_delay_ms),
                    "--status-threads", str(status_threads), "--seed", str(seed), "--warm-up", str(warm_up)]
        done = wine(os.path.dirname(faxhost), *command)
    finally:
        os.unlink(plan.name)
    if done.returncode != 0:
        raise SystemExit("faxhost batch failed (%d):\n%s%s" % (done.returncode, done.stdout, done.stderr))
    transcript = parse_transcript(done.stdout)
    if len(transcript["jobs"]) != len(jobs) or "heap" not in transcript:
        raise SystemExit("faxhost batch printed an incomplete transcript:\n" + done.stdout + done.stderr)
    return transcript


def received_messages(mailbox):
    """Every message the server stored: recipients, subject, attachments and transfer time."""
    messages = []
    for summary in sorted(glob.glob(os.path.join(mailbox, "*.txt"))):
        stem = summary[:-4]
        with open(summary, encoding="utf-8") as text:
            lines = text.read().splitlines()
        with open(stem + ".eml", "rb") as data:
            parsed = email.message_from_bytes(data.read(), policy=email.policy.compat32)
        attachments = {}
        for path in glob.glob(os.path.join(stem + ".parts", "*")):
            with open(path, "rb") as part:
                attachments[os.path.basename(path)] = part.read()
        transfer = [int(line.split()[1]) for line in lines if line.startswith("transfer-ms: ")]
        messages.append({
            "recipients": [line.split(" ", 1)[1] for line in lines if line.startswith("rcpt-to: ")],
            "subject": parsed.get("Subject", ""),
            "attachments": attachments,
            "transfer_ms": transfer[0] if transfer else 0,
        })
    return messages


def restructured(bin_folder, document, folder):
    """What faxtiff makes of a document: the bytes the gateway must receive."""
    output = os.path.join(folder, os.path.basename(document) + ".t37")
    done = wine(bin_folder, os.path.join(bin_folder, "faxtiff.exe"), "restructure", windows_path(document),
                windows_path(output))
    if done.returncode != 0:
        raise SystemExit("faxtiff restructure %s failed: %s%s" % (document, done.stdout, done.stderr))
    with open(output, "rb") as data:
        return data.read()
