#include "DriveSession.h"

#include "link/TextCodec.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <iostream>
#include <unistd.h>

namespace zeb7ctl {

namespace {

constexpr auto kSyncLimit = std::chrono::minutes(15);
// Targets that never answer keep the synchronisation from ending; after this
// long with everything else settled they count as absent.
constexpr auto kSilentGrace = std::chrono::seconds(2);
// A drive that answers nothing for this long has gone (silent targets cost a
// few seconds of timeouts per cycle, so this is not shorter).
constexpr auto kStall = std::chrono::seconds(10);

// Targets still silent this long after the first version answer are taken as
// absent, so that the cycle stops spending timeouts on them.
void dropSilentTargets(zeb7::TDriveModel& m) {
  for (auto& ti : m.TargetInfo)
    if (!ti.fVersionSeen && !ti.fNotPresent) ti.fNotPresent = true;
}

}  // namespace

DriveSession::DriveSession(const GlobalOptions& opts) {
  model_ = std::make_unique<zeb7::TDriveModel>();
  conn_ = std::make_unique<Connection>(opts);
  model_->Run(conn_->comm());
  // Lost requests to targets that do not exist are expected; keep the last
  // message for the report of a failure instead of printing each one.
  conn_->setErrorSink([this](const std::string& s) { lastLinkMessage_ = s; });
}

DriveSession::~DriveSession() {
  // The worker goes first: it calls the model's idle function.
  conn_.reset();
  model_.reset();
}

int openSession(const GlobalOptions& opts, std::unique_ptr<DriveSession>& session) {
  if (!Connection::driveGiven(opts)) {
    std::cerr << "zeb7ctl: no drive given: use --port DEVICE or --simulate [DRIVE.json]\n";
    return kExitUsage;
  }
  try {
    session = std::make_unique<DriveSession>(opts);
  } catch (const ConnectionError& e) {
    std::cerr << "zeb7ctl: " << e.what() << "\n";
    return kExitFailure;
  }
  return kExitOk;
}

int openSynchronisedSession(const GlobalOptions& opts, std::unique_ptr<DriveSession>& session) {
  if (int rc = openSession(opts, session)) return rc;
  std::string why;
  if (!session->synchronise(why)) {
    std::cerr << "zeb7ctl: " << why << "\n";
    return kExitFailure;
  }
  return kExitOk;
}

bool DriveSession::serve(const std::function<bool()>& done, std::chrono::milliseconds limit, std::string& why,
                         std::chrono::milliseconds stall) {
  auto& comm = conn_->comm();
  const auto start = std::chrono::steady_clock::now();
  auto lastAnswer = start;
  int32_t lastGood = comm.Good();
  while (!done()) {
    conn_->serveUntil(done, std::chrono::milliseconds(50));
    if (Connection::interrupted()) {
      why = "interrupted";
      return false;
    }
    const auto now = std::chrono::steady_clock::now();
    if (comm.Good() != lastGood) {
      lastGood = comm.Good();
      lastAnswer = now;
    } else if (now - lastAnswer > stall) {
      why = "the drive on " + conn_->device() + " does not answer";
      if (!lastLinkMessage_.empty()) why += " (" + lastLinkMessage_ + ")";
      return false;
    }
    if (now - start > limit) {
      why = "the drive on " + conn_->device() + " did not finish in time";
      return false;
    }
  }
  return true;
}

bool DriveSession::synchronise(std::string& why) {
  auto& m = *model_;
  m.ProjectState.Reset();
  m.ProjectState.Restart();
  m.ProjectState.SearchParams();
  const bool tty = isatty(STDERR_FILENO);
  int shown = -1;
  std::chrono::steady_clock::time_point firstSeen{};
  auto done = [&] {
    if (tty && m.ProjectState.ProgressVisible() && m.ProjectState.ProgressPercent() != shown) {
      shown = m.ProjectState.ProgressPercent();
      std::cerr << "\rSynchronising with the drive: " << shown << "%" << std::flush;
    }
    int present = 0, silent = 0, dropped = 0;
    for (const auto& ti : m.TargetInfo) {
      if (ti.fNotPresent)
        ++dropped;
      else if (!ti.fVersionSeen)
        ++silent;
      else if (ti.TargetState == zeb7::statDone)
        ++present;
    }
    const auto now = std::chrono::steady_clock::now();
    if (present + silent + dropped < zeb7::kTargetCount) {  // some target still reading
      if (firstSeen == std::chrono::steady_clock::time_point{}) firstSeen = now;
      if (silent > 0 && now - firstSeen >= kSilentGrace) dropSilentTargets(m);
      return false;
    }
    if (present == 0) return silent == 0;  // every target refused
    if (firstSeen == std::chrono::steady_clock::time_point{}) firstSeen = now;
    if (silent > 0) {
      if (now - firstSeen < kSilentGrace) return false;
      dropSilentTargets(m);
    }
    return !m.ProjectState.fUpdateInProgress() || silent > 0;
  };
  const bool ok = serve(done, kSyncLimit, why, kStall);
  if (tty && shown >= 0) std::cerr << "\r" << std::string(40, ' ') << "\r" << std::flush;
  if (!ok) return false;
  dropSilentTargets(m);
  if (presentTargets().empty()) {
    why = "the drive on " + conn_->device() + " reports no target with parameters";
    return false;
  }
  return true;
}

bool DriveSession::findTargets(std::string& why) {
  auto& m = *model_;
  m.ProjectState.Reset();  // targets stay at statLoadingPrj: version answers are only stored
  std::chrono::steady_clock::time_point firstSeen{};
  auto done = [&] {
    int known = 0, seen = 0;
    for (const auto& ti : m.TargetInfo) {
      if (ti.fVersionSeen) ++seen;
      if (ti.fVersionSeen || ti.fNotPresent) ++known;
    }
    if (known == zeb7::kTargetCount) return true;
    if (seen == 0) return false;
    const auto now = std::chrono::steady_clock::now();
    if (firstSeen == std::chrono::steady_clock::time_point{}) firstSeen = now;
    return now - firstSeen >= kSilentGrace;
  };
  if (!serve(done, std::chrono::seconds(30), why, kStall)) return false;
  dropSilentTargets(m);
  if (presentTargets().empty()) {
    why = "the drive on " + conn_->device() + " reports no target with parameters";
    return false;
  }
  return true;
}

std::vector<int> DriveSession::presentTargets() const {
  std::vector<int> out;
  for (int t = 0; t < zeb7::kTargetCount; ++t)
    if (model_->TargetInfo[t].fVersionSeen && !model_->TargetInfo[t].fNotPresent) out.push_back(t);
  return out;
}

std::string formatValue(int64_t raw, int32_t typeNr) {
  char buf[64];
  if (typeNr < 0) {
    const auto bits = static_cast<uint32_t>(raw);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    auto r = std::to_chars(buf, buf + sizeof buf, f);
    return std::string(buf, r.ptr);
  }
  auto r = std::to_chars(buf, buf + sizeof buf, raw);
  return std::string(buf, r.ptr);
}

bool parseValue(const std::string& text, int32_t typeNr, int64_t& raw) {
  const char* b = text.data();
  const char* e = text.data() + text.size();
  if (b == e) return false;
  if (typeNr < 0) {
    double d = 0;
    auto r = std::from_chars(b, e, d);
    if (r.ec != std::errc() || r.ptr != e || !std::isfinite(d)) return false;
    const float f = static_cast<float>(d);
    int32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    raw = bits;  // sign-extended, as the display windows send it
    return true;
  }
  bool neg = false;
  if (*b == '-' || *b == '+') {
    neg = *b == '-';
    ++b;
  }
  int base = 10;
  if (e - b > 2 && b[0] == '0' && (b[1] == 'x' || b[1] == 'X')) {
    base = 16;
    b += 2;
  }
  uint64_t u = 0;
  auto r = std::from_chars(b, e, u, base);
  if (b == e || r.ec != std::errc() || r.ptr != e) return false;
  if (base == 10 && u > (neg ? uint64_t(1) << 63 : (uint64_t(1) << 63) - 1)) return false;
  raw = neg ? static_cast<int64_t>(0 - u) : static_cast<int64_t>(u);
  return true;
}

}  // namespace zeb7ctl
