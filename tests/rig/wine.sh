#!/bin/sh
# The rig's command line under its former name (setup, run, teardown); see wine.py.
exec "$(dirname "$0")/wine.py" "$@"
