#!/usr/bin/env bash
# Makes small seed inputs for the fuzz targets in DIR/{results_xml,configuration,picture}.
set -euo pipefail
dir=${1:?usage: fuzz_seeds.sh DIR}
mkdir -p "$dir/results_xml" "$dir/configuration" "$dir/picture"

cat >"$dir/results_xml/results.xml" <<'XML'
<?xml version="1.0"?>
<data>
  <sources><video src="talk.mp4"/><originals src="originals.xml"/></sources>
  <slides>
    <slide id="0" start="0" end="124" confidence="0.218975" src="found/slide_00000000.jpg" match_id="0" match_src="slides/slide_0.png"/>
    <slide id="1" start="125" end="125" confidence="0.000000"/>
  </slides>
</data>
XML
printf '<data><slides><slide id="1" src="a.png"/><slide src="b &amp; c.png"/></slides></data>' \
  >"$dir/results_xml/originals.xml"

cat >"$dir/configuration/config.xml" <<'XML'
<?xml version="1.0"?>
<opencv_storage>
<Presentation>
  <presentWidth>640</presentWidth><presentHeight>480</presentHeight>
  <boardPoints type_id="opencv-matrix"><rows>1</rows><cols>4</cols><dt>"2f"</dt>
    <data>292.6 123.2 949.1 143.8 939.2 616.8 303.4 636.7</data></boardPoints>
</Presentation>
<SlideDetection><slideFrameStep>25</slideFrameStep><slideDiffBuff>10</slideDiffBuff></SlideDetection>
<LocalFeatures><locWndOverlap>0.3</locWndOverlap><matchLimit>0.5</matchLimit></LocalFeatures>
</opencv_storage>
XML
printf '%%YAML:1.0\n---\nPresentation:\n   presentWidth: 640\nSlideDetection:\n   slideFrameStep: 25\n' \
  >"$dir/configuration/config.yml"
printf '{"Presentation": {"presentWidth": 640, "presentHeight": [1, 2]}}\n' \
  >"$dir/configuration/config.json"

# Tiny pictures of each kind the reader tells apart.
for seed in png:rgb24 jpg:yuvj420p bmp:bgr24 ppm:rgb24 jpg:gray; do
  ext=${seed%%:*} format=${seed#*:}
  ffmpeg -loglevel error -y -f lavfi -i "testsrc=size=24x16" -frames:v 1 -pix_fmt "$format" \
    "$dir/picture/seed_${format}.$ext"
done
# 4:2:0 through FFmpeg's converter, once at a width that is no whole block of its fast paths.
ffmpeg -loglevel error -y -f lavfi -i "testsrc=size=24x16" -frames:v 1 -pix_fmt yuv420p \
  -c:v libwebp "$dir/picture/seed_yuv420p.webp"
ffmpeg -loglevel error -y -f lavfi -i "testsrc=size=9x2" -frames:v 1 -pix_fmt yuv420p \
  "$dir/picture/seed_yuv420p_9x2.tif"
