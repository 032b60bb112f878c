#pragma once
// A display as the parameter database sees it (IDisplayWin): owns the
// display's core, answers the refresh message (LParam 0..3), updates itself
// from a changed descriptor or has itself replaced by a display of another
// class, and registers and unregisters with the parameter lists under the
// model lock. A widget owns one binding (or derives from it), sets the hooks
// and repaints on Core().OnChanged. TDisplayCollection is the same without
// widgets (command line, tests).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "displays/DisplayCore.h"
#include "model/DisplayLink.h"

namespace zeb7 {

struct TModelContext;
class TParameterList;

// What UpdateDisplayWinFromParameter does for a descriptor.
enum TUpdateKind : uint8_t {
  ukIgnore,    // the keyword has no display class: the window stays as it is
  ukInPlace,   // same class: the window takes the descriptor itself
  ukReplace,   // another class: a new window takes over and this one goes
};
struct TUpdatePlan {
  TUpdateKind Kind = ukIgnore;
  TDisplayClass NewClass = dcNone;
};
TUpdatePlan PlanUpdate(const TDisplayCore& current, const TDispParam& param);

// Replaces every occurrence of `old` in `list` by one `neu` (added if missing).
void ReplaceInDisplayList(TDisplayList& list, IDisplayWin* old, IDisplayWin* neu);

class TDisplayBinding : public IDisplayWin {
 public:
  // `params` and `ctx` may be null (no drive model: an offline document).
  TDisplayBinding(std::unique_ptr<TDisplayCore> core, TParameterList* params, TModelContext* ctx);
  // Unlinks itself from every parameter's display list.
  ~TDisplayBinding() override;
  TDisplayBinding(const TDisplayBinding&) = delete;
  TDisplayBinding& operator=(const TDisplayBinding&) = delete;

  TDisplayCore& Core() { return *core_; }
  const TDisplayCore& Core() const { return *core_; }
  void SetModel(TParameterList* params, TModelContext* ctx);

  // IDisplayWin
  void SetRawValue(int64_t raw) override;
  int64_t GetRawValue() const override;
  // Values the database pushed since the binding was made.
  uint64_t ValuesReceived() const { return valuesReceived_; }
  const TDispParam& GetLocalParam() const override;
  void SetDispWinState(TDispWinState state) override;
  void UpdateDisplayWinFromParameter(const TDispParam& param, TDisplayList& list) override;

  // The broadcast WM_REFRESH_DISPLAYS with its LParam (0 update started,
  // 1 update ended, 2 ended with the database complete, 3 debug query).
  // A group box has no parameter: it only answers the debug query.
  void HandleRefresh(int64_t lParam);
  // After the record was read: look the parameter up by name, target and
  // group number (then by index), register, and set the state.
  void AttachAfterLoad();
  // Registers with the parameter `key`'s display list (drag and drop) and
  // marks the parameter's display up to date.
  void AttachTo(int32_t key);
  // Removes itself from every parameter's display list (before it is
  // deleted, or before its group box or sheet is).
  void Unlink();

  // The returned binding shows the parameter now (this or its replacement).
  TDisplayBinding* UpdateFromParameter(const TDispParam& param, TDisplayList& list);

  // Hooks, all optional.
  std::function<void()> OnEingabe;      // send GetRawValue() to the drive
  std::function<void()> OnSearchParam;  // start a parameter search
  std::function<void()> OnModify;       // the project changed
  std::function<void(const std::string& line)> OnDebugQuery;
  // Asks the owner to unlink and delete this display later (replaced or deleted).
  std::function<void(TDisplayBinding* self)> OnLoeschen;
  // Asks the owner for a new display of another class beside this one
  // (same parent); nullptr when it cannot make one.
  std::function<TDisplayBinding*(TDisplayClass cls)> OnCreateReplacement;

 private:
  void Register(TDisplayList* list);
  void Refreshed();

  std::unique_ptr<TDisplayCore> core_;
  TParameterList* params_;
  TModelContext* ctx_;
  uint64_t valuesReceived_ = 0;
};

struct TProjectDocument;

// Bindings without widgets, one per display of a project document, kept
// current by the drive model's broadcasts. Replaced and deleted displays are
// kept (unlinked) until the collection goes.
class TDisplayCollection {
 public:
  TDisplayCollection(TParameterList* params, TModelContext* ctx);
  ~TDisplayCollection();
  TDisplayCollection(const TDisplayCollection&) = delete;
  TDisplayCollection& operator=(const TDisplayCollection&) = delete;

  // One display per display record of the document (sheets skipped); each
  // reads its record and attaches. Returns the number of displays made.
  int Load(const TProjectDocument& doc);
  TDisplayBinding& Add(TDisplayClass cls);
  // Subscribes to the model's broadcaster (refresh messages) until destroyed.
  void Subscribe();
  void Broadcast(int64_t lParam);

  // The live displays in creation order (replacements take their old one's place).
  const std::vector<TDisplayBinding*>& Displays() const { return live_; }
  // Names from the record, parallel to Displays().
  const std::vector<std::string>& Names() const { return names_; }
  std::vector<std::string> DebugLines();

 private:
  TDisplayBinding* Make(TDisplayClass cls, size_t slot);
  void Release(TDisplayBinding* b);

  TParameterList* params_;
  TModelContext* ctx_;
  std::vector<std::unique_ptr<TDisplayBinding>> owned_;
  std::vector<TDisplayBinding*> live_;
  std::vector<std::string> names_;
  std::vector<std::string> debugLines_;
  int subscription_ = 0;
};

}  // namespace zeb7
