target_sources(vevez_gui PRIVATE Fonts.cpp)
