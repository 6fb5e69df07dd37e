#!/usr/bin/env python3
"""A loopback HTTP and HTTPS server for Skylode's tests and demonstrations.

Listens on 127.0.0.1 on ephemeral ports and prints them on one line:
  http=P https=P https_expired=P https_wrongname=P https_unknownca=P ca=PATH
The HTTPS listeners present, in that order: a certificate from the test CA
(ca=PATH, made at start with the openssl command), an expired one, one for
another host name, and one from a CA nobody trusts.

What is served:
  /files/NAME      a file of --root DIR
  /bytes/N         N bytes, byte i being i % 251
  /echo            the request line and headers as received
  PATH             a file given with --serve PATH=FILE

Query options, for any of them:
  status=N&reason=TEXT  answer with status N and that reason phrase (empty:
                        none); the body is the error page "status N"
  redirect=URL&code=N   answer with a redirect (default 302) to URL; "self"
                        redirects to the very same address
  length=none           no Content-Length; the end of the body closes the
                        connection
  chunked=1             chunked transfer encoding
  announce=N            Content-Length: N whatever the body (with chunked=1:
                        both headers); given again, one more such header
                        each time ("announce=5&announce=6")
  cut=N                 announce the whole body, send N bytes, close
  reset=N               send N bytes of the body, then reset the connection
  stall=N               send N bytes of the body, then send nothing
  trickle=MS            send the body a byte every MS milliseconds
  stall_headers=1       send nothing at all

Bounded: it exits after --max-seconds, after --max-requests requests, when
its standard input ends (with --exit-on-eof), or on SIGTERM/SIGINT. A stall,
or a trickle, lasts at most --stall-seconds.
"""

import argparse
import http.server
import os
import shutil
import signal
import socket
import ssl
import struct
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

PATTERN_PERIOD = 251
BLOCK = 64 * 1024


class Limits:
    def __init__(self, max_requests, stall_seconds):
        self.max_requests = max_requests
        self.stall_seconds = stall_seconds
        self.count = 0
        self.lock = threading.Lock()
        self.stop = threading.Event()

    def count_request(self):
        with self.lock:
            self.count += 1
            if self.count >= self.max_requests:
                self.stop.set()


def openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def make_ca(d, name, subject):
    openssl("req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
            "-nodes", "-keyout", f"{name}.key", "-out", f"{name}.pem", "-days", "30",
            "-subj", subject, "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign", cwd=d)
    os.makedirs(os.path.join(d, f"{name}.db"), exist_ok=True)
    open(os.path.join(d, f"{name}.db", "index.txt"), "w").close()
    with open(os.path.join(d, f"{name}.db", "serial"), "w") as f:
        f.write("1000\n")
    with open(os.path.join(d, f"{name}.cnf"), "w") as f:
        f.write(f"""[ca]
default_ca = this_ca
[this_ca]
database = {name}.db/index.txt
new_certs_dir = {name}.db
serial = {name}.db/serial
default_md = sha256
policy = any
unique_subject = no
[any]
commonName = supplied
""")


def make_leaf(d, ca, name, names, start, end):
    with open(os.path.join(d, f"{name}.ext"), "w") as f:
        f.write(f"subjectAltName={names}\nbasicConstraints=CA:FALSE\n"
                "extendedKeyUsage=serverAuth\n")
    openssl("req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
            "-nodes", "-keyout", f"{name}.key", "-out", f"{name}.csr",
            "-subj", "/CN=" + names.split(",")[0].split(":")[1], cwd=d)
    openssl("ca", "-batch", "-notext", "-config", f"{ca}.cnf", "-cert", f"{ca}.pem",
            "-keyfile", f"{ca}.key", "-in", f"{name}.csr", "-out", f"{name}.pem",
            "-startdate", start, "-enddate", end, "-extfile", f"{name}.ext", cwd=d)


def make_certificates(d):
    """The test CA, an unknown CA, and the servers' certificates."""
    make_ca(d, "ca", "/CN=Skylode loopback test CA")
    make_ca(d, "unknown_ca", "/CN=Skylode untrusted CA")
    now = time.time()
    fmt = lambda t: time.strftime("%Y%m%d%H%M%SZ", time.gmtime(t))
    valid = (fmt(now - 86400), fmt(now + 7 * 86400))
    here = "IP:127.0.0.1,DNS:localhost"
    make_leaf(d, "ca", "good", here, *valid)
    make_leaf(d, "ca", "expired", here, fmt(now - 60 * 86400), fmt(now - 30 * 86400))
    make_leaf(d, "ca", "wrongname", "DNS:other.example", *valid)
    make_leaf(d, "unknown_ca", "unknownca", here, *valid)


