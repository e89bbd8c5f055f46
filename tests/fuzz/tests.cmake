# libFuzzer targets over loading and saving word files, telling their
# encoding, the settings file layer and the import readers (clang only):
#   cmake -S . -B build-fuzz -DVEVEZ_CORE_ONLY=ON -DVEVEZ_FUZZ=ON \
#         -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
# The fuzzer links its own copy of the core, built with coverage and
# AddressSanitizer, so the ordinary vevez_core (and everything that links it)
# stays uninstrumented. Nothing here needs Qt, so it builds with or without
# VEVEZ_CORE_ONLY.
if(VEVEZ_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "VEVEZ_FUZZ needs clang: -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++")
  endif()
  get_target_property(VEVEZ_CORE_SOURCES vevez_core SOURCES)
  get_target_property(VEVEZ_CORE_DIR vevez_core SOURCE_DIR)
  list(TRANSFORM VEVEZ_CORE_SOURCES PREPEND ${VEVEZ_CORE_DIR}/)
  add_library(vevez_core_fuzz STATIC ${VEVEZ_CORE_SOURCES})
  target_include_directories(vevez_core_fuzz PUBLIC ${CMAKE_SOURCE_DIR})
  target_compile_options(vevez_core_fuzz PRIVATE -fsanitize=fuzzer-no-link,address)
  get_target_property(VEVEZ_CORE_LIBS vevez_core LINK_LIBRARIES)
  if(VEVEZ_CORE_LIBS)
    target_link_libraries(vevez_core_fuzz PUBLIC ${VEVEZ_CORE_LIBS})
  endif()

  foreach(target wordfile_fuzz settings_fuzz import_fuzz detect_fuzz)
    add_executable(${target} ${CMAKE_CURRENT_LIST_DIR}/${target}.cpp)
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer,address)
    target_link_options(${target} PRIVATE -fsanitize=fuzzer,address)
    target_link_libraries(${target} PRIVATE vevez_core_fuzz)
    target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  endforeach()
endif()
