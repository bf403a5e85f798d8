#!/usr/bin/env bash
# Sets up and builds (scripts/setup.sh), runs every benchmark program of bench/, and sums up
# each figure as a ratio to its baseline with its target beside it.
#
#   scripts/bench.sh           the full clips: 60 s for the video source, 2 minutes of
#                              1280x720 H.264 for the whole runs (a few minutes)
#   scripts/bench.sh --quick   short clips, one repeat: to try it out; start-up costs
#                              dominate there, so the ratios are no measure
#
# The generated clips are kept in $SLIDETRACK_BENCH_DIR (default /tmp/slidetrack-bench) and
# in /tmp, so a second run starts at once. Exit status 1 when a program fails; missed targets
# are reported, not failed, because timings on a shared machine are noisy.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

quick=0
case ${1:-} in
  "") ;;
  --quick) quick=1 ;;
  *)
    echo "usage: scripts/bench.sh [--quick]" >&2
    exit 2
    ;;
esac

scripts/setup.sh
build_dir=${SLIDETRACK_BUILD_DIR:-build}
case $build_dir in /*) ;; *) build_dir=$root/$build_dir ;; esac
data_dir=${SLIDETRACK_BENCH_DIR:-/tmp/slidetrack-bench}
if [ "$quick" -eq 1 ]; then
  data_dir=$data_dir-quick
  video_args=(10 25 1)                        # seconds, step, repeats
  pipeline_args=(--seconds 20 --originals 40 --repeat 1)
else
  video_args=(60 25 3)
  pipeline_args=(--seconds 120 --originals 40 --repeat 5)
fi
pipeline_args+=(--dir "$data_dir")
mkdir -p "$data_dir"

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

# The whole-run bench makes the 2-minute clip that the screen-search bench then takes apart;
# video_step_bench is the stepping baseline that the whole-run bench starts itself.
clip=$data_dir/lecture_${pipeline_args[1]}s.mp4
order=(video_source_bench temporal_mode_bench slide_match_bench run_pipeline_bench
  screen_search_bench)
for source in bench/*_bench.cpp; do
  name=$(basename "$source" .cpp)
  case " ${order[*]} video_step_bench " in *" $name "*) ;; *) order+=("$name") ;; esac
done
for name in "${order[@]}"; do
  [ -f "bench/$name.cpp" ] || continue
  program=$build_dir/bench/$name
  args=()
  case $name in
    video_source_bench) args=("${video_args[@]}") ;;
    run_pipeline_bench)
      args=("${pipeline_args[@]}")
      rm -f "$data_dir/out.xml"
      ;;
    screen_search_bench) args=("$clip" 10 "${video_args[2]}") ;;
    run_change_bench) args=(--seconds "${pipeline_args[1]}" --repeat "${pipeline_args[5]}" --dir "$data_dir") ;;
  esac
  echo
  echo "== $name ${args[*]}"
  [ -x "$program" ] || { echo "error: $program was not built" >&2; exit 1; }
  "$program" "${args[@]}" | tee "$logs/$name.txt"
done

# The pipeline bench times the binary with its output discarded: make sure the runs worked.
if [ -f "$logs/run_pipeline_bench.txt" ] && ! grep -q '<slide ' "$data_dir/out.xml" 2>/dev/null
then
  echo "error: the timed slidetrack runs wrote no slides to $data_dir/out.xml" >&2
  exit 1
fi

# Marks each line holding "ratio R ... (target <= T)" or "M MB (target < L MB)".
verdict() {
  awk '
    {
      ok = -1
      if (match($0, /ratio +[0-9.]+/)) {
        ratio = substr($0, RSTART + 5, RLENGTH - 5) + 0
        if (match($0, /target <= [0-9.]+/)) ok = ratio <= substr($0, RSTART + 10, RLENGTH - 10) + 0
      } else if (match($0, /[0-9.]+ MB +\(target < [0-9.]+ MB\)/)) {
        split(substr($0, RSTART, RLENGTH), part, / +MB +\(target < | MB\)/)
        ok = part[1] + 0 < part[2] + 0
      }
      if (ok < 0) print
      else print $0 "  " (ok ? "ok" : "MISSED")
      if (ok == 0) missed++
    }
    END { exit missed > 0 }'
}

echo
echo "== Summary$([ "$quick" -eq 1 ] && echo " (quick mode: short clips, one repeat)")"
missed=0
{
  if [ -f "$logs/video_source_bench.txt" ]; then
    sed -n 's/^ratio (b)\/(a): \([0-9.]*\) (target <= \([0-9.]*\)).*/video source stepping by 25 \/ ffmpeg -threads 1 decode, '"${video_args[0]}"' s clip: ratio \1 (target <= \2)/p' \
      "$logs/video_source_bench.txt"
  fi
  for name in run_pipeline_bench run_change_bench; do
    if [ -f "$logs/$name.txt" ]; then
      grep -E '^clip:|ratio|peak memory' "$logs/$name.txt"
    fi
  done
} | verdict || missed=1
echo "Figures without a target:"
for name in "${order[@]}"; do
  case $name in video_source_bench | run_pipeline_bench | run_change_bench) continue ;; esac
  [ -f "$logs/$name.txt" ] || continue
  echo "  $name:"
  grep -v '^sample ' "$logs/$name.txt" | sed 's/^/    /'
done
if [ "$missed" -eq 0 ]; then echo "All targets met."; else echo "Some targets MISSED."; fi
