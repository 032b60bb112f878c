#pragma once
// The parameter database: one TParameter per (target, index) the system knows,
// descriptors filled from the drive one field at a time, values of displayed
// parameters kept current by the request cycle.
#include "link/Commands.h"
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/C167Comm.h"
#include "model/DisplayLink.h"
#include "model/TargetInfo.h"

namespace zeb7 {

struct TModelContext;
class TControllerStringList;

// Flags stored in one byte, bit 0 first.
using TParamState = uint8_t;
inline constexpr TParamState ChecksumOK = 1;
inline constexpr TParamState FirmwareNameOK = 2;
inline constexpr TParamState ControlOK = 4;
inline constexpr TParamState CaptionOK = 8;
inline constexpr TParamState PropertiesOK = 16;
inline constexpr TParamState ParamStateAllOK = 31;

// The descriptor as display windows hold it. Texts are Latin-1 as received.
struct TDispParam {
  std::string sFirmwareName;
  uint16_t wChecksum = 0;
  int32_t iMyTarget = 0;
  int32_t iMyIndex = 0;
  int32_t iGroupNr = -1;
  int32_t iTypeNr = 0;
  std::string sControl;
  std::string sControlProperties;
  int32_t iUserClass = 0;
  std::string sGroupName;
  std::string sCaption;
  TParamState ParamState = 0;
  bool DisplayUpToDate = false;
};

// Command codes: link/Commands.h.
inline constexpr int32_t ParamKey(int32_t index, int32_t target) { return target * 65536 + (index & 0xFFFF); }

class TParameterList;

class TParameter {
 public:
  TParameter(int32_t index, int32_t target, TParameterList* owner);
  TParameter(const TParameter&) = delete;
  TParameter& operator=(const TParameter&) = delete;

  void VerifyAll() { State = 0; }
  int Verified() const;
  // Group name from the target's group-name list; an unknown group gives ""
  // without creating a list entry, no list for the target "- ERROR -".
  void UpdateGroupName();
  const std::string& sGroupName();
  // A copy of the descriptor with the group name refreshed and ParamState filled in.
  TDispParam Descriptor();
  TParamState ParamState() const { return State; }
  int32_t Key() const { return ParamKey(P.iMyIndex, P.iMyTarget); }
  // Registers a display window unless it is already listed.
  void AddDisplay(IDisplayWin* win);

  TDispParam P;  // P.ParamState is not used; State is the live set
  std::atomic<TParamState> State{0};
  int32_t iValue = 0;
  // The whole raw value of the last answer whose checksum matched (64 bits
  // when the drive sent them), whichever value command it answered.
  int64_t i64Value = 0;
  bool fModified = false;
  TDisplayList MyDisplayWins;
  std::atomic<int32_t> iNakCounter{0};
  std::atomic<int32_t> iAckCounter{0};
  int32_t iErrorCounter = 0;
  std::atomic<bool> fUseGetParamValue2{false};

 private:
  TParameterList* owner_;
};

class TParameterList {
 public:
  using TGroupNameLists = std::array<TControllerStringList*, kTargetCount>;

  TParameterList(TModelContext& ctx, TTargetInfoArray& targets, TGroupNameLists groupNames);
  TParameterList(const TParameterList&) = delete;
  TParameterList& operator=(const TParameterList&) = delete;

  int Count() const { return static_cast<int>(params_.size()); }
  // The parameter at list position `pos` (ascending key order), nullptr outside.
  TParameter* At(int pos) const;
  TParameter* Find(int32_t key) const;
  TParameter* Find(int32_t index, int32_t target) const { return Find(ParamKey(index, target)); }
  // Never nil: a missing parameter is created and stored.
  TParameter& GetParameter(int32_t index, int32_t target);
  TParameter* GetParameterByName(const std::string& fwName, int32_t target) const;
  TParameter* GetParameterByNameAndGroup(const std::string& grpName, const std::string& fwName, int32_t target);

  TDisplayList* DispGetParamByIndex(int32_t index, int32_t target, TDispParam& param);
  TDisplayList* DispGetParamByName(const std::string& fwName, int32_t target, int32_t groupNr, TDispParam& param);
  TDisplayList* DispGetParamByName2(const std::string& fwName, int32_t target, const std::string& groupName,
                                    TDispParam& param);
  void RemoveDisplay(IDisplayWin* display);
  void RemoveAllDisplays();

  int Verified() const;
  bool MakeTelegram(TTelegram& tele);
  bool HandleTelegram(const TTelegram& tele);

  void FreeAll();
  // Frees the parameters of `target` whose index is `paramCount` or more, and
  // every parameter of a target above 9.
  void FreeBeyond(int32_t target, int32_t paramCount);

  const TGroupNameLists& GroupNameLists() const { return groupNames_; }

  std::atomic<int32_t> CurrentListIndex{0};
  std::atomic<int32_t> TargetToCheck{0};

 private:
  size_t LowerBound(int32_t key) const;
  void HandleValue(TParameter& p, const TTelegram& tele);
  void HandleDescriptor(TParameter& p, const TTelegram& tele);

  TModelContext& ctx_;
  TTargetInfoArray& targets_;
  TGroupNameLists groupNames_;
  std::vector<std::unique_ptr<TParameter>> params_;  // ascending key
};

}  // namespace zeb7
