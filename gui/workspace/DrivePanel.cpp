#include "gui/workspace/DrivePanel.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QToolButton>
#include <QVBoxLayout>

#include "model/DriveStatus.h"
#include "link/TextCodec.h"

namespace zeb7::gui {

namespace {

QToolButton* MakeButton(QWidget* parent, const QString& caption, const QString& name,
                        bool checkable) {
  auto* b = new QToolButton(parent);
  b->setText(caption);
  b->setObjectName(name);
  b->setCheckable(checkable);
  b->setAutoExclusive(false);  // the group allows all buttons up
  b->setToolButtonStyle(Qt::ToolButtonTextOnly);
  b->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
  return b;
}

// A chip with a downward arrow: parameters go into the drive's flash.
QIcon FlashGlyph() {
  QPixmap pm(20, 20);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(QColor(60, 60, 60));
  p.drawRect(3, 11, 14, 7);
  for (int x = 5; x <= 15; x += 3) p.drawLine(x, 18, x, 19);
  p.setBrush(QColor(0, 128, 0));
  p.setPen(Qt::NoPen);
  QPolygon arrow({QPoint(10, 10), QPoint(5, 5), QPoint(8, 5), QPoint(8, 0), QPoint(12, 0),
                  QPoint(12, 5), QPoint(15, 5)});
  p.drawPolygon(arrow);
  return QIcon(pm);
}

void MakeBoldRed(QWidget* w) {
  QFont f = w->font();
  f.setBold(true);
  w->setFont(f);
  QPalette pal = w->palette();
  pal.setColor(QPalette::Text, Qt::red);
  pal.setColor(QPalette::ButtonText, Qt::red);
  pal.setColor(QPalette::WindowText, Qt::red);
  w->setPalette(pal);
}

}  // namespace

TDrivePanel::TDrivePanel(QWidget* parent) : QWidget(parent) {
  setObjectName("Panel2");
  setFixedHeight(60);
  auto* lay = new QHBoxLayout(this);
  lay->setContentsMargins(2, 2, 2, 2);
  lay->setSpacing(3);

  SpeedButtonEnableDrive = MakeButton(this, "Enable Drive", "SpeedButtonEnableDrive", true);
  SpeedButtonDisableDrive = MakeButton(this, "Disable Drive", "SpeedButtonDisableDrive", true);
  SpeedButtonControlByATA = MakeButton(this, "Control by ATA", "SpeedButtonControlByATA", true);
  SpeedButtonDisableDrive->setMinimumWidth(
      SpeedButtonDisableDrive->fontMetrics().horizontalAdvance("Reset Drive Error") + 24);
  lay->addWidget(SpeedButtonEnableDrive);
  lay->addWidget(SpeedButtonDisableDrive);
  lay->addWidget(SpeedButtonControlByATA);

  PanelParamSet = new QWidget(this);
  PanelParamSet->setObjectName("PanelParamSet");
  auto* ps = new QHBoxLayout(PanelParamSet);
  ps->setContentsMargins(0, 0, 0, 0);
  auto* psLabels = new QVBoxLayout;
  psLabels->addWidget(new QLabel("Parameter", PanelParamSet));
  psLabels->addWidget(new QLabel("Set", PanelParamSet));
  ps->addLayout(psLabels);
  for (int i = 0; i < 16; ++i) {
    auto* b = MakeButton(PanelParamSet, QString::number(i), QString("ParamSet%1").arg(i), true);
    b->setProperty("tag", i);
    ParamSetButtons[i] = b;
    ps->addWidget(b);
    // The set buttons do not look at boNoUserInput.
    connect(b, &QToolButton::clicked, this, [this, i] {
      for (int j = 0; j < 16; ++j) ParamSetButtons[j]->setChecked(j == i);
      emit ParamSetClicked(i);
    });
  }
  BtnDeleteParameterSet = MakeButton(PanelParamSet, "Delete Parameter Set", "BtnDeleteParameterSet", false);
  BtnRenameParameterVersion =
      MakeButton(PanelParamSet, "Rename Param. Version", "BtnRenameParameterVersion", false);
  ps->addWidget(BtnDeleteParameterSet);
  ps->addWidget(BtnRenameParameterVersion);
  PanelParamSet->setVisible(false);  // created hidden, still kept up to date
  lay->addWidget(PanelParamSet);

  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName("Memo1");
  Memo1->setReadOnly(true);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  lay->addWidget(Memo1, 3);

  auto* errors = new QVBoxLayout;
  errors->setSpacing(2);
  EditControllerError = new QLineEdit(this);
  EditControllerError->setObjectName("EditControllerError");
  EditRuntimeError = new QLineEdit(this);
  EditRuntimeError->setObjectName("EditRuntimeError");
  for (QLineEdit* e : {EditControllerError, EditRuntimeError}) {
    e->setReadOnly(true);
    e->setMinimumWidth(200);
    MakeBoldRed(e);
    errors->addWidget(e);
  }
  lay->addLayout(errors, 2);

  SpeedButtonFlash = MakeButton(this, "Write Parameters to Flash", "SpeedButtonFlash", false);
  SpeedButtonFlash->setIcon(FlashGlyph());
  SpeedButtonFlash->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  lay->addWidget(SpeedButtonFlash);

  // The memo and error fields show once the main window is up.
  Memo1->setVisible(false);
  EditControllerError->setVisible(false);
  EditRuntimeError->setVisible(false);
  SpeedButtonControlByATA->setVisible(false);

  // clicked(), never toggled(): a status answer moving a button must send nothing.
  connect(SpeedButtonControlByATA, &QToolButton::clicked, this, [this] {
    DriveButtonClicked(SpeedButtonControlByATA);
    if (!boNoUserInput) emit ControlByATAClicked();
  });
  connect(SpeedButtonDisableDrive, &QToolButton::clicked, this, [this] {
    DriveButtonClicked(SpeedButtonDisableDrive);
    if (!boNoUserInput) emit DisableDriveClicked();
  });
  connect(SpeedButtonEnableDrive, &QToolButton::clicked, this, [this] {
    DriveButtonClicked(SpeedButtonEnableDrive);
    if (!boNoUserInput) emit EnableDriveClicked();
  });
  connect(SpeedButtonFlash, &QToolButton::clicked, this, [this] {
    if (!boNoUserInput) emit WriteFlashClicked();
  });
  connect(BtnRenameParameterVersion, &QToolButton::clicked, this, [this] {
    QString entry = AskParamVersion(sParamVersion);
    if (!entry.isNull()) emit ParamVersionEntered(entry);
  });
  connect(BtnDeleteParameterSet, &QToolButton::clicked, this, [this] {
    auto answer = QMessageBox::warning(this, "Delete Parameter Set",
                                       "Delete actual parameter set in flash ?",
                                       QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Cancel);
    if (answer == QMessageBox::Yes) emit DeleteParamSetConfirmed();
  });
  ValidParamVersion = [](const QString& text) {
    bool isInt = false;
    int v = text.trimmed().toInt(&isInt);
    return isInt && v >= 0 && v <= 255;
  };
}

void TDrivePanel::DriveButtonClicked(QToolButton* b) {
  // A group button goes down and takes the others up; clicking a down one raises it.
  for (QToolButton* o : {SpeedButtonEnableDrive, SpeedButtonDisableDrive, SpeedButtonControlByATA})
    if (o != b && b->isChecked()) o->setChecked(false);
}

void TDrivePanel::Render(const zeb7::TDriveStatus& st) {
  switch (st.DownButton()) {
    case zeb7::dbEnableDrive: SetDriveButtonDown(dbEnable); break;
    case zeb7::dbDisableDrive: SetDriveButtonDown(dbDisable); break;
    case zeb7::dbControlByATA: SetDriveButtonDown(dbControlByATA); break;
    default: SetDriveButtonDown(dbNone); break;
  }
  SetDisableCaption(st.DisableCaptionAlert());
  SpeedButtonDisableDrive->setText(QString::fromStdString(st.DisableCaption()));
  SetCommandButtonsEnabled(st.ActionButtonsEnabled());
  boNoUserInput = true;
  for (int i = 0; i < 16; ++i) {
    QToolButton* b = ParamSetButtons[i];
    int tag = b->property("tag").toInt();
    b->setChecked(tag == st.ParamSetDown());
    uint32_t bgr = st.ParamSetColour(tag);  // $00BBGGRR
    QPalette pal = b->palette();
    pal.setColor(QPalette::ButtonText, QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF));
    b->setPalette(pal);
  }
  boNoUserInput = false;
  QStringList lines;
  for (const auto& l : st.Messages()) lines << QString::fromStdString(zeb7::Cp1252ToUtf8(l));
  QString text = lines.join('\n');
  if (text != renderedMessages_) {
    renderedMessages_ = text;
    Memo1->setPlainText(text);
    Memo1->moveCursor(QTextCursor::End);
  }
  SetControllerError(QString::fromStdString(zeb7::Cp1252ToUtf8(st.ControllerError())));
  SetRuntimeError(QString::fromStdString(zeb7::Cp1252ToUtf8(st.RuntimeError())));
  SetParamVersion(QString::fromStdString(st.RenameDefault()));
}

