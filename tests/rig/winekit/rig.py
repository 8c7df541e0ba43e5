"""The rig of a test run: one Xvfb display and one fresh Wine prefix in a folder of its own.

The folder holds "arch" (64 runs x86-64 programs through the 64-bit loader, 32 runs PE32
programs through the 32-bit loader, which on these machines is emulated and slow), "display"
(the X display number), "xvfb.pid", the prefix "prefix/" and the logs of its set-up. A second
prefix, for uid and gid 65534, serves the cases where root would bypass a file's permissions
(read-only files); its folder is named in "user-root".

Every prefix is a copy of a pristine one, the template, made once per machine, Wine version
and architecture in a cache folder outside the checkout ($KIT_WINE_CACHE, else
$XDG_CACHE_HOME/veltmark-kit or ~/.cache/veltmark-kit), as compiler caches do: making one takes
minutes here, copying it a second. Deleting the cache folder only costs that time once more.
"""
import fcntl
import os
import re
import shutil
import signal
import subprocess
import time

LOADERS = {"64": "/usr/lib/wine/wine64", "32": "/usr/lib/wine/wine"}
WINESERVER = "/usr/lib/wine/wineserver"
WINE_FONTS = "/usr/share/wine/fonts"
USER_ID = 65534
AS_USER = ["setpriv", "--reuid=%d" % USER_ID, "--regid=%d" % USER_ID, "--clear-groups"]
# No "install Mono/Gecko" dialogs in a test prefix.
DLL_OVERRIDES = "mscoree,mshtml=;winemenubuilder.exe=d"
# Raised whenever _make_template makes a different prefix, so that no cache keeps an old one.
TEMPLATE_RECIPE = 1


class RigError(Exception):
    pass


def _pe_machine(path):
    """The machine field of a PE file (0x14C i386, 0x8664 amd64), or None for anything else,
    such as the name of one of Wine's own programs."""
    try:
        with open(path, "rb") as f:
            head = f.read(4096)
    except OSError:
        return None
    if head[:2] != b"MZ" or len(head) < 64:
        return None
    pe = int.from_bytes(head[60:64], "little")
    if head[pe:pe + 4] != b"PE\0\0":
        return None
    return int.from_bytes(head[pe + 4:pe + 6], "little")


def _zombie(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] == "Z"
    except (OSError, IndexError):
        return True


