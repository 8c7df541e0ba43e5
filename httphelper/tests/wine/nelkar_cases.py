#!/usr/bin/env python3
"""End-to-end cases of nelkar.exe under Wine: the real program against the local test server on
127.0.0.1:80 (directly or through a real proxy), its exchange files, registry and set-up
dialog. The exchange cases are data (cases/NAME.case, see exchange.py); the dialog is driven
by dialog_driver.exe and its message boxes answered by the rig's driver.

    nelkar_cases.py CASE --rig RIG_FOLDER --build BUILD_FOLDER -- EMULATOR...
"""
import os
import re
import shutil
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.realpath(__file__)), "..", "..", "..", "tests", "rig"))
from exchange import ExchangeCase, Helper, crlf  # noqa: E402
from winekit import registry  # noqa: E402
from winekit.boxes import BoxWatch  # noqa: E402
from winekit.case import SUCCESS, TIMED_OUT, run_cases  # noqa: E402
from winekit.net import PendingTarget, TestServer, Tinyproxy, free_port  # noqa: E402

DEFAULT_SETTINGS = ("nelkarUseProxy REG_DWORD 0x0", "nelkarProxyAddr REG_SZ proxy", "nelkarProxyPort REG_DWORD 0xc38",
                    "nelkarDebugLevel REG_DWORD 0x0")
PROXY_ON = '"nelkarUseProxy"=dword:00000001'
TEST_FAILED_BOX = 'box caption="Fehler" text="Verbindungstest fehlgeschlagen!" buttons=OK icon=error pressed=OK'


def exchange_case(case):
    """Runs an exchange case: its settings and files, the server, nelkar.exe, the checks."""
    helper = Helper(case)
    exchange = ExchangeCase(case.name)
    fields = {}
    if exchange.lines("tinyproxy") is not None:
        fields["proxy_port"] = Tinyproxy(case).port
    exchange.prepare(helper, **fields)
    server = TestServer(case, exchange.server_script())
    helper.run()
    exchange.check(helper, server)


def second_instance(case):
    helper = Helper(case)
    exchange = ExchangeCase("second_instance")
    exchange.prepare(helper)
    server = TestServer(case, exchange.server_script())
    first = case.start_wine(["nelkar.exe"], cwd=helper.game)
    case.wait_for(server.requests, first, "the first run made no request")
    upload = os.path.join(helper.internet, "upload.dat")
    with open(upload, "wb") as f:
        f.write(crlf("localhost/q/slow", "localhost/q/second"))
    # The first run waits for its reply until the second has ended: a second instance that
    # waited for the first would run into the case's limit.
    helper.run()
    if first.poll() is not None:
        case.fail("the first run ended before its reply")
    case.touch(case.path("second.ended"))
    if len(server.requests()) != 1:
        case.fail("the second instance made requests: %s" % server.requests())
    case.same_file(upload, crlf("localhost/q/slow", "localhost/q/second"))
    case.same_file(os.path.join(helper.internet, "postponed.dat"), b"")
    case.expect_exit(case.exit_code(first), "the first run")
    # The first run removed only its line and served the appended one in the same run.
    case.same_file(upload, b"")
    if not any("GET /q/second" in r for r in server.requests()):
        case.fail("the line appended during the run was not served")


def replaced_case(case, path, hold=None):
    """The exchange case CASE: its update list names the file PATH of the game folder, which is
    served as its old content with bytes appended (a program or library still runs so). With
    hold, a file_holder holds PATH in that mode during the run. Returns the helper, the holder
    (or None), the old and the new content."""
    helper = Helper(case)
    exchange = ExchangeCase(case.name)
    os.makedirs(os.path.dirname(helper.file(path)), exist_ok=True)
    if path == "AI/Denmark.dll":
        shutil.copy(os.path.join(case.build, "game", "AI", "Denmark.dll"), helper.file(path))
    old = case.read_bytes(helper.file(path))
    new = old + b"\0 the new build\0"
    with open(case.path("new-file"), "wb") as f:
        f.write(new)
    exchange.prepare(helper)
    server = TestServer(case, exchange.server_script(new_file=case.path("new-file")))
    holder = case.hold(hold, helper.file(path)) if hold else None
    helper.run()
    exchange.check(helper, server)
    case.same_file(helper.file(path), new)
    case.same_file(helper.file(path + ".old"), old)
    # The list names the old file and its destination in full, as the run's current folder gives them.
    case.same_file(os.path.join(helper.internet, "replaced.dat"),
                   crlf(case.windows_path(helper.file(path + ".old")), case.windows_path(helper.file(path))))
    return helper, holder, old, new


