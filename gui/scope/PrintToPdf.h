#pragma once
// zeb7 --print-to-pdf OUT.pdf FILE.rcg: the printout of an oscillogram file as
// a PDF, made without showing a window (for reports made by scripts).
#include <string>

namespace zeb7::gui {

// 0 written, 1 the PDF could not be written, 2 the file could not be read.
// `message` tells what went wrong.
int PrintOscillogramToPdf(const std::string& pdfFile, const std::string& rcgFile, std::string& message);

}  // namespace zeb7::gui

namespace zeb7::gui {
// The whole program for `zeb7 --print-to-pdf OUT.pdf FILE.rcg`: returns the
// exit code (2 also for a wrong command line).
int PrintToPdfMain(int argc, char** argv);
}  // namespace zeb7::gui
