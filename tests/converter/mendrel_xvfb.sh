#!/bin/sh
# mendrel in a real SDL window under Xvfb, tried as a new user would: on
# the device root `sorvi-firstgen sample` writes, xdotool presses Convert,
# types the file's name and accepts it, then accepts "Export Completed".
# The file must be there and hold the sample's cards; the program must end
# by itself with 0. With TEST_CONVERTER, the file is then imported into a
# new flashcard store and must come in as the sample does (its round-trip
# test, ImportRoundTripTest.FileWrittenInTheWindow). Screenshots of dialog
# 1000 and of the message are kept in SHOTS. Exit 77 (skipped) without
# xvfb-run, xdotool or import.
#
#   mendrel_xvfb.sh MENDREL SORVI_FIRSTGEN SHOTS [TEST_CONVERTER]
set -u
mendrel=$1
firstgen=$2
shots=$3
importer=${4:-}
for tool in xvfb-run xdotool import; do
  command -v "$tool" > /dev/null 2>&1 || { echo "$tool is not installed: skipped"; exit 77; }
done
dir=$(mktemp -d "${TMPDIR:-/tmp}/mendrel-xvfb-XXXXXX") || exit 2
trap 'rm -rf "$dir"' EXIT
mkdir -p "$shots"
"$firstgen" sample "$dir/root" > /dev/null || { echo "FAILED: the sample root"; exit 1; }

# Runs inside the X server: the window's coordinates are the dialog's
# (Convert at 105,490 on the default 480x640 screen).
cat > "$dir/drive.sh" << 'DRIVE'
dir=$1; mendrel=$2; shots=$3
SORVI_ROOT="$dir/root" SORVI_BACKEND=sdl SORVI_SCREEN=480x640@192 SORVI_IPC_DIR="$dir" "$mendrel" > "$dir/mendrel.log" 2>&1 &
pid=$!
window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$pid" | head -n 1)
[ -n "$window" ] || { echo "FAILED: no window"; kill "$pid"; exit 1; }
sleep 1
import -window root "$shots/mendrel-dialog-1000.png"
xdotool mousemove --window "$window" 105 490 click 1
sleep 1.5
xdotool type --delay 30 "flash.xml"
xdotool key Return
sleep 2
import -window root "$shots/mendrel-export-completed.png"
xdotool key Return
for i in $(seq 1 100); do kill -0 "$pid" 2> /dev/null || break; sleep 0.1; done
if kill -0 "$pid" 2> /dev/null; then echo "FAILED: mendrel did not end"; kill "$pid"; exit 1; fi
wait "$pid"
echo "mendrel exit $?"
DRIVE

# The desktop libraries SDL loads keep a few blocks to the end: not ours.
ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" timeout 90 xvfb-run -a -s '-screen 0 800x900x24' \
  sh "$dir/drive.sh" "$dir" "$mendrel" "$shots" > "$dir/drive.log" 2>&1
cat "$dir/drive.log" "$dir/mendrel.log"
failed=0
check() { # what, then a command that must succeed
  what=$1; shift
  "$@" || { echo "FAILED: $what"; failed=1; }
}
xml="$dir/root/My Documents/flash.xml"
check "mendrel ended by itself with 0" grep -q "^mendrel exit 0$" "$dir/drive.log"
check "the file was written" test -s "$xml"
check "it is the exchange format, named after the file" \
  grep -q '^<?xml version="1.0" encoding="UTF-8"?><sorviflash formatversion="2" name="flash.xml" ' "$xml"
check "it holds the sample's reviewed card" grep -q 'history="ICICICICICICICICICICICICICICICII"' "$xml"
check "it is complete" grep -q '</cards></sorviflash>$' "$xml"
check "the dialog was captured" test -s "$shots/mendrel-dialog-1000.png"
if [ -n "$importer" ] && [ -s "$xml" ]; then
  SORVI_MENDREL_XML="$xml" "$importer" --gtest_filter=ImportRoundTripTest.FileWrittenInTheWindow > "$dir/import.log" 2>&1
  cat "$dir/import.log"
  check "the file imports as the sample does" grep -q '^\[       OK \] ImportRoundTripTest.FileWrittenInTheWindow' \
    "$dir/import.log"
fi
echo "screenshots: $shots"
exit $failed
