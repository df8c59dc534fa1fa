#!/bin/sh
# Runs the test program in a fresh X server of its own with the SDL backend
# and an IPC folder of its own, so that no other copy of the program (another
# test running at the same time) is taken for a running instance; 77
# (skipped) when xvfb-run is missing.
command -v xvfb-run >/dev/null 2>&1 || exit 77
# A socket's path must stay short: a long temporary folder gives way to /tmp.
base=${TMPDIR:-/tmp}
[ ${#base} -gt 40 ] && base=/tmp
ipc=$(mktemp -d "$base/sorvi-ipc-XXXXXX") || exit 1
xvfb-run -a -s "-screen 0 1024x768x24" env SORVI_BACKEND=sdl SORVI_IPC_DIR="$ipc" "$@"
status=$?
rm -rf "$ipc"
exit $status
