#!/usr/bin/env bash
# Accuracy of slidetrack on generated lectures: one table row per scenario.
#
#   scripts/accuracy.sh [BUILD_DIR]     (default: build)
#
# Environment:
#   ACCURACY_WORK_DIR   run files (default: a fresh temporary directory, kept afterwards)
#   ACCURACY_CACHE_DIR  rendered decks and generated lectures, keyed by the generator options
#                       (default ~/.cache/slidetrack-accuracy); delete it after changing the
#                       generator
#   ACCURACY_ONLY       comma-separated scenario names to run, e.g. "steep45,ink"
#   ACCURACY_TABLES     comma-separated tables: basic, realistic, heldout, noorig, noscreen,
#                       corners (default all six); noorig reruns the realistic (and, with
#                       heldout, the held-out) lectures without their originals
#   ACCURACY_JOBS       lectures generated at once (default 2)
#
# The basic table renders drawn slides in a plain room; its runs are first runs (no
# configuration, so the screen search runs). The realistic table uses real slide decks
# (rendered from PDFs in Debian documentation packages with pdftoppm; both are installed
# or downloaded when missing) in a lecture hall with a speaker, a moving camera and archive
# bitrates; each of its lectures is run twice, see the legend. The first time, generating
# the realistic lectures takes a long while (about a minute or two per scenario on two
# cores); later runs take them from the cache.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath -m "${1:-build}")
work=${ACCURACY_WORK_DIR:-$(mktemp -d /tmp/slidetrack-accuracy.XXXXXX)}
cache=${ACCURACY_CACHE_DIR:-$HOME/.cache/slidetrack-accuracy}
tables=",${ACCURACY_TABLES:-basic,realistic,heldout,noorig,noscreen,corners},"
only=${ACCURACY_ONLY:+,$ACCURACY_ONLY,}
mkdir -p "$work" "$cache"
generator_version=3  # part of the cache key: raise it when generated lectures change

if [[ ! -f "$build/CMakeCache.txt" ]]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j2 --target slidetrack slidetrack-make-lecture slidetrack-evaluate \
  screen_corners_bench \
  >"$work/build.log" || { cat "$work/build.log" >&2; exit 1; }
slidetrack=$build/src/app/slidetrack
make_lecture=$build/tools/slidetrack-make-lecture
evaluate=$build/tools/slidetrack-evaluate
corners_bench=$build/bench/screen_corners_bench

now() { date +%s.%N; }
field() { sed -n "s/.* $2=\([^ ]*\).*/\1/p" <<<" $1"; }
wanted() { [[ -z "$only" || "$only" == *",$1,"* ]]; }
table_on() { [[ "$tables" == *",$1,"* ]]; }

apt_updated=
apt_install() {
  [[ -n "$apt_updated" ]] || { apt-get update -qq >/dev/null; apt_updated=1; }
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@" >/dev/null
}

# Renders page PNGs of a PDF shipped in a Debian package into $cache/decks/NAME (once).
# deck NAME PACKAGE PATH_OF_THE_PDF_IN_THE_PACKAGE
deck() {
  local dir=$cache/decks/$1
  if [[ ! -f "$dir/done" ]]; then
    command -v pdftoppm >/dev/null || apt_install poppler-utils
    local tmp
    tmp=$(mktemp -d "$cache/deck.XXXXXX")
    local pdf=$3
    if [[ ! -f "$pdf" ]]; then
      [[ -n "$apt_updated" ]] || { apt-get update -qq >/dev/null; apt_updated=1; }
      (cd "$tmp" && apt-get download -qq "$2" >/dev/null 2>&1)
      dpkg-deb -x "$tmp"/"$2"_*.deb "$tmp/root"
      pdf=$tmp/root$3
    fi
    mkdir -p "$tmp/pages"
    pdftoppm -png -scale-to-x 1024 -scale-to-y -1 "$pdf" "$tmp/pages/page" 2>/dev/null
    rm -rf "$dir" && mkdir -p "$(dirname "$dir")" && mv "$tmp/pages" "$dir"
    rm -rf "$tmp"
    touch "$dir/done"
  fi
  echo "$dir"
}

