#!/bin/sh
# make uninstall: removes what the last make install recorded in LIST (the
# files, then the folders it created, if they are left empty), naming each.
#   DESTDIR=... sh tools/uninstall.sh LIST
set -eu
list=$1
if [ ! -f "$list" ]; then
  echo "uninstall: no install recorded in $list (make install writes it)" >&2
  exit 1
fi
recorded=$(sed -n '1s/^# DESTDIR=//p' "$list")
dest=${DESTDIR:-$recorded}
case $dest in /* | "") ;; *) dest=$PWD/$dest ;; esac
if [ "$dest" != "$recorded" ]; then
  echo "uninstall: the last make install went to DESTDIR=$recorded; give that DESTDIR or none" >&2
  exit 1
fi
# Each file and folder is named as it goes, so that the user sees what left.
sed -n 's/^f //p' "$list" | while IFS= read -r f; do
  if [ -e "$f" ] || [ -L "$f" ]; then rm -f "$f" && echo "removed $f"; fi
done
sed -n 's/^d //p' "$list" | while IFS= read -r d; do
  if rmdir "$d" 2>/dev/null; then echo "removed $d/"; fi
done
rm -f "$list"
echo "uninstall: removed what $list recorded"
