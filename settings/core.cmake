target_sources(vevez_core PRIVATE Ini.cpp Settings.cpp)
