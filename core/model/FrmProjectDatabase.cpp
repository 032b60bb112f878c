#include "model/FrmProjectDatabase.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <mutex>

#include "model/ModelEvents.h"
#include "link/TelegramData.h"
#include "link/TextCodec.h"
#include "model/UParam.h"
#include "model/UParamGrp.h"
#include "workspace/IniFiles.h"

namespace zeb7 {

namespace {

constexpr int kMaxVersionAnswersWhileBusy = 2000;
// String indices travel as 16-bit words; a larger count in a project file is not the drive's.
constexpr int32_t kMaxStringCount = 65536;

const char* const kGlobalKeys[] = {"Version", "Checksum", "DriveModeCount", "GroupCount", "TypePlateCount"};

int32_t ParseIniInt(const std::string& s, int32_t def) {
  std::string_view v(s);
  while (!v.empty() && static_cast<unsigned char>(v.front()) <= ' ') v.remove_prefix(1);
  while (!v.empty() && static_cast<unsigned char>(v.back()) <= ' ') v.remove_suffix(1);
  bool neg = false;
  if (!v.empty() && (v.front() == '-' || v.front() == '+')) {
    neg = v.front() == '-';
    v.remove_prefix(1);
  }
  int base = 10;
  if (!v.empty() && v.front() == '$') {
    base = 16;
    v.remove_prefix(1);
  } else if (v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) {
    base = 16;
    v.remove_prefix(2);
  }
  if (v.empty()) return def;
  int64_t n = 0;
  auto [ptr, ec] = std::from_chars(v.data(), v.data() + v.size(), n, base);
  if (ec != std::errc() || ptr != v.data() + v.size()) return def;
  if (neg) n = -n;
  if (base == 16 && !neg && n <= 0xFFFFFFFFLL) return static_cast<int32_t>(static_cast<uint32_t>(n));
  if (n < INT32_MIN || n > INT32_MAX) return def;
  return static_cast<int32_t>(n);
}

std::string Section(int target, const char* name) { return std::to_string(target) + name; }

void WriteList(TCustomIniFile& ini, const std::string& section, const TControllerStringList& list) {
  for (int pos = 0; pos < list.Count(); ++pos) {
    const TControllerString* s = list.At(pos);
    ini.WriteString(section, std::to_string(s->iMyIndex), Latin1ToCp1252(s->sCaption));
  }
}

void ReadList(const TCustomIniFile& ini, const std::string& section, int32_t count, TControllerStringList& list) {
  count = std::min(count, kMaxStringCount);
  for (int32_t i = 0; i < count; ++i) {
    std::string v = ini.ReadString(section, std::to_string(i), "");
    if (!v.empty()) list.SetControllerString(i, Cp1252ToLatin1(v));
  }
}

}  // namespace

const char* ProjStateName(TProjState state) {
  switch (state) {
    case statLoadingPrj: return "statLoadingPrj";
    case statVolatileStrings: return "statVolatileStrings";
    case statComparingVersion: return "statComparingVersion";
    case statComparingGroups: return "statComparingGroups";
    case statComparingGroupDescr: return "statComparingGroupDescr";
    case statComparingGroupParents: return "statComparingGroupParents";
    case statComparingParameters: return "statComparingParameters";
    case statDone: return "statDone";
  }
  return "?";
}

void TTargetInfo::Clear() {
  fNotPresent = false;
  fVersionSeen = false;
  iNakCount = 0;
  iVersionCount = 0;
  TargetState = statLoadingPrj;
  Version = 0;
  ParamVersion = 0;
  Checksum = 0;
  TypePlateCount = 0;
  DriveModeCount = 0;
  GroupCount = 0;
  ParamCount = 0;
}

TFrmProjectState::TFrmProjectState(TModelContext& ctx, TTargetInfoArray& targets, TParameterList& params,
                                   TStringLists& strings)
    : ctx_(ctx), targets_(targets), params_(params), strings_(strings) {}

std::string TFrmProjectState::FirmwareName(uint32_t v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "ZEB%X-%X%X%X%X%X", (v >> 24) & 15, (v >> 20) & 15, (v >> 16) & 15,
                (v >> 12) & 15, (v >> 8) & 15, v & 255);
  return buf;
}

