#!/usr/bin/env bash
# What CI checks beyond the test suite: the source format, a build with AddressSanitizer and
# UndefinedBehaviorSanitizer (warnings as errors) that passes the suite, and libFuzzer runs
# of the readers of files the user hands in. Any finding fails.
set -euo pipefail
cd "$(dirname "$0")/.."
fuzz_seconds=${SLIDETRACK_FUZZ_SECONDS:-60}
asan_dir=${SLIDETRACK_ASAN_DIR:-build-asan}

echo "== clang-format"
find src tests bench tools -name '*.cpp' -o -name '*.h' | xargs clang-format --dry-run -Werror

echo "== sanitizer build in $asan_dir"
CC=clang CXX=clang++ cmake -S . -B "$asan_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSLIDETRACK_SANITIZE=ON -DSLIDETRACK_WERROR=ON >/dev/null
cmake --build "$asan_dir" -j "$(nproc)"

# Left out under the sanitizers: the long accuracy scenarios, which measure rather than
# reach new code, and the install test, which rebuilds the tree.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:exitcode=86
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
(cd "$asan_dir" && ctest --output-on-failure -j "$(nproc)" --timeout 900 \
  -E 'Accuracy|InstalledProgram')

echo "== fuzzing, ${fuzz_seconds} s per reader"
seeds=$(mktemp -d)
trap 'rm -rf "$seeds"' EXIT
scripts/fuzz_seeds.sh "$seeds"
# Each run's whole output, and the input of any finding, stay here after the run.
fuzz_dir=$asan_dir/fuzz
rm -rf "$fuzz_dir"
mkdir -p "$fuzz_dir"

# What a finding's log holds that matters: the sanitizer's or libFuzzer's report with its
# stack, from its first line on, without the decoders' chatter, then the input's file and
# its bytes in base64.
fuzz_report() {
  local log=$1
  if grep -q -E '^==[0-9]+== ?ERROR: |runtime error: |Sanitizer: CHECK failed|^ALARM: ' "$log"; then
    awk '/^==[0-9]+== ?ERROR: |runtime error: |Sanitizer: CHECK failed|^ALARM: /{on=1} on' "$log" |
      grep -v -E '^\[[A-Za-z0-9_ ]+ @ 0x|^\./lib/jxl/|Test unit written to|^Base64: ' |
      head -n 150 || true
  else
    tail -n 30 "$log"
  fi
  local unit
  unit=$(sed -n 's/.*Test unit written to //p' "$log" | tail -n 1)
  if [ -n "$unit" ] && [ -f "$unit" ]; then
    echo "input: $unit ($(stat -c %s "$unit") bytes)"
    echo "base64: $(base64 -w 0 "$unit")"
  else
    echo "(no input was written)"
  fi
}

found=()
for target in results_xml configuration picture; do
  mkdir -p "$seeds/corpus_$target"
  log=$fuzz_dir/$target.log
  if "$asan_dir/tests/fuzz/${target}_fuzz" -max_total_time="$fuzz_seconds" -rss_limit_mb=2560 \
    -timeout=20 -print_final_stats=1 -artifact_prefix="$fuzz_dir/$target-" \
    "$seeds/corpus_$target" "$seeds/$target" >"$log" 2>&1; then
    echo "$target: $(grep -E '^Done [0-9]+ runs' "$log" | tail -n 1), no finding;" \
      "peak RSS $(awk '/^stat::peak_rss_mb:/ {print $2}' "$log") MB"
  else
    echo "$target: FINDING (whole output in $log)"
    fuzz_report "$log"
    found+=("$target")
  fi
done
if [ ${#found[@]} -gt 0 ]; then
  echo "fuzzing found something in: ${found[*]}" >&2
  exit 1
fi
