#!/usr/bin/env python3
"""End-to-end cases of the update installer: an installation record (records/ beside this
file) and a prepared game folder, Tessarin.exe run under Wine with its message boxes answered
by the driver, then the game folder, the record, the Start-menu link and the temporary folder
checked.

    installer_cases.py CASE --rig RIG_FOLDER --build BUILD_FOLDER -- EMULATOR...
"""
import os
import shutil
import subprocess
import sys
import time
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.realpath(__file__)), "..", "..", "..", "tests", "rig"))
from winekit import registry  # noqa: E402
from winekit.boxes import BoxWatch  # noqa: E402
from winekit.case import run_cases  # noqa: E402
from winekit.folders import Arrivals  # noqa: E402
from winekit.rig import USER_ID  # noqa: E402

HERE = os.path.dirname(os.path.realpath(__file__))
# Tessarin.exe's exit codes: after an update and after each check's box; after "Application
# Error"; when the update was not (fully) applied and not recorded.
DONE, APPLICATION_ERROR, NOT_APPLIED = 0, 1, 2
RECORD_KEY = "HKCU\\Software\\Talvorek\\Veltmark : Orvandel"
PROFILE = "drive_c/users/root"
PROGRAMS = "AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
GROUP = "Veltmark - Orvandel"

# The boxes of the run as the driver reports them (control bytes escaped, "\r\n" stays "\r\n").
NO_GAME_BOX = ('box caption="Error" text="Unable to find the game!\\r\\nPlease install the game before updating" '
               "buttons=OK icon=error pressed=OK")
WRONG_EDITION_BOX = ('box caption="Error" text="You have %s version installed!\\r\\nThis update is for German '
                     'version only!" buttons=OK icon=error pressed=OK')
ASK_AGAIN_BOX = ('box caption="Warning" text="You already have this update installed!\\r\\nInstall the update '
                 'anyway?" buttons=YES,NO icon=warning pressed=%s')
ERROR_BOX = ('box caption="Application Error" text="Exception %s in module Tessarin.exe at ADDR.\\n%s" '
             "buttons=OK icon=error pressed=OK")
# A file of the game that cannot be written: before unpacking (Retry, Cancel), and after it.
REFUSED_BOX = 'box caption="Error" text="Unable to update %s!\\r\\n%s" buttons=RETRY,CANCEL icon=error pressed=%s'
IN_USE = "Please close the game and try again"
# Wine's text for "access denied" (Windows says "Access is denied."), and the advice.
DENIED = "Access denied.\\r\\nYour account must be allowed to change the game folder"
NOT_WRITTEN_BOX = ('box caption="Error" text="Unable to update %s and %d other files!\\r\\n' + DENIED +
                   '" buttons=OK icon=error pressed=OK')
NO_SPACE_BOX = ('box caption="Error" text="Not enough disk space on D:\\\\!\\r\\nThe update needs %d KB more: please '
                'free some space and try again" buttons=RETRY,CANCEL icon=error pressed=CANCEL')
# Where Windows keeps what a program without an execution level wrote while the folder was
# denied to it: below the profile's local application data.
VIRTUAL_STORE = PROFILE + "/AppData/Local/VirtualStore"


def escaped(text):
    """A text as the driver reports it: backslashes doubled."""
    return text.replace("\\", "\\\\")


