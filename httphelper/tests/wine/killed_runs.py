#!/usr/bin/env python3
"""The kill test of nelkar.exe under Wine: the helper is killed at points spread over a slow run
(cases/killed_runs.case: between and during requests and list writes); after each kill
nothing queued is lost, every list is whole, and every destination holds its old or its new
content. The last run completes.

    killed_runs.py killed_runs --rig RIG_FOLDER --build BUILD_FOLDER -- EMULATOR...
"""
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.realpath(__file__)), "..", "..", "..", "tests", "rig"))
from exchange import ExchangeCase, Helper  # noqa: E402
from winekit.case import run_cases  # noqa: E402
from winekit.net import TestServer  # noqa: E402

# Seconds after the start at which a run is killed; the last run is not.
DELAYS = [0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 1.0, 1.1, 1.2, 1.3, 1.4, 1.5, 1.6, 1.7, 1.8, 1.9, None]
NEW_ONE = b"new one " * 8000


def killed_runs(case):
    helper = Helper(case)
    exchange = ExchangeCase("killed_runs")
    exchange.prepare(helper)
    server = TestServer(case, exchange.server_script())
    queued = exchange.lines("list", "INTERNET/upload.dat")

    def read(name):
        return case.read_bytes(os.path.join(helper.internet, name))
    for delay in DELAYS:
        after = "killed after %s s" % delay if delay is not None else "the complete run"
        exchange.write_files(helper)
        before = len(server.requests())
        run = case.start_wine(["nelkar.exe"], cwd=helper.game)
        if delay is not None:
            time.sleep(delay)
            run.kill()
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
