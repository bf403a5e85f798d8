#!/usr/bin/env bash
# Runs two slidetrack binaries on the same generated lectures and compares everything they
# write: console output, exit status, results file, configuration file, slide pictures.
#
#   scripts/compare_outputs.sh OLD_BIN NEW_BIN [MAKE_LECTURE]
#
# Each lecture is run first without a configuration (the screen search runs and writes
# one), then again with the written one; with and without the originals. Exits 1 on any
# difference. Work files stay under $COMPARE_WORK_DIR or a fresh temporary directory.
set -euo pipefail
old=$(realpath "$1")
new=$(realpath "$2")
root=$(cd "$(dirname "$0")/.." && pwd)
make_lecture=$(realpath "${3:-$root/build/tools/slidetrack-make-lecture}")
work=${COMPARE_WORK_DIR:-$(mktemp -d /tmp/slidetrack-compare.XXXXXX)}
mkdir -p "$work"

lectures=(
  "demo|--slides 6 --seconds-per-slide 4 --noise 2 --occluder --revisit --seed 1"
  "moderate|--scenario moderate --slides 5 --seconds-per-slide 3 --occluder --seed 2"
  "screencast|--scenario screencast --slides 5 --seconds-per-slide 3"
)
# name | arguments after "-i lecture.mp4 -hide"; every line runs twice (first, second).
runs=(
  "originals|-o with.xml -c with.cfg.xml -s originals.xml -p slides/"
  "plain|-o plain.xml -c plain.cfg.xml"
  "pictures|-o pics.xml -c pics.cfg.xml -p pics_"
)

differences=0
compared=0
for lecture in "${lectures[@]}"; do
  name=${lecture%%|*}
  # shellcheck disable=SC2086 # the options are words
  "$make_lecture" --out "$work/$name/source" ${lecture#*|} >"$work/$name.gen.log"
  for side in old new; do
    rm -rf "$work/$name/$side"
    cp -r "$work/$name/source" "$work/$name/$side"
  done
  for entry in "${runs[@]}"; do
    run=${entry%%|*}
    for pass in first second; do
      for side in old new; do
        bin=$old
        [ "$side" = new ] && bin=$new
        dir=$work/$name/$side
        mkdir -p "$dir/slides"
        status=0
        # shellcheck disable=SC2086
        (cd "$dir" && "$bin" -i lecture.mp4 -hide ${entry#*|} >"$run.$pass.out" \
          2>"$run.$pass.err" </dev/null) || status=$?
        echo "$status" >"$dir/$run.$pass.status"
      done
      if diff -r "$work/$name/old" "$work/$name/new" >"$work/$name.$run.$pass.diff"; then
        echo "same       $name $run $pass run"
      else
        echo "DIFFERENT  $name $run $pass run (see $work/$name.$run.$pass.diff)"
        differences=$((differences + 1))
      fi
      compared=$((compared + 1))
    done
  done
done
files=$(find "$work" -path '*/new/*' -type f | wc -l)
echo "$compared comparisons of $files files each side, $differences with differences ($work)"
[ "$differences" -eq 0 ]
