#!/usr/bin/python3
"""Makes the certificates of one test run in DIR: test_certificates.py DIR

  ca.pem, ca.der          the run's test CA (trusted in the test prefix only)
  server.pem, server.key  the HTTPS stand-ins' certificate, issued by the CA for
                          localhost, 127.0.0.1 (as a DNS name, which Wine's
                          WinHTTP matches) and the IP address
  app.pem, app-key.pem    the application's certificate credential (self-signed,
                          RSA 2048) and its key as PKCS #8
  expired.pem, expired-key.pem  the same, expired yesterday
  stranger.pem, stranger-key.pem  a valid one never uploaded to the application
  google-key.pem          the Google service account's key (RSA 2048, PKCS #8)
  app.pfx                 app.pem and its key as PKCS #12, password "pfx-password"
"""

import datetime
import ipaddress
import os
import sys

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.serialization import pkcs12
from cryptography.hazmat.primitives.asymmetric import rsa
from cryptography.x509.oid import NameOID


def new_key():
    return rsa.generate_private_key(public_exponent=65537, key_size=2048)


def name(text):
    return x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, text)])


def build(subject, issuer, public_key, signing_key, not_before, not_after, extensions=()):
    builder = (x509.CertificateBuilder().subject_name(subject).issuer_name(issuer).public_key(public_key)
               .serial_number(x509.random_serial_number()).not_valid_before(not_before).not_valid_after(not_after))
    for extension, critical in extensions:
        builder = builder.add_extension(extension, critical=critical)
    return builder.sign(signing_key, hashes.SHA256())


def write(path, data):
    with open(path, "wb") as file:
        file.write(data)


def write_pair(folder, stem, key_stem, certificate, key):
    write(os.path.join(folder, stem), certificate.public_bytes(serialization.Encoding.PEM))
    write(os.path.join(folder, key_stem), key.private_bytes(serialization.Encoding.PEM,
                                                           serialization.PrivateFormat.PKCS8,
                                                           serialization.NoEncryption()))


def main(folder):
    os.makedirs(folder, exist_ok=True)
    now = datetime.datetime.now(datetime.timezone.utc)
    day = datetime.timedelta(days=1)
    ca_key = new_key()
    ca = build(name("CorviskFSP test CA"), name("CorviskFSP test CA"), ca_key.public_key(), ca_key, now - day,
               now + 30 * day, [(x509.BasicConstraints(ca=True, path_length=None), True)])
    write(os.path.join(folder, "ca.pem"), ca.public_bytes(serialization.Encoding.PEM))
    write(os.path.join(folder, "ca.der"), ca.public_bytes(serialization.Encoding.DER))
    server_key = new_key()
    names = x509.SubjectAlternativeName([x509.DNSName("localhost"), x509.DNSName("127.0.0.1"),
                                         x509.IPAddress(ipaddress.ip_address("127.0.0.1"))])
    server = build(name("localhost"), ca.subject, server_key.public_key(), ca_key, now - day, now + 30 * day,
                   [(names, False)])
    write_pair(folder, "server.pem", "server.key", server, server_key)
    for stem, start, end in (("app", now - day, now + 365 * day), ("expired", now - 30 * day, now - day),
                             ("stranger", now - day, now + 365 * day)):
        key = new_key()
        subject = name("CorviskFSP " + stem)
        certificate = build(subject, subject, key.public_key(), key, start, end)
        write_pair(folder, stem + ".pem", stem + "-key.pem", certificate, key)
        if stem == "app":
            # 3DES and SHA-1, the PKCS #12 form every Windows version reads.
            write(os.path.join(folder, "app.pfx"), pkcs12.serialize_key_and_certificates(
                b"app", key, certificate, None, serialization.BestAvailableEncryption(b"pfx-password")))
    write(os.path.join(folder, "google-key.pem"), new_key().private_bytes(serialization.Encoding.PEM,
                                                                         serialization.PrivateFormat.PKCS8,
                                                                         serialization.NoEncryption()))


if __name__ == "__main__":
    main(sys.argv[1])
