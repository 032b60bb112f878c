#include "gui/scope/FrmOscill.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "gui/scope/COscill.h"
#include "gui/scope/FrmPrnt2.h"
#include "gui/scope/FrmRecorderUpload.h"

namespace zeb7::gui {

namespace {

QColor ToColor(TRgb c) { return QColor(c.r, c.g, c.b); }

template <size_t N>
QComboBox* Combo(QWidget* parent, const char* name, const std::array<std::string_view, N>& items) {
  auto* c = new QComboBox(parent);
  c->setObjectName(name);
  for (auto s : items) c->addItem(QString::fromUtf8(s.data(), static_cast<int>(s.size())));
  c->setCurrentIndex(0);
  return c;
}

QLabel* Caption(QWidget* parent, const QString& text, QWidget* buddy) {
  auto* l = new QLabel(text, parent);
  l->setBuddy(buddy);
  return l;
}

// Point of interest of a scroll direction in thousandths of the chart size;
// 0 for a chart without size.
int64_t ZoomPoint(int64_t p, int64_t c, int64_t s) { return s > 0 ? (p + c * c / (2 * s)) * 1000 / s : 0; }
int64_t ZoomPosition(int64_t point, int64_t c, int64_t s) { return s > 0 ? point * s / 1000 - c * c / (2 * s) : 0; }

}  // namespace

TFormOsci::TFormOsci(QWidget* parent) : QMainWindow(parent, Qt::Window | Qt::WindowStaysOnTopHint) {
  setObjectName("FormOsci");
  setWindowTitle("Oszillogramm");
  resize(900, 560);
  for (int i = 0; i < kOscChannels; ++i) aColor[static_cast<size_t>(i)] = ToColor(kChannelColors[i]);
  for (int i = 0; i < kOscChannels; ++i)
    aEvaluate.emplace_back(nullptr, nullptr, [this](uint32_t ch) { return data_.ChannelValue(ch); });
  ShowMessage = [this](const QString& s) { QMessageBox::warning(this, windowTitle(), s); };
  CreateControls();
  CreateMenus();
  CreateChannelPanels();
  RecorderUpload = new TRecorderUpload(this);
  FormPrnt2 = new TFormPrnt2(Osci1, this);
  qApp->installEventFilter(this);
  settingUp_ = false;
  RedrawAll();
}

TFormOsci::~TFormOsci() { qApp->removeEventFilter(this); }

void TFormOsci::CreateControls() {
  auto* central = new QWidget(this);
  auto* outer = new QVBoxLayout(central);
  outer->setContentsMargins(2, 2, 2, 2);
  auto* top = new QHBoxLayout;
  ComboBoxRecorder = Combo(central, "ComboBoxRecorder", kRecorderItems);
  ButtonUpload = new QPushButton("&Laden", central);
  ButtonUpload->setObjectName("ButtonUpload");
  ComboBoxZoomX = Combo(central, "ComboBoxZoomX", kZoomItems);
  ComboBoxZoomY = Combo(central, "ComboBoxZoomY", kZoomItems);
  ComboBoxMaxY = Combo(central, "ComboBoxMaxY", kMaxYItems);
  ComboBoxMinY = Combo(central, "ComboBoxMinY", kMinYItems);
  top->addWidget(new QLabel("Oszillogramm-Auswahl:", central));
  top->addWidget(ComboBoxRecorder);
  top->addWidget(ButtonUpload);
  top->addSpacing(12);
  top->addWidget(Caption(central, "Zoom &X:", ComboBoxZoomX));
  top->addWidget(ComboBoxZoomX);
  top->addWidget(Caption(central, "Zoom &Y:", ComboBoxZoomY));
  top->addWidget(ComboBoxZoomY);
  top->addWidget(Caption(central, "M&ax Y:", ComboBoxMaxY));
  top->addWidget(ComboBoxMaxY);
  top->addWidget(Caption(central, "M&in Y:", ComboBoxMinY));
  top->addWidget(ComboBoxMinY);
  PanelHint = new QLabel("Bild scrollen mit Alt+Pfeiltasten", central);
  PanelHint->setObjectName("PanelHint");
  top->addWidget(PanelHint);
  top->addStretch();
  outer->addLayout(top);

  auto* body = new QHBoxLayout;
  ScrollBox1 = new QScrollArea(central);
  ScrollBox1->setObjectName("ScrollBox1");
  ScrollBox1->setWidgetResizable(false);
  Osci1 = new TOsci;
  Osci1->setObjectName("Osci1");
  ScrollBox1->setWidget(Osci1);
  Osci1->SetTextXAxis("X");
  Osci1->SetTextYAxis("Y");
  Osci1->SetXMax(kOscPoints);
  Osci1->SetYMin(-1);
  Osci1->SetYMax(1);
  Osci1->SetAutoRedraw(true);
  PanelChannels = new QWidget(central);
  PanelChannels->setObjectName("PanelChannels");
  PanelChannels->setFixedWidth(150);
  body->addWidget(ScrollBox1, 1);
  body->addWidget(PanelChannels);
  outer->addLayout(body, 1);
  setCentralWidget(central);

  connect(ButtonUpload, &QPushButton::clicked, this, [this] { ButtonUploadClick(); });
  auto zoom = [this](int) {
    if (settingUp_) return;
    ApplyZoom();
  };
  connect(ComboBoxZoomX, &QComboBox::currentIndexChanged, this, zoom);
  connect(ComboBoxZoomY, &QComboBox::currentIndexChanged, this, zoom);
  auto range = [this](int) {
    if (settingUp_) return;
    ApplyYRange();
    Osci1->SetAutoRedraw(false);
    Osci1->update();
  };
  connect(ComboBoxMaxY, &QComboBox::currentIndexChanged, this, range);
  connect(ComboBoxMinY, &QComboBox::currentIndexChanged, this, range);
}

void TFormOsci::CreateChannelPanels() {
  const int panelWidth = PanelChannels->width();
  for (int i = 0; i < kOscChannels; ++i) {
    auto* cb = new QCheckBox(PanelChannels);
    cb->setObjectName(QString("CheckBox%1").arg(i));
    cb->setGeometry(25, 45 + 32 * i, 21, 21);
    cb->setChecked(true);
    cb->setFocusPolicy(Qt::ClickFocus);
    auto* name = new QLabel(QString::fromStdString(data_.asName[static_cast<size_t>(i)]), PanelChannels);
    name->setObjectName(QString("Panel%1").arg(i));
    name->setGeometry(50, 45 + 32 * i, panelWidth - 52, 21);
    name->setFrameShape(QFrame::Panel);
    name->setFrameShadow(QFrame::Raised);
    name->setFocusPolicy(Qt::StrongFocus);
    name->setAutoFillBackground(true);
    auto* swatch = new QFrame(PanelChannels);
    swatch->setObjectName(QString("ColorPanel%1").arg(i));
    swatch->setGeometry(2, 47 + 32 * i, 17, 17);
    swatch->setEnabled(false);
    swatch->setAutoFillBackground(true);
    aCheckBox[static_cast<size_t>(i)] = cb;
    aPanel[static_cast<size_t>(i)] = name;
    aColorPanel[static_cast<size_t>(i)] = swatch;
    cb->installEventFilter(this);
    name->installEventFilter(this);
    connect(cb, &QCheckBox::clicked, this, [this, i] {
      data_.aboChecked[static_cast<size_t>(i)] = aCheckBox[static_cast<size_t>(i)]->isChecked();
      if (isVisible()) aPanel[static_cast<size_t>(i)]->setFocus();
      RedrawSingle(i, true);
    });
    SetColor(i, aColor[static_cast<size_t>(i)]);
  }
  for (int i = 1; i < kOscChannels; ++i) setTabOrder(aPanel[static_cast<size_t>(i - 1)], aPanel[static_cast<size_t>(i)]);
}

void TFormOsci::CreateMenus() {
  QMenu* file = menuBar()->addMenu("&Datei");
  Grafikladen1 = file->addAction("Grafik &laden");
  Speichernunter1 = file->addAction("Grafik &speichern unter ...");
  Drucken1 = file->addAction("&Drucken...");
  file->addSeparator();
  ExportCsv1 = file->addAction("Kan\u00e4le als &CSV exportieren ...");
  ExportPng1 = file->addAction("Grafik als &PNG exportieren ...");
  ExportPdf1 = file->addAction("Grafik als P&DF exportieren ...");
  file->addSeparator();
  Ende1 = file->addAction("&Ende");
  QMenu* help = menuBar()->addMenu("&Hilfe");
  Hilfe1 = help->menuAction();
  connect(Grafikladen1, &QAction::triggered, this, [this] { LoadFileClick(); });
  connect(Speichernunter1, &QAction::triggered, this, [this] { SaveFileClick(); });
  connect(Drucken1, &QAction::triggered, this, [this] { FormPrnt2->exec(); });
  connect(ExportCsv1, &QAction::triggered, this, [this] { ExportClick("csv"); });
  connect(ExportPng1, &QAction::triggered, this, [this] { ExportClick("png"); });
  connect(ExportPdf1, &QAction::triggered, this, [this] { ExportClick("pdf"); });
}

void TFormOsci::SetColor(int iChannel, QColor c) {
  if (iChannel < 0 || iChannel >= kOscChannels) return;
  aColor[static_cast<size_t>(iChannel)] = c;
  QPalette pal = aColorPanel[static_cast<size_t>(iChannel)]->palette();
  pal.setColor(QPalette::Window, c);
  pal.setColor(QPalette::Disabled, QPalette::Window, c);
  aColorPanel[static_cast<size_t>(iChannel)]->setPalette(pal);
  Osci1->SetGraphColor(iChannel, c);
  RedrawSingle(iChannel, true);
}

void TFormOsci::RedrawSingle(int iNr, bool boRefresh) {
  if (iNr < 0 || iNr >= kOscChannels) return;
  if (!aCheckBox[static_cast<size_t>(iNr)] || !aCheckBox[static_cast<size_t>(iNr)]->isChecked()) {
    Osci1->Clear(iNr);
    return;
  }
  TEvaluate& ev = aEvaluate[static_cast<size_t>(iNr)];
  const bool valid = ev.EvaluateFormula(data_.asFormula[static_cast<size_t>(iNr)]);
  if (!valid) {
    Osci1->Clear(iNr);
    return;
  }
  std::vector<double> curve(kOscPoints);
  for (int j = 0; j < kOscPoints; ++j) {
    data_.iActPoint = j;
    if (ev.FormulaEmpty()) {
      curve[static_cast<size_t>(j)] = data_.ChannelValue(static_cast<uint32_t>(iNr));
    } else {
      double r = 0;
      curve[static_cast<size_t>(j)] = ev.Calculate(r) ? r : 0.0;
    }
  }
  Osci1->SetGraphStyle(iNr, ev.FormulaEmpty() ? gsSingleLine : gsDoubleLine);
  Osci1->SetCurve(curve, iNr, boRefresh);
}

void TFormOsci::RedrawAll() {
  ApplyYRange();
  ApplyZoom();
  for (int i = 0; i < kOscChannels; ++i) RedrawSingle(i, false);
  Osci1->Redraw();
}

void TFormOsci::ApplyYRange() {
  data_.iMaxYIndex = ComboBoxMaxY->currentIndex();
  data_.iMinYIndex = ComboBoxMinY->currentIndex();
  const QString maxText = ComboBoxMaxY->currentText();
  if (maxText == "AUTO" || data_.iMaxYIndex < 0) {
    Osci1->SetAutoScaling(true);
    ComboBoxMinY->setEnabled(false);
    return;
  }
  ComboBoxMinY->setEnabled(true);
  bool okMax = false, okMin = true;
  const double dMax = maxText.toDouble(&okMax);
  double dMin = -dMax;
  if (ComboBoxMinY->currentIndex() > 0) dMin = ComboBoxMinY->currentText().toDouble(&okMin);
  if (!okMax || !okMin) return;  // conversion errors are ignored
  Osci1->SetYRange(true, dMin, dMax);
  Osci1->SetAutoScaling(false);
}

void TFormOsci::ApplyZoom() {
  data_.iZoomXIndex = ComboBoxZoomX->currentIndex();
  data_.iZoomYIndex = ComboBoxZoomY->currentIndex();
  iZoomX = std::max(1, ComboBoxZoomX->currentText().toInt());
  iZoomY = std::max(1, ComboBoxZoomY->currentText().toInt());
  FormResize();
}

void TFormOsci::FormResize() {
  QWidget* vp = ScrollBox1->viewport();
  if (iZoomX == 1 && iZoomY == 1) {
    Osci1->resize(vp->size());
    return;
  }
  QScrollBar* hs = ScrollBox1->horizontalScrollBar();
  QScrollBar* vs = ScrollBox1->verticalScrollBar();
  const int64_t px = ZoomPoint(hs->value(), vp->width(), Osci1->width());
  const int64_t py = ZoomPoint(vs->value(), vp->height(), Osci1->height());
  Osci1->resize(vp->width() * iZoomX, vp->height() * iZoomY);
  // The scroll bars may have taken some of the viewport: once more.
  Osci1->resize(vp->width() * iZoomX, Osci1->height());
  hs->setValue(static_cast<int>(ZoomPosition(px, vp->width(), Osci1->width())));
  vs->setValue(static_cast<int>(ZoomPosition(py, vp->height(), Osci1->height())));
}

void TFormOsci::resizeEvent(QResizeEvent* e) {
  QMainWindow::resizeEvent(e);
  FormResize();
}

void TFormOsci::showEvent(QShowEvent* e) {
  QMainWindow::showEvent(e);
  FormResize();
  ButtonUpload->setFocus();
}

int TFormOsci::ChannelOf(QObject* o) const {
  for (int i = 0; i < kOscChannels; ++i)
    if (o == aCheckBox[static_cast<size_t>(i)] || o == aPanel[static_cast<size_t>(i)]) return i;
  return -1;
}

void TFormOsci::ScrollBy(int dx, int dy) {
  for (auto [sb, d] : {std::pair{ScrollBox1->horizontalScrollBar(), dx}, std::pair{ScrollBox1->verticalScrollBar(), dy}}) {
    if (d == 0) continue;
    const int step = std::max(1, sb->maximum() / (2 * iZoomY));
    sb->setValue(std::clamp(sb->value() + d * step, 0, sb->maximum()));
  }
}

bool TFormOsci::KeyPreview(QKeyEvent* k) {
  if (k->modifiers() & Qt::AltModifier) {
    switch (k->key()) {
      case Qt::Key_Left: ScrollBy(-1, 0); return true;
      case Qt::Key_Right: ScrollBy(1, 0); return true;
      case Qt::Key_Up: ScrollBy(0, -1); return true;
      case Qt::Key_Down: ScrollBy(0, 1); return true;
      default: break;
    }
  }
  if (k->key() == Qt::Key_Escape && k->modifiers() == Qt::NoModifier) {
    hide();
    return true;
  }
  if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
    const int ch = ChannelOf(QApplication::focusWidget());
    if (ch >= 0 && QApplication::focusWidget() == aPanel[static_cast<size_t>(ch)]) {
      aCheckBox[static_cast<size_t>(ch)]->click();
      return true;
    }
  }
  return false;
}

