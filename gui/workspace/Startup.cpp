#include "workspace/Startup.h"

#include <QLocale>
#include <clocale>

#include "workspace/Main.h"

namespace zeb7::gui {

void InitProgram() {
  // QApplication has set the user's locale by now; numbers never follow it.
  std::setlocale(LC_NUMERIC, "C");
  QLocale::setDefault(QLocale::c());
}

struct TApplicationContext::Impl {
  TCommandLine cl;
  std::unique_ptr<TMainForm> form;
};

TApplicationContext::TApplicationContext() : d_(std::make_unique<Impl>()) {}
TApplicationContext::~TApplicationContext() { Shutdown(); }

bool TApplicationContext::Prepare(const TCommandLine& cl, std::string& error) {
  d_->cl = cl;
  return true;
}

TMainForm* TApplicationContext::CreateMainForm() {
  d_->form = std::make_unique<TMainForm>(nullptr);
  if (!d_->cl.port.empty()) d_->form->SetCommandLineDevice(d_->cl.port);
  return d_->form.get();
}

void TApplicationContext::Shutdown() {
  if (d_->form) {
    d_->form->close();
    d_->form.reset();
  }
}

}  // namespace zeb7::gui
