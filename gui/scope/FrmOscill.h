#pragma once
// The oscillogram window: ten recorded channels of 256 samples in a chart
// inside a scroll box with zoom, the Y range choice, the channel panels, the
// recorder upload, saving, loading, exports and printing.
#include <QMainWindow>
#include <QString>
#include <array>
#include <functional>
#include <vector>

#include "scope/Calculat.h"
#include "scope/OscillData.h"
#include "scope/RecorderUpload.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QScrollArea;
class QAction;

namespace zeb7::gui {

class TOsci;
class TRecorderUpload;
class TFormPrnt2;

// The link as the oscillogram window needs it for an upload.
struct TScopeLink {
  zeb7::TCommInterface* Comm = nullptr;
  zeb7::TRecorderUploadHooks Hooks;
};

class TFormOsci : public QMainWindow {
  Q_OBJECT
 public:
  explicit TFormOsci(QWidget* parent = nullptr);
  ~TFormOsci() override;

  // Called at every upload: the current link (none while there is none).
  std::function<TScopeLink()> LinkAccess;
  // Shows a message to the user; tests replace it.
  std::function<void(const QString&)> ShowMessage;

  void SetColor(int iChannel, QColor c);
  void RedrawSingle(int iNr, bool boRefresh);
  void RedrawAll();
  void ButtonUploadClick();
  // Before the link is freed: a running upload lets go of it.
  void AbandonUpload();
  void FormResize();

  // Files; each reports failures through ShowMessage and returns success.
  bool SaveTo(const QString& file);
  bool LoadFrom(const QString& file);  // a damaged file leaves the data as it was
  bool ExportCsv(const QString& file);
  bool ExportPng(const QString& file);
  bool ExportPdf(const QString& file);

  const zeb7::TOscillData& Data() const { return data_; }
  void SetData(const zeb7::TOscillData& d);  // the controls follow the data
  TOsci* Chart() const { return Osci1; }
  TFormPrnt2* PrintDialog() const { return FormPrnt2; }
  TRecorderUpload* UploadWindow() const { return RecorderUpload; }

  int iZoomX = 1, iZoomY = 1;
  std::array<QColor, zeb7::kOscChannels> aColor;

  QComboBox *ComboBoxRecorder, *ComboBoxZoomX, *ComboBoxZoomY, *ComboBoxMaxY, *ComboBoxMinY;
  QPushButton* ButtonUpload;
  QScrollArea* ScrollBox1;
  TOsci* Osci1;
  QWidget* PanelChannels;
  QLabel* PanelHint;
  std::array<QFrame*, zeb7::kOscChannels> aColorPanel{};
  std::array<QLabel*, zeb7::kOscChannels> aPanel{};
  std::array<QCheckBox*, zeb7::kOscChannels> aCheckBox{};
  QAction *Grafikladen1, *Speichernunter1, *Drucken1, *Ende1, *ExportCsv1, *ExportPng1, *ExportPdf1, *Hilfe1;

 protected:
  bool eventFilter(QObject* o, QEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void showEvent(QShowEvent* e) override;

 private:
  void CreateControls();
  void CreateChannelPanels();
  void CreateMenus();
  void ApplyYRange();
  void ApplyZoom();
  void ChannelsFromData();
  bool KeyPreview(QKeyEvent* k);
  void ScrollBy(int dx, int dy);
  int ChannelOf(QObject* o) const;
  void LoadFileClick();
  void SaveFileClick();
  void ExportClick(const QString& kind);

  zeb7::TOscillData data_;
  std::vector<zeb7::TEvaluate> aEvaluate;  // one per channel
  TRecorderUpload* RecorderUpload;
  TFormPrnt2* FormPrnt2;
  bool settingUp_ = true;
};

}  // namespace zeb7::gui
