#!/bin/sh
# Installs, quietly and only when missing, what building and testing need.
set -e
missing=""
command -v cmake >/dev/null 2>&1 || missing="$missing cmake"
command -v g++ >/dev/null 2>&1 || missing="$missing g++"
command -v ninja >/dev/null 2>&1 || missing="$missing ninja-build"
command -v ffmpeg >/dev/null 2>&1 || missing="$missing ffmpeg"
command -v help2man >/dev/null 2>&1 || missing="$missing help2man"
[ -f /usr/include/gtest/gtest.h ] || missing="$missing libgtest-dev"
[ -f /usr/include/benchmark/benchmark.h ] || missing="$missing libbenchmark-dev"
[ -f /usr/include/hwy/highway.h ] || missing="$missing libhwy-dev"
# make test-aarch64: the cross compiler, qemu, and GoogleTest's sources.
command -v aarch64-linux-gnu-g++ >/dev/null 2>&1 || missing="$missing g++-aarch64-linux-gnu"
command -v qemu-aarch64 >/dev/null 2>&1 || missing="$missing qemu-user"
[ -f /usr/src/googletest/CMakeLists.txt ] || missing="$missing googletest"
# make test-windows: MinGW-w64 (the -posix compilers have std::thread) and Wine.
command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || missing="$missing g++-mingw-w64-x86-64-posix"
command -v wine >/dev/null 2>&1 || [ -x /usr/lib/wine/wine64 ] || missing="$missing wine64"
[ -z "$missing" ] && exit 0
if [ "$(id -u)" != 0 ]; then
  echo "missing:$missing; install them (as root: apt-get install$missing)" >&2
  exit 1
fi
echo "installing:$missing"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq >/dev/null
apt-get install -y -qq --no-install-recommends $missing >/dev/null
