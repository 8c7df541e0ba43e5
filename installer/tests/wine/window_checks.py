#!/usr/bin/env python3
"""Checks what Tessarin.exe recorded of its window during a full update (through the installer
probe's hook, in the order it did things): the geometries it rested at, the texts of its status
line and which of them it drew whole, the task-bar title, and the fonts the rig draws with.

    window_checks.py WORK STAGE GAME_WIN LONG_PATH

WORK holds the probe's "window.txt" (installer_probe.exe watch, see window_hook.cpp) and
"font.txt" (installer_probe.exe font); STAGE is the payload's staging folder, GAME_WIN the game folder as Windows names it and
LONG_PATH the progress text that must be drawn whole. The texts compared go to WORK as
NAME.expected and NAME.actual. Exit code 0, or 1 with the first difference on stderr.
"""
import os
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.realpath(__file__)), "..", "..", "..", "tests", "rig"))
from winekit.case import CaseFailed, compare_lines, read_lines  # noqa: E402

STATUS_TEXTS = ["Checking for the game presence ...", "Checking for the game locale ...",
                "Checking for the game version ...", "Extracting archive ...", "Opening archive ...",
                "Copying files ...", "Updating game information ...", "Creating shortcuts ...",
                "Deleting any temporary files used ...", "Finalizing ..."]
PROGRESS = "\\..."


def check(work, stage, game_win, long_path):
    # The probe's lines (it ends them with a carriage return and a line feed) without their times.
    log = [re.sub(r"^[0-9]+ ", "", line.replace("\r", ""))
           for line in read_lines(os.path.join(work, "window.txt"))]

    # The geometries the window rested at (as it was shown, at each status text and as it was
    # hidden; the same one in a row once), the outer size from the frame the system draws
    # around the client area.
    geometry = [line for line in log if line.startswith("geometry")]
    geometry = [line for n, line in enumerate(geometry) if n == 0 or line != geometry[n - 1]]
    if not geometry:
        raise CaseFailed("no geometry recorded")
    m = re.search(r"outer=([0-9]+)x([0-9]+) client=([0-9]+)x([0-9]+)", geometry[0])
    if not m:
        raise CaseFailed("bad geometry line")
    frame_w, frame_h = int(m.group(1)) - int(m.group(3)), int(m.group(2)) - int(m.group(4))

    def geo(w, h, image_x, caption):
        return "geometry outer=%dx%d client=%dx%d image=%d,8 caption=%s" % (w + frame_w, h + frame_h, w, h,
                                                                             image_x, caption)
    title = "Orvandel V1.29 Update"
    compare_lines([geo(104, 46, 32, "Veltmark"), geo(286, 46, 8, title), geo(286, 147, 8, title),
                   geo(286, 46, 8, title), geo(104, 46, 32, "Veltmark")], geometry, "window geometry differs",
                  work, "geometry")

    # ("Initializing ...", the label's first text, is not set but made with it.)
    status = [line for line in log if line.startswith("message ") and not line.startswith("message " + PROGRESS)]
    compare_lines(["message " + t for t in STATUS_TEXTS], status, "status texts differ", work, "status")

    # Progress texts: "\..." and the end of the destination path, cut from the front.
    for folder, _, files in os.walk(stage):
        for name in files:
            relative = os.path.relpath(os.path.join(folder, name), stage)
            full = game_win + "\\" + relative.replace("/", "\\")
            shown = [line[len("message " + PROGRESS):] for line in log
                     if name in line and line.startswith("message " + PROGRESS)]
            match = next((s for s in shown if s and full.endswith(s)), None)
            if match is None:
                raise CaseFailed("no progress text shows " + full)
            if len(match) >= len(full):
                raise CaseFailed(full + " shown uncut")

    # The rig draws with the fonts that the window is laid out for ("MS Sans Serif" 8 point
    # in the German ANSI code page), in which "Update status :" fills its 72-pixel label.
    font = [line.replace("\r", "") for line in read_lines(os.path.join(work, "font.txt"))]
    compare_lines(["codepage=1252", "face=MS Sans Serif", "status=72"], font, "the rig's fonts differ",
                  work, "font")

    # Status texts and the long path reach the screen whole, as one line each.
    if "message " + long_path not in log:
        raise CaseFailed('no progress text "%s"' % long_path)
    if "drawn " + long_path not in log:
        raise CaseFailed('"%s" not drawn whole as one line' % long_path)
    drawn = [line for line in log if line.startswith("drawn ") and not line.startswith("drawn " + PROGRESS)]
    compare_lines(["drawn " + t for t in STATUS_TEXTS], drawn, "status texts drawn differ", work, "drawn")

    # The task bar shows the application title, whatever the caption, from the moment the
    # application's window is shown until the process ends: that window is never hidden before.
    taskbar = [line for line in log if line.startswith("taskbar ")]
    shown = next((n for n, line in enumerate(taskbar) if line != "taskbar "), len(taskbar))
    compare_lines(["taskbar " + title], taskbar[shown:], "task-bar titles differ", work, "taskbar")


def main(argv):
    if len(argv) != 4:
        sys.exit(__doc__)
    try:
        check(*argv)
    except CaseFailed as e:
        print("window checks: %s" % e, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
