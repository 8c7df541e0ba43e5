#!/usr/bin/env python3
"""Scriptable HTTP test server for the helper's tests.

Every connection is served from a script file, read afresh for each connection:

    case /games/list.dat      a request for this path (absolute proxy form is accepted too)
    case *                    any other request
    case #3                   the third connection, before its request is read
    read                      read the request up to its empty line
    send TEXT                 send TEXT; \\r \\n \\t \\\\ and \\xHH are escapes
    repeat N TEXT             send TEXT N times
    sendfile PATH             send the bytes of a file
    sleep SECONDS             wait
    waitfile NAME             wait until the file NAME (beside the script) exists, at most 10 minutes
    hang                      send nothing and keep the connection until the client closes
    close                     close (also done after the last command)
    reset                     abort the connection (the client sees a reset)

Each request is logged raw to LOGDIR/NNN.req and its first line appended to
LOGDIR/requests.log. Path cases run after the request has been read.
"""
import argparse
import os
import re
import signal
import socket
import struct
import sys
import threading
import time


def unescape(text):
    out = bytearray()
    i = 0
    raw = text.encode("latin-1")
    while i < len(raw):
        c = raw[i]
        if c == 0x5C and i + 1 < len(raw):
            n = chr(raw[i + 1])
            if n == "r":
                out += b"\r"; i += 2; continue
            if n == "n":
                out += b"\n"; i += 2; continue
            if n == "t":
                out += b"\t"; i += 2; continue
            if n == "\\":
                out += b"\\"; i += 2; continue
            if n == "x" and i + 3 < len(raw) + 1:
                out.append(int(raw[i + 2:i + 4], 16)); i += 4; continue
        out.append(c)
        i += 1
    return bytes(out)


def load_cases(path):
    cases = {}
    current = None
    with open(path, encoding="latin-1") as f:
        for line in f:
            line = line.rstrip("\r\n").lstrip()
            if not line or line.startswith("#"):
                continue
            if line.startswith("case "):
                current = []
                cases[line[5:].strip()] = current
            elif current is not None:
                current.append(line)
    return cases


class Server:
    def __init__(self, args):
        self.args = args
        self.count = 0
        self.lock = threading.Lock()

    def log_request(self, number, data):
        if not self.args.log:
            return
        with open(os.path.join(self.args.log, "%03d.req" % number), "wb") as f:
            f.write(data)
        first = data.split(b"\n", 1)[0].rstrip(b"\r")
        with self.lock, open(os.path.join(self.args.log, "requests.log"), "ab") as f:
            f.write(first + b"\n")

    @staticmethod
    def read_request(conn):
        data = b""
        while b"\r\n\r\n" not in data and b"\n\n" not in data and len(data) < 1 << 20:
            chunk = conn.recv(65536)
            if not chunk:
                break
            data += chunk
        return data

    def serve(self, conn, number):
        # SIGTERM must reach the main thread, which then ends the process; a serving thread
        # that caught it would leave the main thread waiting in accept() for ever.
        signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGTERM})
        try:
            cases = load_cases(self.args.script)
            ops = cases.get("#%d" % number)
            if ops is None:
                data = self.read_request(conn)
                self.log_request(number, data)
                m = re.match(rb"GET (\S+)", data)
                target = m.group(1).decode("latin-1") if m else ""
                target = re.sub(r"^http://[^/]*", "", target)
                ops = cases.get(target, cases.get("*", ["send HTTP/1.0 404 Not Found\\r\\n\\r\\n"]))
                ops = [op for op in ops if op != "read"]
            for op in ops:
                word, _, rest = op.partition(" ")
                if word == "read":
                    data = self.read_request(conn)
                    self.log_request(number, data)
                elif word == "send":
                    conn.sendall(unescape(rest))
                elif word == "repeat":
                    n, _, text = rest.partition(" ")
                    block = unescape(text)
                    for _ in range(int(n)):
                        conn.sendall(block)
                elif word == "sendfile":
                    with open(rest, "rb") as f:
                        while True:
                            chunk = f.read(1 << 16)
                            if not chunk:
                                break
                            conn.sendall(chunk)
                elif word == "sleep":
                    time.sleep(float(rest))
                elif word == "waitfile":
                    path = os.path.join(os.path.dirname(os.path.abspath(self.args.script)), rest)
                    end = time.monotonic() + 600
                    while not os.path.exists(path) and time.monotonic() < end:
                        time.sleep(0.05)
                elif word == "hang":
                    while conn.recv(65536):
                        pass
                    break
                elif word == "close":
                    break
                elif word == "reset":
                    conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                    conn.close()
                    return
        except OSError:
            pass
        finally:
            try:
                conn.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            conn.close()

    def run(self):
        sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            sock.bind((self.args.bind, self.args.port))
        except OSError as e:
            sys.stderr.write("http_test_server: cannot listen on %s:%d: %s (is another server "
                             "using the port?)\n" % (self.args.bind, self.args.port, e))
            sys.exit(2)
        sock.listen(64)
        port = sock.getsockname()[1]
        if self.args.ready:
            tmp = self.args.ready + ".tmp"
            with open(tmp, "w") as f:
                f.write("%d\n" % port)
            os.replace(tmp, self.args.ready)
        while True:
            conn, _ = sock.accept()
            self.count += 1
            threading.Thread(target=self.serve, args=(conn, self.count), daemon=True).start()


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--bind", default="127.0.0.1")
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--script", required=True)
    p.add_argument("--log")
    p.add_argument("--ready", help="file that receives the port once the server listens")
    args = p.parse_args()
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    if args.log:
        os.makedirs(args.log, exist_ok=True)
    Server(args).run()


if __name__ == "__main__":
    main()
