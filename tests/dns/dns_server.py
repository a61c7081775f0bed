#!/usr/bin/python3
"""A DNS server for the SMTP discovery tests (Debian's python3-dnslib).

Answers from a zone file in master-file form. Unlike a real server it
matches owner names exactly as written, letter case included, so a lookup
whose name was not lowered finds nothing. Names are compressed in answers,
as real servers do. Every question is appended to --log as "NAME TYPE"
(the name as asked), so a test can tell whether a lookup happened at all.

  --address ADDRESS   listen on ADDRESS, UDP port 53 (glibc's resolv.conf
                      takes no port, so each run gets a loopback address)
  --zone FILE         the records
  --servfail NAME     answer SERVFAIL for NAME (repeatable)
  --log FILE          the question log
  --ready FILE        written once the server listens

A name without records gets NXDOMAIN; a name with records but none of the
asked type gets an empty answer.
"""

import argparse
import os
import signal
import sys
import threading

from dnslib import QTYPE, RCODE, RR
from dnslib.server import BaseResolver, DNSLogger, DNSServer


class ZoneResolver(BaseResolver):
    def __init__(self, records, servfail, log):
        self.records = records
        self.servfail = set(servfail)
        self.log = log
        self.lock = threading.Lock()

    def note(self, name, kind):
        with self.lock, open(self.log, "a") as stream:
            stream.write("%s %s\n" % (name, kind))

    def resolve(self, request, handler):
        reply = request.reply()
        name = str(request.q.qname)
        self.note(name, QTYPE.get(request.q.qtype, request.q.qtype))
        if name in self.servfail:
            reply.header.rcode = RCODE.SERVFAIL
            return reply
        owned = [record for record in self.records if str(record.rname) == name]
        if not owned:
            reply.header.rcode = RCODE.NXDOMAIN
            return reply
        for record in owned:
            if record.rtype == request.q.qtype:
                reply.add_answer(record)
        return reply


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--address", required=True)
    parser.add_argument("--zone", required=True)
    parser.add_argument("--servfail", action="append", default=[])
    parser.add_argument("--log", required=True)
    parser.add_argument("--ready", required=True)
    arguments = parser.parse_args(argv)
    with open(arguments.zone) as stream:
        records = RR.fromZone(stream.read())
    resolver = ZoneResolver(records, arguments.servfail, arguments.log)
    server = DNSServer(resolver, address=arguments.address, port=53, logger=DNSLogger("-recv,-send,-request,-reply,-truncated,-data"))
    stop = threading.Event()
    for number in (signal.SIGTERM, signal.SIGINT):
        signal.signal(number, lambda *_: stop.set())
    server.start_thread()
    with open(arguments.ready, "w") as stream:
        stream.write("%s\n" % arguments.address)
    while not stop.wait(0.5) and server.isAlive():
        pass
    server.stop()


if __name__ == "__main__":
    main(sys.argv[1:])
