#!/bin/sh
# vantrel.exe under Wine against the Linux tool: the same bytes in every mode
# and with the field, region and thread options, through files and through
# pipes (binary standard streams); and what Windows does its own way: the
# same file under other names, names beyond ASCII, reading past 4 GiB, a
# closed output pipe, Ctrl-C (and its echo), and a reader that leaves while
# input stalls.
# Usage: tool.sh vantrel.exe linux-vantrel wine
set -u
exe=$1
ref=$2
wine=$3
[ -x "$ref" ] || { echo "no Linux tool to compare with; skipped"; exit 77; }
dir=$(mktemp -d)
pids=""
trap 'for p in $pids; do kill $p 2>/dev/null; done; rm -rf "$dir"' EXIT
cd "$dir" || exit 1
# Wine reads the command line in the locale's encoding.
export LC_ALL=C.UTF-8
status=0
fail() {
  echo "FAIL: $*" >&2
  status=1
}
win() { "$wine" "$exe" "$@"; }
# Nothing on standard error but what Wine's own services may say as they
# start (fixme lines, whatever WINEDEBUG says).
quiet() { ! grep -qv '^[0-9a-f]*:fixme:' "$1"; }

ffmpeg -loglevel error -f lavfi -i "testsrc2=size=720x576:rate=50,scroll=h=0.004:v=0.002" \
  -vf "interlace=scan=tff:lowpass=off,format=yuv420p" -frames:v 6 -f yuv4mpegpipe sd.y4m
ffmpeg -loglevel error -f lavfi -i "testsrc2=size=100x60:rate=50" \
  -vf "interlace=scan=bff:lowpass=off,format=yuv420p" -frames:v 3 -f yuv4mpegpipe odd.y4m
head -c 12288 sd.y4m | tail -c 6144 > packed.yuy2

# The same bytes, from files and through pipes.
while IFS='|' read -r input args; do
  "$ref" --quiet $args "$input" ref.out || fail "linux: $args"
  win --quiet $args "$input" file.out || fail "exe: $args"
  cmp -s ref.out file.out || fail "files differ from Linux: $args $input"
  cat "$input" | win --quiet $args - - | cat > pipe.out
  cmp -s ref.out pipe.out || fail "pipes differ from Linux: $args $input"
done <<EOF
sd.y4m|--mode 0
sd.y4m|--mode 1
sd.y4m|--mode 2
sd.y4m|--mode 3
sd.y4m|--mode 4
sd.y4m|--keep top
sd.y4m|--double-rate
sd.y4m|--mode 2 --sub-region 100,50,300,250 --add-region 150,100,200,150
odd.y4m|--double-rate --field-order bff --threads 2 --sub-region 10,4,60,30 --add-region 20,8,40,20
packed.yuy2|--raw 64x48 --pixel-type yuy2 --show-notices
EOF

# The input under another name is refused, and left as it was.
cp sd.y4m in.y4m
ln in.y4m link.y4m
windows_name="Z:$(pwd | tr / '\\')\\in.y4m"
for run in "in.y4m in.y4m" "in.y4m link.y4m" "in.y4m '$windows_name'" "- in.y4m < in.y4m" \
           "in.y4m - >> in.y4m"; do
  eval "win $run" 2> err.txt
  code=$?
  [ $code = 2 ] && grep -q "same file" err.txt || fail "same file '$run': exit $code, $(cat err.txt)"
done
cmp -s in.y4m sd.y4m || fail "a refused run changed its input"

# Names beyond ASCII, in the folder and the file.
mkdir "dír-ñ"
cp sd.y4m "dír-ñ/ünï.y4m"
"$ref" --quiet sd.y4m ref.out
win --quiet "dír-ñ/ünï.y4m" "dír-ñ/日本.y4m" || fail "non-ASCII names"
cmp -s ref.out "dír-ñ/日本.y4m" || fail "non-ASCII names: other bytes"

# Input that starts 5 GiB into a (sparse) file read through standard input.
printf 'YUV4MPEG2 W32 H16 F25:1 It\n' > small.y4m
for f in 1 2 3; do printf 'FRAME\n' >> small.y4m; head -c 768 /dev/urandom >> small.y4m; done
truncate -s 5G big.y4m
cat small.y4m >> big.y4m
"$ref" --quiet small.y4m ref.out
(dd bs=1M skip=5120 count=0 2> /dev/null; win --quiet - far.out) < big.y4m || fail "past 5 GiB"
cmp -s ref.out far.out || fail "reading past 5 GiB gave other bytes"
rm big.y4m

# A reader of the output that leaves ends the run at once and quietly.
(win sd.y4m - 2> err.txt; echo $? > code.txt) | head -c 1000 > /dev/null
[ "$(cat code.txt)" = 0 ] && quiet err.txt || fail "closed pipe: exit $(cat code.txt), $(cat err.txt)"

# Ctrl-C on a stalled input: the frames read are written, then exit 130.
mkfifo feed
head -c $((27 + 2 * 774 + 3)) small.y4m > part.y4m
sh -c 'cat part.y4m; exec sleep 120' > feed &
pids="$pids $!"
"$wine" "$exe" - stalled.out < feed 2> err.txt &
tool=$!
want=$((27 + 2 * 774))
for i in $(seq 100); do
  [ "$(stat -c %s stalled.out 2> /dev/null)" = $want ] && break
  sleep 0.2
done
kill -INT $tool
wait $tool
code=$?
[ $code = 130 ] || fail "Ctrl-C: exit $code"
grep -q "interrupted by Ctrl-C (2 frames were written before it)" err.txt ||
  fail "Ctrl-C: $(cat err.txt)"
[ "$(stat -c %s stalled.out)" = $want ] || fail "Ctrl-C: $(stat -c %s stalled.out) bytes written"

# Ctrl-C while the output stalls, and an echo of it (timeout -s INT signals
# the process, then its group): one interrupt, exit 130. The echo used to
# reach Wine's default handler, which exits with 0.
mkfifo out.fifo
"$wine" "$exe" sd.y4m - > out.fifo 2> err.txt &
tool=$!
exec 3< out.fifo
head -c 100 <&3 > /dev/null  # the tool is running; nothing more is read yet
kill -INT $tool
for i in $(seq 100); do grep -q "no more frames are read" err.txt && break; sleep 0.1; done
kill -INT $tool
cat <&3 > /dev/null; exec 3<&-
wait $tool
code=$?
[ $code = 130 ] && grep -q "interrupted by Ctrl-C" err.txt || fail "echoed Ctrl-C: exit $code, $(cat err.txt)"

# The output's reader leaves while the input stalls: no wait for more input.
sh -c 'cat sd.y4m; exec sleep 120' > feed &
pids="$pids $!"
start=$(date +%s)
(win - - < feed 2> err.txt; echo $? > code.txt) | head -c 9 > /dev/null
[ "$(cat code.txt)" = 0 ] && quiet err.txt || fail "stalled input: exit $(cat code.txt), $(cat err.txt)"
[ $(($(date +%s) - start)) -lt 60 ] || fail "stalled input: the tool waited for more input"

[ $status = 0 ] && echo "vantrel.exe: the Linux tool's bytes, and Windows' own ways, all as expected"
exit $status
