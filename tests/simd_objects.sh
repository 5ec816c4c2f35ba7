#!/bin/sh
# The engine's objects as the linker sees them. A SIMD object may hold no
# weak or COMDAT (section group) symbol: the linker could keep its wide
# copy of an inline function for everyone, and a processor without that
# target would then run wide code outside the SIMD dispatch. A baseline
# object may hold no wide-register (ymm/zmm) instruction at all.
#
# usage: simd_objects.sh OBJECT...   (objects under a simd/ folder are SIMD)
set -eu
status=0
simd=0
for object in "$@"; do
  case "$object" in
    */simd/*)
      simd=$((simd + 1))
      weak=$(nm "$object" | awk '$(NF-1) ~ /^[WwVvu]$/ { print $NF }')
      groups=$(readelf -g "$object" | grep -i 'COMDAT' || true)
      if [ -n "$weak$groups" ]; then
        echo "$object: weak or COMDAT symbols:" >&2
        echo "$weak" "$groups" | head -20 >&2
        status=1
      fi
      ;;
    *)
      wide=$(objdump -d --no-show-raw-insn "$object" | grep -E '%[yz]mm[0-9]' | head -5 || true)
      if [ -n "$wide" ]; then
        echo "$object: wide-register instructions in a baseline object:" >&2
        echo "$wide" >&2
        status=1
      fi
      ;;
  esac
done
if [ "$simd" = 0 ]; then
  echo "simd_objects.sh: no SIMD object among the arguments" >&2
  exit 1
fi
[ "$status" = 0 ] && echo "simd_objects.sh: $simd SIMD objects clean, baseline objects narrow"
exit "$status"
