#!/bin/sh
# Installs, quietly and only when missing, what one group of targets needs:
#   build  make: cmake, g++, ninja, Highway's headers, help2man (the man page)
#   demo   make demo: the build's, and ffmpeg
#   test   make test, test-sanitize, test-aarch64 (and test-windows)
#   bench  make bench: the build's, ffmpeg and Google Benchmark
set -e
group=${1:-build}
missing=""
need_command() { command -v "$1" >/dev/null 2>&1 || missing="$missing $2"; }
need_file() { [ -f "$1" ] || missing="$missing $2"; }

need_build() {
  need_command cmake cmake
  need_command g++ g++
  need_command ninja ninja-build
  need_file /usr/include/hwy/highway.h libhwy-dev
  need_command help2man help2man
}

case $group in
  build) need_build ;;
  demo)
    need_build
    need_command ffmpeg ffmpeg
    ;;
  test)
    need_build
    need_command ffmpeg ffmpeg
    need_file /usr/include/gtest/gtest.h libgtest-dev
    # make test-aarch64: the cross compiler, qemu, and GoogleTest's sources.
    need_command aarch64-linux-gnu-g++ g++-aarch64-linux-gnu
    need_command qemu-aarch64 qemu-user
    need_file /usr/src/googletest/CMakeLists.txt googletest
    # make test-windows: MinGW-w64 (the -posix compilers have std::thread) and Wine.
    need_command x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64-posix
    [ -x /usr/lib/wine/wine64 ] || need_command wine wine64
    ;;
  bench)
    need_build
    need_command ffmpeg ffmpeg
    need_file /usr/include/benchmark/benchmark.h libbenchmark-dev
    ;;
  *)
    echo "install-deps.sh: no group '$group' (build, demo, test or bench)" >&2
    exit 2
    ;;
esac
[ -z "$missing" ] && exit 0
if [ "$(id -u)" != 0 ]; then
  echo "missing for make $group:$missing; install them (as root: apt-get install$missing)" >&2
  exit 1
fi
echo "installing for make $group:$missing"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq >/dev/null
apt-get install -y -qq --no-install-recommends $missing >/dev/null
