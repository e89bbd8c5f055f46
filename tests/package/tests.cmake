# The desktop entry, the AppStream metadata and the Debian package pass the
# checks the desktop and Debian apply to them.
if(NOT VEVEZ_CORE_ONLY)
  add_test(NAME package_validate
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/package_test.sh ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR})
  set_tests_properties(package_validate PROPERTIES LABELS package TIMEOUT 600 RUN_SERIAL TRUE)
endif()
