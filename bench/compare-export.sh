#!/usr/bin/env bash
# Exporting a 1920 x 1080 recording to MP4 (H.264 + AAC) with `vsr export`, against the ffmpeg
# command-line tool making the same MP4 from a Flash Screen Video (flashsv) version of the same
# pictures and the same voice, with the same x264 preset and quality. Wall-clock time, best of
# three, as times real time; then the ratio of the two speeds.
#
#   bench/compare-export.sh [BUILD_DIR] [SECONDS] [PICTURES_PER_SECOND]
#
# The recording is written by the project's writer (bench/BenchRecording.h); its composed
# pictures are handed to ffmpeg, which makes the flashsv file. Without ffmpeg only the
# project's own figure is printed.
set -euo pipefail

build=${1:-build/default}
seconds=${2:-60}
rate=${3:-8}
vsr="$build/src/vsr"
source "$(dirname "$0")/common.sh"
require_built "$tool" "$vsr"
write_recording

speed() { awk -v s="$seconds" -v t="$1" 'BEGIN { printf "%.1f", s / t }'; }

# The recording's own pictures, no pointer: what the reference holds too.
ours=$(best_seconds wall "$vsr" export "$recording" -o "$work/vsr.mp4" --fps "$rate" --no-cursor \
  --quiet)
echo "vsr export: ${ours} s, $(speed "$ours")x real time"

if ! command -v ffmpeg >/dev/null; then
  echo "ffmpeg is not installed: no reference (the Debian package ffmpeg provides it)."
  exit 0
fi
echo "Making the flashsv version and the voice with ffmpeg ..."
"$tool" frames "$recording" |
  ffmpeg -hide_banner -loglevel error -y -f rawvideo -pix_fmt bgra -s 1920x1080 -r "$rate" \
    -i - -c:v flashsv -pix_fmt bgr24 "$work/bench.flv"
"$vsr" audio "$recording" -o "$work/voice.wav"
# The encoder settings `vsr export` uses at its default quality.
theirs=$(best_seconds wall ffmpeg -hide_banner -loglevel error -y -i "$work/bench.flv" \
  -i "$work/voice.wav" -c:v libx264 -preset veryfast -crf 18 -pix_fmt yuv420p \
  -c:a aac -b:a 64k -ar 48000 "$work/ffmpeg.mp4")
ratio=$(awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "%.2f", b / a }')
echo "ffmpeg from flashsv: ${theirs} s, $(speed "$theirs")x real time"
echo "vsr export is ${ratio}x as fast as ffmpeg"
