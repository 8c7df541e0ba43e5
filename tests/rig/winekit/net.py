"""Servers on 127.0.0.1 for the cases: the scriptable HTTP server, tinyproxy, and a port whose
connects stay pending. Each is ended with its case."""
import os
import socket
import sys

SERVER = os.path.join(os.path.dirname(__file__), "..", "..", "..", "httphelper", "tests", "server",
                      "http_test_server.py")


def free_port():
    """A port of 127.0.0.1 that nothing listens on just now."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def _listening(port):
    try:
        socket.create_connection(("127.0.0.1", port), 1).close()
        return True
    except OSError:
        return False


class TestServer:
    """The scriptable server (httphelper/tests/server/http_test_server.py) with a script of the
    case; every request it reads is logged in the work folder's "log"."""

    def __init__(self, case, script, port=80):
        self.case = case
        self.log = case.path("log")
        ready = case.path("server.ready")
        with open(case.path("script"), "wb") as f:
            f.write(script)
        self.process = case.start([sys.executable, os.path.realpath(SERVER), "--port", port, "--script",
                                   case.path("script"), "--log", self.log, "--ready", ready], stderr="server.err")
        case.wait_for(ready, self.process, lambda: "test server did not start: "
                      + case.read_text(case.path("server.err")), seconds=60)
        with open(ready) as f:
            self.port = int(f.read())

    def requests(self):
        """The first line of every request so far."""
        try:
            return self.case.lines(self.case.read_text(os.path.join(self.log, "requests.log")))
        except FileNotFoundError:
            return []

    def request(self, number):
        """The bytes of the request on the number-th connection."""
        return self.case.read_bytes(os.path.join(self.log, "%03d.req" % number))


class Tinyproxy:
    """tinyproxy on a free port of 127.0.0.1 (in port)."""

    def __init__(self, case):
        port = free_port()
        conf = case.path("tinyproxy.conf")
        with open(conf, "w") as f:
            f.write("Port %d\nListen 127.0.0.1\nTimeout 60\nMaxClients 20\nAllow 127.0.0.1\nLogLevel Info\n"
                    'LogFile "%s"\nPidFile "%s"\n' % (port, case.path("tinyproxy.log"), case.path("tinyproxy.pid")))
        case.start(["tinyproxy", "-d", "-c", conf], stdout="tinyproxy.out", stderr="tinyproxy.out")
        if not case.wait_until(lambda: _listening(port), 60):
            case.fail("tinyproxy did not start: " + case.read_text(case.path("tinyproxy.out")))
        self.port = port


class PendingTarget:
    """A port of 127.0.0.1 (in port) whose connections stay pending: its listener's backlog is
    filled with connections nobody accepts, so the kernel drops further connection requests
    and a client keeps retrying for about two minutes (tcp_syn_retries) before it gives up. It
    needs only loopback: no name service, no outside network, no privileges, so it behaves the
    same on every Linux machine. release() closes the listener: the client's next attempt is
    refused at once."""

    def __init__(self, case):
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(0)
        self.queued = []
        for _ in range(64):
            s = socket.socket()
            s.settimeout(0.5)
            try:
                s.connect(self.listener.getsockname())
            except socket.timeout:
                s.close()
                break
            self.queued.append(s)
        else:
            case.fail("no pending target: the listener's backlog never filled")
        self.port = self.listener.getsockname()[1]
        case.at_end(self.close)

    def release(self):
        self.listener.close()

    def close(self):
        self.listener.close()
        for s in self.queued:
            s.close()
