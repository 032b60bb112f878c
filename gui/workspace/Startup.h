#pragma once
// Program initialisation and the objects that live as long as the program:
// the drive model, the virtual drive of --simulate, the main window.
#include <memory>
#include <string>

#include "gui/workspace/CommandLine.h"

namespace zeb7::gui {

class TMainForm;

// "." as decimal separator for every conversion, whatever the user's locale.
void InitProgram();

class TApplicationContext {
 public:
  TApplicationContext();
  ~TApplicationContext();
  // Starts the virtual drive when asked; false with a message when that fails.
  bool Prepare(const TCommandLine& cl, std::string& error);
  // The main window and, hidden, the other windows.
  TMainForm* CreateMainForm();
  // Closes the link before the windows go.
  void Shutdown();

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};

}  // namespace zeb7::gui
