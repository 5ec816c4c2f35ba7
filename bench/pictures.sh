#!/usr/bin/env bash
# Side-by-side crops, enlarged 3x without smoothing, of one moving frame of two
# sources: the interlaced input, Vantrel's modes 3 and 4, FFmpeg's bwdif and
# the original frame. Writes docs/images/<source>-crops.png.
#
# usage: bash bench/pictures.sh [CLIPDIR]   CLIPDIR holds <source>-i.y4m (the
# interlaced clip) and <source>-t.y4m (its ground truth), as bench/quality.sh
# leaves them (default build/quality/clips).
set -euo pipefail
cd "$(dirname "$0")/.."

clips=${1:-build/quality/clips}
vantrel=build/vantrel
out_dir=docs/images

die() { printf 'pictures.sh: %s\n' "$*" >&2; exit 1; }
ff() { ffmpeg -nostdin -hide_banner -v error -y -sws_flags bicubic+accurate_rnd+bitexact "$@"; }

# panel CROP TEXT: crop, enlarge 3x without smoothing, and a white margin with
# the label on top when FFmpeg can draw text here (the README names the
# panels anyway, so a machine without fonts still gets the pictures).
panel() {
  local chain="crop=$1,scale=iw*3:ih*3:flags=neighbor,pad=iw+8:ih+30:4:30:white"
  [ "$labels" = yes ] && chain+=",drawtext=text='$2':x=8:y=7:fontsize=17:fontcolor=black"
  printf '%s' "$chain"
}

# picture SOURCE FRAME CROP(w:h:x:y)
picture() {
  local name=$1 frame=$2 crop=$3 graph i
  local in=$clips/$name-i.y4m truth=$clips/$name-t.y4m
  if [ ! -f "$in" ] || [ ! -f "$truth" ]; then
    die "$in or $truth is missing; run bench/quality.sh first"
  fi
  ff -i "$in" -vf "select=eq(n\,$frame)" -fps_mode passthrough -frames:v 1 \
    -f yuv4mpegpipe "$tmp/in.y4m"
  "$vantrel" --quiet --keep bottom --mode 3 "$tmp/in.y4m" "$tmp/mode3.y4m"
  "$vantrel" --quiet --keep bottom --mode 4 "$tmp/in.y4m" "$tmp/mode4.y4m"
  # bwdif looks at the neighbouring frames, so it runs on the whole clip.
  ff -i "$in" -vf "bwdif=mode=0:parity=bff,select=eq(n\,$frame)" -fps_mode passthrough \
    -frames:v 1 -f yuv4mpegpipe "$tmp/bwdif.y4m"
  ff -i "$truth" -vf "select=eq(n\,$frame)" -fps_mode passthrough -frames:v 1 \
    -f yuv4mpegpipe "$tmp/truth.y4m"
  local -a texts=("interlaced input" "vantrel --mode 3" "vantrel --mode 4" \
    "bwdif" "original (frame 2k+1)")
  graph=""
  for i in "${!texts[@]}"; do
    graph+="[$i:v]$(panel "$crop" "${texts[$i]}")[p$i];"
  done
  graph+="[p0][p1][p2][p3][p4]hstack=inputs=5,format=rgb24"
  ff -i "$tmp/in.y4m" -i "$tmp/mode3.y4m" -i "$tmp/mode4.y4m" -i "$tmp/bwdif.y4m" \
    -i "$tmp/truth.y4m" -filter_complex "$graph" -frames:v 1 -compression_level 9 \
    "$out_dir/$name-crops.png"
  printf 'pictures.sh: wrote %s (%s bytes)\n' "$out_dir/$name-crops.png" \
    "$(stat -c %s "$out_dir/$name-crops.png")" >&2
}

[ -x "$vantrel" ] || die "$vantrel is missing; run make first"
mkdir -p "$out_dir"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
labels=no
ff -f lavfi -i "color=white:size=64x32" -vf "drawtext=text=x" -frames:v 1 -f null - \
  2>/dev/null && labels=yes

picture testsrc2 40 128:112:296:232
picture cockatoo 10 128:112:880:240
