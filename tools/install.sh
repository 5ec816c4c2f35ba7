#!/bin/sh
# make install: installs the build and records for make uninstall the files it
# wrote and the folders it had to create, with DESTDIR, in LIST. The record is
# the tool's own: whatever rewrites cmake's install_manifest.txt in between
# (cpack does) cannot change what uninstall removes.
#   DESTDIR=... sh tools/install.sh BUILD PREFIX LIST
set -eu
build=$1 prefix=$2 list=$3
dest=${DESTDIR:-}
case $dest in /* | "") ;; *) dest=$PWD/$dest ;; esac
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A trial install into an empty folder names the files; the folders missing
# now are those the real install will create.
DESTDIR=$work/stage cmake --install "$build" --prefix "$prefix" --component vantrel >/dev/null
(cd "$work/stage" && find . ! -type d) | sed 's#^\.##' | sort >"$work/files"
: >"$work/dirs"
while IFS= read -r f; do
  d=$(dirname "$f")
  while [ "$d" != / ] && [ ! -d "$dest$d" ]; do
    echo "$d" >>"$work/dirs"
    d=$(dirname "$d")
  done
done <"$work/files"
DESTDIR=$dest cmake --install "$build" --prefix "$prefix" --component vantrel
{
  echo "# DESTDIR=$dest"
  sed "s#^#f $dest#" "$work/files"
  # Deepest first, so each is empty when its turn comes.
  sort -ru "$work/dirs" | sed "s#^#d $dest#"
} >"$list"
