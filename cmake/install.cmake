# `make install` and `cmake --install build`: the tool in bin/, the plugin
# where AviSynth+ autoloads plugins under the same prefix, the VapourSynth
# plugin where VapourSynth autoloads them, and the man page; `make package`
# puts the same files into a .deb.
include(GNUInstallDirs)
set(VANTREL_AVISYNTH_DIR lib/avisynth)
# One component, so a test can install it apart from a user's install manifest.
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
  set(man_page ${CMAKE_BINARY_DIR}/vantrel.1)
  add_custom_command(
    OUTPUT ${man_page}
    COMMAND ${VANTREL_HELP2MAN} --no-info
            --section 1 --name "deinterlace video with the Vantrel filter"
            --output ${man_page} $<TARGET_FILE:vantrel_cli_tool>
    DEPENDS vantrel_cli_tool
    COMMENT "Writing the man page from vantrel --help")
  add_custom_target(vantrel_man_page ALL DEPENDS ${man_page})
  install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
elseif(TARGET vantrel_cli_tool)
  message(STATUS "help2man not found: no man page (apt-get install help2man)")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Vantrel maintainers <maintainers@vantrel.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "video deinterlacer: AviSynth+ and VapourSynth plugins and a command-line tool")
set(CPACK_PACKAGE_DESCRIPTION
    "Vantrel rebuilds the second field of interlaced frames where the picture combs, with a \
motion-compensated repair. The vantrel tool runs it on YUV4MPEG2 or raw video between ffmpeg \
and an encoder; libvantrel.so loads in AviSynth+ and libvantrel-vs.so in VapourSynth.")
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
