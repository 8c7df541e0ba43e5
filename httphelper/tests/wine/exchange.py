"""The helper's Wine cases: its game folder, its settings, and its exchange cases as data.

An exchange case (cases/NAME.case beside this file) is one run of nelkar.exe against the test
server, in one file: what the game folder, the exchange lists and the settings hold before,
what the server replies, and what the run must leave. It is made of sections, each opened by a
line in brackets; lines starting with "#" are comments.

    [settings]                 values of HKCU\\Software\\Talvorek as .reg lines (the key is
                               emptied first); {proxy_port} is tinyproxy's port
    [tinyproxy]                the run goes through tinyproxy on a free port (empty section)
    [server]                   the test server's script (httphelper/tests/server/http_test_server.py)
    [list PATH]                a list file of the game folder: one item a line, written with CR LF
    [file PATH]                a file of the game folder: its bytes, with the server's escapes
                               (\\r \\n \\t \\\\ \\xHH); its lines are joined by line feeds,
                               the last one has none
    [remove PATH]              no such file or folder before the run
    [expect list PATH]         the list file holds these items (none: the file exists and is empty)
    [expect file PATH]         the file holds exactly these bytes
    [expect absent]            paths that do not exist, one a line
    [expect only]              the names in the game folder, one a line
    [expect no-temporaries]    folders with no NAME.new or NAME.part (NAME.part2 ..) in them, one a line
    [expect requests]          the first line of every request, in order (none: no request)
    [expect requests-include]  first lines of requests that were made
    [expect request-count]     the number of requests
    [expect request N]         the bytes of the N-th request (escapes as above)
    [expect request N matches] a regular expression that a line of the N-th request matches
    [expect settings]          every value of the helper as "NAME TYPE DATA"

Paths are relative to the game folder, with "/" between names.
"""
import os
import re
import shutil
import sys

from winekit import registry

HERE = os.path.dirname(os.path.realpath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "server"))
from http_test_server import unescape  # noqa: E402  (the server's escapes, for the same bytes)
SETTINGS_KEY = "HKCU\\Software\\Talvorek"


def crlf(*items):
    """A list file's bytes: every item followed by CR LF."""
    return "".join(item + "\r\n" for item in items).encode("latin-1")


class Helper:
    """The case's game folder with nelkar.exe and its INTERNET folder."""

    def __init__(self, case):
        self.case = case
        self.game = case.path("game")
        self.internet = os.path.join(self.game, "INTERNET")
        self.dialog_driver = os.path.join(case.build, "nelkar-tests", "dialog_driver.exe")
        os.makedirs(self.internet)
        shutil.copy(os.path.join(case.build, "game", "nelkar.exe"), self.game)

    def file(self, path):
        return os.path.join(self.game, *path.split("/"))

    def settings(self, lines=(), extra=()):
        """Empties the helper's settings and the browser's DDE key, then sets the .reg lines
        given for the helper's key and the extra .reg lines (with keys of their own)."""
        registry.import_lines(self.case, "settings", [
            "[-HKEY_CURRENT_USER\\Software\\Talvorek]", "[-HKEY_CLASSES_ROOT\\http\\shell\\open\\ddeexec]", "",
            "[HKEY_CURRENT_USER\\Software\\Talvorek]"] + list(lines) + [""] + list(extra))

    def expect_settings(self, *expected):
        actual = ["%s %s %s" % v for v in registry.values(self.case, SETTINGS_KEY) if v[0].startswith("nelkar")]
        self.case.compare(sorted(expected), sorted(actual), "registry settings differ", name="settings")

    def run(self, *args):
        """Runs nelkar.exe in the game folder; it must end with success."""
        self.case.expect_exit(self.case.wine(["nelkar.exe"] + list(args), cwd=self.game, timeout=self.case.limit),
                              "nelkar.exe")


class ExchangeCase:
    def __init__(self, name):
        self.sections = []
        current = None
        with open(os.path.join(HERE, "cases", name + ".case"), encoding="latin-1", newline="") as f:
            text = f.read()
        for line in text.split("\n"):
            header = re.match(r"^\[(expect )?([a-z-]+)(?: (.+))?\]$", line)
            if header:
                current = (bool(header.group(1)), header.group(2), header.group(3), [])
                self.sections.append(current)
            elif current is not None and not line.startswith("#"):
                current[3].append(line)
        for _, _, _, lines in self.sections:
            while lines and not lines[-1]:
                lines.pop()

    def given(self, kind):
        return [(arg, lines) for expect, k, arg, lines in self.sections if not expect and k == kind]

    def expected(self, kind):
        return [(arg, lines) for expect, k, arg, lines in self.sections if expect and k == kind]

    def lines(self, kind, arg=None):
        """The lines of the given section KIND [ARG]."""
        return next((lines for a, lines in self.given(kind) if a == arg), None)

    def server_script(self, **fields):
        """The server's script; with fields, {NAME} in it stands for their values."""
        lines = [line.format(**fields) if fields else line for line in self.lines("server")]
        return "".join(line + "\n" for line in lines).encode("latin-1")

    def prepare(self, helper, **fields):
        """Writes the settings and the game folder's files as the case gives them."""
        helper.settings([line.format(**fields) for line in self.lines("settings") or []])
        self.write_files(helper)

    def write_files(self, helper):
        for path, lines in self.given("remove"):
            shutil.rmtree(helper.file(path), ignore_errors=True)
        for kind in ("list", "file"):
            for path, lines in self.given(kind):
                os.makedirs(os.path.dirname(helper.file(path)), exist_ok=True)
                with open(helper.file(path), "wb") as f:
                    f.write(crlf(*lines) if kind == "list" else unescape("\n".join(lines)))

    def check(self, helper, server):
        """Checks everything the case expects after the run."""
        case = helper.case
        for path, lines in self.expected("list"):
            case.same_file(helper.file(path), crlf(*lines))
        for path, lines in self.expected("file"):
            case.same_file(helper.file(path), unescape("\n".join(lines)))
        for _, paths in self.expected("absent"):
            for path in paths:
                if os.path.lexists(helper.file(path)):
                    case.fail("%s exists" % path)
        for _, names in self.expected("only"):
            held = sorted(n for n in os.listdir(helper.game) if not n.startswith("."))
            if held != sorted(names):
                case.fail("the game folder holds %s" % " ".join(held))
        for _, folders in self.expected("no-temporaries"):
            for folder in folders:
                if not os.path.isdir(helper.file(folder)):
                    case.fail("no folder " + folder)
                left = [n for n in os.listdir(helper.file(folder)) if re.search(r"\.(new|part[0-9]?)$", n)]
                if left:
                    case.fail("temporary files left behind in %s: %s" % (folder, " ".join(left)))
        for _, lines in self.expected("requests"):
            case.compare(lines, server.requests(), "requests differ", name="requests")
        for _, lines in self.expected("requests-include"):
            for line in lines:
                if line not in server.requests():
                    case.fail("no request %s: %s" % (line, server.requests()))
        for _, lines in self.expected("request-count"):
            if len(server.requests()) != int(lines[0]):
                case.fail("expected %s requests, got: %s" % (lines[0], server.requests()))
        for arg, lines in self.expected("request"):
            number, _, matches = arg.partition(" ")
            request = server.request(int(number))
            if matches == "matches":
                if not re.search(lines[0].encode("latin-1"), request, re.MULTILINE):
                    case.fail("no line of request %s matches %s" % (number, lines[0]))
            elif request != unescape("\n".join(lines)):
                case.fail("request %s is %r" % (number, request))
        for _, lines in self.expected("settings"):
            helper.expect_settings(*lines)
