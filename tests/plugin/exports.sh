#!/bin/sh
# A plugin library must export exactly one symbol: its entry point.
set -eu
lib=$1
entry=$2
symbols=$(nm -D --defined-only "$lib" | awk '{print $3}' | sort)
if [ "$symbols" != "$entry" ]; then
  echo "$lib exports more than its entry point $entry:" >&2
  echo "$symbols" >&2
  exit 1
fi
echo "exports: $symbols"