void TFrmProjectState::Log(const std::string& line) {
  lines_.push_back(line);
  ctx_.LogLine(line);
}

void TFrmProjectState::Changed() {
  try {
    if (OnChanged) OnChanged();
  } catch (...) {
  }
}

void TFrmProjectState::SetTargetState(TTargetInfo& ti, TProjState state) {
  ti.TargetState = state;
  ti.iVersionCount = 0;
}

void TFrmProjectState::RecomputeProjState() {
  TProjState least = statDone;
  for (const auto& ti : targets_)
    if (!ti.fNotPresent) least = std::min<TProjState>(least, ti.TargetState);
  projState_ = least;
}

void TFrmProjectState::Reset() {
  std::lock_guard lock(ctx_.Mutex);
  Log("********* Reset ****************");
  strings_.FreeAll();
  params_.FreeAll();
  for (auto& ti : targets_) ti.Clear();
  projState_ = statLoadingPrj;
  updateInProgress_ = false;
  getAllParameters_ = false;
  allParametersRead_ = false;
  Changed();
}

void TFrmProjectState::Restart() {
  std::lock_guard lock(ctx_.Mutex);
  Log("********* RESTART ****************");
  projState_ = statVolatileStrings;
  for (auto& ti : targets_) ti.TargetState = statVolatileStrings;
}

void TFrmProjectState::SearchParams() {
  std::lock_guard lock(ctx_.Mutex);
  if (allParametersRead_) return;
  if (!getAllParameters_) Log("********* SearchParams ****************");
  getAllParameters_ = true;
  for (auto& ti : targets_) ti.TargetState = statComparingGroups;
}

void TFrmProjectState::BeginDatabaseUpdate() {
  if (updateInProgress_) return;
  updateInProgress_ = true;
  ctx_.Broadcast(WM_REFRESH_DISPLAYS, 0);
}

void TFrmProjectState::EndDatabaseUpdate() {
  if (!updateInProgress_) return;
  if (getAllParameters_) allParametersRead_ = true;
  updateInProgress_ = false;
  ctx_.Broadcast(WM_REFRESH_DISPLAYS, allParametersRead_ ? 2 : 1);
}

