# `make install` and `cmake --install build`: the tool in bin/, the plugins
# where AviSynth+ and VapourSynth autoload plugins under the same prefix, the
# man page, and the licence, copyright and changelog; `make package` puts the
# same files into a .deb.
include(GNUInstallDirs)
# One component: `make install` (tools/install.sh) and the tests install it
# without touching cmake's install_manifest.txt, which cpack rewrites.
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME vantrel)

# AviSynth+ autoloads from LIBDIR/avisynth as GNUInstallDirs gives LIBDIR for
# the prefix it was built for (lib/<multiarch> for /usr on Debian, lib for
# /usr/local), and VapourSynth from LIBDIR/vapoursynth. The prefix is known
# only when installing (`make install PREFIX=`, the .deb's /usr), so the
# folder is chosen then.
if(EXISTS /etc/debian_version AND CMAKE_LIBRARY_ARCHITECTURE AND NOT CMAKE_CROSSCOMPILING)
  set(usr_libdir lib/${CMAKE_LIBRARY_ARCHITECTURE})
  set(other_libdir lib)
else()
  set(usr_libdir ${CMAKE_INSTALL_LIBDIR})
  set(other_libdir ${CMAKE_INSTALL_LIBDIR})
endif()
install(CODE "
  if(CMAKE_INSTALL_PREFIX MATCHES \"^/usr/?$\")
    set(VANTREL_PLUGIN_LIBDIR ${usr_libdir})
  else()
    set(VANTREL_PLUGIN_LIBDIR ${other_libdir})
  endif()")

if(TARGET vantrel_cli_tool)
  install(TARGETS vantrel_cli_tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(TARGET vantrel)
  install(TARGETS vantrel LIBRARY DESTINATION \${VANTREL_PLUGIN_LIBDIR}/avisynth)
endif()
if(TARGET vantrel_vs)
  install(TARGETS vantrel_vs LIBRARY DESTINATION \${VANTREL_PLUGIN_LIBDIR}/vapoursynth)
endif()

# The man page is the tool's --help, made at build time by Debian's help2man.
# Without help2man (or when the tool cannot run here) the build goes on
# without the page and says so.
find_program(VANTREL_HELP2MAN help2man)
if(TARGET vantrel_cli_tool AND VANTREL_HELP2MAN AND NOT CMAKE_CROSSCOMPILING)
  set(man_page ${CMAKE_BINARY_DIR}/vantrel.1.gz)
  add_custom_command(
    OUTPUT ${man_page}
    COMMAND ${CMAKE_COMMAND} -DHELP2MAN=${VANTREL_HELP2MAN}
            -DTOOL=$<TARGET_FILE:vantrel_cli_tool> -DOUTPUT=${man_page}
            -P ${PROJECT_SOURCE_DIR}/cmake/man_page.cmake
    DEPENDS vantrel_cli_tool ${PROJECT_SOURCE_DIR}/cmake/man_page.cmake
    COMMENT "Writing the man page from vantrel --help")
  add_custom_target(vantrel_man_page ALL DEPENDS ${man_page})
  install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
elseif(TARGET vantrel_cli_tool)
  message(STATUS "help2man not found: no man page (apt-get install help2man)")
endif()

# What Debian asks of every package's doc folder: the copyright, and a
# changelog (gzipped, without a time stamp inside). The copyright is in
# Debian's machine-readable form, the licence's terms taken from LICENSE
# (past its title and copyright line), indented as the format wants.
set(doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/vantrel)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
string(REGEX REPLACE "^.*Copyright[^\n]*\n\n" "" licence "${licence}")
string(STRIP "${licence}" licence)
string(REPLACE "\n\n" "\n.\n" licence "${licence}")
string(REPLACE "\n" "\n " VANTREL_LICENSE_TERMS " ${licence}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/copyright.in
               ${CMAKE_BINARY_DIR}/debian/copyright @ONLY)
string(TIMESTAMP VANTREL_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in
               ${CMAKE_BINARY_DIR}/debian/changelog @ONLY)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/debian/changelog.gz
  COMMAND gzip -9nkf ${CMAKE_BINARY_DIR}/debian/changelog
  DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog)
add_custom_target(vantrel_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/debian/copyright
              ${CMAKE_BINARY_DIR}/debian/changelog.gz
        DESTINATION ${doc_dir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Vantrel maintainers <maintainers@vantrel.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "video deinterlacer: AviSynth+ and VapourSynth plugins and a command-line tool")
# Lines of at most 80 columns, as the control file shows them.
set(CPACK_PACKAGE_DESCRIPTION
    "Vantrel rebuilds the second field of interlaced frames where the picture
combs, with a motion-compensated repair. The vantrel tool runs it on
YUV4MPEG2 or raw video between ffmpeg and an encoder; libvantrel.so loads
in AviSynth+ and libvantrel-vs.so in VapourSynth.")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The install then sees the prefix /usr itself, and picks the plugins' folder.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
find_program(VANTREL_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(VANTREL_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
endif()
include(CPack)
