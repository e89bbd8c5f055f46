# cmake -DDEST=<dir> -P place-missing.cmake -- FILE...
# Copies each FILE into DEST unless DEST already holds an entry of that name
# (a file, a directory, or a symbolic link, even a broken one). Existing
# entries are never touched.
if(NOT DEST)
  message(FATAL_ERROR "place-missing.cmake: DEST not set")
endif()
file(MAKE_DIRECTORY "${DEST}")

set(files_started FALSE)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE ${last})
  set(arg "${CMAKE_ARGV${i}}")
  if(files_started)
    get_filename_component(name "${arg}" NAME)
    set(target "${DEST}/${name}")
    if(EXISTS "${target}" OR IS_SYMLINK "${target}")
      continue()
    endif()
    # Copy under a temporary name and rename, so an interrupted build never
    # leaves a half-written file that would then count as present.
    # NO_REPLACE keeps a file that appeared meanwhile; CMake may carry it out
    # as a hard link, so the temporary name is removed either way.
    file(COPY_FILE "${arg}" "${target}.part")
    file(RENAME "${target}.part" "${target}" NO_REPLACE RESULT result)
    file(REMOVE "${target}.part")
    if(result STREQUAL "0")
      message(STATUS "Placed ${target}")
    endif()
  elseif(arg STREQUAL "--")
    set(files_started TRUE)
  endif()
endforeach()
