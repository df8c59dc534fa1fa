#!/bin/sh
# Runs every fuzz target in turn within one shared time, so that adding a
# target does not lengthen `make test`: each gets an equal share (at least
# one second). Each target's corpus is made afresh by its seeding program.
#
#   run_fuzz.sh BUILD_DIR SECONDS [TARGET...]
#
# A finding leaves its input as BUILD_DIR/<target>-crash-* (or leak-,
# timeout-); the script goes on with the other targets and fails at the end.
set -u
build=$1
seconds=$2
shift 2

# target:largest input in bytes (as large as the largest seed and then some)
all="fuzz_data_file:16384 fuzz_dictionary:65536 fuzz_registry:8192 fuzz_saved_records:16384 fuzz_ink:4096
fuzz_user_dict:262144 fuzz_flash_text:4096 fuzz_position_store:147456 fuzz_firstgen:16384
fuzz_converter:16384 fuzz_stroke_data:8192 fuzz_saved_session:65536 fuzz_audio_clip:32768
fuzz_flash_import_text:8192 fuzz_flash_import_xml:8192 fuzz_flash_import_user_dict:8192"
if [ $# -gt 0 ]; then
  chosen=""
  for t in "$@"; do chosen="$chosen $(printf '%s\n' $all | grep "^$t:")"; done
  all=$chosen
fi

count=$(printf '%s\n' $all | grep -c .)
share=$((seconds / count))
[ "$share" -ge 1 ] || share=1

failed=""
for entry in $all; do
  target=${entry%%:*}
  maxlen=${entry#*:}
  corpus=$build/corpus/$target
  rm -rf "$corpus" && mkdir -p "$corpus"
  echo "== $target: ${share}s"
  if ! "$build/tests/fuzz/${target}_seeds" "$corpus"; then
    echo "$target: the seeding program failed"
    failed="$failed $target"
    continue
  fi
  # The seeding programs' own scratch folders are not inputs.
  find "$corpus" -mindepth 1 -maxdepth 1 -name '.*' -exec rm -rf {} +
  if ! "$build/tests/fuzz/$target" -max_total_time="$share" -max_len="$maxlen" -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$build/$target-" -print_final_stats=1 "$corpus" 2>"$build/$target.log"; then
    tail -n 40 "$build/$target.log"
    failed="$failed $target"
  else
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|#[0-9]+.*DONE)' "$build/$target.log"
  fi
done
rm -rf "$build/fuzz-tmp"
if [ -n "$failed" ]; then
  echo "fuzzing found faults in:$failed"
  exit 1
fi
