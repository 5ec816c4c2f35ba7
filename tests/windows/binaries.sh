#!/bin/sh
# Each DLL exports its entry points and nothing else, the tool nothing, and
# all three import only KERNEL32 and msvcrt, which every Windows has.
# Usage: binaries.sh objdump vantrel.exe vantrel.dll vantrel-vs.dll
objdump=$1
status=0
check() {  # what binary expected-exports
  exports=$("$objdump" -p "$2" | awk '/^\[Ordinal\/Name Pointer\] Table/ { t = 1; next }
    t && /^$/ { t = 0 } t { print $NF }' | sort | tr '\n' ' ')
  imports=$("$objdump" -p "$2" | awk '/DLL Name:/ { print $3 }' | sort | tr '\n' ' ')
  echo "$1: exports '$exports', imports '$imports'"
  [ "$exports" = "$3" ] && [ "$imports" = "KERNEL32.dll msvcrt.dll " ] || status=1
}
check tool "$2" ""
check AviSynth+ "$3" "avisynth_c_plugin_init avisynth_c_plugin_init2 "
check VapourSynth "$4" "VapourSynthPluginInit2 "
exit $status
