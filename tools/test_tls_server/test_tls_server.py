#!/usr/bin/python3
"""The tests' HTTPS server on loopback: Python's ssl module over a small file
server of our own. Routes come from a JSON file that is read again for every
request, so a test changes the answers between two passes:

  {"/setup.exe": {"status": 200, "file": "/unix/path", "body": "text",
                  "headers": {"Location": "..."}, "honourRange": true,
                  "closeAfterBytes": -1}}

"file" or "body" (bytes as Latin-1 characters) gives the content. With status 200 and honourRange, a
"Range: bytes=N-" request gets 206 with the rest, or 416 when N lies at or
beyond the end. closeAfterBytes cuts the connection after that many body
bytes. Unknown paths answer 404.

Writes its port into --port-file once it listens on 127.0.0.1 and appends
one line per request to the log ("GET /path Range=<value or ->"). It ends
when its starter removes the port file, when the process --owner (the
starter's Linux process id) is gone, so it never outlives a test that dies,
or after --lifetime seconds at most; then it writes <port file>.ended. Wine
starts Linux programs detached, without the pipes a Windows child would get,
hence files and a process id.
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
        self.request.do_handshake()
        super().setup()

    def log_message(self, format, *args):  # noqa: A002 - the base's name
        pass

    def do_GET(self):  # noqa: N802 - the base's name
        server = self.server
        with server.log_lock, open(server.log_path, "a") as log:
            log.write("%s %s Range=%s\n" % (self.command, self.path,
                                            self.headers.get("Range", "-")))
        try:
            with open(server.routes_path) as routes_file:
                routes = json.load(routes_file)
        except (OSError, ValueError):
            routes = {}
        route = routes.get(self.path.split("?", 1)[0])
        if route is None:
            self.send_body(404, b"<html><body>404 Not Found</body></html>", {}, -1)
            return
        if "file" in route:
            with open(route["file"], "rb") as content_file:
                content = content_file.read()
        else:
            content = route.get("body", "").encode("latin-1")
        status = route.get("status", 200)
        headers = dict(route.get("headers", {}))
        match = re.fullmatch(r"bytes=(\d+)-", self.headers.get("Range", ""))
        if status == 200 and route.get("honourRange", True) and match:
            first = int(match.group(1))
            if first >= len(content):
                headers["Content-Range"] = "bytes */%d" % len(content)
                self.send_body(416, b"", headers, -1)
                return
            headers["Content-Range"] = "bytes %d-%d/%d" % (first, len(content) - 1,
                                                           len(content))
            status, content = 206, content[first:]
        self.send_body(status, content, headers, route.get("closeAfterBytes", -1))

    def send_body(self, status, content, headers, close_after):
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
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

    def __init__(self, context, routes_path, log_path):
        super().__init__(("127.0.0.1", 0), Handler)
        self.context = context
        self.routes_path = routes_path
        self.log_path = log_path
        self.log_lock = threading.Lock()

    def get_request(self):
        connection, address = self.socket.accept()
        # The handshake runs on the request's thread: a client that refuses
        # the certificate fails there without holding up the next one.
        return self.context.wrap_socket(connection, server_side=True,
                                        do_handshake_on_connect=False), address

    def handle_error(self, request, client_address):
        pass  # refused handshakes and cut connections are what tests make


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    parser.add_argument("--routes", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--owner", type=int, required=True)
    parser.add_argument("--lifetime", type=float, default=600)
    args = parser.parse_args()

    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert, args.key)
    server = TlsServer(context, args.routes, args.log)
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
    # Daemon threads may be inside a reply; leave without waiting for them.
    os._exit(0)


if __name__ == "__main__":
    main()
