#!/usr/bin/env python3
"""The kit as a maintainer ships it and a player checks it, each check on a second build:

  kit_checks.py reproducible --build BUILD --work WORK
      builds the kit a second time from a copy of the source (other absolute paths for the
      source and the build, on a memory file system when there is one, else under WORK; another
      time zone, umask and locale, a later clock) and compares Tessarin.exe, nelkar.exe and
      AI/Denmark.dll with BUILD's byte for byte.
  kit_checks.py signed --build BUILD --work WORK --rig RIG -- EMULATOR...
      makes a throw-away code-signing certificate, builds the kit signed with it under WORK
      (BUILD's source and toolchain), and checks that every file verifies against that
      certificate, the two inside Tessarin.exe's payload too, that the shipped-file check still
      passes, and that the signed Tessarin.exe still updates a game installation under Wine.

Prints what it compared and what it cost; exits 1 on the first failure.
"""
import argparse
import hashlib
import io
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zipfile

HERE = os.path.dirname(os.path.realpath(__file__))
SOURCE = os.path.realpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(SOURCE, "tests", "shipped"))
from check_shipped import check_file  # noqa: E402
from pe_file import PeFile  # noqa: E402

# The shipped files, as built, relative to the build folder; the last two travel in the payload.
SHIPPED = {"Tessarin.exe": "dist/Tessarin.exe", "nelkar.exe": "game/nelkar.exe",
           "AI/Denmark.dll": "game/AI/Denmark.dll"}
IN_PAYLOAD = ("nelkar.exe", "AI/Denmark.dll")
# Cache entries of the first build that shape the shipped files; the rebuild takes them over.
SHAPING = ("CMAKE_BUILD_TYPE", "NELKAR_UPDATE_HOST", "TESSARIN_PAYLOAD",
           "KIT_SIGNING_CERT", "KIT_SIGNING_PASSWORD_FILE", "KIT_SIGNING_TIMESTAMP_URL")
SIGNER = "Kit test signer"
MEMORY_FS = "/dev/shm"


class Failed(Exception):
    pass


def cache(build):
    """The build's CMake cache as {name: value}."""
    entries = {}
    with open(os.path.join(build, "CMakeCache.txt")) as f:
        for line in f:
            m = re.match(r"^([A-Za-z_0-9]+):[A-Z]+=(.*)$", line.rstrip("\n"))
            if m:
                entries[m.group(1)] = m.group(2)
    return entries


def run(cmd, **kwargs):
    result = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, **kwargs)
    if result.returncode != 0:
        raise Failed("%s ended with %d:\n%s" % (" ".join(cmd), result.returncode, result.stdout[-4000:]))
    return result.stdout


def build_kit(source, build, toolchain, settings, env=None, umask=None):
    """Configures and builds the shipped files (Tessarin.exe and what its payload holds)."""
    def with_umask():
        if umask is not None:
            os.umask(umask)
    configure = ["cmake", "-S", source, "-B", build, "-G", "Ninja", "-DCMAKE_TOOLCHAIN_FILE=" + toolchain]
    configure += ["-D%s=%s" % item for item in sorted(settings.items())]
    run(configure, env=env, preexec_fn=with_umask)
    run(["cmake", "--build", build, "--target", "Tessarin"], env=env, preexec_fn=with_umask)


def pe_time_stamp(path):
    with open(path, "rb") as f:
        data = f.read(4096)
    (header,) = struct.unpack_from("<I", data, 0x3C)
    return struct.unpack_from("<I", data, header + 8)[0]


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def reproducible(args):
    first = cache(args.build)
    stamp = pe_time_stamp(os.path.join(args.build, SHIPPED["nelkar.exe"]))
    if str(stamp) != first["KIT_SOURCE_DATE_EPOCH"]:
        raise Failed("nelkar.exe of %s carries the time stamp %d, not the source's date %s: a build"
                     " older than its configuration, or the date does not reach the linker"
                     % (args.build, stamp, first["KIT_SOURCE_DATE_EPOCH"]))
    shutil.rmtree(args.work, ignore_errors=True)
    # On a memory file system when the machine has one: its folders list their entries in the
    # order they were made, a disk's file system in an order of its own, and nothing in the
    # files may follow either.
    if os.path.isdir(MEMORY_FS) and os.access(MEMORY_FS, os.W_OK):
        work = tempfile.mkdtemp(prefix="kit-second-build-", dir=MEMORY_FS)
    else:
        work = os.path.realpath(args.work)
        os.makedirs(work)
    # Paths of other lengths than the first build's, the build folder outside the source.
    source = os.path.join(work, "copy-of-the-source")
    build = os.path.join(work, "b")
    first_source = first["CMAKE_HOME_DIRECTORY"]
    top_level_skip = {"build", "dist", ".git"}
    shutil.copytree(first_source, source, symlinks=True,
                    ignore=lambda folder, names: [n for n in names if n == "__pycache__" or
                                                   (folder == first_source and n in top_level_skip)])
    toolchain = os.path.join(source, os.path.relpath(first["CMAKE_TOOLCHAIN_FILE"], first_source))
    env = dict(os.environ)
    # The copy has no history: the first build's date of the source is handed over, as a rebuild
    # from a release's source archive does.
    env["SOURCE_DATE_EPOCH"] = first["KIT_SOURCE_DATE_EPOCH"]
    env["TZ"] = "KIT-14"  # UTC+14: another day than UTC for ten hours of every day
    env["LC_ALL"] = "C.UTF-8"
    env.pop("LANG", None)
    settings = {k: first[k] for k in SHAPING if k in first}
    build_kit(source, build, toolchain, settings, env=env, umask=0o077)
    differ = []
    print("%-16s %-64s %s" % ("file", "first build " + args.build, "second build " + build))
    for name, path in SHIPPED.items():
        a, b = sha256(os.path.join(args.build, path)), sha256(os.path.join(build, path))
        print("%-16s %s %s%s" % (name, a, b, "" if a == b else "  DIFFER"))
        if a != b:
            differ.append(name)
    if differ:
        payloads = [os.path.join(b, "installer", "payload.zip") for b in (args.build, build)]
        if all(os.path.exists(p) for p in payloads) and sha256(payloads[0]) != sha256(payloads[1]):
            differ.append("(the payload archives differ too)")
        raise Failed("not reproducible: %s (the second build stays in %s)" % (", ".join(differ), work))
    shutil.rmtree(work)


