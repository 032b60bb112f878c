// zeb7: the set-up and service program for the drive, with windows.
#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <string>
#include <vector>

#include "gui/workspace/About.h"
#include "gui/scope/PrintToPdf.h"
#include "gui/workspace/CommandLine.h"
#include "gui/workspace/Main.h"
#include "gui/workspace/Startup.h"
#include "Zeb7Version.h"

int main(int argc, char** argv) {
  // Renders without a window, before Qt looks for a display.
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]) == "--print-to-pdf") return zeb7::gui::PrintToPdfMain(argc, argv);
  // Answered before Qt looks for a display, so it works on a bare console.
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]) == "--version") {
      std::printf("zeb7 %s\n", zeb7::versionString());
      return 0;
    }
  QApplication app(argc, argv);
  QApplication::setWindowIcon(zeb7::gui::ProgramIcon());
  QApplication::setDesktopFileName("zeb7");
  zeb7::gui::InitProgram();

  std::vector<std::string> args;
  const QStringList qargs = QApplication::arguments();
  for (int i = 1; i < qargs.size(); ++i) args.push_back(qargs[i].toStdString());
  zeb7::gui::TCommandLine cl = zeb7::gui::ParseCommandLine(args);
  if (cl.help) {
    std::fputs(zeb7::gui::CommandLineUsage(), stdout);
    return 0;
  }
  if (!cl.error.empty()) {
    std::fprintf(stderr, "zeb7: %s\n%s", cl.error.c_str(), zeb7::gui::CommandLineUsage());
    return 2;
  }
  zeb7::gui::TApplicationContext ctx;
  std::string err;
  if (!ctx.Prepare(cl, err)) {
    std::fprintf(stderr, "zeb7: %s\n", err.c_str());
    return 1;
  }
  zeb7::gui::TMainForm* form = ctx.CreateMainForm();
  form->showMaximized();
  int rc = app.exec();
  ctx.Shutdown();
  return rc;
}
