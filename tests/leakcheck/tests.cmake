# Tests of the allocation counter and the leak report. They need the Qt build
# (the report's helper is a Qt program), so nothing here in the core-only one.
#
# Every executable that links vevez_memcheck reports its own leaks when it
# ends, by starting vevez-leakbox from beside itself. These go to a directory
# of their own, away from the real helper in bin/, so a test run never pops
# up a box.
if(NOT VEVEZ_CORE_ONLY)
  set(LEAKCHECK_TEST_DIR ${CMAKE_CURRENT_LIST_DIR})
  set(LEAKCHECK_TEST_BIN ${CMAKE_BINARY_DIR}/leakcheck-tests)

  # The counter itself: every form of operator new/delete.
  add_executable(memcheck_tests ${LEAKCHECK_TEST_DIR}/counter_test.cpp)
  target_link_libraries(memcheck_tests PRIVATE vevez_memcheck GTest::gtest_main)
  set_target_properties(memcheck_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${LEAKCHECK_TEST_BIN})
  gtest_discover_tests(memcheck_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS leakcheck TIMEOUT 60)

  # A program that links the report like vevez does, plus a shared library
  # whose globals are freed by its own destructors at exit.
  add_library(leak_fixture SHARED ${LEAKCHECK_TEST_DIR}/leak_fixture.cpp)
  set_target_properties(leak_fixture PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${LEAKCHECK_TEST_BIN})
  add_executable(leak_program ${LEAKCHECK_TEST_DIR}/leak_program.cpp)
  target_link_libraries(leak_program PRIVATE vevez_memcheck leak_fixture)
  set_target_properties(leak_program PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${LEAKCHECK_TEST_BIN})
  add_test(NAME leakcheck_report
    COMMAND bash ${LEAKCHECK_TEST_DIR}/leak_report_test.sh $<TARGET_FILE:leak_program>)
  set_tests_properties(leakcheck_report PROPERTIES LABELS leakcheck TIMEOUT 60)

  # One block leaked at exit by the program it is preloaded into.
  add_library(leak_at_exit SHARED ${LEAKCHECK_TEST_DIR}/leak_at_exit.cpp)
  set_target_properties(leak_at_exit PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${LEAKCHECK_TEST_BIN})

  # The helper's box, offscreen.
  add_executable(leakbox_tests ${LEAKCHECK_TEST_DIR}/leakbox_test.cpp)
  target_link_libraries(leakbox_tests PRIVATE vevez_leakbox_ui GTest::gtest)
  set_target_properties(leakbox_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${LEAKCHECK_TEST_BIN})
  gtest_discover_tests(leakbox_tests DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS leakcheck TIMEOUT 60 ENVIRONMENT "QT_QPA_PLATFORM=offscreen")

  # The real helper and the whole chain on an X server of its own.
  add_test(NAME leakcheck_box_x11
    COMMAND bash ${LEAKCHECK_TEST_DIR}/leakbox_x11_test.sh
            $<TARGET_FILE:vevez-leakbox> $<TARGET_FILE:leak_program>)
  set_tests_properties(leakcheck_box_x11 PROPERTIES
    LABELS leakcheck TIMEOUT 120 SKIP_RETURN_CODE 77)
endif()
