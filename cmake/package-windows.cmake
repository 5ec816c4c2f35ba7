# `make package-windows`: vantrel-VERSION-win64.zip with the three binaries
# (stripped), the README for Windows users, the licence, what the binaries
# carry besides Vantrel's own code (THIRD-PARTY.txt), and the texts that
# those parts' licences ask to be passed on with them (licenses/): lines end
# as Notepad expects.
set(win_package vantrel-${PROJECT_VERSION}-win64)
set(win_stage ${CMAKE_BINARY_DIR}/package/${win_package})
set(win_texts ${CMAKE_BINARY_DIR}/package/texts)

# Copies a text file with CR LF line ends.
function(vantrel_windows_text from to)
  if(NOT EXISTS ${from})
    message(WARNING "${from} is missing: the Windows zip goes without it")
    return()
  endif()
  file(READ ${from} text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${to} "${text}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${from})
endfunction()

configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/README.txt.in
               ${win_texts}/README.txt @ONLY NEWLINE_STYLE CRLF)
vantrel_windows_text(${PROJECT_SOURCE_DIR}/LICENSE ${win_texts}/LICENSE.txt)
vantrel_windows_text(${PROJECT_SOURCE_DIR}/THIRD-PARTY.txt ${win_texts}/THIRD-PARTY.txt)
# Debian's own copies: the Apache-2.0 text (Highway), and the copyright files
# of the MinGW-w64 runtime and of GCC's libraries as the cross compiler has them.
vantrel_windows_text(/usr/share/common-licenses/Apache-2.0 ${win_texts}/licenses/Apache-2.0.txt)
vantrel_windows_text(/usr/share/doc/mingw-w64-x86-64-dev/copyright
                     ${win_texts}/licenses/mingw-w64-runtime.txt)
vantrel_windows_text(/usr/share/doc/g++-mingw-w64-x86-64-posix/copyright
                     ${win_texts}/licenses/gcc-runtime-libraries.txt)

add_custom_target(package_windows
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${win_stage}
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${win_texts} ${win_stage}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:vantrel_cli_tool> $<TARGET_FILE:vantrel_avs_c>
          $<TARGET_FILE:vantrel_vs> ${win_stage}
  COMMAND ${CMAKE_STRIP} ${win_stage}/vantrel.exe ${win_stage}/vantrel.dll
          ${win_stage}/vantrel-vs.dll
  COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}/package
          ${CMAKE_COMMAND} -E tar cf ${CMAKE_BINARY_DIR}/${win_package}.zip --format=zip
          ${win_package}
  DEPENDS vantrel_cli_tool vantrel_avs_c vantrel_vs
  COMMENT "Writing ${win_package}.zip"
  VERBATIM)
