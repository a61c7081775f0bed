#!/usr/bin/python3
"""A fax sent through the provider arrives at the gateway's mail server as a
TIFF that libtiff decodes, page for page, to the pixels of the fax service's
document.

  received_fax_decodes.py BIN SOURCE_FAX

BIN is a Windows build tree's bin folder; its wine-run runs the tree's
programs in the tree's Wine prefix.

Drives one send with faxhost under Wine against the "open" server of
tests/smtp/gateway-fixture (its folder in CORVISK_SMTP_GATEWAY_FOLDER), then checks
the attachment the server stored with `tiffinfo -D` and `tiffcmp -t`.
"""

import glob
import os
import re
import subprocess
import sys

KEY = r"HKLM\SOFTWARE\Mervale\CorviskFSP"
NUMBER = "0299990100"
# libtiff knows T6Options only on MMR pages; on MH and MR pages it warns.
HARMLESS_WARNING = re.compile(r"Unknown field with tag 293")


def wine(wine_run, *args):
    return subprocess.run([*wine_run, *args], capture_output=True, text=True, check=True).stdout


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def remove_settings(wine_run):
    subprocess.run([*wine_run, "reg", "delete", KEY, "/f"], capture_output=True)


def configure(wine_run, port):
    remove_settings(wine_run)
    for name, value in [("SMTPServer", "127.0.0.1"), ("SMTPPort", str(port)),
                        ("NotifyMeEMailAddress", "sender@example.com"), ("CorviskPwd", "gateway-secret")]:
        wine(wine_run, "reg", "add", KEY, "/v", name, "/t", "REG_SZ", "/d", value, "/f")


def received_attachment(mailbox):
    for summary in sorted(glob.glob(os.path.join(mailbox, "*.txt"))):
        with open(summary, encoding="utf-8") as lines:
            if "header: Subject: %s\n" % NUMBER in lines.read():
                parts = glob.glob(summary[:-4] + ".parts/*")
                if len(parts) == 1:
                    return parts[0]
    return None


def main(bin_folder, source, wine_run):
    gateway = os.environ["CORVISK_SMTP_GATEWAY_FOLDER"]
    with open(os.path.join(gateway, "open.port"), encoding="ascii") as port:
        configure(wine_run, int(port.read()))
    try:
        transcript = wine(wine_run, os.path.join(bin_folder, "faxhost.exe"), "--os", "5.0", "send",
                          "--tiff", windows_path(source), "--number", NUMBER)
    finally:
        remove_settings(wine_run)
    if "packet status=0x20000008" not in transcript:
        sys.exit("the job did not complete:\n" + transcript)
    attachment = received_attachment(os.path.join(gateway, "open"))
    if not attachment:
        sys.exit("the gateway's mail server holds no message with one attachment for " + NUMBER)
    decoded = subprocess.run(["tiffinfo", "-D", attachment], capture_output=True, text=True)
    noise = [line for line in decoded.stderr.splitlines() if not HARMLESS_WARNING.search(line)]
    if decoded.returncode != 0 or noise:
        sys.exit("tiffinfo -D cannot decode the attachment:\n" + "\n".join(noise))
    compared = subprocess.run(["tiffcmp", "-t", source, attachment], capture_output=True, text=True)
    if compared.returncode != 0:
        sys.exit("the attachment's pixels differ from the document's:\n" + compared.stdout + compared.stderr)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2], [os.path.join(sys.argv[1], "wine-run")])
