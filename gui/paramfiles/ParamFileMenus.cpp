#include "gui/paramfiles/ParamFileMenus.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTimer>

#include "gui/link/CommDriveLink.h"
#include "gui/paramfiles/FrmParamDownload.h"
#include "gui/paramfiles/FrmParameterPreview.h"
#include "gui/views/FrmDebug.h"
#include "gui/views/FrmParameterTree.h"
#include "gui/workspace/Main.h"
#include "link/Commands.h"
#include "link/TextCodec.h"
#include "model/DriveModel.h"
#include "paramfiles/ParamFile.h"

namespace zeb7::gui {

namespace {

constexpr const char* kFilter = "ZEB7 Parameters (*.kvtp)";

// Both parameter file dialogs start here; a chosen file's folder becomes it.
QString& ParamFolder() {
  static QString folder = QCoreApplication::applicationDirPath();
  return folder;
}

zeb7::TCommInterface* CommOf(TMainForm& main) {
  auto* link = dynamic_cast<TCommDriveLink*>(main.Link());
  return link ? &link->Comm() : nullptr;
}

// Runs the event loop (which serves the link's hand-overs) until `done` or `ms` passed.
bool WaitServing(const std::function<bool()>& done, int ms, const std::function<void(int)>& progress = {}) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) {
    QEventLoop loop;
    QTimer::singleShot(100, &loop, &QEventLoop::quit);
    loop.exec();
    if (progress) progress(static_cast<int>(t.elapsed() * 100 / std::max(ms, 1)));
  }
  return done();
}

void SendDisable(TMainForm& main) {
  if (main.DriveModel()) main.DriveModel()->ExchVars.SendCommand(zeb7::kDriveCmdDisable);
}

// Up to 40 times, 100 ms apart, until the drive reports itself disabled.
void WaitDisabled(TMainForm& main) {
  zeb7::TDriveModel* m = main.DriveModel();
  if (!m) return;
  for (int i = 0; i < 40 && m->Status.DownButton() != zeb7::dbDisableDrive; ++i) {
    SendDisable(main);
    WaitServing([m] { return m->Status.DownButton() == zeb7::dbDisableDrive; }, 100);
  }
}

QString OpenParamFile(TMainForm& main, const QString& title) {
  QFileDialog dlg(&main, title, ParamFolder(), kFilter);
  dlg.setAcceptMode(QFileDialog::AcceptOpen);
  dlg.setFileMode(QFileDialog::ExistingFile);
  dlg.setDefaultSuffix("kvtp");
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return {};
  const QString file = dlg.selectedFiles().front();
  ParamFolder() = QFileInfo(file).absolutePath();
  return file;
}

struct TParamWindows {
  TParamDownloadDlg* download = nullptr;
  TFormParameterPreview* preview = nullptr;
  TFormParameterTree* tree = nullptr;
  TFormDebug* debug = nullptr;
};

