#include "gui/scope/PrintToPdf.h"

#include "gui/scope/FrmOscill.h"
#include "gui/scope/FrmPrnt2.h"
#include "platform/AtomicFile.h"

#include <vector>

namespace zeb7::gui {

int PrintOscillogramToPdf(const std::string& pdfFile, const std::string& rcgFile, std::string& message) {
  zeb7::TOscillData data;
  if (!zeb7::LoadOscillogram(rcgFile, data, message)) return 2;
  TFormOsci form;  // never shown: the page is painted from its chart
  form.ShowMessage = [&message](const QString& s) { message = s.toStdString(); };
  form.SetData(data);
  form.resize(900, 560);
  QByteArray pdf;
  QString err;
  if (!form.PrintDialog()->RenderPdf(pdf, err)) {
    message = err.toStdString();
    return 1;
  }
  if (!zeb7::WriteFileAtomically(pdfFile, std::string_view(pdf.constData(), size_t(pdf.size())), message)) return 1;
  return 0;
}

}  // namespace zeb7::gui

#include <QApplication>
#include <cstdio>
#include <cstdlib>

namespace zeb7::gui {

int PrintToPdfMain(int argc, char** argv) {
  std::vector<std::string> rest;
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]) != "--print-to-pdf") rest.emplace_back(argv[i]);
  if (rest.size() != 2) {
    std::fputs("usage: zeb7 --print-to-pdf OUT.pdf FILE.rcg\n", stderr);
    return 2;
  }
  // No window is shown, so no display is needed.
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int qargc = 1;
  QApplication app(qargc, argv);
  std::string message;
  const int rc = PrintOscillogramToPdf(rest[0], rest[1], message);
  if (rc != 0) std::fprintf(stderr, "zeb7: %s\n", message.c_str());
  return rc;
}

}  // namespace zeb7::gui
