#include "SimDrive.h"

#include "Programs.h"

namespace zeb7::test {

std::unique_ptr<sim::SimServer> StartSimServer(sim::SimOptions options, sim::DriveDescription drive) {
  auto server = std::make_unique<sim::SimServer>(std::move(drive), std::move(options));
  server->start();
  return server;
}

SimChild::SimChild(const std::vector<std::string>& args) : sim::SimProcess(SimProgram(), args) {}

}  // namespace zeb7::test
