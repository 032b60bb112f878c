#include "displays/DisplayBinding.h"

#include <algorithm>
#include <mutex>

#include "model/ModelEvents.h"
#include "model/UParam.h"
#include "workspace/ProjectDocument.h"

namespace zeb7 {
namespace {

std::unique_lock<std::recursive_mutex> LockOf(TModelContext* ctx) {
  return ctx ? std::unique_lock<std::recursive_mutex>(ctx->Mutex) : std::unique_lock<std::recursive_mutex>();
}

}  // namespace

TUpdatePlan PlanUpdate(const TDisplayCore& current, const TDispParam& param) {
  TDisplayClass cls = DisplayClassForParameter(param.sControl);
  if (cls == dcNone) return {};
  return {cls == current.Class() ? ukInPlace : ukReplace, cls};
}

void ReplaceInDisplayList(TDisplayList& list, IDisplayWin* old, IDisplayWin* neu) {
  list.erase(std::remove(list.begin(), list.end(), old), list.end());
  if (neu && std::find(list.begin(), list.end(), neu) == list.end()) list.push_back(neu);
}

TDisplayBinding::TDisplayBinding(std::unique_ptr<TDisplayCore> core, TParameterList* params, TModelContext* ctx)
    : core_(core ? std::move(core) : CreateDisplayCore(dcDisplayWin)), params_(params), ctx_(ctx) {}

TDisplayBinding::~TDisplayBinding() { Unlink(); }

void TDisplayBinding::SetModel(TParameterList* params, TModelContext* ctx) {
  Unlink();
  params_ = params;
  ctx_ = ctx;
}

void TDisplayBinding::SetRawValue(int64_t raw) {
  ++valuesReceived_;
  core_->SetRawValue(raw);
}
int64_t TDisplayBinding::GetRawValue() const { return core_->GetRawValue(); }
const TDispParam& TDisplayBinding::GetLocalParam() const { return core_->LocalParam; }
void TDisplayBinding::SetDispWinState(TDispWinState state) { core_->SetDispWinState(state); }

void TDisplayBinding::UpdateDisplayWinFromParameter(const TDispParam& param, TDisplayList& list) {
  UpdateFromParameter(param, list);
}

void TDisplayBinding::Register(TDisplayList* list) {
  if (!list) return;
  auto lock = LockOf(ctx_);
  if (std::find(list->begin(), list->end(), this) == list->end()) list->push_back(this);
}

void TDisplayBinding::Unlink() {
  if (!params_) return;
  auto lock = LockOf(ctx_);
  params_->RemoveDisplay(this);
}

void TDisplayBinding::AttachTo(int32_t key) {
  if (!params_) return;
  auto lock = LockOf(ctx_);
  TParameter* p = params_->Find(key);
  if (!p) return;
  p->AddDisplay(this);
  p->P.DisplayUpToDate = true;
}

TDisplayBinding* TDisplayBinding::UpdateFromParameter(const TDispParam& param, TDisplayList& list) {
  TUpdatePlan plan = PlanUpdate(*core_, param);
  if (plan.Kind == ukIgnore) return this;
  TDisplayBinding* w = this;
  bool changed;
  if (plan.Kind == ukInPlace) {
    // Compared before the properties are taken, so a change of the properties
    // alone also counts (and marks the project modified).
    changed = core_->DiffersFrom(param);
    core_->SetControlProperties(param.sControlProperties);
  } else {
    w = OnCreateReplacement ? OnCreateReplacement(plan.NewClass) : nullptr;
    if (!w || w == this) return this;
    w->core_->SetControlProperties(param.sControlProperties);
    w->core_->Assign(*core_);
    changed = true;
  }
  if (!changed) return w;
  w->core_->TakeDescriptor(param);
  w->core_->OptimalSize();
  w->core_->Drag.SetDesignMode(true);
  if (w == this) {
    core_->SetDispWinState(dwsUpdated);
  } else {
    {
      auto lock = LockOf(ctx_);
      ReplaceInDisplayList(list, this, w);
    }
    core_->SetDispWinState(dwsReplaced);
    if (OnLoeschen) OnLoeschen(this);
  }
  if (w->OnModify) w->OnModify();
  return w;
}

void TDisplayBinding::HandleRefresh(int64_t lParam) {
  if (lParam == 3) {
    if (OnDebugQuery) OnDebugQuery(core_->DebugQueryText());
    return;
  }
  if (lParam < 0 || lParam > 3) return;
  if (!core_->HasParameter()) {  // a group box: nothing to verify
    core_->RefreshDisplay();
    return;
  }
  if (lParam == 0) {
    core_->SetDispWinState(dwsNotVerified);
    core_->RefreshDisplay();
    return;
  }
  TDispParam desc;
  TDisplayList* list = nullptr;
  {
    auto lock = LockOf(ctx_);
    if (params_) {
      const TDispParam& l = core_->LocalParam;
      list = params_->DispGetParamByName2(l.sFirmwareName, l.iMyTarget, l.sGroupName, desc);
    }
    if (list && core_->MatchesDescriptor(desc)) {
      core_->SetDispWinState(dwsVerified);
      Register(list);
    } else if (list) {
      core_->SetDispWinState(dwsUpdateFromParam);
      TDisplayBinding* w = UpdateFromParameter(desc, *list);
      if (w != this) return;  // replaced: the owner releases this one
      if (core_->MatchesDescriptor(desc)) {
        core_->SetDispWinState(dwsVerified);
        Register(list);
      }
    }
  }
  if (!list) {
    if (lParam == 2) {
      core_->SetDispWinState(dwsNotValid);
    } else {
      core_->SetDispWinState(dwsNotVerified);
      if (OnSearchParam) OnSearchParam();
    }
  }
  core_->RefreshDisplay();
}

void TDisplayBinding::AttachAfterLoad() {
  if (!core_->HasParameter() || !params_) return;
  bool search = false;
  {
    auto lock = LockOf(ctx_);
    TDispParam& l = core_->LocalParam;
    TDispParam d;
    if (TDisplayList* list = params_->DispGetParamByName(l.sFirmwareName, l.iMyTarget, l.iGroupNr, d)) {
      Register(list);
      if (d.iMyIndex != l.iMyIndex) {
        l.iMyIndex = d.iMyIndex;
        core_->SetDispWinState(dwsUpdated);
      } else if (d.wChecksum != l.wChecksum) {
        core_->SetDispWinState(dwsUpdated);
      }
      return;
    }
    TDisplayList* list = params_->DispGetParamByIndex(l.iMyIndex, l.iMyTarget, d);
    if (!list) return;
    if ((d.ParamState & FirmwareNameOK) && d.sFirmwareName != l.sFirmwareName) {
      core_->SetDispWinState(dwsNotVerified);
      search = true;
    } else {
      Register(list);
    }
  }
  if (search && OnSearchParam) OnSearchParam();
}

// ------------------------------------------------------------------ collection

TDisplayCollection::TDisplayCollection(TParameterList* params, TModelContext* ctx) : params_(params), ctx_(ctx) {}

TDisplayCollection::~TDisplayCollection() {
  if (subscription_ && ctx_) ctx_->Broadcaster.Unsubscribe(subscription_);
  for (auto& b : owned_) b->Unlink();
}

TDisplayBinding* TDisplayCollection::Make(TDisplayClass cls, size_t slot) {
  auto core = CreateDisplayCore(cls);
  if (!core) return nullptr;
  owned_.push_back(std::make_unique<TDisplayBinding>(std::move(core), params_, ctx_));
  TDisplayBinding* b = owned_.back().get();
  b->OnCreateReplacement = [this, b](TDisplayClass c) -> TDisplayBinding* {
    auto it = std::find(live_.begin(), live_.end(), b);
    if (it == live_.end()) return nullptr;
    size_t at = static_cast<size_t>(it - live_.begin());
    TDisplayBinding* n = Make(c, at);
    return n;
  };
  b->OnLoeschen = [this](TDisplayBinding* self) { Release(self); };
  b->OnDebugQuery = [this](const std::string& line) { debugLines_.push_back(line); };
  if (slot < live_.size())
    live_[slot] = b;
  else
    live_.push_back(b);
  return b;
}

void TDisplayCollection::Release(TDisplayBinding* b) {
  b->Unlink();  // kept (owned) until the collection goes: it may still be on the stack
  auto it = std::find(live_.begin(), live_.end(), b);
  if (it != live_.end() && (*it)->Core().DispWinState() != dwsReplaced) {
    names_.erase(names_.begin() + (it - live_.begin()));
    live_.erase(it);
  }
}

TDisplayBinding& TDisplayCollection::Add(TDisplayClass cls) {
  TDisplayBinding* b = Make(cls == dcNone || cls == dcSheet ? dcDisplayWin : cls, live_.size());
  names_.emplace_back();
  return *b;
}

int TDisplayCollection::Load(const TProjectDocument& doc) {
  int n = 0;
  for (const auto& item : doc.Items) {
    if (item.IsSheet() || item.Class == dcNone) continue;
    TDisplayBinding& b = Add(item.Class);
    names_.back() = item.Name;
    b.Core().ReadRecord(item);
    b.AttachAfterLoad();
    ++n;
  }
  return n;
}

void TDisplayCollection::Subscribe() {
  if (subscription_ || !ctx_) return;
  subscription_ = ctx_->Broadcaster.Subscribe([this](int message, int64_t lParam) {
    if (message == WM_REFRESH_DISPLAYS) Broadcast(lParam);
  });
}

void TDisplayCollection::Broadcast(int64_t lParam) {
  const std::vector<TDisplayBinding*> wins = live_;  // replacements change live_
  for (TDisplayBinding* b : wins) {
    if (std::find(live_.begin(), live_.end(), b) == live_.end()) continue;
    b->HandleRefresh(lParam);
  }
}

std::vector<std::string> TDisplayCollection::DebugLines() {
  debugLines_.clear();
  Broadcast(3);
  return debugLines_;
}

}  // namespace zeb7
