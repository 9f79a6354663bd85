#!/usr/bin/env bash
# Decoding and composing a whole 1920 x 1080 recording against ffmpeg decoding the same
# pictures as Flash Screen Video (flashsv) and as ZMBV, in processor seconds, in one run; then
# the player playing the recording in real time on a 1920 x 1080 X server (Xvfb) against ffmpeg
# decoding an H.264 version in real time, with the player's peak memory.
#
#   bench/compare-decoders.sh [BUILD_DIR] [SECONDS] [PICTURES_PER_SECOND]
#
# The recording is written by the project's writer (bench/BenchRecording.h); its composed
# pictures are handed to the ffmpeg command-line tool, which makes the reference files.
# Without ffmpeg only the project's own figure is printed.
set -euo pipefail

build=${1:-build/default}
seconds=${2:-120}
rate=${3:-8}
source "$(dirname "$0")/common.sh"
require_built "$tool"
write_recording

ours=$(best_seconds cpu "$tool" decode "$recording")
echo "vsr (read, inflate, decode, compose): ${ours} s"

if ! command -v ffmpeg >/dev/null; then
  echo "ffmpeg is not installed: no reference (the Debian package ffmpeg provides it)."
  exit 0
fi

encode() { # codec, pixel format, output
  "$tool" frames "$recording" |
    ffmpeg -hide_banner -loglevel error -y -f rawvideo -pix_fmt bgra -s 1920x1080 -r "$rate" \
      -i - -c:v "$1" -pix_fmt "$2" "$3"
}
echo "Encoding the reference files with ffmpeg ..."
encode flashsv bgr24 "$work/bench.flv"
encode zmbv bgr0 "$work/bench.avi"

encode libx264 yuv420p "$work/bench.mp4"

for reference in flv avi; do
  theirs=$(best_seconds cpu ffmpeg -hide_banner -loglevel error -threads 1 -i "$work/bench.$reference" -f null -)
  codec=$([ "$reference" = flv ] && echo flashsv || echo zmbv)
  ratio=$(awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "%.2f", a / b }')
  echo "ffmpeg $codec decoding: ${theirs} s; vsr / ffmpeg = $ratio"
done

player="$build/src/vsrplayer"
if ! command -v xvfb-run >/dev/null || [ ! -x /usr/bin/time ] || [ ! -x "$player" ]; then
  echo "No xvfb-run, time(1) or player: playback not measured."
  exit 0
fi
echo "Playing ${seconds} s in real time ..."
# time(1) counts the player with timeout, and its peak memory is the largest of the two.
SDL_AUDIODRIVER=dummy xvfb-run -a -s "-screen 0 1920x1080x24" \
  /usr/bin/time -f "%U %S %M" -o "$work/play.time" \
  timeout -s INT "$((seconds + 2))" "$player" "$recording" >/dev/null 2>&1 || true
playing=$(awk 'END { print $1 + $2 }' "$work/play.time")
peak=$(awk 'END { printf "%.0f", $3 / 1024 }' "$work/play.time")
h264=$( { TIMEFORMAT='%U %S'; time ffmpeg -hide_banner -loglevel error -re -i "$work/bench.mp4" -f null - >/dev/null 2>&1; } 2>&1 | awk '{ print $1 + $2 }')
ratio=$(awk -v a="$playing" -v b="$h264" 'BEGIN { printf "%.2f", a / b }')
echo "vsrplayer playing ${seconds} s: ${playing} s of processor time, peak memory ${peak} MB"
echo "ffmpeg decoding the H.264 version in real time: ${h264} s; vsrplayer / ffmpeg = $ratio"
