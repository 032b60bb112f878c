#include "gui/scope/ScopeLink.h"

#include "gui/link/CommDriveLink.h"
#include "gui/workspace/Main.h"

namespace zeb7::gui {

TScopeLink ScopeLinkOf(TMainForm& main) {
  TScopeLink l;
  auto* link = dynamic_cast<TCommDriveLink*>(main.Link());
  if (!link) return l;
  l.Comm = &link->Comm();
  TMainForm* m = &main;
  l.Hooks.StopPolling = [m] {
    if (m->Link()) m->Link()->StopExchange();
  };
  const bool online = main.Online();
  l.Hooks.RunPolling = [m, online] {
    if (m->Link() && online) m->Link()->StartExchange();
  };
  if (online) l.Hooks.PreviousErrorSink = [m](const std::string& s) { m->MessageFunction(QString::fromStdString(s)); };
  return l;
}

}  // namespace zeb7::gui
