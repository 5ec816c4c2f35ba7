#!/bin/sh
# cmake --install lays out the tool, the plugins and the man page; the tool
# needs nothing beside it: a copy alone in an empty folder gives the same
# bytes, and no product carries anything of the tests' stand-in host.
set -eu
build=$1
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
# The component keeps the user's own install_manifest.txt as it is.
cmake --install "$build" --prefix "$stage/usr" --component vantrel >/dev/null
test -x "$stage/usr/bin/vantrel"
test -f "$stage/usr/lib/avisynth/libvantrel.so"
if [ -f "$build/libvantrel-vs.so" ]; then
  test -f "$stage/usr/lib/vapoursynth/libvantrel-vs.so"
fi
if [ -f "$build/vantrel.1.gz" ]; then
  page=$stage/usr/share/man/man1/vantrel.1.gz
  gzip -dc "$page" | head -n 5 | grep -q '^\.TH VANTREL "1"'
  gzip -dc "$page" | grep -q '^\.SH "EXIT STATUS"'
fi
test -f "$stage/usr/share/doc/vantrel/copyright"
for product in "$build/vantrel" "$build/libvantrel-vs.so"; do
  if nm -C "$product" | grep -q 'vantrel::host::'; then
    echo "$product carries the stand-in host" >&2
    exit 1
  fi
done
mkdir "$stage/alone"
cp "$build/vantrel" "$stage/alone/"
printf 'YUV4MPEG2 W48 H32 F25:1 It\nFRAME\n' >"$stage/in.y4m"
head -c 2304 /dev/urandom >>"$stage/in.y4m"
"$stage/alone/vantrel" --quiet "$stage/in.y4m" "$stage/alone.y4m"
"$build/vantrel" --quiet "$stage/in.y4m" "$stage/built.y4m"
cmp "$stage/alone.y4m" "$stage/built.y4m"
echo "a copy of the tool alone gives the build's bytes"

# make install and make uninstall: what the install created goes, a folder
# that was there before stays, whatever rewrites cmake's manifest in between.
root=$stage/destdir
mkdir -p "$root/usr/share/man"
touch "$root/usr/share/man/theirs"
here=$(cd "$(dirname "$0")/../.." && pwd)
DESTDIR=$root sh "$here/tools/install.sh" "$build" /usr "$stage/list" >/dev/null
test -x "$root/usr/bin/vantrel"
# As cpack does: another install, which rewrites cmake's record.
cmake --install "$build" --prefix "$stage/other" --component vantrel >/dev/null
DESTDIR=$root sh "$here/tools/uninstall.sh" "$stage/list" >/dev/null
left=$(cd "$root" && find . -mindepth 1 | sort | tr '\n' ' ')
[ "$left" = "./usr ./usr/share ./usr/share/man ./usr/share/man/theirs " ] ||
  { echo "uninstall left: $left" >&2; exit 1; }
