#include "gui/model/FrmProjectDatabase.h"

#include <QThread>
#include <QVBoxLayout>

namespace zeb7::gui {

TFrmProjectState::TFrmProjectState(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
  setObjectName("FrmProjectState");
  setWindowTitle("Project State");
  resize(420, 360);
  auto* lay = new QVBoxLayout(this);
  lay->setContentsMargins(0, 0, 0, 0);
  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName("Memo1");
  Memo1->setReadOnly(true);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  lay->addWidget(Memo1);
}

void TFrmProjectState::Log(const QString& line) {
  if (QThread::currentThread() != thread()) {
    QMetaObject::invokeMethod(this, [this, line] { Memo1->appendPlainText(line); },
                              Qt::QueuedConnection);
    return;
  }
  Memo1->appendPlainText(line);
}

}  // namespace zeb7::gui
