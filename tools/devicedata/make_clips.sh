#!/bin/bash
# make_clips.sh FOLDER RATE NAME...: one Ogg Vorbis clip per syllable name
# (pinyin with tone digit, 5 neutral), spoken by espeak-ng's Mandarin voice
# that reads pinyin, mono 16-bit at RATE Hz. A clip is written under a
# temporary name and renamed, so an interrupted run leaves no half clip.
set -euo pipefail
folder=$1
rate=$2
shift 2
# espeak-ng opens a sound-server client even when it only writes a file;
# give that client a home of its own so nothing lands in the user's home
# or in /tmp. The client refuses a relative home, with a warning per clip.
quiet=$(mktemp -d "$(cd "$folder" && pwd)/.espeak-home.XXXXXX")
trap 'rm -rf "$quiet"' EXIT
for name in "$@"; do
  wav="$folder/.$name.$$.wav"
  ogg="$folder/.$name.$$.ogg"
  HOME="$quiet" XDG_CONFIG_HOME="$quiet" XDG_RUNTIME_DIR="$quiet" PULSE_RUNTIME_PATH="$quiet" \
    espeak-ng -v cmn-latn-pinyin -w "$wav" "$name"
  # A fixed stream serial keeps the clips the same from run to run.
  oggenc -Q -q 0 --resample "$rate" --serial 1 -o "$ogg" "$wav"
  rm -f "$wav"
  mv "$ogg" "$folder/$name.ogg"
done
