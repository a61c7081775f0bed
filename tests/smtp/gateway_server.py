#!/usr/bin/python3
"""A stand-in for the T.37 gateway's mail server, for tests and the demo.

Runs aiosmtpd (Debian's python3-aiosmtpd; start it with /usr/bin/python3) on
one port and stores every message it accepts in a mailbox folder:

  NNNN.eml           the message data exactly as received
  NNNN.parts/NAME    each attachment, decoded, under its file name
  NNNN.body          the first text/plain part that is no attachment, decoded
  NNNN.txt           a summary, written last (its presence means complete):
                       mail-from: ADDRESS
                       rcpt-to: ADDRESS            (one line per recipient)
                       auth-login: NAME            (empty when anonymous)
                       header: NAME: VALUE         (one line per header field,
                                                    encoded words decoded)
                       attachment: NAME TYPE SIZE  (one line per attachment)
                       transfer-ms: N              (from the connection to the
                                                    message stored)

The files are written before the server answers the end of DATA, so a client
that has its "250" finds them in place.

Behaviours, one per flag, for the failures a client must survive:
  --accept-login USER:PASSWORD   AUTH LOGIN with these credentials succeeds,
                                 any other gets "535"; anonymous mail is still
                                 accepted unless --require-auth is given
  --require-auth                 MAIL before a successful AUTH gets "530"
  --reject-recipient ADDRESS     RCPT TO that address gets "550" (repeatable)
  --reject-local-part NAME       RCPT TO any address with that local part
                                 gets "550" (repeatable); the reply quotes
                                 the address
  --drop-in-data                 the connection is closed after the first
                                 line of message data
  --silent                       connections are accepted and never answered;
                                 with --connection-log FILE, each one adds a
                                 line to FILE as it is accepted
  --faults-by-number             the fax number, the recipient's local part,
                                 picks a fault for its own message, so that
                                 one server serves many jobs at once:
                                   71...  RCPT gets "550"
                                   72...  dropped after the first data line
                                   73...  no answer to DATA (the client's
                                          time-out ends it)
                                   74...  every answer from RCPT on comes
                                          after --slow-delay seconds (0.5)
                                 any other number is served normally

--size-limit BYTES takes messages up to that size (aiosmtpd's 32 MiB by
default); larger ones get "552".

The bound port goes to --port-file (written once the server listens), so
--port 0 picks a free one; with --below N, a free one under N (the
configuration program takes ports up to 9999 only).
"""

import argparse
import asyncio
import email
import email.header
import email.policy
import os
import random
import signal
import sys
import time

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--below", type=int, default=0, help="with --port 0: a free port under this one")
    parser.add_argument("--port-file", help="file that receives the bound port number")
    parser.add_argument("--mailbox", help="folder for received messages (required unless --silent)")
    parser.add_argument("--accept-login", metavar="USER:PASSWORD")
    parser.add_argument("--require-auth", action="store_true")
    parser.add_argument("--reject-recipient", action="append", default=[], metavar="ADDRESS")
    parser.add_argument("--reject-local-part", action="append", default=[], metavar="NAME")
    parser.add_argument("--drop-in-data", action="store_true")
    parser.add_argument("--silent", action="store_true")
    parser.add_argument("--connection-log", help="with --silent: a line for each accepted connection")
    parser.add_argument("--size-limit", type=int, default=33554432, metavar="BYTES")
    parser.add_argument("--faults-by-number", action="store_true")
    parser.add_argument("--slow-delay", type=float, default=0.5, metavar="SECONDS")
    arguments = parser.parse_args(argv)
    if not arguments.silent and not arguments.mailbox:
        parser.error("--mailbox is required")
    if arguments.accept_login is not None and ":" not in arguments.accept_login:
        parser.error("--accept-login takes USER:PASSWORD")
    return arguments


def write_atomically(path, data):
    temporary = path + ".tmp"
    with open(temporary, "wb") as stream:
        stream.write(data)
    os.replace(temporary, path)


def decoded_header(value):
    """A header value with its RFC 2047 encoded words decoded and its folds joined."""
    return str(email.header.make_header(email.header.decode_header(value)))


class Mailbox:
    """Stores accepted messages as numbered files; see the module text."""

    def __init__(self, folder):
        self.folder = folder
        os.makedirs(folder, exist_ok=True)
        numbers = [int(name[:4]) for name in os.listdir(folder) if name[:4].isdigit()]
        self.next_number = max(numbers, default=0) + 1

    def store(self, envelope, login, connected_at):
        stem = os.path.join(self.folder, "%04d" % self.next_number)
        self.next_number += 1
        write_atomically(stem + ".eml", envelope.original_content)
        message = email.message_from_bytes(envelope.original_content, policy=email.policy.compat32)
        lines = ["mail-from: %s" % envelope.mail_from]
        lines += ["rcpt-to: %s" % recipient for recipient in envelope.rcpt_tos]
        lines.append("auth-login: %s" % (login or ""))
        lines += ["header: %s: %s" % (name, decoded_header(value)) for name, value in message.items()]
        lines += self.store_parts(message, stem)
        lines.append("transfer-ms: %d" % round((time.monotonic() - connected_at) * 1000))
        write_atomically(stem + ".txt", ("\n".join(lines) + "\n").encode("utf-8"))

    @staticmethod
    def store_parts(message, stem):
        lines, body_seen = [], False
        for part in message.walk():
            if part.is_multipart():
                continue
            name = part.get_filename()
            payload = part.get_payload(decode=True) or b""
            if name:
                os.makedirs(stem + ".parts", exist_ok=True)
                write_atomically(os.path.join(stem + ".parts", os.path.basename(name)), payload)
                lines.append("attachment: %s %s %d" % (name, part.get_content_type(), len(payload)))
            elif part.get_content_type() == "text/plain" and not body_seen:
                body_seen = True
                write_atomically(stem + ".body", payload)
        return lines


