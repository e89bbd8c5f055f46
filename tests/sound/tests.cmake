# The sound cues as they are heard: a test that plays cues through
# vz::SoundPlayer into a private PulseAudio server with a null sink, records
# its monitor and measures the recordings. Needs the Qt build (the player is
# part of the GUI layer).
if(NOT VEVEZ_CORE_ONLY)
  set(SOUND_TEST_DIR ${CMAKE_CURRENT_LIST_DIR})
  set(SOUND_TEST_BIN ${CMAKE_BINARY_DIR}/sound-tests)

  # The probe builds the player's source itself rather than linking the
  # whole GUI layer: it needs no Qt (only the core), so every thread it sees
  # is the sound library's.
  add_executable(sound_probe ${SOUND_TEST_DIR}/sound_probe.cpp ${CMAKE_SOURCE_DIR}/gui/window/SoundPlayer.cpp)
  target_link_libraries(sound_probe PRIVATE vevez_core PkgConfig::CANBERRA)
  add_executable(wav_scan ${SOUND_TEST_DIR}/wav_scan.cpp)
  set_target_properties(sound_probe wav_scan PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${SOUND_TEST_BIN})

  add_test(NAME sound_cues
    COMMAND bash ${SOUND_TEST_DIR}/sound_cues_test.sh $<TARGET_FILE:sound_probe> $<TARGET_FILE:wav_scan>
            ${CMAKE_BINARY_DIR}/data/cues)
  # Serial: the measurements are of real-time audio, which a loaded machine
  # can disturb.
  set_tests_properties(sound_cues PROPERTIES LABELS sound RUN_SERIAL TRUE TIMEOUT 180)
endif()
