# Crash safety of saves: the real program is killed during its saves, at
# chosen steps and at random moments, and the files are checked afterwards.
if(NOT VEVEZ_CORE_ONLY)
  add_library(kill_at_rename MODULE ${CMAKE_CURRENT_LIST_DIR}/kill_at_rename.cpp)
  target_link_libraries(kill_at_rename PRIVATE ${CMAKE_DL_LIBS})
  set_target_properties(kill_at_rename PROPERTIES AUTOMOC OFF)
  add_test(NAME crash_save
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/crash_save_test.sh $<TARGET_FILE_DIR:vevez>
            $<TARGET_FILE:kill_at_rename>)
  set_tests_properties(crash_save PROPERTIES LABELS e2e TIMEOUT 300)
endif()
