#!/usr/bin/env python3
"""End-to-end cases of the AI plug-in: the test host ZORM.EXE loads the real Denmark.dll under
Wine and plays a scenario; its trace and the message boxes shown are compared with what the
case expects (scenarios/ and expected/ beside this file).

    ai_cases.py CASE --rig RIG_FOLDER --build BUILD_FOLDER -- EMULATOR...
"""
import os
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.realpath(__file__)), "..", "..", "..", "tests", "rig"))
from winekit.boxes import BoxWatch  # noqa: E402
from winekit.case import Case, read_lines, run_cases  # noqa: E402

HERE = os.path.dirname(os.path.realpath(__file__))


def scenario(name):
    return os.path.join(HERE, "scenarios", name + ".txt")


def expected_trace(name):
    return read_lines(os.path.join(HERE, "expected", name + ".trace"))


def host_command(case, host, name, trace):
    dll = os.path.join(case.build, "game", "AI", "Denmark.dll")
    return [os.path.join(case.build, host), "--plugin", case.windows_path(dll), "--trace",
            case.windows_path(case.path(trace)), scenario(name)]


def play(case, host, name, trace="trace"):
    """Runs the host (a path below the build folder) on a scenario, trace to the work folder's
    file trace."""
    case.expect_exit(case.wine(host_command(case, host, name, trace), timeout=case.limit), "%s on %s" % (host, name))


def same_trace(case, expected, what, trace="trace"):
    case.compare(expected, read_lines(case.path(trace)), "trace differs from " + what)


def missing_export_box(function):
    return ('box caption="DLL init error." text="ZORM.EXE does not contain function: %s" buttons=OK icon=none '
            "pressed=OK" % function)


def full_game(name, host="game/ZORM.EXE", trace=None):
    def run(case):
        boxes = BoxWatch(case, "--count", 0)
        play(case, host, name)
        boxes.expect()
        same_trace(case, expected_trace(trace or name), (trace or name) + ".trace")
    return run


def missing_peace_time(case, boxes=None):
    boxes = boxes or BoxWatch(case, "--count", 1, "--press", "OK")
    boxes.wait_ready()
    play(case, "hosts/no-GetPeaceTimeLeft/ZORM.EXE", "land1")
    boxes.expect(missing_export_box("GetPeaceTimeLeft"))
    same_trace(case, expected_trace("land1"), "land1.trace")


def renamed_host(case):
    boxes = BoxWatch(case, "--count", 1, "--press", "OK")
    play(case, "hosts/renamed/GAME.EXE", "land0")
    boxes.expect('box caption="ERROR!" text="Can not detect ZORM.EXE" buttons=OK icon=none pressed=OK')
    # Nothing is bound: only the host's own headers, no host call.
    headers = [re.sub(r", [0-9]+ host call\(s\)$", ", 0 host call(s)", line)
               for line in expected_trace("land0") if line.startswith("==")]
    same_trace(case, headers, "land0.trace, headers only")


def missing_register_upgrade(case):
    boxes = BoxWatch(case, "--count", 1, "--press", "OK")
    play(case, "hosts/no-RegisterUpgrade/ZORM.EXE", "land6")
    boxes.expect(missing_export_box("RegisterUpgrade"))
    # Every other call stays: the full game less the 130 upgrade registrations; the upgrades
    # that only those registrations name reach the game unregistered.
    expected = [re.sub(r"^(UpgIsRun|UpgIsDone)\(.*\) -> ", r"\1(<unregistered>) -> ", line)
                for line in expected_trace("land6") if not line.startswith("RegisterUpgrade(")]
    calls = sum(1 for line in expected if not line.startswith("=="))
    expected = [re.sub(r", [0-9]+ host call\(s\)$", ", %d host call(s)" % calls, line) for line in expected]
    same_trace(case, expected, "land6.trace less RegisterUpgrade")


def process_land_ai(case):
    boxes = BoxWatch(case, "--count", 0)
    play(case, "game/ZORM.EXE", "process-land-ai")
    boxes.expect()
    same_trace(case, ["== scenario: ProcessLandAI only", "== load plug-in", "== tick 1: ProcessLandAI",
                      "== tick 2: ProcessLandAI", "== tick 3: ProcessLandAI", "== end: 3 tick(s), 0 host call(s)"],
               "the expected headers")


def smoke32(case):
    # The shipped i686 plug-in in the i686 host: set-up and three ticks of a changing game,
    # and the box of a missing export. Each 32-bit process costs about a minute, so the two
    # games and the message-box driver run side by side (the game of three ticks shows no box).
    boxes = BoxWatch(case, "--count", 1, "--press", "OK", wait=False)
    three = case.start_wine(host_command(case, "game/ZORM.EXE", "three-ticks", "three-ticks.trace"))
    missing_peace_time(case, boxes)
    case.expect_exit(case.exit_code(three), "game/ZORM.EXE on three-ticks")
    same_trace(case, expected_trace("three-ticks"), "three-ticks.trace", trace="three-ticks.trace")


CASES = {"land%d" % n: full_game("land%d" % n) for n in range(7)}
CASES.update({
    "three-ticks": full_game("three-ticks"),
    "middle_sea_entry": full_game("middle-sea"),
    "missing_peace_time": missing_peace_time,
    "renamed_host": renamed_host,
    "missing_register_upgrade": missing_register_upgrade,
    "process_land_ai": process_land_ai,
    "smoke32": smoke32,
})

if __name__ == "__main__":
    run_cases(CASES, limits=(120, 600), limit_variable="AI_CASE_TIMEOUT", work_name="ai-wine-cases")
