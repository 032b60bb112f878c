#pragma once
// "Parameter Preview": the rows of a parameter file as the display windows
// would show them, whether the connected drive has each parameter and what it
// holds now (differing rows marked), CSV and text exports, and a download of
// the ticked rows. The rows are core::TParamPreview's.
#include <QWidget>
#include <functional>
#include <set>

#include "paramfiles/ParamPreview.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace zeb7 {
class TDriveModel;
}

namespace zeb7::gui {

class TSortedStringGrid;

class TFormParameterPreview : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kDriveColumn = 5;

  TFormParameterPreview(zeb7::TDriveModel* model, QWidget* parent);

  void InitGrid();
  void DisplayParameterFile(const QString& sFileName);
  // The exports to a chosen file; false with a message box on failure.
  bool SaveCsv(const QString& path);
  bool SaveTxt(const QString& path);
  // Keys of the ticked rows that a download can write.
  std::set<int32_t> TickedKeys() const;
  const zeb7::TParamPreview& Preview() const { return preview_; }
  const QString& FileName() const { return fileName_; }

  // "Load ticked rows": the file and the parameters to write.
  std::function<void(const QString& file, const std::set<int32_t>& keys)> OnLoadTicked;

  QLabel* Legend1;
  QLabel* Legend2;
  TSortedStringGrid* StringGrid1;
  QPlainTextEdit* Memo1;
  QPushButton* BtnSaveAsCsv;
  QPushButton* BtnSaveAsTxt;
  QPushButton* BtnLoadTicked;
  QPushButton* BtnCancel;

 protected:
  void resizeEvent(QResizeEvent* e) override;

 private:
  void BtnSaveAsCsvClick();
  void BtnSaveAsTxtClick();
  bool Export(const QString& path, const std::string& bytes);

  zeb7::TDriveModel* model_;
  zeb7::TParamPreview preview_;
  QString fileName_;
};

}  // namespace zeb7::gui