def pattern(offset, size):
    base = bytes(range(PATTERN_PERIOD))
    start = offset % PATTERN_PERIOD
    reps = (start + size) // PATTERN_PERIOD + 1
    return (base * reps)[start:start + size]


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "loopback"
    sys_version = ""
    timeout = 30

    def log_message(self, fmt, *args):
        if not self.server.quiet:
            sys.stderr.write("loopback: " + (fmt % args) + "\n")

    def body_source(self, path):
        """(size, read(offset, n)) of what the path serves, or None."""
        if path.startswith("/bytes/"):
            try:
                size = int(path[len("/bytes/"):])
            except ValueError:
                return None
            return size, pattern
        if path == "/echo":
            text = self.requestline + "\r\n"
            text += "".join(f"{k}: {v}\r\n" for k, v in self.headers.items())
            data = text.encode("latin-1")
            return len(data), lambda off, n: data[off:off + n]
        file = self.server.files.get(path)
        if file is None and path.startswith("/files/") and self.server.root:
            name = path[len("/files/"):]
            if name and "/" not in name and name not in (".", ".."):
                file = os.path.join(self.server.root, name)
        if file is None or not os.path.isfile(file):
            return None
        size = os.path.getsize(file)

        def read(off, n, file=file):
            with open(file, "rb") as f:
                f.seek(off)
                return f.read(n)
        return size, read

    def stall(self):
        deadline = time.monotonic() + self.server.limits.stall_seconds
        while time.monotonic() < deadline and not self.server.limits.stop.is_set():
            time.sleep(0.05)
        self.close_connection = True

    def trickle(self, read, size, pause, chunked):
        deadline = time.monotonic() + self.server.limits.stall_seconds
        for offset in range(size):
            if time.monotonic() >= deadline or self.server.limits.stop.is_set():
                break
            byte = read(offset, 1)
            self.wfile.write(b"1\r\n" + byte + b"\r\n" if chunked else byte)
            self.wfile.flush()
            time.sleep(pause)
        self.close_connection = True

    def send_head(self, status, reason, headers):
        line = f"HTTP/1.1 {status}" + (f" {reason}" if reason else "") + "\r\n"
        head = line + "".join(f"{k}: {v}\r\n" for k, v in headers) + "\r\n"
        self.wfile.write(head.encode("latin-1"))

    def do_GET(self):
        try:
            self.respond()
        finally:
            # Counted once answered, so the last allowed request completes.
            self.server.limits.count_request()

    def respond(self):
        url = urllib.parse.urlsplit(self.path)
        pairs = urllib.parse.parse_qsl(url.query, keep_blank_values=True)
        q = dict(pairs)
        announced = [v for k, v in pairs if k == "announce"]
        if q.get("stall_headers"):
            return self.stall()

        headers = []
        if "redirect" in q:
            code = int(q.get("code", "302"))
            reasons = {301: "Moved Permanently", 302: "Found", 303: "See Other",
                       307: "Temporary Redirect", 308: "Permanent Redirect"}
            body = b"moved"
            self.send_head(code, reasons.get(code, "Redirect"),
                           [("Location", self.path if q["redirect"] == "self" else q["redirect"]),
                            ("Content-Length", len(body))])
            self.wfile.write(body)
            return

        status, reason = 200, "OK"
        source = self.body_source(url.path)
        if "status" in q:
            status, reason = int(q["status"]), q.get("reason", "")
            page = f"status {status}".encode()
            source = (len(page), lambda off, n: page[off:off + n])
        elif source is None:
            status, reason = 404, "Not Found"
            page = b"not found"
            source = (len(page), lambda off, n: page[off:off + n])
        size, read = source

        chunked = bool(q.get("chunked"))
        if chunked:
            headers.append(("Transfer-Encoding", "chunked"))
        if announced:
            headers.extend(("Content-Length", v) for v in announced)
        elif q.get("length") == "none":
            headers.append(("Connection", "close"))
            self.close_connection = True
        elif not chunked:
            headers.append(("Content-Length", size))
        headers.append(("Content-Type", "application/octet-stream"))
        self.send_head(status, reason, headers)

        limit = size
        end_action = None
        for key in ("cut", "reset", "stall"):
            if key in q:
                limit, end_action = min(size, int(q[key])), key
        if "trickle" in q:
            return self.trickle(read, limit, float(q["trickle"]) / 1000, chunked)
        offset = 0
        while offset < limit:
            block = read(offset, min(BLOCK, limit - offset))
            if not block:
                break
            if chunked:
                self.wfile.write(b"%x\r\n" % len(block) + block + b"\r\n")
            else:
                self.wfile.write(block)
            offset += len(block)
        if end_action == "stall":
            return self.stall()
        if end_action == "reset":
            # Closed here and now: the usual end would send a FIN first. The
            # pause lets the client read what was sent, which a reset that
            # arrives first would throw away.
            time.sleep(0.3)
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                       struct.pack("ii", 1, 0))
            os.close(self.connection.detach())
            self.close_connection = True
            return
        if end_action == "cut":
            self.close_connection = True
            return
        if chunked:
            self.wfile.write(b"0\r\n\r\n")
        if "announce" in q:
            self.close_connection = True


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = False

    def __init__(self, limits, files, root, quiet, context=None):
        super().__init__(("127.0.0.1", 0), Handler)
        self.limits, self.files, self.root = limits, files, root
        self.quiet, self.context = quiet, context

    def get_request(self):
        sock, addr = super().get_request()
        if self.context:
            # The handshake happens in the request's own thread.
            sock = self.context.wrap_socket(sock, server_side=True,
                                            do_handshake_on_connect=False)
        return sock, addr

    def handle_error(self, request, client_address):
        pass  # refused handshakes and dropped clients are part of the tests


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--serve", action="append", default=[], metavar="PATH=FILE")
    ap.add_argument("--root", help="folder served under /files/")
    ap.add_argument("--max-seconds", type=float, default=300)
    ap.add_argument("--max-requests", type=int, default=1000)
    ap.add_argument("--stall-seconds", type=float, default=10)
    ap.add_argument("--exit-on-eof", action="store_true",
                    help="exit when standard input ends (the parent went away)")
    ap.add_argument("--quiet", action="store_true")
    args = ap.parse_args()

    files = {}
    for item in args.serve:
        path, _, file = item.partition("=")
        files[path if path.startswith("/") else "/" + path] = os.path.abspath(file)
    limits = Limits(args.max_requests, args.stall_seconds)

    certs = tempfile.mkdtemp(prefix="skylode-certs-")
    try:
        make_certificates(certs)
        servers = {"http": Server(limits, files, args.root, args.quiet)}
        for name, cert in (("https", "good"), ("https_expired", "expired"),
                           ("https_wrongname", "wrongname"), ("https_unknownca", "unknownca")):
            ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            ctx.load_cert_chain(os.path.join(certs, f"{cert}.pem"),
                                os.path.join(certs, f"{cert}.key"))
            servers[name] = Server(limits, files, args.root, args.quiet, ctx)
        # The CA leaves the temporary folder so that it outlives nothing.
        ca_copy = os.path.join(tempfile.gettempdir(), f"skylode-loopback-ca-{os.getpid()}.pem")
        shutil.copyfile(os.path.join(certs, "ca.pem"), ca_copy)

        for s in servers.values():
            threading.Thread(target=s.serve_forever, kwargs={"poll_interval": 0.1},
                             daemon=True).start()
        ports = " ".join(f"{n}={s.server_address[1]}" for n, s in servers.items())
        print(f"{ports} ca={ca_copy}", flush=True)

        # A signal only raises a flag: a handler that took the event's lock
        # could interrupt this thread while it holds that lock, and hang.
        signalled = []
        for sig in (signal.SIGTERM, signal.SIGINT):
            signal.signal(sig, lambda *_: signalled.append(True))
        if args.exit_on_eof:
            def watch():
                while sys.stdin.buffer.read1(4096) if hasattr(sys.stdin.buffer, "read1") \
                        else sys.stdin.buffer.read(1):
                    pass
                limits.stop.set()
            threading.Thread(target=watch, daemon=True).start()
        # Polled, so that the signal flag is seen within a tenth of a second.
        deadline = time.monotonic() + args.max_seconds
        while not signalled and not limits.stop.is_set() and time.monotonic() < deadline:
            time.sleep(0.1)
        limits.stop.set()
        for s in servers.values():
            s.shutdown()
            s.server_close()
        try:
            os.unlink(ca_copy)
        except OSError:
            pass
    finally:
        shutil.rmtree(certs, ignore_errors=True)


if __name__ == "__main__":
    main()
