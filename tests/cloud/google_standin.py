#!/usr/bin/python3
"""HTTPS stand-ins for Google's OAuth token endpoint and the Gmail API, for
tests and the demo. One server on 127.0.0.1 plays both hosts.

Token endpoint, POST /token (a service account's JWT bearer grant):
  checks the grant type, then the assertion: its RS256 signature against the
  service account's public key (--account-key), iss = --account, aud =
  https://{Host}/token, scope exactly gmail.send, iat and exp (exp at most an
  hour after iat, iat not in the future, exp not past), sub one of the
  --mailbox values. Refusals are Google's: invalid_grant "Invalid JWT
  Signature." (another key, as after the key was deleted), invalid_grant
  "Invalid email or User ID" (unknown sub), invalid_grant "Invalid JWT: Token
  must be a short-lived token..." (times), unauthorized_client (sub in
  --undelegated: delegation not granted for the scope). Tokens live
  --token-lifetime seconds; each issued token adds "issued SUB" to
  LOG/tokens.log.

Gmail, with a bearer token issued here for the mailbox in the path:
  POST /upload/gmail/v1/users/{mailbox}/messages/send?uploadType=media
  Content-Type message/rfc822, the raw MIME message with a Content-Length.
Every accepted message goes by SMTP to the gateway mail server whose port is
in --gateway-port-file, from the mailbox to the message's To, and adds
"send SUBJECT" to LOG/accepted.log; when that server refuses it or does not
answer within --smtp-timeout, the answer is 502. Every request adds "METHOD PATH STATUS"
to LOG/requests.log.

Faults by fax number (the local part of To):
  71... 403 accessNotConfigured (Gmail API disabled for the project)
  72... 400 failedPrecondition (the mailbox has no Gmail)
  73... 413 too large            74... 429 without Retry-After, then accepted
  75... 429 Retry-After 1, always 76... 503 Retry-After 1, then accepted
  77... 500 always               78... no answer (the connection stalls)
  79... 401 always
"""

import email
import email.policy
import re
import secrets
import sys
import time
import urllib.parse

import jwt
from cryptography.hazmat.primitives import serialization

from graph_standin import Handler, StandInState, argument_parser, serve

JWT_BEARER = "urn:ietf:params:oauth:grant-type:jwt-bearer"
GMAIL_SEND = "https://www.googleapis.com/auth/gmail.send"
TIMES = ("Invalid JWT: Token must be a short-lived token (60 minutes) and in a reasonable timeframe. Check your iat "
         "and exp values in the JWT claim.")


class State(StandInState):
    def __init__(self, args):
        super().__init__(args)
        with open(args.account_key, "rb") as file:
            self.public_key = serialization.load_pem_private_key(file.read(), None).public_key()


def oauth_error(code, description):
    return {"error": code, "error_description": description}


def gmail_error(status, reason, message, word):
    return {"error": {"code": status, "message": message, "errors": [{"reason": reason, "message": message}],
                      "status": word}}


