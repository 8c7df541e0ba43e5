"""A case runner's frame: its arguments, work folder, failures and background processes.

A runner is a table of cases, functions that take a Case:

    run_cases({"land0": play_land, ...}, limits=(120, 600), limit_variable="AI_CASE_TIMEOUT",
              work_name="ai-wine-cases")

and is started by CTest as

    RUNNER CASE --rig RIG_FOLDER --build BUILD_FOLDER -- EMULATOR...

where EMULATOR is "KIT_WINE_TOOL run RIG_FOLDER" (tests/rig/wine.py, named by the toolchain
files), the command that runs a Windows program under the rig's Wine. The runner prints "PASS: CASE", or
"FAIL: CASE: what" and ends with exit code 1.
"""
import argparse
import contextlib
import difflib
import os
import shutil
import signal
import subprocess
import sys
import threading
import time

from .rig import Rig, windows_path

# Exit codes: a Windows program's success, and the one case.wine() and case.exit_code() give a
# program that has not ended in time.
SUCCESS = 0
TIMED_OUT = 124


class CaseFailed(Exception):
    pass


def read_lines(path):
    """A file's lines, one character a byte; only a line feed ends a line."""
    return Case.lines(Case.read_text(path))


def compare_lines(expected, actual, message, folder=None, name=None):
    """Raises CaseFailed(message), with a unified diff on stderr, unless the two lists of lines
    agree; with folder and name, both are kept there as NAME.expected and NAME.actual."""
    expected, actual = list(expected), list(actual)
    if name:
        for suffix, lines in ((".expected", expected), (".actual", actual)):
            with open(os.path.join(folder, name + suffix), "w", encoding="latin-1", newline="") as f:
                f.writelines(line + "\n" for line in lines)
    if expected != actual:
        sys.stderr.writelines(difflib.unified_diff([e + "\n" for e in expected], [a + "\n" for a in actual],
                                                   "expected", "actual"))
        raise CaseFailed(message)


class Case:
    def __init__(self, name, rig, build, emulator, work, limit):
        self.name = name
        self.rig = rig
        self.build = build
        self.emulator = list(emulator)
        self.work = work
        # Seconds a Windows program may take; a 32-bit one starts through an emulator.
        self.limit = limit
        # Runs Windows programs as uid 65534 in the user's prefix (wine.py run --as-user).
        self.as_user = False
        self._processes = []
        self._cleanups = []

    # Failures.
    def fail(self, message):
        raise CaseFailed(message)

    def compare(self, expected, actual, message, name=None):
        """Fails unless the two lists of lines agree (compare_lines, kept in the work folder)."""
        compare_lines(expected, actual, message, self.work, name)

    # Files.
    def path(self, *names):
        return os.path.join(self.work, *names)

    def write_lines(self, name, lines):
        with open(self.path(name), "w", encoding="latin-1", newline="") as f:
            f.writelines(line + "\n" for line in lines)

    @staticmethod
    def lines(text):
        """The lines of a text that ends each with a line feed (only a line feed ends one)."""
        return text.split("\n")[:-1] if text.endswith("\n") else text.split("\n") if text else []

    @staticmethod
    def read_text(path):
        """A file's bytes as text, one character a byte, line ends as they are."""
        with open(path, encoding="latin-1", newline="") as f:
            return f.read()

    def read_bytes(self, path):
        with open(path, "rb") as f:
            return f.read()

    def same_file(self, path, expected):
        """The file exists and holds exactly the bytes expected."""
        if not os.path.exists(path):
            self.fail("missing " + path)
        content = self.read_bytes(path)
        if content != expected:
            self.fail("%s is %r, expected %r" % (path, content, expected))

    def touch(self, path):
        open(path, "a").close()

    @staticmethod
    def windows_path(path):
        return windows_path(path)

    # Processes.
    def wine_command(self, argv):
        return self.emulator + (["--as-user"] if self.as_user else []) + [str(a) for a in argv]

    def rig_program(self, name):
        """A Windows-side program of the rig (tests/rig), as built."""
        return os.path.join(self.build, "rig", name)

    def wine(self, argv, cwd=None, timeout=None, stdout=None, stderr=None, check=False):
        """Runs a Windows program and waits for it; returns its exit code (TIMED_OUT after timeout
        seconds). stdout and stderr are files of the work folder by name, or as subprocess takes
        them (None: the case's own)."""
        with self._output(stdout) as out, self._output(stderr if stderr != stdout else None) as err:
            try:
                rc = subprocess.run(self.wine_command(argv), cwd=cwd, timeout=timeout, stdin=subprocess.DEVNULL,
                                    stdout=out, stderr=subprocess.STDOUT if stderr == stdout and stderr else err
                                    ).returncode
            except subprocess.TimeoutExpired:
                rc = TIMED_OUT
        if check:
            self.expect_exit(rc, os.path.basename(str(argv[0])))
        return rc

    def expect_exit(self, rc, what, want=SUCCESS):
        """Fails unless the exit code rc of what (a program) is want."""
        if rc != want:
            self.fail("%s ended with %d, expected %d" % (what, rc, want))

    def exit_code(self, process):
        """Waits for a background process, at most the case's limit: its exit code, or TIMED_OUT."""
        try:
            return process.wait(timeout=self.limit)
        except subprocess.TimeoutExpired:
            return TIMED_OUT

    def wine_output(self, argv, failure=None):
        """What a Windows program prints, without carriage returns; with failure, the case fails
        so unless the program ends with exit code 0."""
        done = subprocess.run(self.wine_command(argv), stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL)
        if failure and done.returncode != SUCCESS:
            self.fail(failure)
        return done.stdout.decode("latin-1").replace("\r", "")

    def _output(self, target):
        if isinstance(target, str):
            return open(self.path(target), "wb")
        return contextlib.nullcontext(target)

    def start_wine(self, argv, **kwargs):
        """Starts a Windows program in the background (ended with the case)."""
        return self.start(self.wine_command(argv), **kwargs)

    def start(self, argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, cwd=None):
        """Starts a program in the background; stdout and stderr as for wine(). The case ends
        it at its end if it still runs."""
        with self._output(stdout) as out, self._output(stderr if stderr != stdout else None) as err:
            process = subprocess.Popen([str(a) for a in argv], cwd=cwd, stdin=subprocess.DEVNULL, stdout=out,
                                       stderr=subprocess.STDOUT if stderr == stdout and stderr else err)
        self._processes.append(process)
        return process

    def wait_until(self, condition, seconds, interval=0.1):
        """Polls condition until it holds (True) or seconds have passed (False)."""
        end = time.monotonic() + seconds
        while True:
            if condition():
                return True
            if time.monotonic() >= end:
                return False
            time.sleep(interval)

    def wait_for(self, ready, process, failure, seconds=None):
        """Waits until ready holds (a condition, or a file's name: the file exists) or the
        background process has ended, at most seconds (the case's limit); fails with failure (a
        text, or a function that makes it) unless ready holds then."""
        done = ready if callable(ready) else lambda: os.path.exists(ready)
        self.wait_until(lambda: done() or process.poll() is not None, seconds or self.limit)
        if not done():
            self.fail(failure() if callable(failure) else failure)

    def hold(self, mode, path, *arguments):
        """Holds the file path as the running game holds its files, until release() is called on
        what this returns: the rig's file_holder.exe ("open": open without sharing, "load":
        loaded as a library, "run": running as a program with arguments)."""
        return _Held(self, mode, path, arguments)

    @contextlib.contextmanager
    def polling(self, action, interval):
        """Calls action every interval seconds in a thread of its own while the block runs."""
        stop = threading.Event()

        def loop():
            while not stop.is_set():
                action()
                stop.wait(interval)
        thread = threading.Thread(target=loop)
        thread.start()
        try:
            yield
        finally:
            stop.set()
            thread.join()

    def at_end(self, action):
        """Runs action when the case ends, passed or failed (last registered first)."""
        self._cleanups.append(action)

    def end(self):
        for process in self._processes:
            if process.poll() is None:
                process.kill()
        for process in self._processes:
            try:
                process.wait(timeout=30)
            except subprocess.TimeoutExpired:
                pass
        while self._cleanups:
            try:
                self._cleanups.pop()()
            except Exception as e:  # a clean-up that fails must not hide the case's result
                print("clean-up: %s" % e, file=sys.stderr)


