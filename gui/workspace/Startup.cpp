#include "gui/workspace/Startup.h"

#include <QLocale>
#include <clocale>
#include <exception>

#include "SimServer.h"
#include "gui/link/CommDriveLink.h"
#include "model/DriveModel.h"
#include "gui/workspace/Main.h"

namespace zeb7::gui {

void InitProgram() {
  // QApplication has set the user's locale by now; numbers never follow it.
  std::setlocale(LC_NUMERIC, "C");
  QLocale::setDefault(QLocale::c());
}

struct TApplicationContext::Impl {
  TCommandLine cl;
  std::unique_ptr<zeb7::TDriveModel> model;
  std::unique_ptr<zeb7::sim::SimServer> sim;
  std::unique_ptr<TMainForm> form;
};

TApplicationContext::TApplicationContext() : d_(std::make_unique<Impl>()) {}
TApplicationContext::~TApplicationContext() { Shutdown(); }

bool TApplicationContext::Prepare(const TCommandLine& cl, std::string& error) {
  d_->cl = cl;
  d_->model = std::make_unique<zeb7::TDriveModel>();
  if (cl.simulate) {
    try {
      zeb7::sim::DriveDescription drive = cl.simulateDrive.empty()
                                              ? zeb7::sim::defaultDrive()
                                              : zeb7::sim::loadDriveFile(cl.simulateDrive);
      // Paced like a real line, so the demo costs and looks what a drive costs.
      zeb7::sim::SimOptions opt;
      opt.pace = !cl.fast;
      d_->sim = std::make_unique<zeb7::sim::SimServer>(std::move(drive), opt);
      d_->sim->start();
      d_->cl.port = d_->sim->devicePath();
    } catch (const std::exception& e) {
      error = std::string("cannot start the virtual drive: ") + e.what();
      return false;
    }
  }
  return true;
}

TMainForm* TApplicationContext::CreateMainForm() {
  zeb7::TDriveModel* model = d_->model.get();
  auto* formSlot = &d_->form;
  d_->form = std::make_unique<TMainForm>(
      [model, formSlot]() -> std::unique_ptr<TDriveLink> {
        return std::make_unique<TCommDriveLink>(formSlot->get(), *model);
      },
      model);
  if (!d_->cl.port.empty()) d_->form->SetCommandLineDevice(d_->cl.port);
  d_->form->SetProjectArgument(d_->cl.projectFile);
  return d_->form.get();
}

void TApplicationContext::Shutdown() {
  if (d_->form) {
    d_->form->close();  // stops the exchange and frees the link first
    d_->form.reset();
  }
  if (d_->sim) {
    d_->sim->stop();
    d_->sim.reset();
  }
  d_->model.reset();
}

}  // namespace zeb7::gui