class Installer:
    """One run's installer, game folder, record and the prefix's folders that it writes."""

    def __init__(self, case):
        self.case = case
        build = case.build
        self.exe = os.path.join(build, "dist", "Tessarin.exe")
        self.probe = os.path.join(build, "installer", "tests", "installer_probe.exe")
        self.driver = case.rig_program("msgbox_driver.exe")
        self.stage = os.path.join(build, "installer", "payload.zip.d")
        self.prefix = case.rig.prefix
        self.game_folder = "game"
        self.elapsed_ms = 0

    def use_user(self):
        """Runs as the unprivileged user (cases about read-only files), in its own folder with
        its own copies of the programs."""
        case = self.case
        case.as_user = True
        root = case.rig.user_root()
        self.prefix = os.path.join(root, "prefix")
        case.work = os.path.join(root, "cases", case.name)
        bin_folder = os.path.join(root, "bin")
        os.makedirs(bin_folder, exist_ok=True)
        for program in (self.exe, self.driver, self.probe):
            shutil.copy(program, bin_folder)
        subprocess.run(["chmod", "-R", "a+rX", bin_folder], check=True)
        self.exe, self.driver, self.probe = (os.path.join(bin_folder, os.path.basename(p))
                                             for p in (self.exe, self.driver, self.probe))

    def prepare(self, record):
        """A fresh work folder and game folder, no link, no temporary archive, and the
        installation record of records/RECORD.reg (its InstallDir the game folder)."""
        case = self.case
        self.game = case.path(self.game_folder)
        shutil.rmtree(case.work, ignore_errors=True)
        os.makedirs(self.game)
        if case.as_user:
            subprocess.run(["chown", "-R", "%d:%d" % (USER_ID, USER_ID), os.path.dirname(case.work)], check=True)
        # The prefix's TEMP, also for the other user.
        self.temp = os.path.join(self.prefix, PROFILE, "Temp")
        self.programs_win = "C:\\users\\root\\" + PROGRAMS.replace("/", "\\")
        self.group = os.path.join(self.prefix, PROFILE, PROGRAMS, GROUP)
        shutil.rmtree(self.group, ignore_errors=True)
        if os.path.exists(os.path.join(self.temp, "update.zip")):
            os.remove(os.path.join(self.temp, "update.zip"))
        self.game_win = case.windows_path(self.game)
        registry.import_file(case, os.path.join(HERE, "records", record + ".reg"), game=self.game_win)

    def write(self, name, text=None, user_owned=False, read_only=False):
        """The game's file NAME ("/" between folders) holding TEXT, or without it the kit's own
        file of that name marked as old."""
        path = os.path.join(self.game, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(text.encode() if text else self.case.read_bytes(os.path.join(self.case.build, "game", name)) + b"old")
        if user_owned:
            os.chown(path, USER_ID, USER_ID)
        if read_only:
            os.chmod(path, 0o444)

    def boxes(self, *options):
        return BoxWatch(self.case, *options, driver=self.driver)

    def run_with(self, want, *boxes, press=None):
        """Runs Tessarin.exe with every box answered by PRESS: exit code WANT and exactly BOXES
        (code addresses as ADDR)."""
        watch = self.boxes("--count", len(boxes), *(("--press", press) if press else ()))
        self.run(want)
        watch.expect(*boxes, hide_addresses=True)

    def hold(self, mode, name, *arguments):
        """Holds the game's file NAME ("/" between folders) as the running game does (case.hold)."""
        return self.case.hold(mode, os.path.join(self.game, name), *arguments)

    def run(self, want):
        start = time.monotonic()
        rc = self.case.wine([self.exe, "some", "ignored", "arguments"], cwd=self.case.work, timeout=self.case.limit)
        self.elapsed_ms = int((time.monotonic() - start) * 1000)
        self.case.expect_exit(rc, "Tessarin.exe", want)

    # What the run left.
    def version_is(self, expected):
        """The record's "Version": REG_SZ expected, or None for no value."""
        value = registry.query(self.case, RECORD_KEY, "Version")
        if expected is None:
            if value is not None:
                self.case.fail("Version exists: %s %s" % value)
        elif value != ("REG_SZ", expected):
            self.case.fail('Version is "%s", expected REG_SZ %s' % (" ".join(value or ()), expected))

    def snapshot(self):
        """Every name in the game folder with its size, permissions and time."""
        entries = []
        for folder, dirs, files in os.walk(self.game):
            for name in [""] + dirs + files:
                path = os.path.join(folder, name) if name else folder
                st = os.lstat(path)
                entries.append((os.path.relpath(path, self.game), st.st_size, st.st_mode & 0o7777, st.st_mtime_ns))
        return sorted(entries)

    def untouched(self, before, stale_archive=False, version=None):
        """Nothing written or deleted: game folder as before, no link, no temporary archive, the
        record's "Version" as it was (VERSION, None for no value)."""
        self.version_is(version)
        if self.snapshot() != before:
            self.case.fail("game folder changed")
        if os.path.exists(self.group):
            self.case.fail("program group made")
        if not stale_archive and os.path.exists(os.path.join(self.temp, "update.zip")):
            self.case.fail("temporary archive written")

    def staged(self):
        """The payload's files as the build staged them, relative to the stage folder."""
        return sorted(os.path.relpath(os.path.join(folder, name), self.stage)
                      for folder, _, files in os.walk(self.stage) for name in files)

    def payload_written(self):
        """Every member of the payload in the game folder with its content and stored time."""
        staged = self.staged()
        for name in staged:
            source, written = os.path.join(self.stage, name), os.path.join(self.game, name)
            if not os.path.isfile(written):
                self.case.fail(name + " not written")
            if self.case.read_bytes(source) != self.case.read_bytes(written):
                self.case.fail(name + " differs from the payload")
            if int(os.stat(source).st_mtime) != int(os.stat(written).st_mtime):
                self.case.fail("%s has time %s, stored %s" % (name, time.ctime(os.stat(written).st_mtime),
                                                                time.ctime(os.stat(source).st_mtime)))
        members = sum(1 for n in self.payload_names() if not n.endswith("/"))
        if len(staged) != members or not staged:
            self.case.fail("%d files staged, the payload has %d" % (len(staged), members))

    def payload_names(self):
        """The payload's member names in archive order."""
        with zipfile.ZipFile(os.path.join(self.case.build, "installer", "payload.zip")) as z:
            return z.namelist()

    def link_made(self):
        link = os.path.join(self.group, "Clan-Verwaltung.lnk")
        if not os.path.isfile(link):
            self.case.fail("no link " + link)
        held = sorted(n for n in os.listdir(self.group) if not n.startswith("."))
        if held != ["Clan-Verwaltung.lnk"]:
            self.case.fail("group holds " + " ".join(held))
        text = self.case.wine_output([self.probe, "link", "%s\\%s\\Clan-Verwaltung.lnk" % (self.programs_win, GROUP)],
                                     "link cannot be read")
        target = self.game_win + "\\clans.url"
        self.case.compare(["target=" + target, "icon=" + target, "index=0", "arguments=", "folder=", "description="],
                          self.case.lines(text), "link differs", name="link")

    def full_update_done(self):
        self.payload_written()
        if os.path.exists(os.path.join(self.game, "TIRMOLD.EXE")):
            self.case.fail("TIRMOLD.EXE still there")
        self.version_is("2.2")
        self.link_made()
        if os.path.exists(os.path.join(self.temp, "update.zip")):
            self.case.fail("temporary archive left")

    def pacing_report(self):
        """How far the run's wall time lies above its fixed waits: two pauses of 21 x 50 ms, ten
        status texts of 700 ms, 570 animation steps of 10 ms and 50 ms per progress report (one
        per member and one per 32,768-byte block). A Wine start of a trivial program is
        subtracted."""
        sizes = [os.path.getsize(os.path.join(self.stage, n)) for n in self.staged()]
        reports = sum(1 + (size + 32767) // 32768 for size in sizes)
        fixed = 2 * 21 * 50 + 10 * 700 + (183 + 102 + 102 + 183) * 10 + reports * 50
        start = time.monotonic()
        self.case.wine([self.probe], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        start_ms = int((time.monotonic() - start) * 1000)
        print("pacing: run %d ms, Wine start %d ms, fixed waits %d ms (%d progress reports), above the waits: %.1f %%"
              % (self.elapsed_ms, start_ms, fixed, reports, (self.elapsed_ms - start_ms - fixed) * 100 / fixed))


def installer_case(function):
    """A case function of the installer: the runner hands it the case's Installer."""
    return lambda case: function(Installer(case))


def stopped(record, want, box):
    """The record RECORD stops the run at its checks with BOX (answered OK) and exit code WANT:
    nothing written or deleted."""
    def run(inst):
        inst.prepare(record)
        before = inst.snapshot()
        inst.run_with(want, box, press="OK")
        inst.untouched(before)
    return run


def no_box_update(record):
    def run(inst):
        inst.prepare(record)
        inst.write("TIRMOLD.EXE", "old\n")
        # Copies that the game or the helper, virtualised, once wrote of the game's files: the
        # one of a file the update writes goes, the player's own stays.
        store = os.path.join(inst.prefix, VIRTUAL_STORE, inst.game_win.split(":", 1)[1].lstrip("\\")
                             .replace("\\", "/"))
        shutil.rmtree(store, ignore_errors=True)
        os.makedirs(store)
        for name in ("ReadMe.txt", "savegame.dat"):
            with open(os.path.join(store, name), "w") as f:
                f.write("written by the game\n")
        # A link planted on the way to a copy leads out of the VirtualStore: what it leads to stays.
        elsewhere = inst.case.path("elsewhere")
        os.makedirs(elsewhere)
        inst.case.touch(os.path.join(elsewhere, "Denmark.dll"))
        os.symlink(elsewhere, os.path.join(store, "AI"))
        # Another program of the user's tries to write the temporary archive all along.
        case, stop = inst.case, inst.case.path("pry.stop")
        pry = case.start_wine([inst.probe, "pry", case.windows_path(os.path.join(inst.temp, "update.zip")),
                               case.windows_path(stop)], stdout="pry.txt")
        inst.run_with(DONE)
        case.touch(stop)
        case.expect_exit(case.exit_code(pry), "installer_probe pry")
        tries = dict(item.split("=") for item in case.read_text(case.path("pry.txt")).split())
        if int(tries["present"]) == 0 or int(tries["opened"]) != 0:
            case.fail("another program opened the temporary archive for writing: %s" % tries)
        inst.full_update_done()
        if sorted(os.listdir(store)) != ["AI", "savegame.dat"] or os.listdir(elsewhere) != ["Denmark.dll"]:
            inst.case.fail("VirtualStore holds %s, expected AI and savegame.dat; the link leads to %s"
                           % (sorted(os.listdir(store)), os.listdir(elsewhere)))
    return run


def asked(version, answer):
    def run(inst):
        inst.prepare("german-level-" + version)
        inst.write("TIRMOLD.EXE", "old\n")
        before = inst.snapshot()
        inst.run_with(DONE, ASK_AGAIN_BOX % answer, press=answer)
        if answer == "NO":
            inst.untouched(before, version=version)
        else:
            inst.full_update_done()
    return run


def full_update(inst):
    # As an unprivileged user: read-only files stay read-only for it.
    inst.use_user()
    inst.prepare("german")
    inst.write("TIRMOLD.EXE", "old\n", user_owned=True, read_only=True)
    inst.write("ReadMe.txt", "old read me\n", user_owned=True, read_only=True)
    inst.run_with(DONE)
    inst.full_update_done()
    if os.stat(os.path.join(inst.game, "ReadMe.txt")).st_mode & 0o600 != 0o600:
        inst.case.fail("ReadMe.txt still read-only")
    inst.pacing_report()
    # A second run asks, and leaves one link.
    inst.run_with(DONE, ASK_AGAIN_BOX % "YES", press="YES")
    inst.full_update_done()


def stale_update_zip(inst):
    inst.use_user()
    inst.prepare("german")
    before = inst.snapshot()
    os.makedirs(inst.temp, exist_ok=True)
    stale = os.path.join(inst.temp, "update.zip")
    with open(stale, "w") as f:
        f.write("stale\n")
    os.chown(stale, USER_ID, USER_ID)
    os.chmod(stale, 0o444)
    inst.run_with(APPLICATION_ERROR, ERROR_BOX % ("EFCreateError", "Cannot create file "
                                                  "C:\\\\users\\\\root\\\\Temp\\\\update.zip."), press="OK")
    if inst.case.read_bytes(stale).rstrip(b"\n") != b"stale":
        inst.case.fail("stale archive changed")
    inst.untouched(before, stale_archive=True)
    os.remove(stale)


def non_ansi_profile(inst, present):
    """A user profile named "Łukasz" for the unprivileged user: TEMP, TMP and the Programs
    folder lie in it. The German ANSI code page (1252) lacks its first letter and gives
    "Lukasz" as the nearest, the name of another user's profile. As on Windows, where a user
    cannot make folders in C:\\Users, the users folder is read-only for the run (made when
    present, missing otherwise). The case's end restores the prefix."""
    case = inst.case
    users = os.path.join(inst.prefix, "drive_c", "users")
    inst.lukasz = os.path.join(users, "Łukasz")
    inst.lukasz_win = "C:\\users\\Łukasz"
    programs_key = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"
    settings = [("HKCU\\Environment", "TEMP", inst.lukasz_win + "\\Temp"),
                ("HKCU\\Environment", "TMP", inst.lukasz_win + "\\Temp"),
                (programs_key, "Programs", inst.lukasz_win + "\\" + PROGRAMS.replace("/", "\\"))]
    saved = [(key, name, registry.query(case, key, name)) for key, name, _ in settings]

    def restore():
        os.chmod(users, os.stat(users).st_mode | 0o200)
        for key, name, value in saved:
            if value:
                registry.add(case, key, name, *value)
    case.at_end(restore)
    shutil.rmtree(inst.lukasz, ignore_errors=True)
    if present:
        os.makedirs(os.path.join(inst.lukasz, "Temp"))
        os.makedirs(os.path.join(inst.lukasz, PROGRAMS))
        subprocess.run(["chown", "-R", "%d:%d" % (USER_ID, USER_ID), inst.lukasz], check=True)
    os.chmod(users, os.stat(users).st_mode & ~0o222)
    for key, name, data in settings:
        registry.add(case, key, name, "REG_SZ", data)


def profile_non_ansi(inst):
    # Temporary archive and Start-menu link in a profile whose name the ANSI calls cannot
    # hold: a full update through the folders' short names.
    inst.use_user()
    inst.prepare("german")
    non_ansi_profile(inst, present=True)
    inst.write("TIRMOLD.EXE", "old\n")
    arrivals = Arrivals(inst.case, os.path.join(inst.lukasz, "Temp"))
    inst.run_with(DONE)
    if "update.zip" not in arrivals.names():
        inst.case.fail("no archive in %s/Temp during the run" % inst.lukasz)
    if os.path.exists(inst.group):
        inst.case.fail("link made in the other profile")
    inst.temp = os.path.join(inst.lukasz, "Temp")
    inst.programs_win = inst.lukasz_win + "\\" + PROGRAMS.replace("/", "\\")
    inst.group = os.path.join(inst.lukasz, PROGRAMS, GROUP)
    inst.full_update_done()


def profile_non_ansi_missing(inst):
    # The same profile, missing and impossible to create: no short name, so the run stops
    # with the usual error, naming the folder with "?" for the letter, and writes nothing.
    inst.use_user()
    inst.prepare("german")
    non_ansi_profile(inst, present=False)
    before = inst.snapshot()
    inst.run_with(APPLICATION_ERROR, ERROR_BOX % ("EFCreateError", "Cannot create file "
                                                  "C:\\\\users\\\\?ukasz\\\\Temp\\\\update.zip."), press="OK")
    inst.untouched(before)
    if any("ukasz" in n.lower() for n in os.listdir(os.path.join(inst.prefix, "drive_c", "users"))):
        inst.case.fail("a profile folder was made")


def held_files_retry(inst):
    # The game's plug-in loaded and its helper running, as while the game runs: the installer
    # names the first of them and waits; once both are let go, Retry completes the update.
    case = inst.case
    inst.prepare("german")
    inst.write("TIRMOLD.EXE", "old\n")
    for name in ("AI/Denmark.dll", "nelkar.exe"):
        inst.write(name)
    holders = [inst.hold("load", "AI/Denmark.dll"), inst.hold("run", "nelkar.exe", "/C")]
    shown, answer = case.path("box.shown"), case.path("box.answer")
    boxes = inst.boxes("--count", 1, "--press", "RETRY", "--exe", "Tessarin.exe",
                       "--shown-file", case.windows_path(shown), "--answer-when", case.windows_path(answer))
    installer = case.start_wine([inst.exe], cwd=case.work)
    case.wait_for(shown, installer, "no box while the game's files are held")
    for holder in holders:
        holder.release()
    case.touch(answer)
    case.expect_exit(case.exit_code(installer), "Tessarin.exe", DONE)
    boxes.expect(REFUSED_BOX % (escaped(inst.game_win + "\\AI\\Denmark.dll"), IN_USE, "RETRY"))
    inst.full_update_done()


def refused_before_unpacking(put, named, reason):
    """Something that PUT puts in the game folder stops the update before it touches anything:
    the box names the file NAMED and gives REASON ("%s" for the game folder); Cancel leaves the
    game folder, the record and the Start menu as they were, and the exit code says the update
    was not applied. PUT returns what holds a file, or None."""
    def run(inst):
        inst.prepare("german")
        inst.write("TIRMOLD.EXE", "old\n")
        holder = put(inst)
        before = inst.snapshot()
        inst.run_with(NOT_APPLIED, REFUSED_BOX % (escaped(inst.game_win + "\\" + named),
                                                  escaped(reason.replace("%s", inst.game_win)), "CANCEL"), press="CANCEL")
        if holder:
            holder.release()
        inst.untouched(before)
    return run


def held_read_only(mode, name, text=None):
    """A read-only file of the game (as Installer.write) held by another program (MODE as for
    case.hold)."""
    def put(inst):
        inst.write(name, text, read_only=True)
        return inst.hold(mode, name)
    return put


def file_in_place_of_folder(inst):
    inst.write("AI", "a file where the update's folder goes\n")


def small_drive(kind):
    """The game on drive D:, a memory file system of 128 KiB (Wine's drive type KIND: "floppy"
    reads as removable, "hd" as fixed), with less room than the update: the box says how many
    KB more it needs, and Cancel leaves the game, the record and the Start menu as they were."""
    def run(inst):
        case = inst.case
        inst.prepare("german")
        drive, link = case.path("drive"), os.path.join(inst.prefix, "dosdevices", "d:")
        os.makedirs(drive)
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=128k", "tmpfs", drive], check=True)
        case.at_end(lambda: subprocess.run(["umount", drive]))
        os.symlink(drive, link)
        registry.add(case, "HKLM\\Software\\Wine\\Drives", "d:", "REG_SZ", kind)

        def restore():
            os.remove(link)
            case.wine(["reg", "delete", "HKLM\\Software\\Wine\\Drives", "/v", "d:", "/f"], stdout=subprocess.DEVNULL)
            case.rig.restart()
        case.at_end(restore)
        case.rig.restart()  # Wine reads its drives when its services start
        inst.game, inst.game_win = os.path.join(drive, "game"), "D:\\game"
        os.makedirs(inst.game)
        registry.import_file(case, os.path.join(HERE, "records", "german.reg"), game=inst.game_win)
        inst.write("TIRMOLD.EXE", "old\n")
        before = inst.snapshot()
        # Every member takes whole clusters; nothing on the drive is replaced.
        st = os.statvfs(drive)
        with zipfile.ZipFile(os.path.join(case.build, "installer", "payload.zip")) as z:
            needed = sum(-(-m.file_size // st.f_bsize) * st.f_bsize for m in z.infolist() if not m.is_dir())
        inst.run_with(NOT_APPLIED, NO_SPACE_BOX % -(-(needed - st.f_bavail * st.f_frsize) // 1024), press="CANCEL")
        inst.untouched(before)
    return run


def denied_game_folder(inst):
    # A standard user and a game folder that belongs to root, as Program Files belongs to the
    # administrators: every member is refused, one box says so, nothing is recorded. (Windows
    # names the first one before unpacking already: the game folder, opened to add files to
    # it, refuses. Wine checks no folder's permissions on such an open.)
    inst.use_user()
    inst.prepare("german")
    inst.write("TIRMOLD.EXE", "old\n")
    os.chown(inst.game, 0, 0)
    os.chmod(inst.game, 0o755)
    before = inst.snapshot()
    members = [n for n in inst.payload_names() if not n.endswith("/")]
    inst.run_with(NOT_APPLIED, NOT_WRITTEN_BOX % (escaped(inst.game_win + "\\" + members[0].replace("/", "\\")),
                                                  len(members) - 1), press="OK")
    inst.untouched(before)


def window(inst):
    # The window as the program drew it (recorded from inside it by the probe's hook), and
    # screenshots of its stages as test artifacts: window-stage-N.png at the end of each size
    # it rests at, window-copying.png with the long path below; the run waits for each.
    # The game folder's name makes the progress text of AI\Denmark.dll, cut to 220 pixels
    # in the label's font, 234 pixels wide with its "\..." (14 pixels): one more than the
    # label, so one more character goes, and a word-wrapping label would break it at a blank.
    case = inst.case
    inst.game_folder = "Meine Spiele/Veltmark Orvandel"
    long_path = "\\...ine Spiele\\Veltmark Orvandel\\AI\\Denmark.dll"
    inst.prepare("german")
    with open(case.path("font.txt"), "w", encoding="latin-1", newline="") as f:
        f.write(case.wine_output([inst.probe, "font"], "the font probe failed"))
    window_log, stop, shots = case.path("window.txt"), case.path("watch.stop"), case.path("shots")
    os.makedirs(shots)
    watcher = case.start_wine([inst.probe, "watch", case.windows_path(window_log), case.windows_path(stop),
                               case.windows_path(shots), long_path], stdout="watch.log", stderr="watch.log")
    case.wait_for(lambda: os.path.exists(window_log) and watcher.poll() is None, watcher,
                  lambda: "window probe did not start: " + case.read_text(case.path("watch.log")))

    taken = {"lines": 0, "stages": 0}

    def take_screenshots():
        text = case.read_text(window_log)
        lines = case.lines(text[:text.rfind("\n") + 1])  # whole lines only
        for line in lines[taken["lines"]:]:
            words = line.split()
            if words[1:2] == ["shot"]:
                if words[3] == "stage":
                    taken["stages"] += 1
                    name = "window-stage-%d.png" % taken["stages"]
                else:
                    name = "window-copying.png"
                subprocess.run(["import", "-display", case.rig.display, "-window", "root", case.path(name)],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                case.touch(os.path.join(shots, words[2] + ".done"))
        taken["lines"] = len(lines)
    with case.polling(take_screenshots, 0.05):
        inst.run_with(DONE)
    case.touch(stop)
    watcher.wait()
    inst.full_update_done()
    checks = subprocess.run([sys.executable, os.path.join(HERE, "window_checks.py"), case.work, inst.stage,
                             inst.game_win, long_path])
    if checks.returncode != 0:
        case.fail("window checks failed")
    if taken["stages"] != 5 or not os.path.exists(case.path("window-copying.png")):
        case.fail("screenshots missing: %d stages" % taken["stages"])


def smoke32(inst):
    # The shipped i686 build: one full update (each 32-bit process costs about a minute).
    inst.prepare("german-level-1.29")
    inst.write("TIRMOLD.EXE", "old\n")
    inst.run(DONE)
    inst.payload_written()
    if os.path.exists(os.path.join(inst.game, "TIRMOLD.EXE")):
        inst.case.fail("TIRMOLD.EXE still there")
    if not os.path.isfile(os.path.join(inst.group, "Clan-Verwaltung.lnk")):
        inst.case.fail("no link")
    if os.path.exists(os.path.join(inst.temp, "update.zip")):
        inst.case.fail("temporary archive left")
    inst.version_is("2.2")


CASES = {name: installer_case(function) for name, function in {
    "no_record": stopped("none", DONE, NO_GAME_BOX),
    "language_deutsch": stopped("language-deutsch", DONE, WRONG_EDITION_BOX % "Deutsch"),
    "language_absent": stopped("language-absent", DONE, WRONG_EDITION_BOX % ""),
    "language_number": stopped("language-number", APPLICATION_ERROR,
                               ERROR_BOX % ("ERegistryException", "Invalid data type for 'Language'.")),
    # "GERMAN" stored as expandable text.
    "language_GERMAN_level_1.29": no_box_update("language-GERMAN-expandable-level-1.29"),
    "level_2.10": no_box_update("german-level-2.10"),
    "level_2.2_no": asked("2.2", "NO"),
    # "Deutsch", a NUL and more bytes: the text ends at the first NUL.
    "language_deutsch_nul": stopped("language-deutsch-nul", DONE, WRONG_EDITION_BOX % "Deutsch"),
    "level_2.3_no": asked("2.3", "NO"),
    "level_2.3_yes": asked("2.3", "YES"),
    "full_update": full_update,
    "stale_update_zip": stale_update_zip,
    "profile_non_ansi": profile_non_ansi,
    "profile_non_ansi_missing": profile_non_ansi_missing,
    "held_files_retry": held_files_retry,
    # A read-only file held open without sharing, and one loaded as the game loads its AI.
    "held_file_cancel": refused_before_unpacking(held_read_only("open", "ReadMe.txt", "held\n"), "ReadMe.txt", IN_USE),
    "held_plugin_cancel": refused_before_unpacking(held_read_only("load", "AI/Denmark.dll"), "AI\\Denmark.dll",
                                                   IN_USE),
    "file_in_the_way": refused_before_unpacking(file_in_place_of_folder, "AI\\Denmark.dll",
                                                "Please move %s\\AI out of the way and try again"),
    "small_removable_drive": small_drive("floppy"),
    "small_fixed_drive": small_drive("hd"),
    "denied_game_folder": denied_game_folder,
    "window": window,
    "smoke32": smoke32,
}.items()}

if __name__ == "__main__":
    os.environ["TZ"] = "UTC"
    run_cases(CASES, limits=(120, 900), limit_variable="INSTALLER_CASE_TIMEOUT", work_name="installer-wine-cases")
