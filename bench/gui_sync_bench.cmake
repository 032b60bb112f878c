# Synchronising the big drive in the GUI and in zeb7ctl dump: bench/gui_sync_bench.
if(TARGET zeb7gui AND TARGET zeb7ctl)
  add_executable(gui_sync_bench ${CMAKE_CURRENT_LIST_DIR}/gui_sync_bench.cpp)
  target_link_libraries(gui_sync_bench PRIVATE zeb7gui)
  target_compile_definitions(gui_sync_bench PRIVATE ZEB7_SIM_PATH="$<TARGET_FILE:zeb7-sim>"
                                                    ZEB7_CTL_PATH="$<TARGET_FILE:zeb7ctl>")
  add_dependencies(gui_sync_bench zeb7-sim zeb7ctl)
endif()
