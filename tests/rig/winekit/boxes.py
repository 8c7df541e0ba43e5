"""The message-box driver (msgbox_driver.exe) beside the program under test.

    boxes = BoxWatch(case, "--count", 1, "--press", "OK")   # watching once this returns
    ... run the program ...
    boxes.expect('box caption="ERROR!" text="Can not detect ZORM.EXE" buttons=OK icon=none pressed=OK')

The driver's report goes to "boxes" in the work folder, one line per box (see
tests/rig/msgbox_driver.cpp for the options and the line's form).
"""
import os
import re

from .case import SUCCESS


class BoxWatch:
    def __init__(self, case, *options, driver=None, wait=True):
        self.case = case
        self.ready = case.path("driver.ready")
        self.stop = case.path("driver.stop")
        for f in (self.ready, self.stop):
            if os.path.exists(f):
                os.remove(f)
        driver = driver or case.rig_program("msgbox_driver.exe")
        self.process = case.start_wine([driver, "--timeout", case.limit, "--ready-file", case.windows_path(self.ready),
                                        "--stop-file", case.windows_path(self.stop)] + list(options),
                                       stdout="boxes", stderr="boxes.err")
        if wait:
            self.wait_ready()

    def wait_ready(self):
        """Returns once the driver watches (wait=False leaves that to the case: a box shown
        before would be missed)."""
        self.case.wait_for(self.ready, self.process, lambda: "message-box driver did not start: "
                           + self._text("boxes.err"))

    def _text(self, name):
        return self.case.read_text(self.case.path(name))

    def seen(self):
        """The lines reported so far."""
        return self.case.lines(self._text("boxes"))

    def running(self):
        return self.process.poll() is None

    def expect(self, *boxes, hide_addresses=False):
        """Stops the driver once no box is open and compares the boxes shown with boxes, one
        line each (none when called without). hide_addresses writes code addresses as ADDR."""
        self.case.touch(self.stop)
        rc = self.process.wait()
        if rc != SUCCESS:
            self.case.fail("message-box driver ended with %d: %s %s"
                           % (rc, self._text("boxes"), self._text("boxes.err")))
        seen = self.seen()
        if hide_addresses:
            seen = [re.sub(r" at [0-9A-F]{8,16}\.", " at ADDR.", line) for line in seen]
        self.case.compare(boxes, seen, "message boxes differ", name="boxes")
