# Sourced by the benchmark scripts: camera clips from Debian packages, taken
# without installing anything, and the interlaced clips woven from sources.
# Needs $work (the scripts' work folder) and log().

# Downloads a Debian package into $work/debs (not installing it) and keeps
# it, so later runs use the same version; then extracts the given files into
# $work/pkg. Prints the version, or nothing when the package cannot be had
# (the caller leaves its clips out and says so).
fetch_package() {
  local name=$1 deb
  shift
  mkdir -p "$work/debs" "$work/pkg"
  deb=$(find "$work/debs" -name "${name}_*.deb" | sort | tail -n 1)
  if [ -z "$deb" ]; then
    log "downloading $name"
    # As root apt warns that its sandbox user can't write here and goes on.
    if ! (cd "$work/debs" && apt-get download -q "$name") >"$work/apt.log" 2>&1; then
      if [ "$(id -u)" = 0 ]; then apt-get update -qq >/dev/null 2>&1 || true; fi
      (cd "$work/debs" && apt-get download -q "$name") >"$work/apt.log" 2>&1 || {
        log "note: package $name is not available: $(tail -n 1 "$work/apt.log")"
        return 0
      }
    fi
    deb=$(find "$work/debs" -name "${name}_*.deb" | sort | tail -n 1)
  fi
  dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$work/pkg" "${@/#/.}"
  dpkg-deb -f "$deb" Version
}

# weave_clip OUT FRAMES INPUT-ARGS FILTERS [PIX_FMT]: FRAMES interlaced frames
# (yuv420p unless PIX_FMT names another) woven
# from twice as many consecutive source frames (the source loops when it is
# shorter), kept in OUT for later runs. Written under another name first, so
# that an interrupted run leaves no short clip behind to be taken for a whole
# one. Prints OUT.
weave_clip() {
  local out=$1
  if [ ! -s "$out" ]; then
    # shellcheck disable=SC2086 # the input arguments are words on purpose
    ffmpeg -nostdin -loglevel error -y -sws_flags bicubic+accurate_rnd+bitexact $3 \
      -vf "$4,format=${5:-yuv420p},interlace=scan=tff:lowpass=off" -frames:v "$2" \
      -strict -1 -f yuv4mpegpipe "$out.part"
    mv "$out.part" "$out"
  fi
  echo "$out"
}