# Generates (once) the lecture for these generator options; "@NAME" stands for a deck.
# Prints its directory.
lecture() {
  local options=$1 key dir
  key=$(printf '%s %s' "$generator_version" "$options" | sha1sum | cut -c1-16)
  dir=$cache/lectures/$key
  if [[ ! -f "$dir/done" ]]; then
    local expanded=$options
    for name in conference lecture tug; do
      [[ "$expanded" == *"@$name"* ]] && expanded=${expanded//@$name/${decks[$name]}}
    done
    rm -rf "$dir" && mkdir -p "$cache/lectures"
    # shellcheck disable=SC2086 # the options are words
    nice "$make_lecture" --out "$dir" $expanded >"$dir.gen.log" 2>&1 ||
      { cat "$dir.gen.log" >&2; return 1; }
    mv "$dir.gen.log" "$dir/gen.log"
    touch "$dir/done"
  fi
  echo "$dir"
}

# A run directory holding links to the lecture; with "given", a configuration with the true
# projected-image corners (averaged over the clip), other keys at their defaults.
prepare_run() {
  local lecture=$1 dir=$2 mode=$3
  rm -rf "$dir" && mkdir -p "$dir"
  for f in lecture.mp4 originals.xml truth.csv slides; do ln -s "$lecture/$f" "$dir/$f"; done
  [[ "$mode" == given ]] || return 0
  local corners
  corners=$(awk -F, 'NR > 1 { for (i = 3; i <= 10; ++i) s[i] += $i; n++ }
    END { for (i = 3; i <= 10; ++i) printf "%.3f ", s[i] / n }' "$lecture/truth.csv")
  cat >"$dir/lecture.mp4.cfg.xml" <<XML
<?xml version="1.0"?>
<opencv_storage>
<Presentation>
  <boardPoints type_id="opencv-matrix">
    <rows>1</rows>
    <cols>4</cols>
    <dt>"2f"</dt>
    <data>$corners</data></boardPoints></Presentation>
</opencv_storage>
XML
}

# Runs slidetrack in a run directory; prints the ratio of its time to a plain decode. With a
# second argument "noorig" the run is not given the lecture's originals.
run_timed() {
  local dir=$1 start middle end originals=(-s originals.xml)
  [[ "${2:-}" == noorig ]] && originals=()
  start=$(now)
  (cd "$dir" && "$slidetrack" -i lecture.mp4 "${originals[@]}" -p pics/ -hide >run.out 2>run.err \
    </dev/null) || true  # the exit status is not the measure here; missing results fail below
  middle=$(now)
  ffmpeg -threads 1 -nostdin -i "$dir/lecture.mp4" -f null - >/dev/null 2>&1
  end=$(now)
  awk -v a="$start" -v b="$middle" -v c="$end" 'BEGIN { printf "%.2f", (b - a) / (c - b) }'
}

size_of() { sed -n 's/.*frames, \([0-9x]*\),.*/\1/p' "$1/gen.log"; }

# ---- Basic table: drawn slides in a plain room, first runs.
# name | generator options (fps last, it is also the evaluator's). Steep and far views use
# corners the board detector can resolve; the generator's own steep and far1080 corners run
# as the "-gen" rows to show where it cannot.
steep=255,90,905,200,900,560,260,665
far=700,300,1340,300,1340,780,700,780
basic=(
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

# ---- Realistic table: real decks in a lecture hall, at least two minutes each.
# Common to the camera rows: a speaker, sensor noise, H.264 at 1.5 Mbit/s (720p) or
# 3 Mbit/s (1080p).
room="--room hall --speaker --noise 2.5"
realistic=(
  "template-pointing|--scenario hall $room --deck @conference --slides 16 --seconds-per-slide 8 --bitrate 1500 --seed 11 --fps 25"
  "shake-exposure|--scenario side $room --deck @lecture --slides 15 --seconds-per-slide 9 --jitter 1.5 --drift 2 --exposure-drift 0.15 --bitrate 1500 --seed 12 --fps 30000/1001"
  "steep45|--scenario steep45 $room --deck @tug --slides 13 --seconds-per-slide 10 --jitter 0.5 --bitrate 1500 --seed 13 --fps 25"
  "far1080|--scenario far $room --deck @conference --first-page 8 --slides 18 --seconds-per-slide 8 --jitter 0.7 --bitrate 3000 --seed 14 --fps 25"
  "builds-speaker|--scenario hall $room --deck @conference --slides 31 --seconds-per-slide 5 --bitrate 1500 --seed 15 --fps 25"
  "ink|--scenario side $room --deck @lecture --first-page 14 --slides 16 --seconds-per-slide 9 --ink --bitrate 1500 --seed 16 --fps 25"
  "unknown3|--scenario hall $room --deck @lecture --first-page 4 --slides 16 --seconds-per-slide 8 --omit 3 --revisit --bitrate 1500 --seed 17 --fps 25"
  "one-slide|--scenario hall $room --deck @conference --first-page 4 --slides 1 --seconds-per-slide 130 --jitter 1 --bitrate 1500 --seed 18 --fps 25"
  "screencast-pointer|--scenario screencast --deck @lecture --slides 20 --seconds-per-slide 6 --pointer --bitrate 1500 --seed 19 --fps 25"
  "fps50|--scenario hall $room --deck @tug --slides 13 --seconds-per-slide 10 --revisit --jitter 1 --exposure-drift 0.1 --bitrate 2000 --seed 20 --fps 50"
)
# Held-out realistic lectures: other seeds, deck pages, views and frame rates than the rows
# above, kept out of all tuning; printed in the realistic table, their names start "h-".
heldout=(
  "h-side-conf|--scenario side $room --deck @conference --first-page 12 --slides 14 --seconds-per-slide 9 --jitter 1 --exposure-drift 0.12 --bitrate 1200 --seed 61 --fps 30000/1001"
  "h-far-tug|--scenario far $room --deck @tug --slides 12 --seconds-per-slide 10 --jitter 1 --drift 2 --revisit --bitrate 3000 --seed 62 --fps 25"
  "h-steep-lecture|--scenario steep45 $room --deck @lecture --first-page 18 --slides 14 --seconds-per-slide 9 --jitter 1 --bitrate 1500 --seed 63 --fps 25"
  "h-hall-unknown|--scenario hall $room --deck @conference --first-page 2 --slides 18 --seconds-per-slide 7 --omit 2 --ink --exposure-drift 0.1 --bitrate 1500 --seed 64 --fps 25"
)
noscreen=(
  "blackboard|--scenario hall --room blackboard --speaker --noise 2.5 --deck @tug --slides 6 --seconds-per-slide 10 --bitrate 1500 --seed 21 --fps 25"
  "outdoor|--scenario hall --room outdoor --noise 2.5 --deck @tug --slides 6 --seconds-per-slide 10 --jitter 1 --bitrate 1500 --seed 22 --fps 25"
)

# ---- Corners table: short lectures with other seeds, decks and views than the realistic
# table, to check the screen search on pictures it was not tuned on; only the search runs.
# Views: from the right at 30 degrees, a drifting camera with exposure drift, a low large
# screen, a mid-size screen in 1080p, a small one in 720p.
right30=427.4,109.9,954.3,59.4,954.3,540.6,427.4,490.1
low15=256.2,87.5,935.7,124.8,935.7,615.2,256.2,652.5
mid1080=590.4,172.9,1250.8,140.0,1250.8,700.0,590.4,667.1
small720=508.2,113.0,880.3,121.8,880.3,398.2,508.2,407.0
short="--slides 7 --seconds-per-slide 5"
corners=(
  "c-right30|--scenario hall --corners $right30 $room --deck @tug $short --jitter 1 --bitrate 1500 --seed 31 --fps 25"
  "c-hall-drift|--scenario hall $room --deck @lecture --first-page 20 $short --jitter 1 --drift 2 --exposure-drift 0.1 --bitrate 1500 --seed 32 --fps 25"
  "c-steep45|--scenario steep45 $room --deck @conference --first-page 10 $short --jitter 0.5 --bitrate 1500 --seed 33 --fps 25"
  "c-far|--scenario far $room --deck @lecture --first-page 5 $short --jitter 1 --bitrate 3000 --seed 34 --fps 25"
  "c-side-ink|--scenario side $room --deck @conference --first-page 2 $short --ink --bitrate 1500 --seed 35 --fps 25"
  "c-low15|--scenario hall --corners $low15 $room --deck @tug $short --jitter 0.7 --bitrate 1500 --seed 36 --fps 30000/1001"
  "c-mid1080|--scenario far --corners $mid1080 $room --deck @conference --first-page 20 $short --jitter 1 --drift 2 --bitrate 3000 --seed 37 --fps 25"
  "c-small720|--scenario hall --corners $small720 $room --deck @lecture --first-page 8 $short --jitter 1 --bitrate 1500 --seed 38 --fps 25"
  "c-side-drift|--scenario side $room --deck @tug $short --jitter 1.5 --drift 2 --exposure-drift 0.15 --bitrate 1500 --seed 39 --fps 25"
  "c-side50|--scenario side $room --deck @lecture --first-page 25 $short --jitter 1 --bitrate 1500 --seed 50 --fps 25"
  "c-steep51|--scenario steep45 $room --deck @tug --first-page 3 $short --jitter 1 --exposure-drift 0.1 --bitrate 1500 --seed 51 --fps 25"
  "c-hall52|--scenario hall $room --deck @conference --first-page 25 $short --jitter 1.5 --drift 2 --exposure-drift 0.15 --bitrate 1500 --seed 52 --fps 25"
  "c-far53|--scenario far $room --deck @tug $short --jitter 1 --drift 2 --bitrate 3000 --seed 53 --fps 25"
  "c-blackboard|--scenario hall --room blackboard --speaker --noise 2.5 --deck @lecture --slides 6 --seconds-per-slide 5 --jitter 1 --bitrate 1500 --seed 40 --fps 25"
  "c-outdoor|--scenario hall --room outdoor --noise 2.5 --deck @lecture --slides 6 --seconds-per-slide 5 --drift 2 --bitrate 1500 --seed 41 --fps 25"
)

declare -A decks
if table_on realistic || table_on heldout || table_on noscreen || table_on corners; then
  decks[conference]=$(deck conference texlive-latex-recommended-doc \
    /usr/share/doc/texlive-doc/latex/beamer/beamerexample-conference-talk.pdf)
  decks[lecture]=$(deck lecture texlive-latex-recommended-doc \
    /usr/share/doc/texlive-doc/latex/beamer/beamerexample-lecture-beamer-version.pdf)
  decks[tug]=$(deck tug texlive-base /usr/share/doc/texlive-doc/dvipdfmx/tug2003-slides.pdf)
fi

# Generates the selected lectures that are not cached yet, ACCURACY_JOBS (default 2) at a
# time; the tables below then find them in the cache.
pregenerate() {
  local most=${ACCURACY_JOBS:-2} entry
  for entry in "$@"; do
    wanted "${entry%%|*}" || continue
    while (($(jobs -rp | wc -l) >= most)); do wait -n || true; done
    lecture "${entry#*|}" >/dev/null &
  done
  wait || true
}

suite_start=$(now)
selected=()
table_on basic && selected+=("${basic[@]}")
table_on realistic && selected+=("${realistic[@]}")
table_on heldout && selected+=("${heldout[@]}")
table_on noscreen && selected+=("${noscreen[@]}")
table_on corners && selected+=("${corners[@]}")
pregenerate "${selected[@]}"
basic_lines=()
if table_on basic; then
  for entry in "${basic[@]}"; do
    name=${entry%%|*} options=${entry#*|}
    wanted "$name" || continue
    fps=${options##* }
    source_dir=$(lecture "$options")
    dir=$work/basic/$name
    prepare_run "$source_dir" "$dir" first
    ratio=$(run_timed "$dir")
    line=$("$evaluate" --name "$name" --fps "$fps" "$dir")
    basic_lines+=("$line size=$(size_of "$source_dir") fps=$fps time_ratio=$ratio")
  done
fi

realistic_lines=()
noorig_lines=()
realistic_entries=()
table_on realistic && realistic_entries+=("${realistic[@]}")
table_on heldout && realistic_entries+=("${heldout[@]}")
if ((${#realistic_entries[@]})); then
  for entry in "${realistic_entries[@]}"; do
    name=${entry%%|*} options=${entry#*|}
    wanted "$name" || continue
    fps=${options##* }
    source_dir=$(lecture "$options")
    prepare_run "$source_dir" "$work/realistic/$name/given" given
    prepare_run "$source_dir" "$work/realistic/$name/first" first
    run_timed "$work/realistic/$name/given" >/dev/null
    ratio=$(run_timed "$work/realistic/$name/first")
    given=$("$evaluate" --name "$name" --fps "$fps" "$work/realistic/$name/given")
    first=$("$evaluate" --name "$name" --fps "$fps" "$work/realistic/$name/first")
    realistic_lines+=("$given size=$(size_of "$source_dir") fps=$fps time_ratio=$ratio \
first_corner_mean=$(field "$first" corner_mean) first_corner_max=$(field "$first" corner_max)")
    if table_on noorig; then
      prepare_run "$source_dir" "$work/realistic/$name/noorig" given
      run_timed "$work/realistic/$name/noorig" noorig >/dev/null
      noorig_lines+=("$("$evaluate" --name "$name" --fps "$fps" "$work/realistic/$name/noorig")")
    fi
  done
fi

noscreen_lines=()
if table_on noscreen; then
  for entry in "${noscreen[@]}"; do
    name=${entry%%|*} options=${entry#*|}
    wanted "$name" || continue
    fps=${options##* }
    source_dir=$(lecture "$options")
    dir=$work/noscreen/$name
    prepare_run "$source_dir" "$dir" first
    ratio=$(run_timed "$dir")
    line=$("$evaluate" --name "$name" --fps "$fps" "$dir")
    noscreen_lines+=("$line size=$(size_of "$source_dir") fps=$fps time_ratio=$ratio")
  done
fi

corners_lines=()
if table_on corners; then
  for entry in "${corners[@]}"; do
    name=${entry%%|*} options=${entry#*|}
    wanted "$name" || continue
    source_dir=$(lecture "$options")
    # "cpu S s, corners (x y) ... mean M max X", or "not found" / "recording".
    out=$("$corners_bench" "$source_dir/lecture.mp4" "$source_dir/truth.csv")
    found=none mean=n/a max=n/a
    [[ "$out" == *recording* ]] && found=recording
    if [[ "$out" == *corners* ]]; then
      found=screen
      mean=$(sed -n 's/.* mean \([0-9.]*\).*/\1/p' <<<"$out")
      max=$(sed -n 's/.* max \([0-9.]*\).*/\1/p' <<<"$out")
    fi
    corners_lines+=("scenario=$name size=$(size_of "$source_dir") found=$found mean=$mean max=$max")
  done
fi
suite_end=$(now)

if ((${#basic_lines[@]})); then
  printf '%-12s %-9s %-10s %6s %6s %6s %9s %11s %10s %10s\n' scenario size fps precision \
    recall F1 match corner_mean corner_max time_ratio
  for line in "${basic_lines[@]}"; do
    printf '%-12s %-9s %-10s %6s %6s %6s %9s %11s %10s %10s\n' "$(field "$line" scenario)" \
      "$(field "$line" size)" "$(field "$line" fps)" "$(field "$line" precision)" \
      "$(field "$line" recall)" "$(field "$line" f1)" "$(field "$line" match_accuracy)" \
      "$(field "$line" corner_near_mean)" "$(field "$line" corner_near_max)" \
      "$(field "$line" time_ratio)"
  done
  cat <<'LEGEND'

precision, recall, F1: found slide changes against true ones; a found change counts when it
  lies within 2 s of a true one, paired one to one greedily (closest pairs first).
match: share of processed frames whose slide record is matched ("match_id") to the slide
  that the frame's picture shows.
corner_mean, corner_max (this table): pixels between the stored boardPoints and the true
  corners, per corner to the nearer of the projected area's corner and the outer corner of
  the dark screen frame (both are correct screen edges; a screen recording's are the
  frame's own corners); the truth is averaged over the clip. n/a: no screen found, whole
  frame used.
time_ratio: slidetrack's run time over `ffmpeg -threads 1 -nostdin -i CLIP -f null -`.
steep-gen, far1080-gen: the generator's own corners, which the board detector cannot
  resolve, so the run rectifies the whole frame. steep: both sides lean outwards towards
  the bottom, and such a pair of sides is rejected. far1080: the sides lean by 0.5 degrees,
  spreading their votes over several distance bins, and stay below the 0.15 x width votes
  (288) a line needs.
LEGEND
  echo
fi

if ((${#realistic_lines[@]})); then
  format='%-18s %-9s %-10s %6s %6s %6s %8s %5s %6s %7s %14s %14s %14s %14s %14s %11s %10s %10s\n'
  # shellcheck disable=SC2059 # the format is ours
  printf "$format" scenario size fps precision recall F1 phantoms late match unknown_rejected \
    speaker_share_mean speaker_share_max seen_share_max picture_damage_mean picture_damage_max \
    corner_mean corner_max time_ratio
  for line in "${realistic_lines[@]}"; do
    # shellcheck disable=SC2059
    printf "$format" "$(field "$line" scenario)" "$(field "$line" size)" "$(field "$line" fps)" \
      "$(field "$line" precision)" "$(field "$line" recall)" "$(field "$line" f1)" \
      "$(field "$line" phantoms)" "$(field "$line" late)" "$(field "$line" match_accuracy)" \
      "$(field "$line" unknown_rejected)" "$(field "$line" speaker_share_mean)" \
      "$(field "$line" speaker_share_max)" "$(field "$line" speaker_share_seen_max)" \
      "$(field "$line" picture_damage_mean)" "$(field "$line" picture_damage_max)" \
      "$(field "$line" first_corner_mean)" \
      "$(field "$line" first_corner_max)" "$(field "$line" time_ratio)"
  done
  cat <<'LEGEND'

Realistic lectures: pages of real slide decks (rendered from PDFs of Debian documentation
  packages), shown for varied times, in a lecture hall (screen surround, dark border, desk,
  door and blackboard edges longer than the screen's sides, uneven light and vignetting),
  with a walking, standing and pointing speaker, H.264 at archive bitrates. Each lecture is
  run twice: with the true projected-image corners given in the configuration (all columns
  up to picture_damage_max) and as a first run with the screen search (corner columns and
  time_ratio). Rows named "h-..." are held out: other seeds, pages, views and frame rates,
  never used to tune the program.
phantoms: reported changes not paired with a true change (pairing as for precision).
late: share of true changes reported at most one processed frame (slideFrameStep frames)
  after the first processed frame that shows the new slide; unpaired changes, and changes
  paired with a report made before the slide showed (a phantom just before it), are not
  on time. The evaluator's line also gives late_max, the largest lateness in processed
  frames. slidetrack-evaluate --changes tells, per true change, from which processed frame
  the pixels that differ between the two slides lie outside the speaker's mask.
match: as above, over frames whose slide is among the originals.
unknown_rejected: share of processed frames showing a slide left out of the originals whose
  record carries no match; n/a when every shown slide is an original.
speaker_share_mean, _max: over the run's saved slide pictures (-p), the share of the screen
  picture's pixels that still show the speaker. For each picture the true slide is the one
  shown most in its interval; the clean screen is that slide's picture put where the truth
  has it and rectified with the run's corners to presentWidth x presentHeight; the speaker's
  masks of the interval's processed frames (re-drawn from the poses in truth.csv) are mapped
  the same way and joined. Picture and clean screen are compared in colour, both blurred
  alike (2 pixels), the clean screen's colours brought to the picture's where nobody stood
  (each channel's tone, and a smooth gain for uneven light), leaving out the slide's marks
  (text, lines) that the picture lost there, so that a picture that lost its text is not
  taken to show text as paper. A pixel counts when it lies
  under that mask and, even allowing a pixel's shift, one of the two holds what the other
  lacks by more than 40 levels in some channel: the speaker shown, or slide content (text,
  lines) he hid lost from the picture. The threshold leaves compression, blur and a pixel
  of misplacement at ~0 outside the mask. Clothes of the slide's own colour over its plain
  background are not counted: they do not show.
seen_share_max: the largest speaker share leaving out the pixels he covered in every
  processed frame of the picture's interval, where no frame showed the slide (a speaker who
  never left one place): what the video held and the picture did not take.
picture_damage_mean, _max: over the same pictures, by the same rule, the share of the
  slide's pixels outside the speaker's joined mask that differ from the clean screen:
  slide content lost to a fill or smear (pen strokes the slide does not hold, and a
  pointer, count too). slidetrack-evaluate --pictures prints both per picture.
corner_mean, corner_max (this table): pixels between the first run's boardPoints and the
  projected image's own true corners (not the dark border's), averaged over the clip;
  n/a: no screen found.
LEGEND
  echo
fi

if ((${#noorig_lines[@]})); then
  format='%-18s %6s %6s %6s %8s %5s %14s %14s %14s %14s\n'
  # shellcheck disable=SC2059 # the format is ours
  printf "$format" scenario precision recall F1 phantoms late speaker_share_mean \
    speaker_share_max picture_damage_mean picture_damage_max
  for line in "${noorig_lines[@]}"; do
    # shellcheck disable=SC2059
    printf "$format" "$(field "$line" scenario)" "$(field "$line" precision)" \
      "$(field "$line" recall)" "$(field "$line" f1)" "$(field "$line" phantoms)" \
      "$(field "$line" late)" "$(field "$line" speaker_share_mean)" \
      "$(field "$line" speaker_share_max)" "$(field "$line" picture_damage_mean)" \
      "$(field "$line" picture_damage_max)"
  done
  cat <<'LEGEND'

Without originals: the same lectures with the true corners given but no -s, as an archive
  that has no slide deck runs them; the slide changes and pictures come from the video
  alone. Columns as in the realistic table.
LEGEND
  echo
fi

if ((${#noscreen_lines[@]})); then
  printf '%-12s %-9s %-10s %17s %10s\n' scenario size fps no_screen_correct time_ratio
  for line in "${noscreen_lines[@]}"; do
    printf '%-12s %-9s %-10s %17s %10s\n' "$(field "$line" scenario)" "$(field "$line" size)" \
      "$(field "$line" fps)" "$(field "$line" no_screen_correct)" "$(field "$line" time_ratio)"
  done
  cat <<'LEGEND'

No screen: a room with a blackboard and no projection, and a street scene, first runs.
no_screen_correct: 1 when the run stored no screen corners.
LEGEND
  echo
fi
if ((${#corners_lines[@]})); then
  printf '%-14s %-9s %-9s %11s %10s\n' scenario size found corner_mean corner_max
  for line in "${corners_lines[@]}"; do
    printf '%-14s %-9s %-9s %11s %10s\n' "$(field "$line" scenario)" "$(field "$line" size)" \
      "$(field "$line" found)" "$(field "$line" mean)" "$(field "$line" max)"
  done
  cat <<'LEGEND'

Corners: the screen search alone (screen_corners_bench) on short lectures with other seeds,
  decks and views; c-blackboard and c-outdoor have no screen (found must be none).
found: screen, none or recording. corner_mean, corner_max: pixels between the corners
  found and the projected image's true corners averaged over the clip.
LEGEND
  echo
fi
awk -v a="$suite_start" -v b="$suite_end" 'BEGIN { printf "Suite time: %.0f s\n", b - a }'
echo "Work files: $work"
