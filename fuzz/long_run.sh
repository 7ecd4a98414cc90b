#!/usr/bin/env bash
# The long fuzzing run: each fuzzer for a number of executions (default 10
# million), seeded from our test pages and the shared corpus where it is, one
# after another.
#   fuzz/long_run.sh <clang build dir> [runs] [output dir] [fuzzer...]
# Writes <output dir>/<fuzzer>.log and keeps each fuzzer's corpus there; a
# finding is saved as <output dir>/<fuzzer>-crash-* and stops that fuzzer.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:?clang build dir, e.g. build/fuzz-build}
runs=${2:-10000000}
out=${3:-fuzz-long}
shift $(($# < 3 ? $# : 3))
fuzzers=("$@")
[ ${#fuzzers[@]} -eq 0 ] && fuzzers=(fuzz_back_template fuzz_head_code fuzz_drop_filter
  fuzz_replace_all fuzz_page_title fuzz_page_text fuzz_file_round_trip fuzz_byte_edits)
mkdir -p "$out"
seeds=("$here/../tests/data")
[ -d "$here/../../shared/corpus" ] && seeds+=("$here/../../shared/corpus")
export QT_QPA_PLATFORM=offscreen LSAN_OPTIONS=suppressions=$here/../tests/lsan.supp
for f in "${fuzzers[@]}"; do
  mkdir -p "$out/corpus/$f"
  "$build/fuzz/$f" -runs="$runs" -max_len=4096 -timeout=10 -print_final_stats=1 \
    -dict="$here/page.dict" -artifact_prefix="$out/$f-" \
    "$out/corpus/$f" "${seeds[@]}" >"$out/$f.log" 2>&1
  echo "$f: exit $? $(grep -E '^Done ' "$out/$f.log")"
done
