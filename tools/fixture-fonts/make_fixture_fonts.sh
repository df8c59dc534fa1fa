#!/bin/sh
# Cuts the small fonts the tests draw with out of Debian's fonts, so that
# expected advances and pixels do not move with the machine's font packages.
# Run by hand with Debian's python (needs python3-fonttools, fonts-dejavu-core, fonts-dejavu-extra
# and fonts-wqy-zenhei); the output is committed under tests/support/fonts/.
# Neither `make test` nor `make data` runs it.
set -eu

OUT=${1:-$(dirname "$0")/../../tests/support/fonts}
DEJAVU=/usr/share/fonts/truetype/dejavu
WQY=/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc

# One character list for every file: each file keeps the part it has, so
# which file covers which character stays as in the full fonts (DejaVu has
# the circled numbers 1 to 10 only, the CJK face 1 to 20, and no file has
# U+0378).
#   ASCII, Latin-1, Latin Extended-A and the pinyin letters of Extended-B;
#   the zhuyin tone marks; the middle dot, ellipsis and tilde operator;
#   the superscript digits; circled 1 to 20; CJK symbols and punctuation;
#   the zhuyin letters; the full-width forms.
UNICODES="U+0020-007E,U+00A0-017F,U+01CD-01DC,U+01F8-01F9"
UNICODES="$UNICODES,U+02C7,U+02C9-02CB,U+02D9,U+2026,U+223C"
UNICODES="$UNICODES,U+00B9,U+00B2,U+00B3,U+2070,U+2074-2079"
UNICODES="$UNICODES,U+2460-2473,U+3000-303F,U+3100-312F,U+FF01-FF5E"

# A few dozen Han characters: those the tests and demos draw (a test in
# tests/toolkit checks them), and common ones for dictionary-like text.
HAN="中文字词典汉语国人大小学生你我他们好是不了的一二三四五六七八九十日月水火山长说话书读写再见"

subset() { # source, output, extra options
  src=$1 out=$2
  shift 2
  # Hinting and embedded bitmaps are kept so that glyphs render as from the
  # full files; layout tables are dropped (the text service shapes nothing).
  /usr/bin/python3 -m fontTools.subset "$src" --output-file="$OUT/$out" --unicodes="$UNICODES" --text="$HAN" \
    --layout-features='' --drop-tables+=GSUB,GPOS,GDEF --drop-tables-=EBDT,EBLC,EBSC \
    --name-IDs='*' --name-languages='*' --notdef-outline "$@"
}

mkdir -p "$OUT"
subset "$DEJAVU/DejaVuSans.ttf" DejaVuSans-subset.ttf
subset "$DEJAVU/DejaVuSans-Bold.ttf" DejaVuSans-Bold-subset.ttf
subset "$DEJAVU/DejaVuSans-Oblique.ttf" DejaVuSans-Oblique-subset.ttf
subset "$WQY" wqy-zenhei-subset.ttf --font-number=0

cp /usr/share/doc/fonts-dejavu-core/copyright "$OUT/LICENSE-DejaVu.txt"
cp /usr/share/doc/fonts-wqy-zenhei/copyright "$OUT/LICENSE-WenQuanYi-Zen-Hei.txt"
cp /usr/share/common-licenses/GPL-2 "$OUT/LICENSE-GPL-2.txt"
ls -l "$OUT"