def make_certificate(folder):
    """A self-signed code-signing certificate, as PKCS#12 with a password in a file of its own;
    returns (p12, password file, certificate PEM)."""
    os.makedirs(folder)
    key, pem, p12, password = (os.path.join(folder, n) for n in ("key.pem", "cert.pem", "cert.p12", "password"))
    with open(os.open(password, os.O_WRONLY | os.O_CREAT, 0o600), "w") as f:
        f.write("throw away %d\n" % os.getpid())
    run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-keyout", key, "-out", pem,
         "-subj", "/CN=%s/O=Talvorek" % SIGNER, "-addext", "keyUsage=critical,digitalSignature",
         "-addext", "extendedKeyUsage=codeSigning"])
    run(["openssl", "pkcs12", "-export", "-in", pem, "-inkey", key, "-out", p12, "-passout", "file:" + password])
    return p12, password, pem


def verify(path, pem, name):
    out = subprocess.run(["osslsigncode", "verify", "-CAfile", pem, "-in", path],
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if out.returncode != 0 or "Signature verification: ok" not in out.stdout:
        raise Failed("%s does not verify:\n%s" % (name, out.stdout[-2000:]))
    if "Subject: /CN=%s/" % SIGNER not in out.stdout:
        raise Failed("%s is not signed by %s:\n%s" % (name, SIGNER, out.stdout[-2000:]))
    print("verified %s" % name)


def signed(args):
    first = cache(args.build)
    work = os.path.realpath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    p12, password, pem = make_certificate(os.path.join(work, "certificate"))
    build = os.path.join(work, "build")
    settings = {k: first[k] for k in ("CMAKE_BUILD_TYPE", "NELKAR_UPDATE_HOST") if k in first}
    settings.update(KIT_SIGNING_CERT=p12, KIT_SIGNING_PASSWORD_FILE=password, KIT_SIGNING_TIMESTAMP_URL="")
    build_kit(first["CMAKE_HOME_DIRECTORY"], build, first["CMAKE_TOOLCHAIN_FILE"], settings)
    for name, path in SHIPPED.items():
        verify(os.path.join(build, path), pem, name)
    # The two inside the payload as the installer writes them: taken from the signed installer.
    with open(os.path.join(build, SHIPPED["Tessarin.exe"]), "rb") as f:
        payload = [v for (t, n, _), v in PeFile(f.read()).resources().items() if (t, n) == ("ZIP", 101)]
    if len(payload) != 1:
        raise Failed("Tessarin.exe has %d payload resources" % len(payload))
    unpacked = os.path.join(work, "payload")
    with zipfile.ZipFile(io.BytesIO(payload[0])) as z:
        for name in IN_PAYLOAD:
            z.extract(name, unpacked)
            verify(os.path.join(unpacked, name), pem, "%s in the payload" % name)
    for name, path in SHIPPED.items():
        problems, _ = check_file(os.path.join(build, path), args.machine)
        if problems:
            raise Failed("shipped-file check of the signed %s: %s" % (name, "; ".join(problems)))
    print("shipped-file check passed")
    # One full update of a game installation, the installer cases' own.
    runner = os.path.join(SOURCE, "installer", "tests", "wine", "installer_cases.py")
    out = subprocess.run([runner, "smoke32", "--rig", args.rig, "--build", build, "--"] + args.emulator,
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    print(out.stdout.rstrip())
    if out.returncode != 0:
        raise Failed("the signed Tessarin.exe did not update the game installation")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("check", choices=("reproducible", "signed"))
    parser.add_argument("--build", required=True, help="the build to compare with or to take settings from")
    parser.add_argument("--work", required=True)
    parser.add_argument("--machine", default="amd64", choices=("i386", "amd64"))
    parser.add_argument("--rig")
    argv = sys.argv[1:]
    emulator = argv[argv.index("--") + 1:] if "--" in argv else []
    args = parser.parse_args(argv[:len(argv) - len(emulator) - (1 if emulator else 0)])
    args.emulator = emulator
    args.build = os.path.realpath(args.build)
    start = time.monotonic()
    try:
        (reproducible if args.check == "reproducible" else signed)(args)
    except Failed as e:
        print("FAIL: %s: %s" % (args.check, e))
        return 1
    print("PASS: %s (%d s)" % (args.check, time.monotonic() - start))
    return 0


if __name__ == "__main__":
    sys.exit(main())