# The faults --faults-by-number draws from the fax number's first two digits.
FAULTS_BY_PREFIX = {"71": "refuse", "72": "drop", "73": "silent", "74": "slow"}


def fault_of(address):
    return FAULTS_BY_PREFIX.get(address.rpartition("@")[0][:2])


class GatewayHandler:
    def __init__(self, mailbox, rejected, rejected_local_parts, faults_by_number, slow_delay):
        self.mailbox = mailbox
        self.rejected = {address.lower() for address in rejected}
        self.rejected_local_parts = set(rejected_local_parts)
        self.faults_by_number = faults_by_number
        self.slow_delay = slow_delay

    def refuses(self, address):
        local_part = address.rpartition("@")[0]
        return address.lower() in self.rejected or local_part in self.rejected_local_parts

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        fault = fault_of(address) if self.faults_by_number else None
        if fault == "slow":
            server.slow_delay = self.slow_delay
        await asyncio.sleep(server.slow_delay)
        if self.refuses(address) or fault == "refuse":
            return "550 5.1.1 <%s>: Recipient address rejected: no such fax account" % address
        envelope.rcpt_tos.append(address)
        if fault in ("drop", "silent"):
            server.data_fault = fault
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        await asyncio.sleep(server.slow_delay)
        self.mailbox.store(envelope, session.auth_data, server.connected_at)
        return "250 2.0.0 Message accepted for delivery"


class GatewaySMTP(SMTP):
    """Notes when each connection began, and misbehaves in DATA when told to:
    "drop" closes the connection after the first line of message data,
    "silent" reads the client's data but never answers."""

    def __init__(self, *args, data_fault=None, **kwargs):
        super().__init__(*args, **kwargs)
        self.data_fault = data_fault
        self.slow_delay = 0
        self.connected_at = time.monotonic()

    def connection_made(self, transport):
        self.connected_at = time.monotonic()
        super().connection_made(transport)

    async def smtp_DATA(self, arg):
        if self.data_fault == "drop":
            await self.push("354 End data with <CR><LF>.<CR><LF>")
            await self._reader.readuntil(b"\r\n")
            self.transport.close()
        elif self.data_fault == "silent":
            while await self._reader.read(65536):
                pass
            self.transport.close()
        else:
            await super().smtp_DATA(arg)


def make_authenticator(accepted_login):
    user, _, password = accepted_login.partition(":")

    def authenticate(server, session, envelope, mechanism, auth_data):
        if mechanism != "LOGIN" or not isinstance(auth_data, LoginPassword):
            return AuthResult(success=False, handled=False)
        ok = auth_data.login.decode("utf-8", "replace") == user and auth_data.password.decode(
            "utf-8", "replace") == password
        return AuthResult(success=ok, handled=False, auth_data=auth_data.login.decode("utf-8", "replace"))

    return authenticate


def smtp_factory(arguments):
    handler = GatewayHandler(Mailbox(arguments.mailbox), arguments.reject_recipient, arguments.reject_local_part,
                             arguments.faults_by_number, arguments.slow_delay)
    options = dict(hostname="gateway.test", auth_require_tls=False, auth_required=arguments.require_auth,
                   data_size_limit=arguments.size_limit)
    if arguments.accept_login is not None:
        options["authenticator"] = make_authenticator(arguments.accept_login)
        options["auth_exclude_mechanism"] = ["PLAIN"]
    data_fault = "drop" if arguments.drop_in_data else None
    return lambda: GatewaySMTP(handler, data_fault=data_fault, **options)


def silent_holder(connection_log):
    async def hold_silently(reader, writer):
        if connection_log:
            with open(connection_log, "a") as log:
                log.write("connected\n")
        await reader.read()
        writer.close()
    return hold_silently


async def listen(arguments, port):
    if arguments.silent:
        return await asyncio.start_server(silent_holder(arguments.connection_log), arguments.host, port)
    return await asyncio.get_running_loop().create_server(smtp_factory(arguments), arguments.host, port)


async def listen_on_a_free_port(arguments):
    if arguments.port or not arguments.below:
        return await listen(arguments, arguments.port)
    candidates = list(range(2000, arguments.below))
    random.shuffle(candidates)
    for port in candidates:
        try:
            return await listen(arguments, port)
        except OSError:
            continue
    raise OSError(f"no free port under {arguments.below}")


async def serve(arguments):
    loop = asyncio.get_running_loop()
    server = await listen_on_a_free_port(arguments)
    port = server.sockets[0].getsockname()[1]
    if arguments.port_file:
        write_atomically(arguments.port_file, b"%d\n" % port)
    stop = asyncio.Event()
    for number in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(number, stop.set)
    async with server:
        await stop.wait()


def main(argv):
    asyncio.run(serve(parse_arguments(argv)))


if __name__ == "__main__":
    main(sys.argv[1:])