def replace_loaded_plugin(case):
    helper, holder, old, new = replaced_case(case, "AI/Denmark.dll", hold="load")
    # While the game still holds it, the old file stays for a later run.
    helper.run()
    case.same_file(helper.file("AI/Denmark.dll.old"), old)
    holder.release()
    helper.run()
    if os.path.exists(helper.file("AI/Denmark.dll.old")) or os.path.exists(
            os.path.join(helper.internet, "replaced.dat")):
        case.fail("the old file or its list stays after the game let go")
    case.same_file(helper.file("AI/Denmark.dll"), new)


def replace_running_helper(case):
    helper, _, _, new = replaced_case(case, "nelkar.exe")
    # The new program runs, and removes the old one.
    helper.run()
    if os.path.exists(helper.file("nelkar.exe.old")):
        case.fail("the new program left the old one")
    case.same_file(helper.file("nelkar.exe"), new)


def held_open_file(case):
    helper = Helper(case)
    exchange = ExchangeCase(case.name)
    exchange.prepare(helper)
    server = TestServer(case, exchange.server_script())
    holder = case.hold("open", helper.file("maps/held.map"))
    helper.run()
    holder.release()
    exchange.check(helper, server)


class SetupMode:
    """nelkar.exe in set-up mode in the background, for the dialog driver to work on. A thread
    waits for it (at most the case's limit, then ends it) and records its exit code and the
    processor time (user and system) it used. pid is nelkar.exe's Wine process: the emulator
    runs the Wine loader in its own place."""

    def __init__(self, helper, switch="/C"):
        self.case = helper.case
        self.process = self.case.start_wine(["nelkar.exe", switch], cwd=helper.game, stdout="setup.out",
                                            stderr="setup.out")
        self.pid = self.process.pid
        self.result = None
        self.thread = threading.Thread(target=self._wait)
        self.thread.start()

    def _wait(self):
        end = time.monotonic() + self.case.limit
        while True:
            pid, status, usage = os.wait4(self.pid, os.WNOHANG)
            if pid:
                break
            if time.monotonic() > end:
                self.process.kill()
                pid, status, usage = os.wait4(self.pid, 0)
                status = None
                break
            time.sleep(0.05)
        rc = TIMED_OUT if status is None else os.waitstatus_to_exitcode(status)
        self.process.returncode = rc
        self.result = (rc, usage.ru_utime + usage.ru_stime)

    def ended(self):
        return self.result is not None

    def end(self):
        """Waits for set-up mode to end; it must end with success."""
        self.thread.join()
        self.case.expect_exit(self.result[0], "nelkar.exe /C")

    def cpu_seconds(self):
        """Processor time used so far, in seconds ("gone" once the process has ended)."""
        try:
            with open("/proc/%d/stat" % self.pid) as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except (OSError, IndexError):
            return "gone"
        return "%.2f" % ((int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK"))


def dialog(helper, *commands):
    """Runs the dialog driver's commands in order; returns what it printed."""
    case = helper.case
    if case.wine([helper.dialog_driver] + list(commands), stdout="dialog.out", stderr="dialog.err") != SUCCESS:
        case.fail("dialog driver (%s): %s" % (" ".join(map(str, commands)), case.read_text(case.path("dialog.err"))))
    return case.read_text(case.path("dialog.out")).replace("\r", "")


def control(case, dump, name):
    """One control's line of a dump."""
    line = next((l for l in dump.split("\n") if l.startswith("control %s " % name)), None)
    if line is None:
        case.fail("no control %s in the dump" % name)
    return line


def first_line(text):
    return text.split("\n")[0]


def last_line(text):
    return text.rstrip("\n").split("\n")[-1]


def has_line(text, pattern):
    return any(re.search(pattern, line) for line in text.split("\n"))


CONTROLS = [
    'control GroupBox2 class=Button text=" Proxyserver " at=8,8 size=355x73 group=0 tabstop=0',
    'control EnableProxyBtn class=Button text="Aktivieren" at=16,27 size=81x17 group=1 tabstop=0',
    'control DisableProxyBtn class=Button text="Deaktivieren" at=16,54 size=81x17 group=0 tabstop=1',
    'control Label3 class=Static text="Adresse     :" at=102,27 group=1 tabstop=0',
    'control Label4 class=Static text="Anschluss  :" at=102,55 group=0 tabstop=0',
    'control AddressEdit class=Edit text="proxy" at=168,24 size=185x21 group=1 tabstop=1',
    'control PortEdit class=Edit text="3128" at=168,51 size=49x21 group=1 tabstop=1',
    'control CheckProxyBtn class=Button text="&Testen" at=224,51 size=129x21 group=1 tabstop=1',
    'control SaveBtn class=Button text="&Speichern" at=176,93 size=82x30 group=1 tabstop=1',
    'control DiscardBtn class=Button text="&Verwerfen" at=280,92 size=82x30 group=1 tabstop=1',
]


def dialog_defaults_discard(case):
    helper = Helper(case)
    helper.settings()
    setup = SetupMode(helper, "/c")
    dump = dialog(helper, "wait", "dump")
    # A single fixed border: neither sizeable nor the modal-dialog frame.
    if not has_line(dump, r'^form caption="HTTP-Proxyserver-Setup" client=370x131 .* centred=1 minbox=1 maxbox=0 '
                          r"frame=single enabled=1$"):
        case.fail("form: " + first_line(dump))
    # Every control, in creation order, which is the tab order. Of the radio buttons only the
    # checked one is a tab stop; the labels after them start a new group. Labels size
    # themselves to their text in the system's font.
    controls = [re.sub(r"^(control Label[34] .*) size=[0-9]+x[0-9]+ ", r"\1 ",
                       re.sub(r" (enabled|checked)=[01]", "", line)) for line in case.lines(dump)[1:]]
    case.compare(CONTROLS, controls, "controls differ", name="controls")
    if "checked=0" not in control(case, dump, "EnableProxyBtn"):
        case.fail("Aktivieren checked")
    if "checked=1" not in control(case, dump, "DisableProxyBtn"):
        case.fail("Deaktivieren not checked")
    for name in ("AddressEdit", "PortEdit", "CheckProxyBtn"):
        if "enabled=0" not in control(case, dump, name):
            case.fail(name + " enabled")
    dialog(helper, "post", "DiscardBtn", "waitgone")
    setup.end()
    # First start wrote the defaults; discarding wrote nothing more.
    helper.expect_settings(*DEFAULT_SETTINGS)


def dialog_ie_yes_discard(case):
    helper = Helper(case)
    internet_settings = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings"
    helper.settings(['"nelkarUseProxy"=dword:00000000', '"nelkarProxyAddr"="stored.example"',
                     '"nelkarProxyPort"=dword:00000c38', '"nelkarDebugLevel"=dword:00000002'],
                    ["[HKEY_CLASSES_ROOT\\http\\shell\\open\\ddeexec\\Application]", '@="IExplore"', "",
                     "[%s]" % internet_settings, '"ProxyEnable"=dword:00000001',
                     # Per-protocol entries: the proxy of "http=" counts.
                     '"ProxyServer"="https=other:8443;http=host:81"'])
    case.at_end(lambda: registry.import_lines(case, "internet-settings-removed", [
        "[%s]" % internet_settings, '"ProxyServer"=-', '"ProxyEnable"=-']))
    boxes = BoxWatch(case, "--count", 1, "--press", "YES")
    setup = SetupMode(helper)
    dump = dialog(helper, "wait", "dump")
    if "checked=1" not in control(case, dump, "EnableProxyBtn"):
        case.fail("Aktivieren not checked")
    if 'text="host"' not in control(case, dump, "AddressEdit"):
        case.fail("address: " + control(case, dump, "AddressEdit"))
    if not re.search(r'text="81" .*enabled=1', control(case, dump, "PortEdit")):
        case.fail("port: " + control(case, dump, "PortEdit"))
    dialog(helper, "post", "DiscardBtn", "waitgone")
    setup.end()
    # The driver reports the ANSI bytes as they are: 0xE4 and 0xF6 in code page 1252.
    boxes.expect('box caption="Best\xe4tigung" text="Internet Explorer ist als Standard-Browser konfiguriert. '
                 'M\xf6chten sie dessen Einstellungen verwenden?" buttons=YES,NO icon=question pressed=YES')
    helper.expect_settings("nelkarUseProxy REG_DWORD 0x0", "nelkarProxyAddr REG_SZ stored.example",
                           "nelkarProxyPort REG_DWORD 0xc38", "nelkarDebugLevel REG_DWORD 0x2")


def dialog_test_button(case):
    helper = Helper(case)
    helper.settings([PROXY_ON])
    server = TestServer(case, ExchangeCase("dialog_test_button").server_script())
    free = free_port()
    boxes = BoxWatch(case, "--count", 4, "--press", "OK")
    setup = SetupMode(helper)

    def after_box(count, *commands):
        dialog(helper, *commands)
        case.wait_for(lambda: len(boxes.seen()) >= count, boxes.process,
                      lambda: "box %d did not come: %s" % (count, " | ".join(boxes.seen())))
    after_box(1, "wait", "settext", "AddressEdit", "127.0.0.1", "settext", "PortEdit", "31a8", "post", "CheckProxyBtn")
    after_box(2, "settext", "PortEdit", free, "post", "CheckProxyBtn")
    after_box(3, "settext", "PortEdit", 80, "post", "CheckProxyBtn")
    # An invalid port on save: the standard error box, nothing stored, the dialog stays.
    after_box(4, "settext", "PortEdit", "31a8", "post", "SaveBtn")
    dialog(helper, "wait", "post", "DiscardBtn", "waitgone")
    setup.end()
    boxes.expect(
        'box caption="Fehler" text="Unzul\xe4ssiger Proxyanschluss angegeben" buttons=OK icon=error pressed=OK',
        TEST_FAILED_BOX,
        'box caption="Information" text="Verbindungstest erfolgreich!" buttons=OK icon=information pressed=OK',
        "box caption=\"NELKAR\" text=\"'31a8' is not a valid integer value.\" buttons=OK icon=error pressed=OK")
    # The test only connects: the server saw a connection but no request.
    if server.requests():
        case.fail("the test sent a request: %s" % server.requests())
    helper.expect_settings("nelkarUseProxy REG_DWORD 0x1", *DEFAULT_SETTINGS[1:])


def dialog_save(case):
    helper = Helper(case)
    helper.settings()
    setup = SetupMode(helper)
    dialog(helper, "wait", "click", "EnableProxyBtn", "settext", "AddressEdit", "cache.example", "settext", "PortEdit",
           "70000", "post", "SaveBtn", "waitgone")
    setup.end()
    helper.expect_settings("nelkarUseProxy REG_DWORD 0x1", "nelkarProxyAddr REG_SZ cache.example",
                           "nelkarProxyPort REG_DWORD 0x11170", "nelkarDebugLevel REG_DWORD 0x0")
    # Saved with the proxy switched off: the values as they stand in the disabled edits.
    setup = SetupMode(helper)
    dialog(helper, "wait", "click", "DisableProxyBtn", "post", "SaveBtn", "waitgone")
    setup.end()
    helper.expect_settings("nelkarUseProxy REG_DWORD 0x0", "nelkarProxyAddr REG_SZ cache.example",
                           "nelkarProxyPort REG_DWORD 0x11170", "nelkarDebugLevel REG_DWORD 0x0")


def dialog_aktivieren_refills(case):
    helper = Helper(case)
    helper.settings(['"nelkarUseProxy"=dword:00000005', '"nelkarProxyAddr"="stored.example"',
                     '"nelkarProxyPort"=dword:00001f90'])
    setup = SetupMode(helper)
    dump = dialog(helper, "wait", "settext", "AddressEdit", "typed.example", "settext", "PortEdit", "1", "click",
                  "EnableProxyBtn", "dump")
    if 'text="stored.example"' not in control(case, dump, "AddressEdit"):
        case.fail("address not refilled: " + control(case, dump, "AddressEdit"))
    if 'text="8080"' not in control(case, dump, "PortEdit"):
        case.fail("port not refilled: " + control(case, dump, "PortEdit"))
    dump = dialog(helper, "click", "DisableProxyBtn", "dump")
    if "enabled=0" not in control(case, dump, "AddressEdit"):
        case.fail("address still enabled")
    if "enabled=0" not in control(case, dump, "CheckProxyBtn"):
        case.fail("test button still enabled")
    dialog(helper, "post", "DiscardBtn", "waitgone")
    setup.end()
    # "5" reads as on and is not rewritten unless saved.
    helper.expect_settings("nelkarUseProxy REG_DWORD 0x5", "nelkarProxyAddr REG_SZ stored.example",
                           "nelkarProxyPort REG_DWORD 0x1f90", "nelkarDebugLevel REG_DWORD 0x0")


def dialog_screenshot(case):
    helper = Helper(case)
    helper.settings([PROXY_ON, '"nelkarProxyAddr"="proxy.example"'])
    shown, shot_done = case.path("shown"), case.path("shot.done")
    screenshot = os.path.join(case.build, "nelkar-setup-dialog.png")
    # Inside Wine's virtual desktop the dialog gets its frame and caption.
    desktop = ["explorer", "/desktop=nelkar,640x480"]
    setup = case.start_wine(desktop + ["nelkar.exe", "/C"], cwd=helper.game)
    driver = case.start_wine(desktop + [helper.dialog_driver, "wait", "touch", case.windows_path(shown), "waitfile",
                                        case.windows_path(shot_done), "post", "DiscardBtn", "waitgone"],
                             stdout="driver.out", stderr="driver.out")
    if not case.wait_until(lambda: os.path.exists(shown), case.limit):
        case.fail("the dialog did not appear: " + case.read_text(case.path("driver.out")))
    time.sleep(1)
    subprocess.run(["import", "-display", case.rig.display, "-window", "root", screenshot], check=True)
    case.touch(shot_done)
    if case.exit_code(driver) != SUCCESS:
        case.fail("dialog driver: " + case.read_text(case.path("driver.out")))
    case.exit_code(setup)
    if not os.path.exists(screenshot) or not os.path.getsize(screenshot):
        case.fail("no screenshot")
    print("screenshot: " + screenshot)


def dialog_test_double_click(case):
    # A double click on "Testen" while the connect is pending starts one test: the dialog takes
    # no input while the test runs (nor a click posted to it, nor keys), the result comes in one
    # box, owned by the dialog and modal to it, and afterwards the focus is back on "Testen".
    helper = Helper(case)
    helper.settings([PROXY_ON])
    pending = PendingTarget(case)
    setup = SetupMode(helper)
    # (The keys follow once the test runs; the last pause gives a dialog that wrongly took the
    # second click, the keys or the posted click the time to start a second test or show a box.)
    dump = dialog(helper, "wait", "settext", "AddressEdit", "127.0.0.1", "settext", "PortEdit", pending.port, "mouse",
                  "CheckProxyBtn", 2, "waitdisabled", "keys", "space,enter,tab", "post", "CheckProxyBtn",
                  "sleep", 1500, "dump", "focus", "boxes")
    if not has_line(dump, r"^form .* enabled=0$"):
        case.fail("the dialog takes input during the test: " + first_line(dump))
    if "boxes 0" not in dump.split("\n"):
        case.fail("a message box came while the test was still waiting: " + last_line(dump))
    if "focus none" not in dump.split("\n"):
        case.fail("keys reach the dialog during the test: %s" % [l for l in dump.split("\n") if l.startswith("focus")])
    pending.release()
    if dialog(helper, "waitbox").rstrip("\n") != "box owner=form form-enabled=0":
        case.fail("the result box is not modal to the dialog")
    # The driver answers the box, then watches 3 s more for a second one.
    boxes = BoxWatch(case, "--count", 1, "--quiet-after", 3, "--press", "OK")
    case.wait_until(lambda: not boxes.running(), case.limit)
    boxes.expect(TEST_FAILED_BOX)
    dump = dialog(helper, "dump", "focus")
    if not has_line(dump, r"^form .* enabled=1$"):
        case.fail("the dialog stays disabled after the test")
    if "focus CheckProxyBtn" not in dump.split("\n"):
        case.fail("focus after the box: " + last_line(dump))
    dialog(helper, "post", "DiscardBtn", "waitgone")
    setup.end()
    helper.expect_settings("nelkarUseProxy REG_DWORD 0x1", *DEFAULT_SETTINGS[1:])


def dialog_close_during_test(case):
    # The dialog is closed while a test waits for a connect that neither succeeds nor fails:
    # once through WM_CLOSE (close box, taskbar, task manager) and once by a quit message to its
    # thread. The test is cancelled and the program ends at once, without a message box and
    # without writing anything; the wait takes no processor time, neither before the close nor
    # after it (a wait that spins takes a core until the connect gives up).
    helper = Helper(case)
    helper.settings([PROXY_ON])
    pending = PendingTarget(case)
    for how in ("close", "quit"):
        boxes = BoxWatch(case, "--count", 0, "--quiet-after", 600)
        setup = SetupMode(helper)
        dump = dialog(helper, "wait", "settext", "AddressEdit", "127.0.0.1", "settext", "PortEdit", pending.port,
                      "post", "CheckProxyBtn", "waitdisabled", "dump")
        if not has_line(dump, r"^form .* enabled=0$"):
            case.fail("%s: the test did not start: %s" % (how, first_line(dump)))
        start = setup.cpu_seconds()
        time.sleep(3)
        before = setup.cpu_seconds()
        dialog(helper, how)
        # (A connect that was not cancelled gives up only after about two minutes.)
        if not case.wait_until(setup.ended, 30):
            case.fail("%s: nelkar.exe still runs 30 s later; processor time %s s at the test's start, %s s now"
                      % (how, start, setup.cpu_seconds()))
        setup.end()
        total = "%.2f" % setup.result[1]
        print("%s: processor time of nelkar.exe: %s s when the test began, %s s 3 s later, %s s at its end"
              % (how, start, before, total))
        seconds = [float(t) if t != "gone" else 0.0 for t in (start, before, total)]
        if not (seconds[1] - seconds[0] < 0.3 and seconds[2] - seconds[0] < 0.5):
            case.fail("%s: the helper used processor time while the test waited (%s s, %s s, %s s)"
                      % (how, start, before, total))
        boxes.expect()
    helper.expect_settings("nelkarUseProxy REG_DWORD 0x1", *DEFAULT_SETTINGS[1:])


def dialog_keyboard(case):
    # Tab visits the checked radio button (not the other one), then the enabled edits and
    # buttons in the order of the table; the arrow keys move between the two radio buttons
    # only; Esc leaves like "Verwerfen": nothing is written.
    helper = Helper(case)
    helper.settings([PROXY_ON, '"nelkarProxyAddr"="stored.example"'])
    setup = SetupMode(helper)
    focus = dialog(helper, "wait", "focus", "keys", "tab", "focus", "keys", "tab", "focus", "keys", "tab", "focus",
                   "keys", "tab", "focus", "keys", "tab", "focus", "keys", "tab", "focus", "keys", "backtab", "focus",
                   "keys", "tab", "keys", "down", "focus", "keys", "down", "focus")
    case.compare(["focus " + name for name in ("EnableProxyBtn", "AddressEdit", "PortEdit", "CheckProxyBtn", "SaveBtn",
                                               "DiscardBtn", "EnableProxyBtn", "DiscardBtn", "DisableProxyBtn",
                                               "EnableProxyBtn")],
                 case.lines(focus), "keyboard focus differs", name="focus")
    dialog(helper, "keys", "tab", "settext", "AddressEdit", "typed.example", "keys", "esc", "waitgone")
    setup.end()
    helper.expect_settings("nelkarUseProxy REG_DWORD 0x1", "nelkarProxyAddr REG_SZ stored.example",
                           "nelkarProxyPort REG_DWORD 0xc38", "nelkarDebugLevel REG_DWORD 0x0")


CASES = {name: exchange_case for name in ("run_direct", "run_proxy", "missing_internet_defaults", "run_shipped32",
                                          "foreign_part_file")}
CASES.update({
    "second_instance": second_instance,
    "replace_loaded_plugin": replace_loaded_plugin,
    "replace_running_helper": replace_running_helper,
    "held_open_file": held_open_file,
    "dialog_defaults_discard": dialog_defaults_discard,
    "dialog_ie_yes_discard": dialog_ie_yes_discard,
    "dialog_test_button": dialog_test_button,
    "dialog_save": dialog_save,
    "dialog_aktivieren_refills": dialog_aktivieren_refills,
    "dialog_screenshot": dialog_screenshot,
    "dialog_test_double_click": dialog_test_double_click,
    "dialog_close_during_test": dialog_close_during_test,
    "dialog_keyboard": dialog_keyboard,
})

if __name__ == "__main__":
    run_cases(CASES, limits=(60, 600), limit_variable="NELKAR_CASE_TIMEOUT", work_name="nelkar-wine-cases")
