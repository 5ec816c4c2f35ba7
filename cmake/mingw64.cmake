# Cross build for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64);
# ctest runs the programs under Wine (`make test-windows`).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VANTREL_MINGW_TRIPLET x86_64-w64-mingw32)

# The -posix compilers: the win32 thread model has no std::thread or std::mutex.
set(CMAKE_C_COMPILER ${VANTREL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VANTREL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VANTREL_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${VANTREL_MINGW_TRIPLET}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${VANTREL_MINGW_TRIPLET}-ranlib CACHE FILEPATH "")

# C99 printf family from MinGW's own library (linked statically) instead of
# msvcrt's, which lacks %zu, %td and %lld on older Windows and prints
# exponents with three digits: messages stay byte-identical to Linux.
set(CMAKE_C_FLAGS_INIT "-D__USE_MINGW_ANSI_STDIO=1")
set(CMAKE_CXX_FLAGS_INIT "-D__USE_MINGW_ANSI_STDIO=1")

set(CMAKE_FIND_ROOT_PATH /usr/${VANTREL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static runtime: the binaries then import only KERNEL32 and msvcrt (plus what
# the code itself calls), with no libstdc++-6, libgcc_s_seh-1 or
# libwinpthread-1 beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Wine runs the test programs. Debian's wine64 package installs the loader as
# /usr/lib/wine/wine64; the `wine` package adds /usr/bin/wine. A prefix of our
# own keeps the user's ~/.wine out of it; WINEDEBUG=-all keeps stderr clean for
# tests that read it.
find_program(VANTREL_WINE NAMES wine wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(NOT DEFINED VANTREL_WINEPREFIX)
  set(VANTREL_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
endif()
if(VANTREL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${CMAKE_COMMAND} -E env WINEPREFIX=${VANTREL_WINEPREFIX} WINEDEBUG=-all
      WINEDLLOVERRIDES=mscoree,mshtml= ${VANTREL_WINE})
else()
  message(STATUS "Wine not found: the build works, its tests need Wine (apt-get install wine64)")
endif()
