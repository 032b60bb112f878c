#include "gui/workspace/DisplayList.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QInputDialog>
#include <QMenu>
#include <QMimeData>
#include <QTabBar>
#include <QTabWidget>
#include <algorithm>

#include "displays/DisplayMath.h"
#include "gui/displays/DisplayFactory.h"
#include "gui/displays/DisplayWin.h"
#include "gui/views/FrmTabelle.h"
#include "gui/workspace/DlgNewElement.h"
#include "gui/workspace/ScrollingTabSheet.h"
#include "model/DriveModel.h"
#include "workspace/ProjectDocument.h"
#include "workspace/ProjectIni.h"

namespace zeb7::gui {

namespace {
QString L1(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }
std::string ToL1(const QString& s) { return s.toLatin1().toStdString(); }

bool KeyOf(const QMimeData* mime, int32_t& key) {
  if (!mime || !mime->hasFormat(kParamKeyMimeType)) return false;
  bool ok = false;
  key = mime->data(kParamKeyMimeType).trimmed().toInt(&ok);
  return ok && key >= 0;
}

QString ParentNameOf(const QWidget* w) {
  const QWidget* p = w->parentWidget();
  return p ? p->objectName() : QString();
}
}  // namespace

TWorkspace::TWorkspace(QTabWidget* pageControl, QWidget* owner, zeb7::TDriveModel* model, TWorkspaceHooks hooks)
    : QObject(owner), pageControl_(pageControl), owner_(owner), model_(model), hooks_(std::move(hooks)) {
  pageControl_->setAcceptDrops(true);
  pageControl_->installEventFilter(this);
}

TWorkspace::~TWorkspace() = default;

void TWorkspace::Modified() {
  if (hooks_.DataModified) hooks_.DataModified();
}

TScrollingTabSheet* TWorkspace::Sheet(int page) const {
  return qobject_cast<TScrollingTabSheet*>(pageControl_->widget(page));
}

TScrollingTabSheet* TWorkspace::ActiveSheet() const { return Sheet(pageControl_->currentIndex()); }

// ---- display list

void TWorkspace::CollectDisplays(QWidget* parent, QList<QPointer<QWidget>>& out) const {
  for (QWidget* c : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    auto* d = qobject_cast<TDisplayWin*>(c);
    if (!d || !d->isEnabled()) continue;  // disabled: being deleted
    out.append(d);
    CollectDisplays(d, out);
  }
}

void TWorkspace::RebuildDisplayList() {
  DisplayList.clear();
  for (int i = 0; i < pageControl_->count(); ++i) {
    TScrollingTabSheet* s = Sheet(i);
    if (!s || !s->isEnabled()) continue;
    DisplayList.append(s);
    CollectDisplays(s->ScrollBox, DisplayList);
  }
  CollectDisplays(pageControl_, DisplayList);  // dropped onto the tab strip
}

QWidget* TWorkspace::GetParentByName(const QString& wanted) {
  const QString name = (wanted.isEmpty() || wanted == "DUMMY") ? QString(zeb7::kLostPageName) : wanted;
  auto find = [&]() -> QWidget* {
    if (pageControl_->objectName() == name) return pageControl_;
    for (QWidget* w : pageControl_->findChildren<QWidget*>(name))
      if (qobject_cast<TSheetContent*>(w) || qobject_cast<TDisplayWin*>(w)) return w;
    return nullptr;
  };
  if (QWidget* w = find()) return w;
  if (hooks_.Message) hooks_.Message(QString("Parent %1 not found!").arg(name));
  try {
    TScrollingTabSheet* s = NewSheet(name, name == zeb7::kLostPageName ? zeb7::kMissingPageCaption
                                                                        : zeb7::kBrokenParametersCaption);
    DisplayList.append(s);
    Modified();
    QWidget* w = find();
    if (hooks_.Message) hooks_.Message(QString("Dummy Page %1 created!").arg(name));
    return w;
  } catch (...) {
    if (hooks_.Message) hooks_.Message(QString("Parent %1 not found!").arg(name));
    return nullptr;
  }
}

// ---- sheets

void TWorkspace::BindSheet(TScrollingTabSheet* sheet) {
  sheet->ScrollBox->OnDragOver = [this](const QMimeData* m) { return AcceptsDrop(m); };
  sheet->ScrollBox->OnDrop = [this](QWidget* t, const QMimeData* m, QPoint p) { Drop(t, m, p); };
}

TScrollingTabSheet* TWorkspace::NewSheet(const QString& name, const QString& caption) {
  auto* s = new TScrollingTabSheet(pageControl_);
  s->SetName(name);
  pageControl_->addTab(s, caption);
  BindSheet(s);
  return s;
}

QString TWorkspace::FreeSheetName() const {
  for (int i = 1;; ++i) {
    const QString candidate = QString(zeb7::kSheetNameBase) + QString::number(i);
    if (!owner_->findChild<QObject*>(candidate)) return candidate;
  }
}

TScrollingTabSheet* TWorkspace::AddSheet1Click() {
  TScrollingTabSheet* s = NewSheet(FreeSheetName(), QString());
  DisplayList.append(s);
  Modified();
  return s;
}

void TWorkspace::Caption1Click() {
  const int page = pageControl_->currentIndex();
  if (page < 0) return;
  const QString old = pageControl_->tabText(page);
  bool ok = false;
  QPointer<QTabWidget> pc(pageControl_);
  const QString text = QInputDialog::getText(owner_, "Input Dialog", "Caption:", QLineEdit::Normal, old, &ok);
  if (!pc || !ok || text == old || page >= pc->count()) return;
  pc->setTabText(page, text);
  Modified();
}

void TWorkspace::RemoveSheet1Click() {
  TScrollingTabSheet* s = ActiveSheet();
  if (!s) return;
  // Off the parameter lists first: deleting the sheet deletes its displays.
  for (TDisplayWin* d : s->findChildren<TDisplayWin*>()) d->Binding().Unlink();
  pageControl_->removeTab(pageControl_->indexOf(s));
  delete s;  // now, so its name is free for the next sheet
  RebuildDisplayList();
  Modified();
}

void TWorkspace::MoveLeft1Click() {
  const int i = pageControl_->currentIndex();
  if (i <= 0) return;
  pageControl_->tabBar()->moveTab(i, i - 1);
  Modified();
}

void TWorkspace::MoveRight1Click() {
  const int i = pageControl_->currentIndex();
  if (i < 0 || i >= pageControl_->count() - 1) return;
  pageControl_->tabBar()->moveTab(i, i + 1);
  Modified();
}

// ---- drops and display creation

bool TWorkspace::AcceptsDrop(const QMimeData* mime) const {
  int32_t key = 0;
  if (!model_ || !KeyOf(mime, key)) return false;
  auto lock = model_->Lock();
  return model_->ParameterList.Find(key) != nullptr;
}

void TWorkspace::Drop(QWidget* target, const QMimeData* mime, QPoint pos) {
  int32_t key = 0;
  if (!AcceptsDrop(mime) || !KeyOf(mime, key)) return;
  CreateNewDisplayWin(target, key, pos.y(), pos.x());
}

bool TWorkspace::eventFilter(QObject* o, QEvent* e) {
  if (o == pageControl_) {
    if (e->type() == QEvent::DragEnter || e->type() == QEvent::DragMove) {
      auto* de = static_cast<QDragMoveEvent*>(e);
      if (AcceptsDrop(de->mimeData())) de->acceptProposedAction();
      else de->ignore();
      return true;
    }
    if (e->type() == QEvent::Drop) {
      auto* de = static_cast<QDropEvent*>(e);
      if (AcceptsDrop(de->mimeData())) {
        de->acceptProposedAction();
        Drop(pageControl_, de->mimeData(), de->position().toPoint());
      }
      return true;
    }
  }
  return QObject::eventFilter(o, e);
}

TDisplayWin* TWorkspace::CreateDisplayWinFromParameter(QWidget* parent, int32_t key) {
  if (!parent || !model_) return nullptr;
  zeb7::TDispParam desc;
  {
    auto lock = model_->Lock();
    zeb7::TParameter* p = model_->ParameterList.Find(key);
    if (!p) return nullptr;
    desc = p->Descriptor();
  }
  const zeb7::TDisplayClass cls = zeb7::DisplayClassForParameter(desc.sControl);
  if (cls == zeb7::dcNone) return nullptr;
  TDisplayWin* w = CreateDisplayWin(cls, parent, model_);
  if (!w) return nullptr;
  w->Core().SetControlProperties(desc.sControlProperties);
  BindHandlers(w);
  w->SetUniqueName(owner_);
  w->Core().TakeDescriptor(desc);
  w->Core().OptimalSize();
  w->SetDesignMode(true);  // movable at once, whatever "Modify" says
  w->SyncFromCore();
  w->Binding().AttachTo(key);
  DisplayList.append(w);
  Modified();
  return w;
}

TDisplayWin* TWorkspace::CreateNewDisplayWin(QWidget* target, int32_t key, int y, int x) {
  TDisplayWin* w = CreateDisplayWinFromParameter(target, key);
  if (!w) return nullptr;
  w->Core().MoveTo(zeb7::NearestRaster(x, false), zeb7::NearestRaster(y, false));
  w->ApplyCoreBounds();
  w->show();
  w->update();
  return w;
}

void TWorkspace::DeleteDisplay(TDisplayWin* w) {
  if (!w) return;
  // Nothing below it may receive values once it is on its way out.
  w->Binding().Unlink();
  for (TDisplayWin* d : w->findChildren<TDisplayWin*>()) d->Binding().Unlink();
  w->setEnabled(false);
  w->hide();
  RebuildDisplayList();
  w->deleteLater();  // we may be inside its own event handling
  Modified();
}

TDisplayWin* TWorkspace::MakeReplacement(TDisplayWin* old, zeb7::TDisplayClass cls) {
  if (!old || !old->parentWidget()) return nullptr;
  TDisplayWin* w = CreateDisplayWin(cls, old->parentWidget(), model_);
  if (!w) return nullptr;
  BindHandlers(w);
  w->SetUniqueName(owner_);
  w->show();
  return w;
}

void TWorkspace::BindHandlers(TDisplayWin* w) {
  zeb7::TDisplayBinding& b = w->Binding();
  QPointer<TDisplayWin> guard(w);
  b.OnEingabe = [this, &b] {
    if (model_) model_->ExchVars.SendeNeuenWert(&b);
  };
  b.OnLoeschen = [this](zeb7::TDisplayBinding* self) { DeleteDisplay(WidgetOf(self)); };
  b.OnModify = [this] { Modified(); };
  b.OnSearchParam = [this] {
    if (hooks_.SearchParams) hooks_.SearchParams();
  };
  b.OnDebugQuery = [this](const std::string& line) {
    if (hooks_.DebugLine) hooks_.DebugLine(L1(line));
  };
  b.OnCreateReplacement = [this, guard](zeb7::TDisplayClass cls) -> zeb7::TDisplayBinding* {
    TDisplayWin* n = MakeReplacement(guard, cls);
    return n ? &n->Binding() : nullptr;
  };
}

TDisplayWin* TWorkspace::CreateElement(zeb7::TDisplayClass cls, QWidget* target, const QString& caption) {
  TDisplayWin* w = CreateDisplayWin(cls, target, model_);
  if (!w) return nullptr;
  BindHandlers(w);
  w->SetUniqueName(owner_);
  w->Core().SetCaption(ToL1(caption));
  w->SetDesignMode(true);
  w->show();
  DisplayList.append(w);
  return w;
}

TDisplayWin* TWorkspace::AddNewElement(QWidget* target) {
  if (!target) return nullptr;
  TFormNewElement dlg(owner_);
  QPointer<QWidget> t(target);
  TDisplayWin* w = nullptr;
  if (dlg.exec() == QDialog::Accepted && t) w = CreateElement(dlg.ChosenClass(), t, dlg.EditCaption->text());
  Modified();
  return w;
}

// ---- whole workspace

void TWorkspace::Clear() {
  if (model_) {
    auto lock = model_->Lock();
    model_->ParameterList.RemoveAllDisplays();
  }
  RebuildDisplayList();
  // Reverse list order deletes what lies inside a box before the box.
  for (int i = DisplayList.size() - 1; i >= 0; --i)
    if (QWidget* w = DisplayList[i]; w && !qobject_cast<TScrollingTabSheet*>(w)) delete w;
  for (int i = pageControl_->count() - 1; i >= 0; --i) {
    QWidget* page = pageControl_->widget(i);
    pageControl_->removeTab(i);
    delete page;
  }
  for (TDisplayWin* d : pageControl_->findChildren<TDisplayWin*>(Qt::FindDirectChildrenOnly)) delete d;
  DisplayList.clear();
}

void TWorkspace::NewWorkspace() {
  TScrollingTabSheet* s = AddSheet1Click();
  pageControl_->setTabText(pageControl_->indexOf(s), "Page1");
}

zeb7::TProjectDocument TWorkspace::Document() {
  RebuildDisplayList();
  zeb7::TProjectDocument doc;
  if (model_) {
    zeb7::TProjectIni ini;
    {
      auto lock = model_->Lock();
      model_->ProjectState.WriteToIniFile(ini);
    }
    doc.DriveSections = ini.Content();
  }
  for (const auto& p : DisplayList) {
    if (!p) continue;
    zeb7::TProjectItem item;
    if (auto* s = qobject_cast<TScrollingTabSheet*>(p.data())) {
      item.Class = zeb7::dcSheet;
      item.Name = ToL1(s->Name());
      item.Parent = zeb7::kPageControlName;
      item.Caption = ToL1(pageControl_->tabText(pageControl_->indexOf(s)));
      const QRect g = s->geometry();
      item.Height = g.height();
      item.Width = g.width();
      item.Top = g.y();
      item.Left = g.x();
      item.PageIndex = pageControl_->indexOf(s);
      s->GetReferencePosition(item.ClientLeft, item.ClientTop);
    } else if (auto* d = qobject_cast<TDisplayWin*>(p.data())) {
      d->Core().WriteRecord(item);
      d->Core().SetCreatedFromIniFile(true);
      item.Class = d->DisplayClass();
      item.Name = ToL1(d->objectName());
      item.Parent = ToL1(ParentNameOf(d));
    } else {
      continue;
    }
    doc.Items.push_back(std::move(item));
  }
  return doc;
}

void TWorkspace::Build(const zeb7::TProjectDocument& doc) {
  if (model_) {
    zeb7::TProjectIni ini(doc.DriveSections);
    auto lock = model_->Lock();
    model_->ProjectState.ReadFromIniFile(ini);
  }
  std::vector<QPointer<QWidget>> made(doc.Items.size());
  std::vector<TScrollingTabSheet*> sheets;
  for (size_t i = 0; i < doc.Items.size(); ++i) {
    const zeb7::TProjectItem& item = doc.Items[i];
    try {
      if (item.IsSheet()) {
        TScrollingTabSheet* s = NewSheet(L1(item.Name), L1(item.Caption));
        s->RememberedPageIndex = item.PageIndex;
        sheets.push_back(s);
        made[i] = s->ScrollBox;
        continue;
      }
      QWidget* parent = nullptr;
      if (item.ParentItem != zeb7::kNoParent && item.ParentItem < made.size()) parent = made[item.ParentItem];
      else if (item.Parent == zeb7::kPageControlName) parent = pageControl_;
      else parent = GetParentByName(L1(item.Parent));
      if (!parent) continue;  // stays out of the workspace, as the file had it broken
      TDisplayWin* w = CreateDisplayWin(item.Class, parent, model_);
      if (!w) continue;
      w->setObjectName(L1(item.Name));
      w->Core().ReadRecord(item);
      w->ApplyCoreBounds();
      w->SyncFromCore();
      w->show();
      w->Binding().AttachAfterLoad();
      made[i] = w;
    } catch (...) {
      // one bad section never stops the others
    }
  }
  RebuildDisplayList();
  for (const auto& p : DisplayList)
    if (auto* d = qobject_cast<TDisplayWin*>(p.data())) BindHandlers(d);
  // Remembered tab positions applied in ascending order restore the saved order
  // whatever the order of the sections.
  std::stable_sort(sheets.begin(), sheets.end(), [](auto* a, auto* b) {
    return a->RememberedPageIndex < b->RememberedPageIndex;
  });
  for (TScrollingTabSheet* s : sheets) {
    const int want = s->RememberedPageIndex, now = pageControl_->indexOf(s);
    if (want >= 0 && want < pageControl_->count() && now >= 0 && now != want)
      pageControl_->tabBar()->moveTab(now, want);
  }
  if (pageControl_->count() > 0) pageControl_->setCurrentIndex(0);
  RebuildDisplayList();
  if (doc.Modified) Modified();
}

}  // namespace zeb7::gui
