# Under Wine besides the engine's and the core's suites: the tool's options
# and system seam, the plugin DLL in the stand-in host, the tool against the
# Linux tool's bytes, and what the binaries export and import.
target_compile_definitions(avisynth_c_tests PRIVATE VANTREL_AVS_C_DLL="$<TARGET_FILE:vantrel_avs_c>")
add_dependencies(avisynth_c_tests vantrel_avs_c)

add_executable(cli_tests ${CMAKE_CURRENT_SOURCE_DIR}/cli/options.cpp
                         ${CMAKE_CURRENT_SOURCE_DIR}/cli/platform.cpp)
target_link_libraries(cli_tests PRIVATE vantrel_cli GTest::gtest GTest::gtest_main)
target_include_directories(cli_tests PRIVATE ${PROJECT_SOURCE_DIR})
add_test(NAME cli_tests COMMAND cli_tests)

# The Linux tool whose bytes vantrel.exe must give (`make test-windows`
# passes the one in build/).
set(VANTREL_REFERENCE_TOOL "" CACHE FILEPATH "The Linux vantrel to compare vantrel.exe with")
add_test(NAME windows_tool
         COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/windows/tool.sh $<TARGET_FILE:vantrel_cli_tool>
                 "${VANTREL_REFERENCE_TOOL}" ${VANTREL_WINE})
set_tests_properties(windows_tool PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600 ENVIRONMENT
  "WINEPREFIX=${VANTREL_WINEPREFIX};WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")

find_program(VANTREL_OBJDUMP NAMES ${VANTREL_MINGW_TRIPLET}-objdump objdump)
add_test(NAME windows_binaries
         COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/windows/binaries.sh ${VANTREL_OBJDUMP}
                 $<TARGET_FILE:vantrel_cli_tool> $<TARGET_FILE:vantrel_avs_c>
                 $<TARGET_FILE:vantrel_vs>)
