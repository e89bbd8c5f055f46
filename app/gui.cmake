target_sources(vevez_gui PRIVATE
  AnswerEdit.cpp Board.cpp BoardWidget.cpp CommandLine.cpp Desktop.cpp ErrorGuard.cpp Fonts.cpp Glyphs.cpp Main.cpp OuterSize.cpp SignalBridge.cpp)
# The icon the window shares with the desktop entry.
qt_add_resources(vevez_gui vevez_icon PREFIX /vevez BASE ${CMAKE_SOURCE_DIR}/data
  FILES ${CMAKE_SOURCE_DIR}/data/vevez.svg)
# The sound cue layer.
include(sound.cmake OPTIONAL)

add_executable(vevez Program.cpp)
target_link_libraries(vevez PRIVATE vevez_gui)
if(TARGET vevez_memcheck)
  target_link_libraries(vevez PRIVATE vevez_memcheck)
endif()
install(TARGETS vevez RUNTIME DESTINATION bin)
