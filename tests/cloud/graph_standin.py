#!/usr/bin/python3
"""HTTPS stand-ins for Microsoft's token endpoint and Microsoft Graph, for
tests and the demo. One server on 127.0.0.1 plays both hosts.

Token endpoint, POST /{tenant}/oauth2/v2.0/token (client credentials):
  checks the tenant, the client id, the grant, the scope (https://{Host}/.default)
  and the credential: the client secret, or a client assertion whose RS256
  signature, x5t thumbprint, audience, issuer, subject and lifetime match the
  uploaded certificate (--app-cert). --short-lived-client-id is the same
  application with tokens of 300 seconds. Refusals carry Microsoft's AADSTS codes:
  90002 tenant, 700016 application, 7000215 secret, 7000222 expired secret
  (--expired-secret), 700027 assertion. Tokens live --token-lifetime seconds;
  each issued token adds a line to LOG/tokens.log.

Graph, with a bearer token issued here:
  POST /v1.0/users/{mailbox}/sendMail            base64 MIME as text/plain
  POST /v1.0/users/{mailbox}/messages            a draft (JSON)
  POST .../messages/{id}/attachments/createUploadSession
  PUT  /upload/{id}                              pieces with Content-Range; no token
  POST .../messages/{id}/send
  DELETE .../messages/{id}
Every accepted message goes by SMTP to the gateway mail server whose port is
in --gateway-port-file, from the mailbox to the message's To; when that server
refuses it or does not answer within --smtp-timeout, Graph answers 502. Bodies must come
with a Content-Length (never chunked). Every request adds "METHOD PATH STATUS"
to LOG/requests.log.

Faults by fax number (the local part of To), for sendMail and the draft's send:
  81... 403 ErrorAccessDenied        82... 404 ErrorInvalidUser
  83... 413 (sendMail only)          84... 429 Retry-After 1, then accepted
  85... 429 Retry-After 1, always    86... 503 Retry-After 1, then accepted
  87... 500 always                   88... no answer (the connection stalls)
  89... 401 always
"""

import argparse
import base64
import email
import email.policy
import hashlib
import http.server
import json
import os
import re
import secrets
import smtplib
import socket
import ssl
import sys
import threading
import time
import urllib.parse
from email.message import EmailMessage

import jwt
from cryptography import x509
from cryptography.hazmat.primitives import serialization

ASSERTION_TYPE = "urn:ietf:params:oauth:client-assertion-type:jwt-bearer"


class StandInState:
    """What every stand-in of this folder keeps: its tokens, its attempts by
    key and its logs."""

    def __init__(self, args):
        self.args = args
        self.lock = threading.Lock()
        self.tokens = {}
        self.attempts = {}

    def log(self, name, line):
        with self.lock, open(os.path.join(self.args.log, name), "a") as file:
            file.write(line + "\n")

    def attempt(self, key):
        with self.lock:
            self.attempts[key] = self.attempts.get(key, 0) + 1
            return self.attempts[key]


class State(StandInState):
    def __init__(self, args):
        super().__init__(args)
        self.drafts = {}
        with open(args.app_cert, "rb") as file:
            certificate = x509.load_pem_x509_certificate(file.read())
        self.app_public_key = certificate.public_key()
        der = certificate.public_bytes(serialization.Encoding.DER)
        self.app_thumbprint = base64.urlsafe_b64encode(hashlib.sha1(der).digest()).rstrip(b"=").decode()


def aad_error(code, description):
    return {"error": "invalid_client" if code != 90002 else "invalid_request",
            "error_description": "AADSTS%d: %s" % (code, description), "error_codes": [code]}


