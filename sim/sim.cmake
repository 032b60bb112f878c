add_library(zeb7sim STATIC
  ${CMAKE_CURRENT_LIST_DIR}/DriveDescription.cpp
  ${CMAKE_CURRENT_LIST_DIR}/VirtualDrive.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HandlersVersion.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HandlersParameters.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HandlersStrings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HandlersStatus.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ControlCommands.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FaultInjector.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LineCodec.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PtyPort.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SimServer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SimProcess.cpp)
target_include_directories(zeb7sim PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${PROJECT_SOURCE_DIR}/core)
target_link_libraries(zeb7sim PUBLIC zeb7_link nlohmann_json::nlohmann_json Threads::Threads)

add_executable(zeb7-sim ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(zeb7-sim PRIVATE zeb7sim CLI11::CLI11)
