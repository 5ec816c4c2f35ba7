# `make package-windows`: vantrel-VERSION-win64.zip with the three binaries
# (stripped) and the README for Windows users, lines ending as Notepad
# expects. The project has no licence file to add.
set(win_package vantrel-${PROJECT_VERSION}-win64)
set(win_stage ${CMAKE_BINARY_DIR}/package/${win_package})
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/README.txt.in
               ${CMAKE_BINARY_DIR}/package/README.txt @ONLY NEWLINE_STYLE CRLF)
add_custom_target(package_windows
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${win_stage}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${win_stage}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:vantrel_cli_tool> $<TARGET_FILE:vantrel_avs_c>
          $<TARGET_FILE:vantrel_vs> ${CMAKE_BINARY_DIR}/package/README.txt ${win_stage}
  COMMAND ${CMAKE_STRIP} ${win_stage}/vantrel.exe ${win_stage}/vantrel.dll
          ${win_stage}/vantrel-vs.dll
  COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}/package
          ${CMAKE_COMMAND} -E tar cf ${CMAKE_BINARY_DIR}/${win_package}.zip --format=zip
          ${win_package}
  DEPENDS vantrel_cli_tool vantrel_avs_c vantrel_vs
  COMMENT "Writing ${win_package}.zip"
  VERBATIM)
