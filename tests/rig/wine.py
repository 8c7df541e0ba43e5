#!/usr/bin/env python3
"""The Wine rig's command line: one fresh prefix and one Xvfb display per test run.

    wine.py setup DIR 64|32             start Xvfb, create the prefix in DIR, keep its server warm
    wine.py run DIR [--as-user] PROG ARGS
                                        run a Windows program in that prefix and display;
                                        --as-user runs it as uid 65534 in the user's prefix
    wine.py teardown DIR                end every process of the prefix and the display
    wine.py user-setup DIR              make the prefix of uid 65534 (after setup)
    wine.py user-teardown DIR           end its processes and remove its temporary folder

64 runs x86-64 programs through the 64-bit loader; 32 runs PE32 programs through the 32-bit
loader, which on these machines is emulated and slow.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.realpath(__file__)))
from winekit.rig import Rig, RigError  # noqa: E402


def main(argv):
    if len(argv) < 2:
        sys.exit(__doc__)
    command, rig = argv[0], Rig(argv[1])
    rest = argv[2:]
    try:
        as_user = rest[:1] == ["--as-user"]
        program = rest[1:] if as_user else rest
        if command == "run" and program:
            args = rig.command(program, as_user)
            # The program takes this process's place: its id is the one the caller started.
            os.execvpe(args[0], args, rig.environment(as_user))
        elif command == "setup" and len(rest) <= 1:
            print("wine.py: " + rig.setup(rest[0] if rest else "64"), flush=True)
        elif command == "teardown":
            rig.teardown()
        elif command == "user-setup":
            print("wine.py: " + rig.user_setup(), flush=True)
        elif command == "user-teardown":
            rig.user_teardown()
        else:
            sys.exit(__doc__)
    except RigError as e:
        sys.exit("wine.py: %s" % e)


if __name__ == "__main__":
    main(sys.argv[1:])
