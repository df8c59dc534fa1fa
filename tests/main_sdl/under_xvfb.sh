#!/bin/sh
# Runs the test program in a fresh X server of its own with the SDL backend;
# 77 (skipped) when xvfb-run is missing.
command -v xvfb-run >/dev/null 2>&1 || exit 77
exec xvfb-run -a -s "-screen 0 1024x768x24" env SORVI_BACKEND=sdl "$@"