bool TFrmProjectState::HandleVersionTelegram(const TTelegram& tele) {
  if (tele.bCommand != kCmdVersion || tele.bTarget >= kTargetCount) return false;
  // A refusal carries the request's empty data; read as a version it would look
  // like a changed checksum and wipe the whole database.
  if (tele.ttType == ttNak) return false;
  std::lock_guard lock(ctx_.Mutex);
  const int t = tele.bTarget;
  TTargetInfo& ti = targets_[t];
  auto word = [&](int n) { return static_cast<int32_t>(static_cast<int16_t>(tdata::Word(tele, 2 * n))); };
  const uint32_t gc = tdata::DWord(tele, 4);
  const uint32_t version = tdata::DWord(tele, 0);

  ti.fVersionSeen = true;
  ti.Version = version;
  if (t == 0) {
    if (ti.Checksum != gc && !getAllParameters_) {
      Reset();
      SearchParams();
      // the answer in hand still names this firmware
      ti.fVersionSeen = true;
      ti.Version = version;
    }
    firmwareLabel_ = FirmwareName(targets_[0].Version);
  }
  ti.DriveModeCount = word(4);
  ti.GroupCount = word(5);
  ti.TypePlateCount = word(6);
  ti.ParamVersion = word(9);
  ti.ParamCount = word(11);
  ti.iNakCount = 0;
  if (ti.ParamCount < 1) ti.fNotPresent = true;

  if (ti.TargetState == statLoadingPrj) {
    Changed();
    return true;
  }

  TControllerStringList& typePlate = *strings_.TypePlateLists[t];
  TControllerStringList& names = *strings_.GroupNameLists[t];
  TControllerStringList& descr = *strings_.GroupDescriptionLists[t];
  TControllerStringList& parents = *strings_.GroupParentLists[t];

  if (ti.fNotPresent && ti.ParamCount > 0) {
    SetTargetState(ti, statVolatileStrings);
    ti.fNotPresent = false;
  }
  if (ti.TargetState == statVolatileStrings) {
    BeginDatabaseUpdate();
    typePlate.RequestAllStrings(ti.TypePlateCount);
    SetTargetState(ti, statComparingVersion);
  }
  if (ti.TargetState == statComparingVersion) {
    BeginDatabaseUpdate();
    if (typePlate.Verified() == 100) {
      if (getAllParameters_ || ti.Checksum != gc) {
        SetTargetState(ti, statComparingGroups);
        names.RequestAllStrings(ti.GroupCount);
        descr.RequestAllStrings(ti.GroupCount);
        parents.RequestAllStrings(ti.GroupCount);
      } else {
        SetTargetState(ti, statDone);
      }
    }
  }
  auto compareList = [&](TControllerStringList& list, TProjState next) {
    if (list.Count() < ti.GroupCount) list.RequestAllStrings(ti.GroupCount);
    BeginDatabaseUpdate();
    if (list.Verified() == 100) SetTargetState(ti, next);
  };
  if (ti.TargetState == statComparingGroups) {
    // SearchParams enters here directly, and a reset by target 0 always does,
    // so the type plate would never be read: refill it like the group names.
    if (typePlate.Count() < ti.TypePlateCount) typePlate.RequestAllStrings(ti.TypePlateCount);
    compareList(names, statComparingGroupDescr);
  }
  if (ti.TargetState == statComparingGroupDescr) compareList(descr, statComparingGroupParents);
  if (ti.TargetState == statComparingGroupParents) {
    compareList(parents, statComparingParameters);
    if (ti.TargetState == statComparingParameters) {
      params_.FreeBeyond(t, ti.ParamCount);
      // A changed global checksum means changed descriptors: read them all again,
      // not only those of displayed parameters whose value checksums stop matching.
      const bool changed = ti.Checksum != gc;
      for (int32_t i = 0; i < ti.ParamCount; ++i) {
        TParameter& p = params_.GetParameter(i, t);
        if (changed) p.VerifyAll();
      }
    }
  }
  if (ti.TargetState == statComparingParameters) {
    bool all = true;
    for (int32_t i = 0; i < ti.ParamCount; ++i) {
      if (params_.GetParameter(i, t).Verified() < 100) {
        BeginDatabaseUpdate();
        all = false;
        break;
      }
    }
    if (all && typePlate.Verified() < 100) {
      BeginDatabaseUpdate();
      all = false;
    }
    if (all) {
      ti.Checksum = gc;
      SetTargetState(ti, statDone);
    }
  }
  if (ti.TargetState == statDone && ti.Checksum != gc) {
    Log("uGlobalChecksum has changed");
    SetTargetState(ti, statComparingVersion);
  }
  if (ti.TargetState != statDone) {
    if (++ti.iVersionCount > kMaxVersionAnswersWhileBusy) {
      ti.fNotPresent = true;
      ti.TargetState = statDone;
    }
  }
  RecomputeProjState();
  if (updateInProgress_) {
    char buf[80];
    std::snprintf(buf, sizeof buf, "TargetState[%d] = %s", t, ProjStateName(ti.TargetState));
    Log(buf);
  }
  if (projState_ == statDone) {
    progressVisible_ = false;
  } else {
    progressPercent_ = ProgressOf(projState_);
    progressVisible_ = true;
  }
  if (projState_ == statDone && updateInProgress_) {
    Log("============ DONE ================");
    EndDatabaseUpdate();
  }
  Changed();
  return true;
}

