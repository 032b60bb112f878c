#pragma once
// A connection with the drive data model running on it: what the verbs that
// read or change the drive's parameters share.
#include "Connection.h"
#include "model/DriveModel.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zeb7ctl {

class DriveSession {
 public:
  // Throws ConnectionError when the device cannot be used.
  explicit DriveSession(const GlobalOptions& opts);
  ~DriveSession();
  DriveSession(const DriveSession&) = delete;
  DriveSession& operator=(const DriveSession&) = delete;

  zeb7::TDriveModel& model() { return *model_; }
  Connection& conn() { return *conn_; }

  // Reads versions, type plates, group tables and every descriptor, the way
  // opening a project does. False with `why` set when the drive stops
  // answering or nothing is present. Shows a progress line on a terminal.
  bool synchronise(std::string& why);
  // Version answers only: enough to know which targets are there. Targets
  // that never answer are marked absent so that commands skip them.
  bool findTargets(std::string& why);
  // Targets that answered and are present.
  std::vector<int> presentTargets() const;

  // Serves the link until `done`, failing when no answer at all arrives for
  // `stall` or `limit` passes.
  bool serve(const std::function<bool()>& done, std::chrono::milliseconds limit, std::string& why,
             std::chrono::milliseconds stall = std::chrono::seconds(4));

 private:
  std::unique_ptr<zeb7::TDriveModel> model_;  // outlives the connection's worker
  std::unique_ptr<Connection> conn_;
  std::string lastLinkMessage_;
};

// Opens a session for a verb; on failure prints the message and returns the exit code.
int openSession(const GlobalOptions& opts, std::unique_ptr<DriveSession>& session);
// openSession, then synchronise; a failure is reported on stderr and returned as the exit code.
int openSynchronisedSession(const GlobalOptions& opts, std::unique_ptr<DriveSession>& session);

// A value as text: a float for negative type numbers, else a decimal integer.
std::string formatValue(int64_t raw, int32_t typeNr);
// Parses VALUE for a parameter of that type into its raw value; false when it is no number.
bool parseValue(const std::string& text, int32_t typeNr, int64_t& raw);

// A display window of its own, so that the database polls a parameter and
// hands its values here.
class ValueProbe : public zeb7::IDisplayWin {
 public:
  explicit ValueProbe(zeb7::TDispParam p) : local_(std::move(p)) {}
  void SetRawValue(int64_t raw) override {
    values.push_back(raw);
  }
  int64_t GetRawValue() const override { return rawToSend; }
  const zeb7::TDispParam& GetLocalParam() const override { return local_; }
  void SetDispWinState(zeb7::TDispWinState) override {}
  void UpdateDisplayWinFromParameter(const zeb7::TDispParam& p, zeb7::TDisplayList&) override { local_ = p; }

  std::vector<int64_t> values;
  int64_t rawToSend = 0;

 private:
  zeb7::TDispParam local_;
};

}  // namespace zeb7ctl
