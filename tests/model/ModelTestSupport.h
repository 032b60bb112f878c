#pragma once
// Fakes for the data model tests: a link that collects posts, display windows
// that record what the database does to them, and a small in-process drive.
#include <algorithm>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "link/C167Comm.h"
#include "link/Commands.h"
#include "link/TelegramData.h"
#include "model/DisplayLink.h"
#include "model/DriveModel.h"
#include "model/UParam.h"

namespace zeb7::test {

class FakeLink : public ITelegramLink {
 public:
  bool Opened() const override { return opened; }
  int GetSendQueueSize() const override { return queueSize + static_cast<int>(posted.size()); }
  void PostTelegram(std::unique_ptr<TTelegram> tele) override { posted.push_back(std::move(tele)); }

  std::unique_ptr<TTelegram> Take() {
    if (posted.empty()) return nullptr;
    auto t = std::move(posted.front());
    posted.pop_front();
    return t;
  }

  bool opened = true;
  int queueSize = 0;  // telegrams queued besides those posted here
  std::deque<std::unique_ptr<TTelegram>> posted;
};

class FakeDisplay : public IDisplayWin {
 public:
  explicit FakeDisplay(TDispParam p = {}) : local(std::move(p)) {}
  void SetRawValue(int64_t raw) override {
    if (throwOnValue) throw std::runtime_error("broken window");
    values.push_back(raw);
  }
  int64_t GetRawValue() const override { return rawToSend; }
  const TDispParam& GetLocalParam() const override { return local; }
  void SetDispWinState(TDispWinState s) override { state = s; }
  void UpdateDisplayWinFromParameter(const TDispParam& p, TDisplayList&) override {
    ++updates;
    local = p;
    state = dwsUpdated;
  }

  TDispParam local;
  bool throwOnValue = false;
  int64_t rawToSend = 0;
  std::vector<int64_t> values;
  TDispWinState state = dwsVerified;
  int updates = 0;
};

// A command no drive knows.
inline constexpr uint8_t kUnknownCommand = 99;

inline TTelegram Answer(int cmd, int target, int length = 0) {
  TTelegram t;
  t.ttType = ttNormal;
  t.bCommand = static_cast<uint8_t>(cmd);
  t.bTarget = static_cast<uint8_t>(target);
  t.bLength = static_cast<uint8_t>(length);
  return t;
}
inline TTelegram Refusal(int cmd, int target, uint32_t word0 = 0, TTelegramType type = ttNak) {
  TTelegram t;
  t.ttType = type;
  t.bCommand = static_cast<uint8_t>(cmd);
  t.bTarget = static_cast<uint8_t>(target);
  t.bLength = 3;
  tdata::SetWord(t, 0, word0);
  return t;
}
inline TTelegram ValueAnswer(int cmd, int target, int index, uint16_t checksum, int64_t value, int length = 8) {
  TTelegram t = Answer(cmd, target, length);
  tdata::SetWord(t, 0, static_cast<uint32_t>(index));
  tdata::SetWord(t, 2, checksum);
  tdata::SetInt64(t, 4, value);
  return t;
}
inline TTelegram DescriptorAnswer(int cmd, int target, int index, uint16_t checksum, int group, int type,
                                  const std::string& text) {
  TTelegram t = Answer(cmd, target, 6 + static_cast<int>(text.size()) + 1);
  tdata::SetWord(t, 0, static_cast<uint32_t>(index));
  tdata::SetWord(t, 2, checksum);
  t.baData[4] = static_cast<uint8_t>(group);
  t.baData[5] = static_cast<uint8_t>(type);
  tdata::SetText(t, 6, text, 255);
  return t;
}
struct VersionInfo {
  uint32_t version = 0x01234567;
  uint32_t checksum = 0x1000;
  int driveModes = 0, groups = 0, typePlate = 0, paramVersion = 0, params = 0;
};
inline TTelegram VersionAnswer(int target, const VersionInfo& v) {
  TTelegram t = Answer(kCmdVersion, target, 24);
  tdata::SetDWord(t, 0, v.version);
  tdata::SetDWord(t, 4, v.checksum);
  tdata::SetWord(t, 8, static_cast<uint32_t>(v.driveModes));
  tdata::SetWord(t, 10, static_cast<uint32_t>(v.groups));
  tdata::SetWord(t, 12, static_cast<uint32_t>(v.typePlate));
  tdata::SetWord(t, 18, static_cast<uint32_t>(v.paramVersion));
  tdata::SetWord(t, 22, static_cast<uint32_t>(v.params));
  return t;
}

inline uint16_t StringChecksum(int index, const std::string& s) {
  TControllerString cs(index);
  cs.sCaption = s;
  return cs.CalcChecksum();
}

// A drive answering in process: targets with parameters, groups and type plate.
struct FakeDrive {
  struct Param {
    std::string name, control, caption, props;
    int group = 0, type = 0;
    uint16_t checksum = 0x4242;
    int64_t value = 0;
  };
  struct Target {
    VersionInfo info;
    std::vector<Param> params;
    std::vector<std::string> groups, descriptions, parents, typePlate;
  };
  std::map<int, Target> targets;
  int answered = 0;
  int commands = 0;

