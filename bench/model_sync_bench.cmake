# The data model synchronising the big paced drive from reset to the end: bench/model_sync_bench.
if(TARGET zeb7sim AND TARGET zeb7_model)
  add_executable(model_sync_bench ${CMAKE_CURRENT_LIST_DIR}/model_sync_bench.cpp)
  target_link_libraries(model_sync_bench PRIVATE zeb7_model zeb7sim)
endif()
