cmake_minimum_required(VERSION 3.25)
# cmake -DROOT=<source dir> -DCORE=<core files, separated by "|"> -P check-layers.cmake
#
# The layer rules, checked on the sources before the compiler or the linker
# gets to them:
#   1. a core file (one that vevez_core builds) includes no Qt header, and of
#      the project's own headers only core ones;
#   2. no folder includes a file from a folder that includes it back.
if(NOT ROOT OR NOT CORE)
  message(FATAL_ERROR "check-layers.cmake: ROOT and CORE must be set")
endif()
string(REPLACE "|" ";" core_files "${CORE}")
set(folders app codec editor import leakcheck settings ui wordlist)

set(core_rel "")
foreach(f IN LISTS core_files)
  file(RELATIVE_PATH rel "${ROOT}" "${f}")
  list(APPEND core_rel "${rel}")
endforeach()

set(failures "")
foreach(rel IN LISTS core_rel)
  file(STRINGS "${ROOT}/${rel}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*)[>\"].*" "\\1" header "${line}")
    if(header MATCHES "^Q[A-Za-z]*$" OR header MATCHES "^Qt[A-Za-z]*/")
      string(APPEND failures "  ${rel} includes the Qt header <${header}>: the core builds without Qt; "
                             "move the code that needs Qt to a GUI file (see CONTRIBUTING.md)\n")
    elseif(line MATCHES "\"" AND EXISTS "${ROOT}/${header}" AND NOT header IN_LIST core_rel)
      string(APPEND failures "  ${rel} includes \"${header}\", which is not a core file\n")
    endif()
  endforeach()
endforeach()

# Folder edges: from -> to whenever a file of `from` includes one of `to`.
foreach(from IN LISTS folders)
  set(edges_${from} "")
  file(GLOB sources "${ROOT}/${from}/*.h" "${ROOT}/${from}/*.cpp")
  foreach(src IN LISTS sources)
    file(STRINGS "${src}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS includes)
      foreach(to IN LISTS folders)
        if(NOT to STREQUAL from AND line MATCHES "\"${to}/")
          list(APPEND edges_${from} "${to}")
        endif()
      endforeach()
    endforeach()
  endforeach()
endforeach()
foreach(a IN LISTS folders)
  foreach(b IN LISTS folders)
    if(a STRLESS b AND b IN_LIST edges_${a} AND a IN_LIST edges_${b})
      string(APPEND failures "  ${a}/ and ${b}/ include each other: folders must not include in a circle\n")
    endif()
  endforeach()
endforeach()

if(failures)
  message(FATAL_ERROR "Layer rule broken:\n${failures}")
endif()
list(LENGTH core_rel n)
message(STATUS "layers: ${n} core files include no Qt; no two folders include each other")
