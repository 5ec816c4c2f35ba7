#!/bin/sh
# The plugin library must export exactly one symbol: its entry point.
set -eu
lib=$1
symbols=$(nm -D --defined-only "$lib" | awk '{print $3}' | sort)
if [ "$symbols" != "AvisynthPluginInit2" ]; then
  echo "libvantrel.so exports more than its entry point:" >&2
  echo "$symbols" >&2
  exit 1
fi
echo "exports: $symbols"
