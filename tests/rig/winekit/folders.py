"""Names that appear in a folder while a case runs, however briefly (Linux inotify: the kernel
queues every event until it is read, so a file that a program creates and deletes again a
moment later is seen all the same, where polling for it depends on luck).

    arrivals = Arrivals(case, folder)      # watching once this returns
    ... run the program ...
    if "update.zip" not in arrivals.names(): ...
"""
import ctypes
import os
import struct

IN_CREATE = 0x100
IN_MOVED_TO = 0x80
_EVENT = struct.Struct("iIII")  # wd, mask, cookie, len; the name follows, padded with NULs


class Arrivals:
    def __init__(self, case, folder):
        self._libc = ctypes.CDLL(None, use_errno=True)
        self.fd = self._libc.inotify_init1(os.O_NONBLOCK | os.O_CLOEXEC)
        if self.fd < 0 or self._libc.inotify_add_watch(self.fd, os.fsencode(folder), IN_CREATE | IN_MOVED_TO) < 0:
            case.fail("cannot watch %s: %s" % (folder, os.strerror(ctypes.get_errno())))
        self._names = []
        case.at_end(self.close)

    def names(self):
        """Every name created in (or moved into) the folder so far, in order."""
        while True:
            try:
                data = os.read(self.fd, 65536)
            except BlockingIOError:
                return list(self._names)
            offset = 0
            while offset < len(data):
                _, _, _, size = _EVENT.unpack_from(data, offset)
                name = data[offset + _EVENT.size:offset + _EVENT.size + size].rstrip(b"\0")
                self._names.append(os.fsdecode(name))
                offset += _EVENT.size + size

    def close(self):
        if self.fd >= 0:
            os.close(self.fd)
            self.fd = -1