bool TFrmProjectState::HandleNakVersionTelegram(const TTelegram& tele) {
  if (tele.bTarget >= kTargetCount || tele.ttType != ttNak) return false;
  switch (tele.bCommand) {
    case kCmdVersion:
    case kCmdGetFirmwareName:
    case kCmdGetControl:
    case kCmdGetCaption:
    case kCmdGetProperties:
    case kCmdGroupName:
    case kCmdDriveMode:
      break;
    default:
      return false;
  }
  std::lock_guard lock(ctx_.Mutex);
  TTargetInfo& ti = targets_[tele.bTarget];
  if (ti.iNakCount > 3) {
    ti.Clear();
    ti.iNakCount = 1000;
    ti.fNotPresent = true;
    ti.TargetState = statDone;
    RecomputeProjState();
    Changed();
  } else {
    ++ti.iNakCount;
  }
  return true;
}

bool TFrmProjectState::HandleNakTelegram(const TTelegram& tele) {
  if (tele.bTarget >= kTargetCount) return false;
  std::lock_guard lock(ctx_.Mutex);
  const int t = tele.bTarget;
  return HandleNakVersionTelegram(tele) || params_.HandleTelegram(tele) ||
         strings_.GroupNameLists[t]->HandleTelegram(tele) || strings_.GroupDescriptionLists[t]->HandleTelegram(tele) ||
         strings_.GroupParentLists[t]->HandleTelegram(tele) || strings_.DriveModeList.HandleTelegram(tele) ||
         strings_.TypePlateLists[t]->HandleTelegram(tele);
}

bool TFrmProjectState::OnNakTelegram(std::unique_ptr<TTelegram>& tele) {
  if (!tele || !HandleNakTelegram(*tele)) return false;
  tele.reset();
  return true;
}

void TFrmProjectState::WriteToIniFile(TCustomIniFile& ini) {
  std::lock_guard lock(ctx_.Mutex);
  for (int t = 0; t < kTargetCount; ++t) {
    const TTargetInfo& ti = targets_[t];
    const int32_t values[] = {static_cast<int32_t>(ti.Version), static_cast<int32_t>(ti.Checksum),
                              ti.DriveModeCount, ti.GroupCount, ti.TypePlateCount};
    for (int k = 0; k < 5; ++k) ini.WriteString("Global", Section(t, kGlobalKeys[k]), std::to_string(values[k]));
  }
  WriteList(ini, "DriveModes", strings_.DriveModeList);
  for (int t = 0; t < kTargetCount; ++t) WriteList(ini, Section(t, "Groups"), *strings_.GroupNameLists[t]);
  for (int t = 0; t < kTargetCount; ++t)
    WriteList(ini, Section(t, "GroupDescriptions"), *strings_.GroupDescriptionLists[t]);
  for (int t = 0; t < kTargetCount; ++t) WriteList(ini, Section(t, "GroupParents"), *strings_.GroupParentLists[t]);
}

void TFrmProjectState::ReadFromIniFile(TCustomIniFile& ini) {
  std::lock_guard lock(ctx_.Mutex);
  Reset();
  for (int t = 0; t < kTargetCount; ++t) {
    TTargetInfo& ti = targets_[t];
    auto read = [&](int k) { return ParseIniInt(ini.ReadString("Global", Section(t, kGlobalKeys[k]), ""), 0); };
    ti.Version = static_cast<uint32_t>(read(0));
    ti.Checksum = static_cast<uint32_t>(read(1));
    ti.DriveModeCount = read(2);
    ti.GroupCount = read(3);
    ti.TypePlateCount = read(4);
  }
  ReadList(ini, "DriveModes", targets_[0].DriveModeCount, strings_.DriveModeList);
  for (int t = 0; t < kTargetCount; ++t) {
    const int32_t n = targets_[t].GroupCount;
    ReadList(ini, Section(t, "Groups"), n, *strings_.GroupNameLists[t]);
    ReadList(ini, Section(t, "GroupDescriptions"), n, *strings_.GroupDescriptionLists[t]);
    ReadList(ini, Section(t, "GroupParents"), n, *strings_.GroupParentLists[t]);
  }
  Changed();
}

}  // namespace zeb7
