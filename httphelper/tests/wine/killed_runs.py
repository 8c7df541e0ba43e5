#!/usr/bin/env python3
"""The kill test of nelkar.exe under Wine: the helper is killed at points spread over a slow run
(cases/killed_runs.case: between and during requests and list writes); after each kill
nothing queued is lost, every list is whole, and every destination holds its old or its new
content. The last run completes. The points are counted from the run's progress (the test
server's requests), not from its start, so they fall in the same places however long Wine
takes to start the program.

    killed_runs.py killed_runs --rig RIG_FOLDER --build BUILD_FOLDER -- EMULATOR...
"""
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.realpath(__file__)), "..", "..", "..", "tests", "rig"))
from exchange import ExchangeCase, Helper  # noqa: E402
from winekit.case import run_cases  # noqa: E402
from winekit.net import TestServer  # noqa: E402

# A complete run makes 8 requests: the 3 queued ones, the update list and its 2 files, then the
# 2 postponed ones (the one that has just failed among them). Each run is killed the given
# seconds after the server has read its N-th request: at once while the reply is pending, and
# later, while the helper takes the reply and writes its lists (the server waits 0.1 to 0.2 s
# in each reply); the last run is not killed.
POINTS = [(n, delay) for n in range(1, 9) for delay in (0.0, 0.08, 0.16)] + [None]
NEW_ONE = b"new one " * 8000


def killed_runs(case):
    helper = Helper(case)
    exchange = ExchangeCase("killed_runs")
    exchange.prepare(helper)
    server = TestServer(case, exchange.server_script())
    queued = exchange.lines("list", "INTERNET/upload.dat")

    def read(name):
        return case.read_bytes(os.path.join(helper.internet, name))
    for point in POINTS:
        after = "killed %s s after request %d" % (point[1], point[0]) if point else "the complete run"
        exchange.write_files(helper)
        before = len(server.requests())
        run = case.start_wine(["nelkar.exe"], cwd=helper.game)
        if point:
            if not case.wait_until(lambda: len(server.requests()) - before >= point[0] or run.poll() is not None,
                                   case.limit, interval=0.01):
                case.fail("%s: no request %d" % (after, point[0]))
            time.sleep(point[1])
            if run.poll() is None:
                run.kill()
            else:  # the last reply came quickly: the run was complete
                after += " (ended before)"
        run.wait()
        sent = server.requests()[before:]
        for name in ("upload.dat", "postponed.dat", "downloaded.dat"):
            text = read(name).rstrip(b"\n")
            if text and not text.endswith(b"\r"):
                case.fail("%s: %s is cut: %r" % (after, name, read(name)))
        if read("postponed.dat").count(b"\n") % 2:
            case.fail(after + ": odd postponed.dat")
        if read("downloaded.dat").count(b"\n") % 3:
            case.fail(after + ": downloaded.dat not in triples")
        for url in queued:
            line = url.encode("latin-1") + b"\r"
            if line not in read("upload.dat").split(b"\n") and line not in read("postponed.dat").split(b"\n") \
                    and "GET /%s HTTP/1.0" % url.split("/", 1)[1] not in sent:
                case.fail("%s: %s was lost" % (after, url))
        one = case.read_bytes(helper.file("files/one.dat")).rstrip(b"\n")
        if one not in (b"old one", NEW_ONE):
            case.fail("%s: one.dat is neither old nor new (%d bytes)" % (after, len(one)))
        two = helper.file("files/two.dat")
        if os.path.exists(two) and case.read_bytes(two).rstrip(b"\n") != b"new two":
            case.fail(after + ": two.dat cut")
        print("%s: upload %d lines, postponed %d, one.dat %d bytes"
              % (after, read("upload.dat").count(b"\n"), read("postponed.dat").count(b"\n"), len(one)))
    exchange.check(helper, server)
    if case.read_bytes(helper.file("files/one.dat")).rstrip(b"\n") != NEW_ONE:
        case.fail("the complete run did not update one.dat")


if __name__ == "__main__":
    run_cases({"killed_runs": killed_runs}, limits=(60, 600), limit_variable="NELKAR_CASE_TIMEOUT",
              work_name="nelkar-wine-cases")
