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

# Every crash point of every save path (needs strace), bounded in time.
add_executable(crash_point ${CMAKE_CURRENT_LIST_DIR}/crash_point.cpp)
target_link_libraries(crash_point PRIVATE vevez_core)
add_test(NAME crash_points COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/crash_points_test.sh $<TARGET_FILE:crash_point>)
set_tests_properties(crash_points PROPERTIES LABELS e2e TIMEOUT 600)
add_test(NAME two_copies_race COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/two_copies_race.sh $<TARGET_FILE:crash_point>)
set_tests_properties(two_copies_race PROPERTIES LABELS e2e TIMEOUT 300)
