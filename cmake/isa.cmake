# The file suffix picks the instruction set: foo_sse2.cpp builds with -msse2,
# foo_avx2.cpp with -mavx2; every other file targets the baseline.
function(vantrel_isa_flags)
  foreach(src IN LISTS ARGN)
    if(src MATCHES "_sse2\\.cpp$")
      set_source_files_properties(${src} PROPERTIES COMPILE_OPTIONS "-msse2")
    elseif(src MATCHES "_avx2\\.cpp$")
      set_source_files_properties(${src} PROPERTIES COMPILE_OPTIONS "-mavx2")
    endif()
  endforeach()
endfunction()
