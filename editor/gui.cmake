# The word editor dialog.
target_sources(vevez_gui PRIVATE WordForm.cpp WordGridModel.cpp WordRows.cpp)

# What opening the editor on a large word file costs (prints figures).
if(VEVEZ_BENCH)
  add_executable(editor_open_bench bench/EditorOpenBench.cpp)
  target_link_libraries(editor_open_bench PRIVATE vevez_gui)
endif()
