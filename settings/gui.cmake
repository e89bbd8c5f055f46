# The options dialog and its spinner.
target_sources(vevez_gui PRIVATE OptionForm.cpp UpDown.cpp)
