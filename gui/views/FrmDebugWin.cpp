#include "gui/views/FrmDebugWin.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace zeb7::gui {

TFrmDebugWin::TFrmDebugWin(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("FrmDebugWin");
  setWindowTitle("DebugWin");
  auto* lay = new QVBoxLayout(this);
  lay->setContentsMargins(0, 0, 0, 0);
  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName("Memo1");
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  lay->addWidget(Memo1);
  resize(500, 300);
}

void TFrmDebugWin::AddLine(const QString& s) { Memo1->appendPlainText(s); }

}  // namespace zeb7::gui
