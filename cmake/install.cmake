# `make install` and `cmake --install build`: the tool in bin/, the plugin
# where AviSynth+ autoloads plugins under the same prefix, the VapourSynth
# plugin where VapourSynth autoloads them, the man page, and the copyright and
# changelog; `make package` puts the same files into a .deb.
include(GNUInstallDirs)
set(VANTREL_AVISYNTH_DIR lib/avisynth)
# One component: `make install` (tools/install.sh) and the tests install it
# without touching cmake's install_manifest.txt, which cpack rewrites.
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME vantrel)

if(TARGET vantrel_cli_tool)
  install(TARGETS vantrel_cli_tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(TARGET vantrel)
  install(TARGETS vantrel LIBRARY DESTINATION ${VANTREL_AVISYNTH_DIR})
endif()
# VapourSynth autoloads the plugins in lib/vapoursynth under its own prefix.
if(TARGET vantrel_vs)
  install(TARGETS vantrel_vs LIBRARY DESTINATION lib/vapoursynth)
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
# changelog (gzipped, without a time stamp inside).
set(doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/vantrel)
string(TIMESTAMP VANTREL_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in
               ${CMAKE_BINARY_DIR}/debian/changelog @ONLY)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/debian/changelog.gz
  COMMAND gzip -9nkf ${CMAKE_BINARY_DIR}/debian/changelog
  DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog)
add_custom_target(vantrel_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright
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
find_program(VANTREL_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(VANTREL_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
endif()
include(CPack)