bool TFormOsci::eventFilter(QObject* o, QEvent* e) {
  if (e->type() == QEvent::KeyPress && o->isWidgetType() && static_cast<QWidget*>(o)->window() == this)
    return KeyPreview(static_cast<QKeyEvent*>(e));
  const int ch = ChannelOf(o);
  if (ch >= 0) {
    QLabel* panel = aPanel[static_cast<size_t>(ch)];
    if (e->type() == QEvent::FocusIn || e->type() == QEvent::FocusOut) {
      QPalette pal = panel->palette();
      pal.setColor(QPalette::Window, e->type() == QEvent::FocusIn ? palette().color(QPalette::Highlight)
                                                                  : palette().color(QPalette::Button));
      panel->setPalette(pal);
    } else if (e->type() == QEvent::MouseButtonPress && o == panel && isVisible()) {
      panel->setFocus();
    }
  }
  return QMainWindow::eventFilter(o, e);
}

void TFormOsci::ButtonUploadClick() {
  TScopeLink link = LinkAccess ? LinkAccess() : TScopeLink{};
  RecorderUpload->Attach(link.Comm, link.Hooks);
  // Recorder -1 is never sent: without a choice, recorder 0.
  int recorder = ComboBoxRecorder->currentIndex();
  if (recorder < 0) {
    recorder = 0;
    ComboBoxRecorder->setCurrentIndex(0);
  }
  RecorderUpload->FormShow();
  // A fresh buffer: points that do not arrive must not show the last upload's values.
  for (int c = 0; c < kOscChannels; ++c)
    for (int p = 0; p < kOscPoints; ++p) data_.StoreUploadValue(p, c, 0);
  const bool ok = RecorderUpload->StartUpload(
      recorder, [this](int32_t p, int32_t c, int32_t v) { data_.StoreUploadValue(p, c, v); }, kOscPoints);
  if (ok) {
    data_.AcceptUpload(recorder);
    setWindowTitle("Oszillogramm [" + ComboBoxRecorder->itemText(recorder) + "]");
    RedrawAll();
  }
  RecorderUpload->FormHide();
  show();
}

void TFormOsci::AbandonUpload() { RecorderUpload->Abandon(); }

void TFormOsci::SetData(const TOscillData& d) {
  data_ = d;
  settingUp_ = true;
  auto pick = [](QComboBox* c, int i) { c->setCurrentIndex(i >= 0 && i < c->count() ? i : 0); };
  pick(ComboBoxZoomX, d.iZoomXIndex);
  pick(ComboBoxZoomY, d.iZoomYIndex);
  pick(ComboBoxMaxY, d.iMaxYIndex);
  pick(ComboBoxMinY, d.iMinYIndex);
  settingUp_ = false;
  ChannelsFromData();
  RedrawAll();
}

void TFormOsci::ChannelsFromData() {
  for (int i = 0; i < kOscChannels; ++i) {
    aCheckBox[static_cast<size_t>(i)]->setChecked(data_.aboChecked[static_cast<size_t>(i)]);
    aPanel[static_cast<size_t>(i)]->setText(QString::fromStdString(data_.asName[static_cast<size_t>(i)]));
  }
}

}  // namespace zeb7::gui