class GoogleHandler(Handler):
    def dispatch(self):
        body = self.read_body()
        if body is None:
            return self.answer(411, gmail_error(411, "required", "chunked bodies are not taken", "INVALID_ARGUMENT"))
        url = urllib.parse.urlsplit(self.path)
        if url.path == "/token" and self.command == "POST":
            return self.token(body)
        match = re.fullmatch(r"/upload/gmail/v1/users/([^/]+)/messages/send", url.path)
        if match and self.command == "POST":
            return self.send(body, urllib.parse.unquote(match.group(1)), urllib.parse.parse_qs(url.query))
        self.answer(404, gmail_error(404, "notFound", "Not Found", "NOT_FOUND"))

    # Token endpoint

    def token(self, body):
        form = {key: values[0] for key, values in urllib.parse.parse_qs(body.decode(), keep_blank_values=True).items()}
        if form.get("grant_type") != JWT_BEARER:
            return self.answer(400, oauth_error("unsupported_grant_type", "Invalid grant_type: "))
        refusal = self.check_grant(form.get("assertion", ""))
        if refusal:
            return self.answer(400 if refusal["error"] != "unauthorized_client" else 401, refusal)
        claims = jwt.decode(form["assertion"], options={"verify_signature": False})
        token = "ya29." + secrets.token_urlsafe(24)
        with self.state.lock:
            self.state.tokens[token] = (claims["sub"].lower(), time.time() + self.state.args.token_lifetime)
        self.state.log("tokens.log", "issued %s" % claims["sub"])
        self.answer(200, {"access_token": token, "expires_in": self.state.args.token_lifetime, "token_type": "Bearer"})

    def check_grant(self, assertion):
        args = self.state.args
        try:
            claims = jwt.decode(assertion, self.state.public_key, algorithms=["RS256"],
                                audience="https://%s/token" % self.headers.get("Host"),
                                options={"require": ["iss", "aud", "scope", "sub", "iat", "exp"], "verify_exp": False,
                                         "verify_iat": False})
        except jwt.InvalidSignatureError:
            return oauth_error("invalid_grant", "Invalid JWT Signature.")
        except jwt.InvalidAudienceError:
            return oauth_error("invalid_grant", "Invalid JWT: Failed audience check.")
        except jwt.PyJWTError as error:
            return oauth_error("invalid_grant", "Invalid JWT: %s" % error)
        if claims["iss"] != args.account:
            return oauth_error("invalid_grant", "Invalid grant: account not found")
        now = time.time()
        if claims["exp"] - claims["iat"] > 3600 or claims["iat"] > now + 60 or claims["exp"] < now:
            return oauth_error("invalid_grant", TIMES)
        if claims["scope"] != GMAIL_SEND:
            return oauth_error("unauthorized_client", "Client is unauthorized to retrieve access tokens using this "
                                                      "method, or client not authorized for any of the scopes requested.")
        mailbox = claims["sub"].lower()
        if mailbox in (box.lower() for box in args.undelegated):
            return oauth_error("unauthorized_client", "Client is unauthorized to retrieve access tokens using this "
                                                      "method, or client not authorized for any of the scopes requested.")
        if mailbox not in (box.lower() for box in args.mailbox):
            return oauth_error("invalid_grant", "Invalid email or User ID")
        return None

    # Gmail

    def authorized_for(self, mailbox):
        authorization = self.headers.get("Authorization", "")
        token = authorization[7:] if authorization.startswith("Bearer ") else ""
        with self.state.lock:
            owner, expiry = self.state.tokens.get(token, ("", 0))
        if expiry < time.time():
            self.answer(401, gmail_error(401, "authError", "Invalid Credentials", "UNAUTHENTICATED"))
            return False
        if mailbox.lower() not in ("me", owner):
            self.answer(403, gmail_error(403, "forbidden", "Delegation denied for %s" % owner, "PERMISSION_DENIED"))
            return False
        return True

    def send(self, body, mailbox, query):
        if not self.authorized_for(mailbox):
            return
        if query.get("uploadType") != ["media"]:
            return self.answer(400, gmail_error(400, "invalidArgument", "uploadType must be media", "INVALID_ARGUMENT"))
        if self.headers.get("Content-Type", "") != "message/rfc822":
            return self.answer(400, gmail_error(400, "invalidArgument", "expected message/rfc822", "INVALID_ARGUMENT"))
        if len(body) > 35 * 1024 * 1024:
            return self.answer(413, gmail_error(413, "uploadTooLarge", "Media is too large.", "INVALID_ARGUMENT"))
        message = email.message_from_bytes(body, policy=email.policy.SMTP)
        if self.fault(message) or not self.handed_on(mailbox, body):
            return
        self.state.log("accepted.log", "send %s" % message.get("Subject", ""))
        self.answer(200, {"id": secrets.token_hex(8), "threadId": secrets.token_hex(8), "labelIds": ["SENT"]})

    def fault(self, message):
        """Answers a fault the fax number asks for; False when there is none."""
        number = email.utils.parseaddr(message.get("To", ""))[1].split("@")[0]
        attempt = self.state.attempt(message.get("Message-ID", ""))
        if number.startswith("71"):
            return self.answer(403, gmail_error(403, "accessNotConfigured", "Gmail API has not been used in project "
                                                "123456 before or it is disabled.", "PERMISSION_DENIED")) or True
        if number.startswith("72"):
            return self.answer(400, gmail_error(400, "failedPrecondition", "Precondition check failed.",
                                                "FAILED_PRECONDITION")) or True
        if number.startswith("73"):
            return self.answer(413, gmail_error(413, "uploadTooLarge", "Media is too large.", "INVALID_ARGUMENT")) or True
        if number.startswith("74") and attempt == 1:
            return self.answer(429, gmail_error(429, "rateLimitExceeded", "Too many concurrent requests for user",
                                                "RESOURCE_EXHAUSTED")) or True
        if number.startswith("75"):
            return self.answer(429, gmail_error(429, "userRateLimitExceeded", "User-rate limit exceeded.",
                                                "RESOURCE_EXHAUSTED"), [("Retry-After", "1")]) or True
        if number.startswith("76") and attempt == 1:
            return self.answer(503, gmail_error(503, "backendError", "Backend Error", "UNAVAILABLE"),
                               [("Retry-After", "1")]) or True
        if number.startswith("77"):
            return self.answer(500, gmail_error(500, "backendError", "Backend Error", "INTERNAL")) or True
        if number.startswith("78"):
            return self.stall()
        if number.startswith("79"):
            return self.answer(401, gmail_error(401, "authError", "Invalid Credentials", "UNAUTHENTICATED")) or True
        return False


def parse_arguments(argv):
    parser = argument_parser(__doc__)
    parser.add_argument("--account", required=True, help="the service account's e-mail")
    parser.add_argument("--account-key", required=True, help="its key (PEM); only the public half is used")
    parser.add_argument("--undelegated", action="append", default=[])
    return parser.parse_args(argv)


def main(argv):
    serve(parse_arguments(argv), GoogleHandler, State)


if __name__ == "__main__":
    main(sys.argv[1:])
