#pragma once
// Controller strings: the per-target text tables (group names, descriptions,
// parents, type plate lines) and the drive mode names, each read from the drive
// one string at a time and checked by a 16-bit checksum.
#include "link/Commands.h"
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/C167Comm.h"
#include "model/TargetInfo.h"

namespace zeb7 {

struct TModelContext;


// Flags present = that part still has to be confirmed by the drive.
using TControllerStringState = uint8_t;
inline constexpr TControllerStringState VerifyChecksum = 1;
inline constexpr TControllerStringState VerifyCaption = 2;

class TControllerString {
 public:
  explicit TControllerString(int32_t index) : iMyIndex(index) {}

  uint16_t CalcChecksum() const;
  void VerifyAll();
  int Verified() const;
  int VerifiedOrNAK() const;

  const int32_t iMyIndex;
  std::string sCaption;  // Latin-1, as received
  uint16_t wChecksum = 0;
  std::atomic<TControllerStringState> ControllerStringState{VerifyChecksum | VerifyCaption};
  bool fModified = false;
  std::atomic<int32_t> iNakCounter{0};
  std::atomic<int32_t> iAckCounter{0};
};

class TControllerStringList {
 public:
  TControllerStringList(int myCommand, int myMessage, int myTarget, bool acceptNak, TModelContext& ctx);
  TControllerStringList(const TControllerStringList&) = delete;
  TControllerStringList& operator=(const TControllerStringList&) = delete;

  int Count() const { return static_cast<int>(strings_.size()); }
  // The string at list position `pos` (ascending index order), nullptr outside.
  TControllerString* At(int pos) const;
  // The string with that index, nullptr when absent (never creates).
  TControllerString* Find(int32_t index) const;
  // Never nil: a missing string is created empty and unverified.
  TControllerString& GetControllerString(int32_t index);
  // Sets the caption and its checksum; the state stays (the drive confirms it).
  void SetControllerString(int32_t index, const std::string& caption);
  // The caption, or "" when the index is absent. Never creates an entry.
  std::string GetString(int32_t index) const;
  void RequestAllStrings(int32_t stringCount);
  int Verified() const;
  void FreeAll();

  bool MakeTelegram(TTelegram& tele);
  bool HandleTelegram(const TTelegram& tele);

  const int MyCommand;
  const int iMyMessage;
  const int MyTarget;
  const bool AcceptNAK;
  std::atomic<int32_t> CurrentListIndex{-1};

 private:
  size_t LowerBound(int32_t index) const;

  TModelContext& ctx_;
  std::vector<std::unique_ptr<TControllerString>> strings_;  // ascending iMyIndex
};

// The global string lists, one per table and target.
class TStringLists {
 public:
  explicit TStringLists(TModelContext& ctx);

  TControllerStringList DriveModeList;
  std::array<std::unique_ptr<TControllerStringList>, kTargetCount> GroupNameLists;
  std::array<std::unique_ptr<TControllerStringList>, kTargetCount> GroupDescriptionLists;
  std::array<std::unique_ptr<TControllerStringList>, kTargetCount> GroupParentLists;
  std::array<std::unique_ptr<TControllerStringList>, kTargetCount> TypePlateLists;

  void FreeAll();
};

// String telegram commands.

}  // namespace zeb7
