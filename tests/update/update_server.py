#!/usr/bin/env python3
"""A small HTTP/1.0 server on 127.0.0.1 for the update tests.

Usage: update_server.py ROOT LOG [CERT KEY]

Serves the files below ROOT and a few paths that misbehave on purpose:
  /redirect/N/PATH   answers 302 to /redirect/N-1/PATH, and N=0 to /PATH: N+1 redirections
  /nolength/PATH     serves PATH without a Content-Length header
  /short/PATH        announces 100 bytes more than PATH has, sends PATH and closes
  /badlength/PATH    sends the Content-Length "abc"
Every request is appended to LOG as "METHOD PATH VERSION USER-AGENT". The chosen port is printed
as "PORT n". The server ends when its standard input closes, and after five minutes at the latest.
With CERT and KEY it speaks TLS.
"""
import http.server
import os
import ssl
import sys
import threading


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, format, *args):
        pass

    def send_body(self, body, length=None):
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        if length is not None:
            self.send_header("Content-Length", str(length))
        self.end_headers()
        self.wfile.write(body)
        self.wfile.flush()

    def read_file(self, path):
        full = os.path.normpath(os.path.join(self.server.root, path.lstrip("/")))
        if not full.startswith(self.server.root) or not os.path.isfile(full):
            return None
        with open(full, "rb") as f:
            return f.read()

    def do_GET(self):
        with open(self.server.log, "a") as log:
            log.write("%s %s %s %s\n" % (self.command, self.path, self.request_version,
                                         self.headers.get("User-Agent", "")))
        parts = self.path.split("/", 2)
        kind = parts[1] if len(parts) > 1 else ""
        rest = "/" + parts[2] if len(parts) > 2 else "/"
        if kind == "redirect":
            count, _, target = rest[1:].partition("/")
            location = "/" + target if int(count) == 0 else "/redirect/%d/%s" % (int(count) - 1, target)
            self.send_response(302)
            self.send_header("Location", location)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        path = rest if kind in ("nolength", "short", "badlength") else self.path
        body = self.read_file(path)
        if body is None:
            self.send_error(404)
            return
        if kind == "nolength":
            self.send_body(body)
        elif kind == "short":
            self.send_body(body, len(body) + 100)
        elif kind == "badlength":
            self.send_body(body, "abc")
        else:
            self.send_body(body, len(body))


def main():
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.root = os.path.realpath(sys.argv[1])
    server.log = sys.argv[2]
    if len(sys.argv) > 4:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(sys.argv[3], sys.argv[4])
        server.socket = context.wrap_socket(server.socket, server_side=True)
    print("PORT %d" % server.server_address[1], flush=True)

    def stop_when_parent_goes():
        sys.stdin.read()
        os._exit(0)

    threading.Thread(target=stop_when_parent_goes, daemon=True).start()
    threading.Timer(300, lambda: os._exit(0)).start()
    server.serve_forever()


if __name__ == "__main__":
    main()
