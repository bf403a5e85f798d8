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
for target in results_xml configuration picture; do
  mkdir -p "$seeds/corpus_$target"
  "$asan_dir/tests/fuzz/${target}_fuzz" -max_total_time="$fuzz_seconds" -rss_limit_mb=2560 \
    -timeout=20 -print_final_stats=1 -artifact_prefix="$seeds/" \
    "$seeds/corpus_$target" "$seeds/$target" 2>&1 | tail -n 12
done
