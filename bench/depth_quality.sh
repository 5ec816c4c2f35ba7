#!/usr/bin/env bash
# What deinterlacing at full depth keeps: a true 10-bit source (smooth
# gradients in motion, computed at 10 bits) is woven into interlaced 10-bit
# 4:2:0 and deinterlaced two ways: at 10 bits, and through 8 bits (cut to 8,
# deinterlaced, widened back to 10). PSNR at 10 bits (ffmpeg's psnr filter)
# against the progressive frames whose lines the filter keeps.
#   bash bench/depth_quality.sh [BUILD_DIR] [FRAMES]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
frames=${2:-100}   # progressive frames; half as many interlaced ones
[ -x "$build/vantrel" ] || make BUILD="$build" build >/dev/null
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

ff() { ffmpeg -nostdin -loglevel error -y "$@"; }
raw() { echo "-f rawvideo -pix_fmt $1 -s 720x576 -r $2"; }
# PSNR (dB) of Y, U, V and all, as "Y / U / V (all)".
psnr() {
  # shellcheck disable=SC2046
  ffmpeg -nostdin $(raw yuv420p10le 25) -i "$1" $(raw yuv420p10le 25) -i "$tmp/truth.yuv" \
    -lavfi psnr -f null - 2>&1 |
    sed -n 's/.* y:\([0-9.inf]*\) u:\([0-9.inf]*\) v:\([0-9.inf]*\) average:\([0-9.inf]*\).*/\1 \2 \3 \4/p' |
    awk '{printf "%.2f / %.2f / %.2f (%.2f)", $1, $2, $3, $4}'
}

# Gradients that drift, sway and scroll, evaluated at 10 bits per sample.
source="nullsrc=s=720x576:r=50,format=yuv420p10le,geq=lum='512+300*sin(2*PI*(X/W*3+T*0.1))*Y/H+100*X/W'"
source+=":cb='512+200*sin(2*PI*(Y/H*2-T*0.05))':cr='512+150*cos(2*PI*X/W+T*0.1)'"
ff -f lavfi -i "$source" -frames:v "$frames" -f rawvideo "$tmp/p10.yuv"
# shellcheck disable=SC2046
ff $(raw yuv420p10le 50) -i "$tmp/p10.yuv" -vf "interlace=scan=tff:lowpass=off" \
  -f rawvideo "$tmp/i10.yuv"
# The true frames: the odd progressive ones, whose lines (the bottom field)
# the filter keeps.
# shellcheck disable=SC2046
ff $(raw yuv420p10le 50) -i "$tmp/p10.yuv" -vf "select=mod(n\,2)" -fps_mode passthrough \
  -f rawvideo "$tmp/truth.yuv"
# The 8-bit route's input: the interlaced clip cut to 8 bits.
# shellcheck disable=SC2046
ff $(raw yuv420p10le 25) -i "$tmp/i10.yuv" -pix_fmt yuv420p -f rawvideo "$tmp/i8.yuv"

echo "# PSNR at 10 bits (dB, Y / U / V (all)) of a true 10-bit source, $((frames / 2)) interlaced frames"
echo
echo "| mode | at 10 bits | through 8 bits |"
echo "|---|---:|---:|"
for mode in 4 3 2; do
  "$build/vantrel" --quiet --mode $mode --raw 720x576 --pixel-type yuv420p10le "$tmp/i10.yuv" "$tmp/o10.yuv"
  "$build/vantrel" --quiet --mode $mode --raw 720x576 --pixel-type i420 "$tmp/i8.yuv" "$tmp/o8.yuv"
  # shellcheck disable=SC2046
  ff $(raw yuv420p 25) -i "$tmp/o8.yuv" -pix_fmt yuv420p10le -f rawvideo "$tmp/back.yuv"
  echo "| $mode | $(psnr "$tmp/o10.yuv") | $(psnr "$tmp/back.yuv") |"
done
