#!/bin/sh
# cmake --install lays out the tool, the plugins and the man page, and the
# installed tool finds the installed plugin from ../lib/avisynth/.
set -eu
build=$1
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
# The component keeps the user's own install_manifest.txt as it is.
cmake --install "$build" --prefix "$stage/usr" --component vantrel >/dev/null
test -x "$stage/usr/bin/vantrel"
test -f "$stage/usr/lib/avisynth/libvantrel.so"
test ! -e "$stage/usr/bin/libvantrel.so"
if [ -f "$build/libvantrel-vs.so" ]; then
  test -f "$stage/usr/lib/vapoursynth/libvantrel-vs.so"
fi
if [ -f "$build/vantrel.1" ]; then
  head -n 5 "$stage/usr/share/man/man1/vantrel.1" | grep -q '^\.TH VANTREL "1"'
fi
printf 'YUV4MPEG2 W32 H16 F25:1 It\nFRAME\n' >"$stage/in.y4m"
head -c 768 /dev/zero >>"$stage/in.y4m"
"$stage/usr/bin/vantrel" --quiet "$stage/in.y4m" "$stage/out.y4m"
test "$(head -c 9 "$stage/out.y4m")" = YUV4MPEG2
echo "installed tool ran with the installed plugin"
