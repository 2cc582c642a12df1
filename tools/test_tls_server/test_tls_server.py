#!/usr/bin/python3
"""The tests' HTTPS server on loopback: Python's ssl module over a small file
server of our own. Its routes are a JSON file, read again for every request
so that a test changes the answers between two passes:

  {"/setup.exe": {"status": 200, "body": "<bytes as Latin-1>",
                  "headers": {"Location": "..."}, "closeAfterBytes": -1}}

A 200 route answers "Range: bytes=N-" with 206 and the rest, or 416 past the
end; closeAfterBytes cuts the connection after that many body bytes; other
paths answer 404. Each request adds "GET <target> Range=<value or ->" to the
log.

Wine starts Linux programs detached, without pipes to answer through: the
server writes its port into --port-file and ends when that file is removed,
when the process --owner (its starter's Linux id) is gone, so it never
outlives a test that dies, or after --lifetime seconds; then it writes
<port file>.ended.
"""
import argparse
import http.server
import json
import os
import re
import socket
import ssl
import threading
import time


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def setup(self):
        self.request.do_handshake()  # on this request's thread, not the listener's
        super().setup()

    def log_message(self, format, *args):  # noqa: A002 - the base's name
        pass

    def do_GET(self):  # noqa: N802 - the base's name
        with self.server.lock, open(self.server.args.log, "a") as log:
            log.write("GET %s Range=%s\n" % (self.path, self.headers.get("Range", "-")))
        try:
            with open(self.server.args.routes) as routes:
                route = json.load(routes).get(self.path.split("?", 1)[0])
        except (OSError, ValueError):
            route = None
        if route is None:
            self.reply(404, b"<html><body>404 Not Found</body></html>", {}, -1)
            return
        content = route.get("body", "").encode("latin-1")
        status, headers = route.get("status", 200), dict(route.get("headers", {}))
        match = re.fullmatch(r"bytes=(\d+)-", self.headers.get("Range", ""))
        if status == 200 and match:
            first = int(match.group(1))
            if first >= len(content):
                headers["Content-Range"] = "bytes */%d" % len(content)
                self.reply(416, b"", headers, -1)
                return
            headers["Content-Range"] = "bytes %d-%d/%d" % (first, len(content) - 1, len(content))
            status, content = 206, content[first:]
        self.reply(status, content, headers, route.get("closeAfterBytes", -1))

    def reply(self, status, content, headers, close_after):
        self.send_response(status)
        self.send_header("Content-Length", str(len(content)))
        for name, value in headers.items():
            self.send_header(name, value)
        self.end_headers()
        if 0 <= close_after < len(content):
            self.wfile.write(content[:close_after])
            self.wfile.flush()
            self.connection.shutdown(socket.SHUT_RDWR)
            self.close_connection = True
        else:
            self.wfile.write(content)


class TlsServer(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, args):
        super().__init__(("127.0.0.1", 0), Handler)
        self.args = args
        self.lock = threading.Lock()
        self.context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        self.context.load_cert_chain(args.cert, args.key)

    def get_request(self):
        connection, address = self.socket.accept()
        return self.context.wrap_socket(connection, server_side=True,
                                        do_handshake_on_connect=False), address

    def handle_error(self, request, client_address):
        pass  # refused handshakes and cut connections are what tests make


def main():
    parser = argparse.ArgumentParser()
    for name in ("--cert", "--key", "--routes", "--log", "--port-file"):
        parser.add_argument(name, required=True)
    parser.add_argument("--owner", type=int, required=True)
    parser.add_argument("--lifetime", type=float, default=600)
    args = parser.parse_args()

    server = TlsServer(args)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    with open(args.port_file + ".new", "w") as port_file:
        port_file.write("%d\n" % server.server_address[1])
    os.replace(args.port_file + ".new", args.port_file)

    deadline = time.monotonic() + args.lifetime
    while (os.path.exists(args.port_file) and os.path.exists("/proc/%d" % args.owner)
           and time.monotonic() < deadline):
        time.sleep(0.1)
    try:
        open(args.port_file + ".ended", "w").close()
    except OSError:
        pass  # the folder went with the test
    os._exit(0)  # reply threads may be mid-way; nothing of theirs is needed


if __name__ == "__main__":
    main()
