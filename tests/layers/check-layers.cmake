cmake_minimum_required(VERSION 3.25)
# cmake -DROOT=<source dir> -P check-layers.cmake
#
# The layer rules, checked on the folders of the sources before the compiler
# or the linker gets to them. Each folder has a place in the order below and
# includes only folders that come before it, so no two folders can include
# each other, directly or round a circle:
#   - core/ (plain C++) includes no Qt header and nothing outside core/;
#   - leakcheck/ (the allocation counter) includes no Qt and no other folder;
#   - gui/kit includes no other gui folder, gui/dialogs never reach the main
#     window, and only gui/window, the program, reaches the counter.
# A folder that is not in the order is an error too: place it.
if(NOT ROOT)
  message(FATAL_ERROR "check-layers.cmake: ROOT must be set")
endif()
set(order
  core/text core/files core/wordlist core/settings core/quiz core/import core/records core/session
  leakcheck
  gui/kit gui/dialogs gui/stats gui/leakbox gui/window)
set(qt_free core/text core/files core/wordlist core/settings core/quiz core/import core/records
    core/session leakcheck)

set(failures "")
file(GLOB_RECURSE sources RELATIVE "${ROOT}" "${ROOT}/core/*.h" "${ROOT}/core/*.cpp" "${ROOT}/gui/*.h"
     "${ROOT}/gui/*.cpp" "${ROOT}/leakcheck/*.h" "${ROOT}/leakcheck/*.cpp")
set(checked 0)
foreach(rel IN LISTS sources)
  get_filename_component(folder "${rel}" DIRECTORY)
  list(FIND order "${folder}" rank)
  if(rank LESS 0)
    string(APPEND failures "  ${rel}: the folder ${folder}/ has no place in the layer order (tests/layers)\n")
    continue()
  endif()
  math(EXPR checked "${checked} + 1")
  file(STRINGS "${ROOT}/${rel}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*)[>\"].*" "\\1" header "${line}")
    if(folder IN_LIST qt_free AND (header MATCHES "^Q[A-Za-z]*$" OR header MATCHES "^Qt[A-Za-z]*/"))
      string(APPEND failures "  ${rel} includes the Qt header <${header}>: ${folder}/ builds without Qt; "
                             "move the code that needs Qt under gui/ (see CONTRIBUTING.md)\n")
    elseif(line MATCHES "\"" AND EXISTS "${ROOT}/${header}")
      get_filename_component(to "${header}" DIRECTORY)
      list(FIND order "${to}" toRank)
      if(NOT to STREQUAL folder AND NOT toRank LESS rank)
        string(APPEND failures "  ${rel} includes \"${header}\": ${folder}/ may include only the folders "
                               "before it in the layer order\n")
      endif()
    endif()
  endforeach()
endforeach()

if(failures)
  message(FATAL_ERROR "Layer rule broken:\n${failures}")
endif()
message(STATUS "layers: ${checked} files; core/ and leakcheck/ include no Qt; every folder includes only "
               "the folders before it")
