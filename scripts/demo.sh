#!/usr/bin/env bash
# The tool's main job from scratch: sets up and builds (scripts/setup.sh), makes a short
# synthetic lecture (camera view, a speaker walking in front of the screen, sensor noise, one
# slide shown twice), runs slidetrack on it without windows, and says where everything is.
#
#   scripts/demo.sh [OUTPUT_DIR]      (default: demo/ in the source tree)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

out=${1:-$root/demo}
scripts/setup.sh
build_dir=${SLIDETRACK_BUILD_DIR:-build}
case $build_dir in /*) ;; *) build_dir=$root/$build_dir ;; esac
slidetrack=$build_dir/src/app/slidetrack
make_lecture=$build_dir/tools/slidetrack-make-lecture
for program in "$slidetrack" "$make_lecture"; do
  [ -x "$program" ] || { echo "error: $program was not built" >&2; exit 1; }
done

mkdir -p "$out"
out=$(cd "$out" && pwd)
lecture=$out/lecture
results=$out/results.xml
config=$out/lecture.cfg.xml
images=$out/slides/  # a prefix: the trailing "/" makes it a directory
log=$out/run.log
# A fresh start each time, so the screen search runs and no old picture stays behind.
rm -rf "$lecture" "$images" "$results" "$config" "$log"

echo
echo "== Making a demo lecture (12 slides x 4 s, 1280x720 H.264) in $lecture"
"$make_lecture" --out "$lecture" --slides 12 --seconds-per-slide 4 --noise 2 --occluder \
  --revisit --seed 1
video=$lecture/lecture.mp4
originals=$lecture/originals.xml

echo
echo "== Running slidetrack (console output also in $log)"
status=0
"$slidetrack" -i "$video" -o "$results" -c "$config" -p "$images" -s "$originals" -hide |
  tee "$log" || status=$?
if [ "$status" -ne 0 ]; then
  echo "error: slidetrack ended with status $status" >&2
  exit "$status"
fi
[ -s "$results" ] || { echo "error: no results file $results" >&2; exit 1; }

# One "slide" element per found slide; "match_id" only on those matched to an original.
found=$(grep -o '<slide ' "$results" | wc -l)
matched=$(grep -o '<slide [^>]*match_id=' "$results" | wc -l)
pictures=$(find "$images" -maxdepth 1 -name 'slide_*.jpg' | wc -l)
# The ground truth's second column is the slide shown: count its runs and its values.
read -r shown distinct < <(awk -F, 'NR == 1 { next }
  NR == 2 || $2 != last { n++ }
  !($2 in seen) { seen[$2]; d++ }
  { last = $2 }
  END { print n + 0, d + 0 }' "$lecture/truth.csv")
corners="no screen corners found: the whole frame was taken as the screen"
grep -q '<boardPoints' "$config" && corners="with the screen corners found"
echo
echo "== Demo done"
echo "video:           $video"
echo "results file:    $results"
echo "slide pictures:  $images ($pictures files slide_XXXXXXXX.jpg)"
echo "configuration:   $config ($corners)"
echo "original slides: $originals"
echo "slides found:    $found (the lecture shows $shown: $distinct originals, one of them twice)"
echo "slides matched:  $matched of $found to an original"
[ "$found" -gt 0 ] || { echo "error: no slide found" >&2; exit 1; }
