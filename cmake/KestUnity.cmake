# Unity builds that a compiler cache can share between checkouts.
#
# CMake's own unity files include each source by its absolute path, so the same commit in
# another folder (CI clones anew every run) hashes differently and the cache never hits.
# These unity files include the sources by a path relative to the unity file itself; the
# build folders live inside the source tree, so the text is the same in every checkout.
#
# kest_unity_sources(<out-var> <name> <file>...): with KEST_UNITY on, the .cpp files of the
# list are replaced by unity files of KEST_UNITY_BATCH sources each (headers, resources and
# other files pass through, so AUTOMOC and AUTORCC still see them); otherwise the list is
# returned as it is.
set(KEST_UNITY_BATCH 8 CACHE STRING "Sources per unity file (KEST_UNITY)")

function(kest_unity_sources out name)
  if(NOT KEST_UNITY)
    set(${out} ${ARGN} PARENT_SCOPE)
    return()
  endif()
  set(kept)
  set(cpp)
  foreach(f ${ARGN})
    if(f MATCHES "\\.cpp$")
      list(APPEND cpp ${f})
    else()
      list(APPEND kept ${f})
    endif()
  endforeach()
  list(SORT cpp)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/unity)
  set(batch 0)
  set(n 0)
  set(text "")
  set(units)
  list(LENGTH cpp total)
  set(i 0)
  foreach(f ${cpp})
    file(RELATIVE_PATH rel ${dir} ${f})
    string(APPEND text "#include \"${rel}\"\n")
    math(EXPR n "${n} + 1")
    math(EXPR i "${i} + 1")
    if(n EQUAL KEST_UNITY_BATCH OR i EQUAL total)
      set(unit ${dir}/${name}_${batch}.cpp)
      # Written only when the text changes, so a re-configure rebuilds nothing.
      file(CONFIGURE OUTPUT ${unit} CONTENT "${text}" @ONLY)
      list(APPEND units ${unit})
      math(EXPR batch "${batch} + 1")
      set(n 0)
      set(text "")
    endif()
  endforeach()
  set(${out} ${units} ${kept} PARENT_SCOPE)
endfunction()
