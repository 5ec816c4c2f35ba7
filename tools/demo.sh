#!/bin/sh
# make demo: deinterlace a generated interlaced clip and show one frame before
# and after, whole and as an enlarged crop where the picture moves, and the
# map of what the filter did to it.
set -eu
build=${1:-build}
out="$build/demo"
mkdir -p "$out"
# 50 progressive frames a second, woven two by two into 25 interlaced frames:
# the two fields of each frame come from two different moments, so it combs.
ffmpeg -loglevel error -y -f lavfi \
  -i "testsrc2=size=720x576:rate=50,scroll=h=0.004:v=0.002" \
  -vf "interlace=scan=tff:lowpass=off,format=yuv420p" -frames:v 25 \
  -f yuv4mpegpipe "$out/interlaced.y4m"
"$build/vantrel" --map "$out/map.y4m" "$out/interlaced.y4m" "$out/deinterlaced.y4m"
frame=12
crop="crop=240:160:240:208,scale=iw*3:ih*3:flags=neighbor"
for name in interlaced deinterlaced map; do
  ffmpeg -loglevel error -y -i "$out/$name.y4m" -vf "select=eq(n\,$frame)" -frames:v 1 \
    "$out/$name.png"
  ffmpeg -loglevel error -y -i "$out/$name.y4m" -vf "select=eq(n\,$frame),$crop" -frames:v 1 \
    "$out/$name-crop.png"
done
echo "demo: frame $frame before and after deinterlacing:"
for f in interlaced.png deinterlaced.png interlaced-crop.png deinterlaced-crop.png; do
  echo "  $out/$f"
done
echo "and what the filter did to it (grey: the source; yellow: lines rebuilt by"
echo "interpolation; cyan: blocks repaired by the motion search; a red border:"
echo "a frame combed throughout):"
echo "  $out/map.png"
echo "  $out/map-crop.png"
