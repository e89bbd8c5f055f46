# Sound cues: libcanberra (linked by vevez_gui) behind vz::SoundPlayer.
target_sources(vevez_gui PRIVATE SoundPlayer.cpp)
