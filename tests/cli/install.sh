#!/bin/sh
# cmake --install lays out the tool, the plugins and the man page; the tool
# needs nothing beside it: a copy alone in an empty folder gives the same
# bytes, and no product carries anything of the tests' stand-in host. The
# plugins go where hosts built for the prefix look, in the .deb too, which
# has a machine-readable copyright and no ldconfig calls; `make uninstall`
# still works after `make clean`, and names what it removes.
set -eu
build=$(cd "$1" && pwd)
fail() { echo "$*" >&2; exit 1; }
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
grep -q '^License: BSD-2-Clause$' "$stage/usr/share/doc/vantrel/copyright"

# AviSynth+ (CMake) and VapourSynth autoload from LIBDIR/avisynth and
# LIBDIR/vapoursynth, LIBDIR being lib/<multiarch> for the prefix /usr on Debian.
multiarch=$(gcc -print-multiarch 2>/dev/null || true)
if [ -f /etc/debian_version ] && [ -n "$multiarch" ]; then
  DESTDIR=$stage/system cmake --install "$build" --prefix /usr --component vantrel >/dev/null
  for plugin in avisynth/libvantrel.so vapoursynth/libvantrel-vs.so; do
    [ ! -f "$build/${plugin#*/}" ] || test -f "$stage/system/usr/lib/$multiarch/$plugin"
  done
  if command -v cpack >/dev/null && command -v dpkg-deb >/dev/null; then
    cp -p "$build/install_manifest.txt" "$stage/" 2>/dev/null || true  # cpack rewrites it
    (cd "$stage" && cpack --config "$build/CPackConfig.cmake" -B deb) >"$stage/log" 2>&1 ||
      fail "cpack: $(cat "$stage/log")"
    cp -p "$stage/install_manifest.txt" "$build/" 2>/dev/null || true
    dpkg-deb -c "$stage"/deb/*.deb >"$stage/contents"
    grep -q " ./usr/lib/$multiarch/avisynth/libvantrel.so$" "$stage/contents" ||
      fail ".deb: $(cat "$stage/contents")"
    dpkg-deb -e "$stage"/deb/*.deb "$stage/control"
    ! grep -qs ldconfig "$stage/control/postinst" "$stage/control/postrm" || fail ".deb runs ldconfig"
  fi
fi
for product in "$build/vantrel" "$build/libvantrel-vs.so"; do
  ! nm -C "$product" | grep -q 'vantrel::host::' || fail "$product carries the stand-in host"
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
  fail "uninstall left: $left"

# make install, make clean, make uninstall: the record of the install
# outlives the build folder. A copy of the Makefile runs with its build
# folder a link to this build, which clean removes, not what it points to.
project=$stage/project
mkdir "$project"
cp "$here/Makefile" "$project/"
ln -s "$here/tools" "$project/tools"
ln -s "$build" "$project/build"
make -s -C "$project" -o build install PREFIX="$stage/prefix" >/dev/null
make -s -C "$project" clean
test ! -e "$project/build"
make -s -C "$project" uninstall >"$stage/said"
grep -q "^removed $stage/prefix/bin/vantrel$" "$stage/said" || fail "uninstall said: $(cat "$stage/said")"
test ! -e "$stage/prefix" || fail "uninstall left: $(find "$stage/prefix")"