  Target& AddTarget(int t, int nParams, int nGroups) {
    Target& tg = targets[t];
    for (int i = 0; i < nParams; ++i)
      tg.params.push_back({"P" + std::to_string(t) + "_" + std::to_string(i), "Numeric", "Caption " + std::to_string(i),
                           "5|2", i % std::max(nGroups, 1), (i % 3) - 1, static_cast<uint16_t>(0x100 + i), i * 7});
    for (int g = 0; g < nGroups; ++g) {
      tg.groups.push_back("Group" + std::to_string(g));
      tg.descriptions.push_back("Description of group " + std::to_string(g));
      tg.parents.push_back(g == 0 ? "" : "Group0");
    }
    tg.typePlate = {"Type ZEB7", "Serial 123"};
    Sync(t);
    return tg;
  }
  void Sync(int t) {
    Target& tg = targets[t];
    tg.info.params = static_cast<int>(tg.params.size());
    tg.info.groups = static_cast<int>(tg.groups.size());
    tg.info.typePlate = static_cast<int>(tg.typePlate.size());
  }

  TTelegram Answer(const TTelegram& req) {
    ++answered;
    auto it = targets.find(req.bTarget);
    TTelegram nak = req;
    nak.ttType = ttNak;
    if (it == targets.end()) return nak;
    Target& tg = it->second;
    const int index = tdata::Word(req, 0);
    auto str = [&](const std::vector<std::string>& list) {
      if (index >= static_cast<int>(list.size())) return nak;
      TTelegram a = test::Answer(req.bCommand, req.bTarget);
      tdata::SetWord(a, 0, static_cast<uint32_t>(index));
      tdata::SetWord(a, 2, StringChecksum(index, list[static_cast<size_t>(index)]));
      if (req.baData[2] == 0) {
        tdata::SetText(a, 4, list[static_cast<size_t>(index)], 255);
        a.bLength = static_cast<uint8_t>(5 + list[static_cast<size_t>(index)].size());
      } else {
        a.bLength = 4;
      }
      return a;
    };
    switch (req.bCommand) {
      case kCmdVersion: return VersionAnswer(req.bTarget, tg.info);
      case kCmdStatus: return test::Answer(kCmdStatus, req.bTarget, 14);
      case kCmdDriveCommand: {
        TTelegram ack = req;
        ack.ttType = ttAck;
        ++commands;
        return ack;
      }
      case kCmdGroupName: return str(tg.groups);
      case kCmdGroupDescription: return str(tg.descriptions);
      case kCmdGroupParent: return str(tg.parents);
      case kCmdTypePlate: return str(tg.typePlate);
      default: break;
    }
    if (index >= static_cast<int>(tg.params.size())) return nak;
    Param& p = tg.params[static_cast<size_t>(index)];
    switch (req.bCommand) {
      case kCmdGetValue:
      case kCmdGetValue2: return ValueAnswer(req.bCommand, req.bTarget, index, p.checksum, p.value);
      case kCmdSetValue: {
        const uint16_t cs = tdata::Word(req, 2);
        if (cs != p.checksum) return nak;
        p.value = tdata::Int64(req, 4);
        return ValueAnswer(kCmdSetValue, req.bTarget, index, p.checksum, p.value, 12);
      }
      case kCmdGetFirmwareName: return DescriptorAnswer(kCmdGetFirmwareName, req.bTarget, index, p.checksum, p.group, p.type, p.name);
      case kCmdGetControl: return DescriptorAnswer(kCmdGetControl, req.bTarget, index, p.checksum, p.group, p.type, p.control);
      case kCmdGetCaption: return DescriptorAnswer(kCmdGetCaption, req.bTarget, index, p.checksum, p.group, p.type, p.caption);
      case kCmdGetProperties: return DescriptorAnswer(kCmdGetProperties, req.bTarget, index, p.checksum, p.group, p.type, p.props);
      default: return nak;
    }
  }
};

// Runs idle polls and answers until `done` or `maxRounds`; returns the rounds used.
template <class Done>
int Pump(TDriveModel& m, FakeLink& link, FakeDrive& drive, Done done, int maxRounds = 200000) {
  for (int round = 0; round < maxRounds; ++round) {
    if (done()) return round;
    m.ExchVars.Idle();
    while (auto req = link.Take()) {
      TTelegram ans = drive.Answer(*req);
      if (ans.ttType == ttNak && m.ProjectState.HandleNakTelegram(ans)) continue;
      m.ExchVars.Dispatch(ans);
    }
  }
  return maxRounds;
}

}  // namespace zeb7::test