class _Held:
    def __init__(self, case, mode, path, arguments):
        self.case, self.name = case, os.path.basename(path)
        tag = "hold-%s-%s" % (mode, self.name)
        self.log, ready, self.stop = tag + ".log", case.path(tag + ".ready"), case.path(tag + ".stop")
        signals = [case.windows_path(ready), case.windows_path(self.stop)]
        where = signals + [case.windows_path(path)] if mode == "run" else [case.windows_path(path)] + signals
        self.process = case.start_wine([case.rig_program("file_holder.exe"), mode] + where + list(arguments),
                                       stdout=self.log, stderr=self.log)
        case.wait_for(ready, self.process, lambda: "%s is not held: %s" % (self.name, self._text()))

    def _text(self):
        return self.case.read_text(self.case.path(self.log))

    def release(self):
        self.case.touch(self.stop)
        if self.case.exit_code(self.process) != SUCCESS:
            self.case.fail("%s was not let go: %s" % (self.name, self._text()))


def run_cases(cases, limits, limit_variable, work_name, fresh_work=True):
    """Parses the command line, runs the case it names and exits with its result."""
    parser = argparse.ArgumentParser()
    parser.add_argument("case")
    parser.add_argument("--rig", required=True, help="the rig's folder (see tests/rig/wine.py)")
    parser.add_argument("--build", required=True, help="the build folder")
    argv = sys.argv[1:]
    if "--" not in argv or argv.index("--") == len(argv) - 1:
        parser.error("-- and the command that runs a Windows program (the emulator) are missing")
    args = parser.parse_args(argv[:argv.index("--")])
    emulator = argv[argv.index("--") + 1:]
    rig = Rig(args.rig)
    limit = int(os.environ.get(limit_variable) or (limits[1] if rig.arch == "32" else limits[0]))
    build = os.path.realpath(args.build)
    work = os.path.join(build, work_name, args.case)
    if fresh_work:
        shutil.rmtree(work, ignore_errors=True)
        os.makedirs(work)
    case = Case(args.case, rig, build, emulator, work, limit)
    # CTest ends a case that runs too long with SIGTERM: the background processes go too.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    function = cases.get(args.case)
    try:
        if function is None:
            case.fail("unknown case")
        function(case)
    except CaseFailed as e:
        print("FAIL: %s: %s" % (args.case, e), file=sys.stderr, flush=True)
        sys.exit(1)
    finally:
        case.end()
    print("PASS: " + args.case, flush=True)