// Asks before writing a file made for another drive; false when the user declines.
bool ConfirmTypePlate(TMainForm& main, const QString& file) {
  zeb7::TDriveModel* m = main.DriveModel();
  std::vector<std::string> lines;
  std::string error;
  if (!m || !zeb7::ReadFileLines(file.toStdString(), lines, error)) return true;  // the dialog reports it
  const auto diff = zeb7::TypePlateDifferences(lines, *m);
  if (diff.empty()) return true;
  QString text = "The type plate of this file differs from the connected drive's:\n";
  for (size_t i = 0; i < diff.size() && i < 8; ++i) text += "\n" + QString::fromStdString(zeb7::Latin1ToUtf8(diff[i]));
  text += "\n\nLoad the parameters anyway?";
  return QMessageBox::question(&main, "Load Parameters", text, QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

void StartDownload(TMainForm& main, TParamWindows& w, const QString& file,
                   std::optional<std::set<int32_t>> keys = std::nullopt) {
  if (!ConfirmTypePlate(main, file)) return;
  if (!w.download) {
    w.download = new TParamDownloadDlg(main.DriveModel(), &main);
    w.download->CommProvider = [&main] { return CommOf(main); };
  }
  w.download->show();
  w.download->raise();
  w.download->StartParameterDownload(file, std::move(keys));
}

}  // namespace

bool SaveParametersTo(TMainForm& main, const QString& file, QString& error, int completeLimitMs) {
  zeb7::TDriveModel* m = main.DriveModel();
  if (!m) {
    error = "No drive data model";
    return false;
  }
  if (!zeb7::DatabaseComplete(*m)) {
    m->ProjectState.SearchParams();
    QProgressDialog progress("Reading every parameter from the drive ...", "Cancel", 0, 100, &main);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    bool cancelled = false;
    const bool complete = WaitServing(
        [&] {
          cancelled = progress.wasCanceled();
          return cancelled || zeb7::DatabaseComplete(*m);
        },
        completeLimitMs, [&](int pct) { progress.setValue(std::min(pct, 99)); });
    if (!complete || cancelled) {
      error = "The drive did not deliver every parameter: the parameters were not saved";
      return false;
    }
  }
  std::string why;
  if (!zeb7::WriteParameterFile(*m, file.toStdString(), why)) {
    error = QString::fromStdString(why);
    return false;
  }
  return true;
}

void ConnectParameterFileMenus(TMainForm& main) {
  auto* w = new TParamWindows;
  QObject::connect(&main, &QObject::destroyed, [w] { delete w; });

  main.SaveParametersas1->setEnabled(true);
  QObject::connect(main.SaveParametersas1, &QAction::triggered, &main, [&main] {
    SendDisable(main);
    QFileDialog dlg(&main, "Save Parameters", ParamFolder(), kFilter);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setDefaultSuffix("kvtp");
    dlg.setOption(QFileDialog::DontConfirmOverwrite);
    dlg.selectFile("*.kvtp");
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return;
    const QString file = dlg.selectedFiles().front();
    ParamFolder() = QFileInfo(file).absolutePath();
    WaitDisabled(main);
    QString error;
    if (!SaveParametersTo(main, file, error)) QMessageBox::critical(&main, "Save Parameters", error);
  });

  main.LoadParameters1->setEnabled(true);
  QObject::connect(main.LoadParameters1, &QAction::triggered, &main, [&main, w] {
    SendDisable(main);
    const QString file = OpenParamFile(main, "Load Parameters");
    if (file.isEmpty()) return;
    StartDownload(main, *w, file);  // disabling and waiting run in the dialog's timer
  });

  main.ExamineParameterFile1->setEnabled(true);
  QObject::connect(main.ExamineParameterFile1, &QAction::triggered, &main, [&main, w] {
    const QString file = OpenParamFile(main, "Examine Parameter file");
    if (file.isEmpty()) return;
    if (!w->preview) {
      w->preview = new TFormParameterPreview(main.DriveModel(), &main);
      w->preview->OnLoadTicked = [&main, w](const QString& f, const std::set<int32_t>& keys) {
        if (keys.empty()) {
          QMessageBox::information(&main, "Parameter Preview", "No ticked parameter can be written to the drive.");
          return;
        }
        SendDisable(main);
        StartDownload(main, *w, f, keys);
      };
    }
    w->preview->show();
    w->preview->raise();
    w->preview->DisplayParameterFile(file);
  });

  QObject::disconnect(main.Parameters1, &QAction::triggered, nullptr, nullptr);
  main.Parameters1->setEnabled(true);
  QObject::connect(main.Parameters1, &QAction::triggered, &main, [&main, w] {
    if (main.DriveModel()) main.DriveModel()->ProjectState.SearchParams();
    if (!w->tree) w->tree = new TFormParameterTree(main.DriveModel(), &main);
    w->tree->Rebuild();
    w->tree->show();
    w->tree->raise();
  });

  main.ShowCommunication1->setEnabled(true);
  QObject::connect(main.ShowCommunication1, &QAction::triggered, &main, [&main, w] {
    if (!w->debug) {
      w->debug = new TFormDebug(&main);
      w->debug->CommProvider = [&main] { return CommOf(main); };
    }
    w->debug->show();
    w->debug->raise();
  });
}

}  // namespace zeb7::gui
