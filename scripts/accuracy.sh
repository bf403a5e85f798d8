#!/usr/bin/env bash
# Accuracy of slidetrack on generated lectures: one table row per scenario.
#
#   scripts/accuracy.sh [BUILD_DIR]     (default: build; work files under $ACCURACY_WORK_DIR
#                                        or a fresh temporary directory, kept afterwards)
#
# Every run is a first run (no configuration, so the screen search runs), headless, with
# the lecture's originals. Takes a few minutes on two cores.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath -m "${1:-build}")
work=${ACCURACY_WORK_DIR:-$(mktemp -d /tmp/slidetrack-accuracy.XXXXXX)}
mkdir -p "$work"

if [[ ! -f "$build/CMakeCache.txt" ]]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j2 --target slidetrack slidetrack-make-lecture slidetrack-evaluate \
  >"$work/build.log" || { cat "$work/build.log" >&2; exit 1; }
slidetrack=$build/src/app/slidetrack
make_lecture=$build/tools/slidetrack-make-lecture
evaluate=$build/tools/slidetrack-evaluate

# name | generator options (fps last, it is also the evaluator's). Steep and far views use
# corners the board detector can resolve; the generator's own steep and far1080 corners run
# as the "-gen" rows to show where it cannot.
steep=255,90,905,200,900,560,260,665
far=700,300,1340,300,1340,780,700,780
scenarios=(
  "moderate|--scenario moderate --fps 25"
  "steep|--scenario moderate --corners $steep --fps 25"
  "steep-gen|--scenario steep --fps 25"
  "screencast|--scenario screencast --fps 25"
  "far1080|--scenario far1080 --corners $far --fps 25"
  "far1080-gen|--scenario far1080 --fps 25"
  "noise6|--scenario moderate --noise 6 --fps 25"
  "speaker|--scenario moderate --occluder --fps 25"
  "shake0.5px|--scenario moderate --shake 0.5 --fps 25"
  "shake1px|--scenario moderate --shake 1 --fps 25"
  "revisit|--scenario moderate --revisit --fps 25"
  "ntsc|--scenario moderate --fps 30000/1001"
  "steep-ntsc|--scenario moderate --corners $steep --revisit --fps 30000/1001"
)

now() { date +%s.%N; }

lines=()
for entry in "${scenarios[@]}"; do
  name=${entry%%|*}
  options=${entry#*|}
  fps=${options##* }
  dir=$work/$name
  rm -rf "$dir"
  # shellcheck disable=SC2086 # the options are words
  "$make_lecture" --out "$dir" $options >"$dir.gen.log"
  clip=$dir/lecture.mp4
  start=$(now)
  (cd "$dir" && "$slidetrack" -i lecture.mp4 -s originals.xml -hide >run.out 2>run.err </dev/null) ||
    true  # the exit status is not the measure here; missing results fail below
  middle=$(now)
  ffmpeg -threads 1 -nostdin -i "$clip" -f null - >/dev/null 2>&1
  end=$(now)
  ratio=$(awk -v a="$start" -v b="$middle" -v c="$end" 'BEGIN { printf "%.2f", (b - a) / (c - b) }')
  size=$(sed -n 's/.*frames, \([0-9x]*\),.*/\1/p' "$dir.gen.log")
  line=$("$evaluate" --name "$name" --fps "$fps" "$dir")
  lines+=("$line size=$size fps=$fps time_ratio=$ratio")
done

field() { sed -n "s/.* $2=\([^ ]*\).*/\1/p" <<<" $1"; }
printf '%-12s %-9s %-10s %6s %6s %6s %9s %11s %10s %10s\n' scenario size fps precision \
  recall F1 match corner_mean corner_max time_ratio
for line in "${lines[@]}"; do
  printf '%-12s %-9s %-10s %6s %6s %6s %9s %11s %10s %10s\n' "$(field "$line" scenario)" \
    "$(field "$line" size)" "$(field "$line" fps)" "$(field "$line" precision)" \
    "$(field "$line" recall)" "$(field "$line" f1)" "$(field "$line" match_accuracy)" \
    "$(field "$line" corner_mean)" "$(field "$line" corner_max)" "$(field "$line" time_ratio)"
done
cat <<'EOF'

precision, recall, F1: found slide changes against true ones; a found change counts when it
  lies within 2 s of a true one, paired one to one greedily (closest pairs first).
match: share of processed frames whose slide record is matched ("match_id") to the slide
  that the frame's picture shows.
corner_mean, corner_max: pixels between the stored boardPoints and the true corners, per
  corner to the nearer of the projected area's corner and the outer corner of the dark
  screen frame (both are correct screen edges; a screen recording's are the frame's own
  corners); the truth is averaged over the clip. n/a: no screen found, whole frame used.
time_ratio: slidetrack's run time over `ffmpeg -threads 1 -nostdin -i CLIP -f null -`.
steep-gen, far1080-gen: the generator's own corners, which the board detector cannot
  resolve, so the run rectifies the whole frame. steep: both sides lean outwards towards
  the bottom, and such a pair of sides is rejected. far1080: the sides lean by 0.5 degrees,
  spreading their votes over several distance bins, and stay below the 0.15 x width votes
  (288) a line needs.
EOF
echo "Work files: $work"