def graph_error(code, message):
    return {"error": {"code": code, "message": message}}


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    state = None

    def log_message(self, *args):
        pass

    def handle_one_request(self):
        # Wine's WinHTTP writes a request's headers and body apart; without
        # quick ACKs each request would wait for Linux's delayed ACK.
        self.connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_QUICKACK, 1)
        super().handle_one_request()

    def answer(self, status, body=None, headers=()):
        data = json.dumps(body).encode() if body is not None else b""
        # Logged before the answer leaves, so a client that has it finds the line.
        self.state.log("requests.log", "%s %s %d" % (self.command, urllib.parse.urlsplit(self.path).path, status))
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        if body is not None:
            self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def read_body(self):
        if "chunked" in self.headers.get("Transfer-Encoding", "").lower():
            return None
        # Linux leaves quick-ACK mode within a long body; the client's last,
        # short segment then waits for the delayed ACK of the ones before it.
        left, parts = int(self.headers.get("Content-Length", "0")), []
        while left > 0:
            self.connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_QUICKACK, 1)
            part = self.rfile.read1(left)
            if not part:
                break
            parts.append(part)
            left -= len(part)
        return b"".join(parts)

    def do_POST(self):
        self.dispatch()

    def do_PUT(self):
        self.dispatch()

    def do_DELETE(self):
        self.dispatch()

    def dispatch(self):
        body = self.read_body()
        if body is None:
            return self.answer(411, graph_error("LengthRequired", "chunked bodies are not taken"))
        path = urllib.parse.urlsplit(self.path).path
        routes = [
            (r"/([^/]+)/oauth2/v2\.0/token", "POST", self.token),
            (r"/v1\.0/users/([^/]+)/sendMail", "POST", self.send_mail),
            (r"/v1\.0/users/([^/]+)/messages", "POST", self.create_draft),
            (r"/v1\.0/users/([^/]+)/messages/([^/]+)/attachments/createUploadSession", "POST", self.upload_session),
            (r"/v1\.0/users/([^/]+)/messages/([^/]+)/send", "POST", self.send_draft),
            (r"/v1\.0/users/([^/]+)/messages/([^/]+)", "DELETE", self.delete_draft),
            (r"/upload/([^/]+)", "PUT", self.upload_piece),
        ]
        for pattern, method, handler in routes:
            match = re.fullmatch(pattern, path)
            if match and method == self.command:
                return handler(body, *[urllib.parse.unquote(group) for group in match.groups()])
        self.answer(404, graph_error("ResourceNotFound", "no such resource"))

    # Token endpoint

    def token(self, body, tenant):
        args = self.state.args
        form = {key: values[0] for key, values in urllib.parse.parse_qs(body.decode(), keep_blank_values=True).items()}
        if tenant != args.tenant:
            return self.answer(400, aad_error(90002, "Tenant '%s' not found." % tenant))
        if form.get("grant_type") != "client_credentials":
            return self.answer(400, {"error": "unsupported_grant_type"})
        if form.get("client_id") not in (args.client_id, args.short_lived_client_id):
            return self.answer(400, aad_error(700016, "Application not found in the directory."))
        if form.get("scope") != "https://%s/.default" % self.headers.get("Host"):
            return self.answer(400, aad_error(70011, "The provided value for scope is not valid."))
        refusal = self.check_credential(form, tenant)
        if refusal:
            return self.answer(401, refusal)
        lifetime = 300 if form["client_id"] == args.short_lived_client_id else args.token_lifetime
        token = self.new_token(form["client_id"], lifetime)
        with self.state.lock:
            self.state.tokens[token] = time.time() + lifetime
        self.state.log("tokens.log", "issued %s" % ("assertion" if "client_assertion" in form else "secret"))
        self.answer(200, {"token_type": "Bearer", "expires_in": lifetime, "access_token": token})

    @staticmethod
    def new_token(client_id, lifetime):
        """Shaped like Microsoft's: a JWT whose claims carry the expiry and the application's roles."""
        def part(value):
            return base64.urlsafe_b64encode(json.dumps(value).encode()).rstrip(b"=").decode()
        claims = {"appid": client_id, "exp": int(time.time()) + lifetime, "roles": ["Mail.Send", "Mail.ReadWrite"]}
        return "%s.%s.%s" % (part({"typ": "JWT", "alg": "RS256"}), part(claims), secrets.token_urlsafe(24))

    def check_credential(self, form, tenant):
        args = self.state.args
        if "client_secret" in form:
            if form["client_secret"] == args.expired_secret:
                return aad_error(7000222, "The provided client secret keys are expired.")
            if form["client_secret"] != args.secret:
                return aad_error(7000215, "Invalid client secret provided.")
            return None
        if form.get("client_assertion_type") != ASSERTION_TYPE:
            return aad_error(7000218, "The request body must contain client_assertion or client_secret.")
        audience = "https://%s/%s/oauth2/v2.0/token" % (self.headers.get("Host"), tenant)
        try:
            header = jwt.get_unverified_header(form.get("client_assertion", ""))
            claims = jwt.decode(form["client_assertion"], self.state.app_public_key, algorithms=["RS256"],
                                audience=audience, options={"require": ["exp", "nbf", "iss", "sub", "aud", "jti"]})
        except (jwt.PyJWTError, KeyError) as error:
            return aad_error(700027, "Client assertion failed signature validation: %s" % error)
        if header.get("x5t") != self.state.app_thumbprint:
            return aad_error(700027, "The certificate with identifier used to sign the client assertion is not "
                                     "registered on application.")
        if claims["iss"] != form["client_id"] or claims["sub"] != form["client_id"]:
            return aad_error(700024, "Client assertion is not within its valid time range or names another client.")
        if claims["exp"] - claims["nbf"] > 3600:
            return aad_error(700024, "Client assertion lifetime too long.")
        return None

    # Graph

    def authorized(self):
        authorization = self.headers.get("Authorization", "")
        token = authorization[7:] if authorization.startswith("Bearer ") else ""
        with self.state.lock:
            expiry = self.state.tokens.get(token)
        if expiry is None or expiry < time.time():
            self.answer(401, graph_error("InvalidAuthenticationToken", "Access token is empty or expired."))
            return False
        return True

    def known_mailbox(self, mailbox):
        if mailbox.lower() in (box.lower() for box in self.state.args.mailbox):
            return True
        self.answer(404, graph_error("ErrorInvalidUser", "The requested user '%s' is invalid." % mailbox))
        return False

    def fault(self, message, key, allow_too_large):
        """Answers a fault the fax number asks for; False when there is none."""
        number = email.utils.parseaddr(message.get("To", ""))[1].split("@")[0]
        attempt = self.state.attempt(key)
        if number.startswith("81"):
            return self.answer(403, graph_error("ErrorAccessDenied", "Access is denied.")) or True
        if number.startswith("82"):
            return self.answer(404, graph_error("ErrorInvalidUser", "The requested user is invalid.")) or True
        if number.startswith("83") and allow_too_large:
            return self.answer(413, graph_error("RequestEntityTooLarge", "The request is too large.")) or True
        if number.startswith("84") and attempt == 1 or number.startswith("85"):
            return self.answer(429, graph_error("ApplicationThrottled", "Too many requests."),
                               [("Retry-After", "1")]) or True
        if number.startswith("86") and attempt == 1:
            return self.answer(503, graph_error("ServiceUnavailable", "Try later."), [("Retry-After", "1")]) or True
        if number.startswith("87"):
            return self.answer(500, graph_error("InternalServerError", "Something went wrong.")) or True
        if number.startswith("88"):
            return self.stall()
        if number.startswith("89"):
            return self.answer(401, graph_error("InvalidAuthenticationToken", "Token rejected.")) or True
        return False

    def stall(self):
        """Answers nothing for --stall-seconds, then drops the connection."""
        self.state.log("requests.log", "%s %s stalled" % (self.command, urllib.parse.urlsplit(self.path).path))
        time.sleep(self.state.args.stall_seconds)
        self.close_connection = True
        return True

    def deliver(self, mailbox, data):
        message = email.message_from_bytes(data, policy=email.policy.SMTP)
        recipients = [address for _, address in email.utils.getaddresses(message.get_all("To", []))]
        with open(self.state.args.gateway_port_file) as file:
            port = int(file.read().strip())
        with smtplib.SMTP("127.0.0.1", port, timeout=self.state.args.smtp_timeout) as smtp:
            smtp.sendmail(mailbox, recipients, data)

    def handed_on(self, mailbox, data):
        """Hands the message to the gateway; a refusal there is Graph's 502."""
        try:
            self.deliver(mailbox, data)
            return True
        except (OSError, smtplib.SMTPException) as error:
            self.answer(502, graph_error("ErrorMessageSubmissionFailed", "the mail server refused: %s" % error))
            return False

    def send_mail(self, body, mailbox):
        if not self.authorized() or not self.known_mailbox(mailbox):
            return
        if not self.headers.get("Content-Type", "").startswith("text/plain"):
            return self.answer(400, graph_error("ErrorMimeContentInvalid", "expected base64 MIME as text/plain"))
        try:
            data = base64.b64decode(body, validate=True)
        except ValueError:
            return self.answer(400, graph_error("ErrorMimeContentInvalidBase64String", "not base64"))
        message = email.message_from_bytes(data, policy=email.policy.SMTP)
        if self.fault(message, message.get("Message-ID", ""), True) or not self.handed_on(mailbox, data):
            return
        self.state.log("accepted.log", "sendMail %s" % message.get("Subject", ""))
        self.answer(202)

    def create_draft(self, body, mailbox):
        if not self.authorized() or not self.known_mailbox(mailbox):
            return
        draft = json.loads(body)
        draft_id = "draft-" + secrets.token_hex(8)
        with self.state.lock:
            self.state.drafts[draft_id] = {"mailbox": mailbox, "draft": draft, "upload": None, "bytes": b""}
        self.answer(201, {"id": draft_id})

    def upload_session(self, body, mailbox, draft_id):
        if not self.authorized():
            return
        item = json.loads(body)["AttachmentItem"]
        with self.state.lock:
            entry = self.state.drafts.get(draft_id)
            if entry is not None:
                entry["upload"] = item
        if entry is None:
            return self.answer(404, graph_error("ErrorItemNotFound", "no such draft"))
        url = "https://%s/upload/%s" % (self.headers.get("Host"), draft_id)
        self.answer(201, {"uploadUrl": url, "expirationDateTime": "2099-01-01T00:00:00Z"})

    def upload_piece(self, body, draft_id):
        if "Authorization" in self.headers:
            return self.answer(401, graph_error("InvalidAuthenticationToken", "upload URLs take no token"))
        match = re.fullmatch(r"bytes (\d+)-(\d+)/(\d+)", self.headers.get("Content-Range", ""))
        with self.state.lock:
            entry = self.state.drafts.get(draft_id)
        if entry is None or not match:
            return self.answer(400, graph_error("InvalidRequest", "bad upload"))
        first, last, total = (int(group) for group in match.groups())
        if first != len(entry["bytes"]) or last - first + 1 != len(body) or total != entry["upload"]["size"]:
            return self.answer(416, graph_error("InvalidRange", "unexpected range"))
        if len(body) > 4 * 1024 * 1024:
            return self.answer(413, graph_error("RequestEntityTooLarge", "pieces are at most 4 MiB"))
        entry["bytes"] += body
        self.state.log("uploads.log", "%s %d" % (draft_id, len(body)))
        if len(entry["bytes"]) < total:
            return self.answer(200, {"nextExpectedRanges": ["%d-" % len(entry["bytes"])]})
        self.answer(201)

    def send_draft(self, body, mailbox, draft_id):
        if not self.authorized():
            return
        with self.state.lock:
            entry = self.state.drafts.get(draft_id)
        if entry is None:
            return self.answer(404, graph_error("ErrorItemNotFound", "no such draft"))
        data = self.compose(entry)
        message = email.message_from_bytes(data, policy=email.policy.SMTP)
        if self.fault(message, draft_id, False) or not self.handed_on(mailbox, data):
            return
        with self.state.lock:
            self.state.drafts.pop(draft_id, None)
        self.state.log("accepted.log", "draft %s" % message.get("Subject", ""))
        self.answer(202)

    def delete_draft(self, body, mailbox, draft_id):
        if not self.authorized():
            return
        with self.state.lock:
            self.state.drafts.pop(draft_id, None)
        self.state.log("deleted.log", draft_id)
        self.answer(204)

    @staticmethod
    def compose(entry):
        draft = entry["draft"]
        message = EmailMessage()
        message["From"] = draft["from"]["emailAddress"]["address"]
        message["Sender"] = draft["sender"]["emailAddress"]["address"]
        message["To"] = ", ".join(item["emailAddress"]["address"] for item in draft["toRecipients"])
        message["Subject"] = draft["subject"]
        for header in draft.get("internetMessageHeaders", []):
            message[header["name"]] = header["value"]
        message.set_content(draft["body"]["content"])
        upload = entry["upload"]
        maintype, subtype = upload["contentType"].split("/")
        message.add_attachment(entry["bytes"], maintype=maintype, subtype=subtype, filename=upload["name"])
        return message.as_bytes(policy=email.policy.SMTP)


