target_sources(vevez_gui PRIVATE Fonts.cpp)
# The sound cue layer.
include(sound.cmake OPTIONAL)