void TDrivePanel::SetDriveButtonDown(DriveButton which) {
  boNoUserInput = true;
  SpeedButtonEnableDrive->setChecked(which == dbEnable);
  SpeedButtonDisableDrive->setChecked(which == dbDisable);
  SpeedButtonControlByATA->setChecked(which == dbControlByATA);
  boNoUserInput = false;
}

void TDrivePanel::SetDisableCaption(bool driveError) {
  QToolButton* b = SpeedButtonDisableDrive;
  b->setText(driveError ? "Reset Drive Error" : "Disable Drive");
  QFont f = b->font();
  f.setBold(driveError);
  b->setFont(f);
  QPalette pal = palette();
  if (driveError) pal.setColor(QPalette::ButtonText, Qt::red);
  else pal.setColor(QPalette::ButtonText, Qt::black);
  b->setPalette(pal);
}

void TDrivePanel::SetCommandButtonsEnabled(bool enabled) {
  BtnDeleteParameterSet->setEnabled(enabled);
  BtnRenameParameterVersion->setEnabled(enabled);
  SpeedButtonFlash->setEnabled(enabled);
}

void TDrivePanel::SetParamSets(int active, uint16_t validMask) {
  boNoUserInput = true;
  for (int i = 0; i < 16; ++i) {
    QToolButton* b = ParamSetButtons[i];
    int tag = b->property("tag").toInt();
    b->setChecked(tag == active);
    QPalette pal = b->palette();
    bool valid = (validMask >> (tag % 32)) & 1;  // bits above 15 are never set
    pal.setColor(QPalette::ButtonText, valid ? QColor(0x00, 0x80, 0x00) : QColor(0xFF, 0x00, 0x00));
    b->setPalette(pal);
  }
  boNoUserInput = false;
}

