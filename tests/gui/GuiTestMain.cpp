#include <gtest/gtest.h>

#include <QApplication>

#include "gui/workspace/Startup.h"

int main(int argc, char** argv) {
  // Test discovery runs the binary outside CTest's environment too.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  zeb7::gui::InitProgram();
  return RUN_ALL_TESTS();
}
