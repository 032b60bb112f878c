# Every source beside main.cpp: a new command group needs no edit here.
file(GLOB ZEB7SIM_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
list(REMOVE_ITEM ZEB7SIM_SOURCES ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
find_package(nlohmann_json 3 REQUIRED)
find_package(CLI11 REQUIRED)
add_library(zeb7sim STATIC ${ZEB7SIM_SOURCES})
target_include_directories(zeb7sim PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${PROJECT_SOURCE_DIR}/core)
target_link_libraries(zeb7sim PUBLIC zeb7_link nlohmann_json::nlohmann_json Threads::Threads)
target_link_libraries(zeb7sim PUBLIC zeb7_platform)  # flash dumps

add_executable(zeb7-sim ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(zeb7-sim PRIVATE zeb7sim CLI11::CLI11)
install(TARGETS zeb7-sim)
target_sources(zeb7-sim PRIVATE ${PROJECT_SOURCE_DIR}/core/Zeb7Version.cpp)