void TDrivePanel::ShowStatusMessage(const QString& line) {
  QTextDocument* doc = Memo1->document();
  if (doc->blockCount() >= kMaxStatusLines && !doc->isEmpty()) {
    // Trim to 30 in one edit, so the list never flickers line by line.
    QTextCursor c(doc);
    c.beginEditBlock();
    c.movePosition(QTextCursor::Start);
    c.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor,
                   doc->blockCount() - (kMaxStatusLines - 1));
    c.removeSelectedText();
    c.endEditBlock();
  }
  Memo1->appendPlainText(line);
}

void TDrivePanel::SetControllerError(const QString& text) { EditControllerError->setText(text); }
void TDrivePanel::SetRuntimeError(const QString& text) { EditRuntimeError->setText(text); }

void TDrivePanel::ShowMessageFields() {
  Memo1->setVisible(true);
  EditControllerError->setVisible(true);
  EditRuntimeError->setVisible(true);
}

QString TDrivePanel::AskParamVersion(const QString& current) {
  QString text = current;
  for (;;) {
    bool ok = false;
    text = QInputDialog::getText(this, "Change Version Number", "New Version Number (0..255)",
                                 QLineEdit::Normal, text, &ok);
    if (!ok) return QString();
    if (!ValidParamVersion || ValidParamVersion(text)) return text.isNull() ? QString("") : text;
    text = "???";
  }
}

}  // namespace zeb7::gui