def windows_path(path):
    """The name of a Unix path in the prefix: Wine maps the Unix root to drive Z:."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Rig:
    def __init__(self, folder):
        self.folder = os.path.realpath(folder)

    def _path(self, name):
        return os.path.join(self.folder, name)

    def _read(self, name):
        with open(self._path(name)) as f:
            return f.read().strip()

    @property
    def arch(self):
        return self._read("arch")

    @property
    def display(self):
        return ":" + self._read("display")

    @property
    def prefix(self):
        return self._path("prefix")

    @staticmethod
    def _template(arch):
        """The machine's pristine prefix for arch and this Wine (see the top of this file)."""
        cache = os.environ.get("KIT_WINE_CACHE") or os.path.join(
            os.environ.get("XDG_CACHE_HOME") or os.path.join(os.path.expanduser("~"), ".cache"), "veltmark-kit")
        version = subprocess.run([LOADERS["64"], "--version"], capture_output=True, text=True).stdout.strip()
        key = re.sub(r"[^A-Za-z0-9.+-]+", "-", version).strip("-") or "unknown"
        return os.path.join(cache, "wine-template-%s-%s-r%d" % (arch, key, TEMPLATE_RECIPE))

    def _loader(self, program):
        # A 32-bit rig's prefix holds a 64-bit half too (Wine makes every new prefix so when
        # both loaders are installed), sharing one registry, file system and server. Only PE32
        # programs need the emulated 32-bit loader there; Wine's own tools (regedit, reg,
        # wineboot and the services it starts) run in the 64-bit half at native speed.
        if self.arch == "32" and _pe_machine(program) == 0x14C:
            return LOADERS["32"]
        return LOADERS["64"]

    def environment(self, as_user=False, prefix=None):
        """The environment of the rig's Wine processes: the caller's own with the rig's prefix
        (or prefix) and display, or a clean one for the user's prefix."""
        wine = dict(WINEDEBUG="-all", DISPLAY=self.display, WINEDLLOVERRIDES=DLL_OVERRIDES)
        if not as_user:
            return dict(os.environ, WINEPREFIX=prefix or self.prefix, **wine)
        root = self.user_root()
        # LANG makes Wine read Unix file names and arguments as UTF-8.
        return dict(wine, PATH=os.environ.get("PATH", ""), HOME=root + "/home", LANG="C.UTF-8", USER="nobody",
                    LOGNAME="nobody", WINEPREFIX=root + "/prefix", TZ=os.environ.get("TZ", ""))

    # The one way a Windows program runs: the loader of the program's architecture, in the
    # rig's prefix and on its display, as root or as the unprivileged user.
    def command(self, argv, as_user=False):
        """The command that runs argv: a Windows program and its arguments, or one of Wine's
        own (its loader or server, by its path) as it is."""
        argv = [str(a) for a in argv]
        if argv[0] != WINESERVER and argv[0] not in LOADERS.values():
            argv = [self._loader(argv[0])] + argv
        return (AS_USER if as_user else []) + argv

    def _run(self, argv, as_user=False, log=None, prefix=None):
        """Runs argv in the rig (or in prefix) and waits; its output goes to the file log or away. (The
        prefix's server and services outlive every program, so their output never goes to the
        caller's: CTest waits until a test's output is closed.)"""
        subprocess.run(self.command(argv, as_user), env=self.environment(as_user, prefix), stdin=subprocess.DEVNULL,
                       stdout=log or subprocess.DEVNULL, stderr=subprocess.STDOUT)

    def _start_services(self, log, as_user=False):
        self._run([WINESERVER, "-p"], as_user)
        with open(self._path(log), "w") as out:
            self._run(["wineboot"], as_user, out)

    def setup(self, arch):
        """Starts Xvfb, makes the prefix (from the template, made first if needed), warms its server.
        Whatever an earlier set-up of this folder started is ended first (a repeated test run
        sets the rig up again without tearing it down)."""
        self.user_teardown()
        self.teardown()
        shutil.rmtree(self.folder, ignore_errors=True)
        os.makedirs(self.folder)
        with open(self._path("arch"), "w") as f:
            f.write(arch + "\n")
        number = next((n for n in range(90, 200) if not os.path.exists("/tmp/.X11-unix/X%d" % n)
                       and not os.path.exists("/tmp/.X%d-lock" % n)), None)
        if number is None:
            raise RigError("no free X display")
        with open(self._path("display"), "w") as f:
            f.write("%d\n" % number)
        with open(self._path("xvfb.log"), "w") as log:
            xvfb = subprocess.Popen(["Xvfb", ":%d" % number, "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                    stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT)
        with open(self._path("xvfb.pid"), "w") as f:
            f.write("%d\n" % xvfb.pid)
        for _ in range(100):
            if os.path.exists("/tmp/.X11-unix/X%d" % number):
                break
            time.sleep(0.1)
        start = time.time()
        template = self._ready_template(arch)
        subprocess.run(["cp", "-a", os.path.join(template, "prefix"), self.prefix], check=True)
        # Wine's own fonts: "MS Sans Serif" (sserife.fon) with the metrics that dialogs are laid
        # out for, Marlett for caption buttons, Tahoma for message boxes. This Wine build misses
        # them where the package puts them and loads fonts only from the prefix's Fonts folder
        # and the system's font folders (WINEDEBUG=+font), so they are copied into the prefix;
        # without them every face falls back to a wider substitute.
        if not os.path.isfile(os.path.join(WINE_FONTS, "sserife.fon")):
            raise RigError("%s/sserife.fon missing (package fonts-wine)" % WINE_FONTS)
        subprocess.run(["cp"] + sorted(os.path.join(WINE_FONTS, n) for n in os.listdir(WINE_FONTS))
                       + [os.path.join(self.prefix, "drive_c/windows/Fonts/")], check=True)
        # A persistent server keeps the prefix warm between the test programs.
        self._start_services("services.log")
        return "%s-bit prefix ready in %d s on display %s" % (arch, time.time() - start, self.display)

    def _ready_template(self, arch):
        """The template's folder, made first when the cache lacks it. Rigs set up at the same
        time wait for one another; a template appears whole or not at all."""
        template = self._template(arch)
        os.makedirs(os.path.dirname(template), exist_ok=True)
        with open(template + ".lock", "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            if not os.path.isfile(os.path.join(template, "ready")):
                making = template + ".new"
                self._make_template(making, arch)
                shutil.rmtree(template, ignore_errors=True)
                os.rename(making, template)
        return template

    def _make_template(self, template, arch):
        # Creating a prefix takes minutes here (its 32-bit half runs emulated).
        shutil.rmtree(template, ignore_errors=True)
        prefix = os.path.join(template, "prefix")
        os.makedirs(prefix)
        with open(self._path("wineboot.log"), "w") as log:
            self._run([LOADERS[arch], "wineboot", "-i"], log=log, prefix=prefix)
            # Without a window manager Wine waits about 2 s after every message box for one that
            # never answers; unmanaged windows return at once. The prefix also holds a 64-bit
            # half, so the fast loader can write its registry.
            self._run(["reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v", "Managed", "/t", "REG_SZ", "/d", "N",
                       "/f"], log=log, prefix=prefix)
            self._run([WINESERVER, "-k"], log=log, prefix=prefix)
            self._run([WINESERVER, "-w"], log=log, prefix=prefix)
        open(os.path.join(template, "ready"), "w").close()

    def restart(self):
        """Ends the prefix's server and services and starts them again: Wine reads its drives
        (dosdevices, HKLM\\Software\\Wine\\Drives) when they start."""
        self._run([WINESERVER, "-k"])
        self._run([WINESERVER, "-w"])
        self._start_services("services.log")

    def teardown(self):
        """Ends every process of the prefix, its server and the display, and waits for them."""
        if os.path.isfile(self._path("arch")) and os.path.isfile(self._path("display")) \
                and os.path.isdir(self.prefix):
            self._run([WINESERVER, "-k"])
            self._run([WINESERVER, "-w"])
        if os.path.isfile(self._path("xvfb.pid")):
            self._stop_xvfb()
            os.remove(self._path("xvfb.pid"))

    def _stop_xvfb(self):
        # Only the Xvfb of this rig's display: its process id may have been reused meanwhile.
        try:
            pid, number = int(self._read("xvfb.pid")), self._read("display")
            with open("/proc/%d/cmdline" % pid, "rb") as f:
                argv = f.read().split(b"\0")
        except (OSError, ValueError):
            return
        if not argv or not argv[0].endswith(b"Xvfb") or (":" + number).encode() not in argv:
            return
        os.kill(pid, signal.SIGTERM)
        for _ in range(100):
            if not os.path.exists("/proc/%d" % pid) or _zombie(pid):
                return
            time.sleep(0.1)
        os.kill(pid, signal.SIGKILL)

    # The unprivileged user's prefix.
    def user_root(self):
        """The user's folder: DIR/user when the user can reach DIR, else a temporary folder (a
        checkout under /root, say). Programs and files the user works on belong there."""
        return self._read("user-root")

    def user_setup(self):
        """Makes the user's folder with a copy of the pristine prefix, owned by the user. What an
        earlier set-up of the user's prefix started is ended first."""
        template = self._template(self.arch)
        if not os.path.isfile(os.path.join(template, "ready")):
            raise RigError("the rig in %s is not set up" % self.folder)
        self.user_teardown()
        shutil.rmtree(self._path("user"), ignore_errors=True)
        reachable = subprocess.run(AS_USER + ["test", "-x", self.folder]).returncode == 0
        if reachable:
            root = self._path("user")
            os.makedirs(root)
        else:
            root = subprocess.run(["mktemp", "-d"], capture_output=True, text=True, check=True).stdout.strip()
            os.chmod(root, 0o755)
        with open(self._path("user-root"), "w") as f:
            f.write(root + "\n")
        subprocess.run(["cp", "-a", os.path.join(template, "prefix"), os.path.join(root, "prefix")], check=True)
        # The prefix names its server folder, which belongs to root: the user gets its own.
        try:
            os.remove(os.path.join(root, "prefix", "wineserver"))
        except FileNotFoundError:
            pass
        os.makedirs(os.path.join(root, "home"))
        subprocess.run(["chown", "-R", "%d:%d" % (USER_ID, USER_ID), root], check=True)
        self._start_services("user-services.log", as_user=True)
        return "prefix of uid %d ready in %s" % (USER_ID, root)

    def user_teardown(self):
        """Ends the user's Wine processes and server, and removes a temporary folder."""
        if os.path.isfile(self._path("user-root")):
            if os.path.isdir(os.path.join(self.user_root(), "prefix")) and os.path.isfile(self._path("display")):
                self._run([WINESERVER, "-k"], as_user=True)
                self._run([WINESERVER, "-w"], as_user=True)
            if self.user_root() != self._path("user"):
                shutil.rmtree(self.user_root(), ignore_errors=True)
            os.remove(self._path("user-root"))