def argument_parser(description):
    """The arguments every stand-in of this folder takes; each adds its own."""
    parser = argparse.ArgumentParser(description=description, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    parser.add_argument("--mailbox", action="append", required=True)
    parser.add_argument("--token-lifetime", type=int, default=3599)
    parser.add_argument("--stall-seconds", type=float, default=30)
    parser.add_argument("--smtp-timeout", type=float, default=30, help="for handing messages on")
    parser.add_argument("--gateway-port-file", required=True)
    parser.add_argument("--log", required=True)
    return parser


def parse_arguments(argv):
    parser = argument_parser(__doc__)
    parser.add_argument("--app-cert", required=True)
    parser.add_argument("--tenant", required=True)
    parser.add_argument("--client-id", required=True)
    parser.add_argument("--short-lived-client-id", default="", help="its tokens live 300 seconds")
    parser.add_argument("--secret", required=True)
    parser.add_argument("--expired-secret", default="expired-secret")
    return parser.parse_args(argv)


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    # Concurrent jobs connect at once; with the default backlog of 5 the rest
    # of their connections wait a second for the SYN to be sent again.
    request_queue_size = 128
    context = None

    def get_request(self):
        # The handshake happens on the connection's own thread, so a client
        # that stalls in it holds up no one else.
        connection, address = self.socket.accept()
        # Answers go out at once, not after the client's delayed ACK.
        connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        return self.context.wrap_socket(connection, server_side=True, do_handshake_on_connect=False), address


def serve(args, handler, state):
    """Serves HTTPS with handler on --port until killed, once --port-file
    names the port."""
    os.makedirs(args.log, exist_ok=True)
    handler.state = state(args)
    server = Server(("127.0.0.1", args.port), handler)
    server.context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    server.context.minimum_version = ssl.TLSVersion.TLSv1_2
    server.context.load_cert_chain(args.cert, args.key)
    with open(args.port_file + ".new", "w") as file:
        file.write("%d\n" % server.server_address[1])
    os.replace(args.port_file + ".new", args.port_file)
    server.serve_forever()


def main(argv):
    serve(parse_arguments(argv), Handler, State)


if __name__ == "__main__":
    main(sys.argv[1:])
