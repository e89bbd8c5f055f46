target_sources(vevez_gui PRIVATE
  AnswerEdit.cpp Board.cpp BoardWidget.cpp ErrorGuard.cpp Fonts.cpp Glyphs.cpp Main.cpp OuterSize.cpp SignalBridge.cpp)
# The sound cue layer.
include(sound.cmake OPTIONAL)

add_executable(vevez Program.cpp)
target_link_libraries(vevez PRIVATE vevez_gui)
if(TARGET vevez_memcheck)
  target_link_libraries(vevez PRIVATE vevez_memcheck)
endif()
