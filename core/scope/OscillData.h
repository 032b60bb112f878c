#pragma once
// What the oscillogram window shows and saves, without the window: the
// recorded channels, their formulas, names and visibility, the range and zoom
// choices, plus the oscillogram file (extension "rcg") that stores them.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "scope/COscill.h"

namespace zeb7 {

constexpr int32_t kOscChannels = 10;
constexpr int32_t kOscPoints = 256;
constexpr uint32_t kRcgMagic = 33445566;  // 0x01FE56BE
constexpr uint16_t kRcgVersion = 100;
constexpr size_t kRcgHeaderSize = 12;
constexpr size_t kRcgSamplesSize = 2u * kOscChannels * kOscPoints;

// Channel colours of the window: black, maroon, red, fuchsia, teal, green,
// blue, purple, gray, navy (the chart's own defaults differ from index 5 on).
inline constexpr TRgb kChannelColors[kOscChannels] = {
    {0, 0, 0},   {128, 0, 0},   {255, 0, 0},     {255, 0, 255}, {0, 128, 128},
    {0, 128, 0}, {0, 0, 255},   {128, 0, 128},   {128, 128, 128}, {0, 0, 128}};

// Item texts of the window's choice boxes; the file stores the item indexes.
inline constexpr std::array<std::string_view, 4> kRecorderItems{"Recorder 0", "Recorder 1", "Recorder 2",
                                                                "Recorder 3"};
inline constexpr std::array<std::string_view, 4> kZoomItems{"1", "2", "5", "10"};
inline constexpr std::array<std::string_view, 13> kMaxYItems{
    "AUTO", "0", "20", "50", "128", "256", "500", "1000", "2000", "5000", "10000", "20000", "33000"};
inline constexpr std::array<std::string_view, 13> kMinYItems{
    "-- (Max Y)", "0", "-20", "-50", "-128", "-256", "-500", "-1000", "-2000", "-5000", "-10000", "-20000", "-33000"};

struct TOscillData {
  // Start-up state: a sawtooth per channel, names "Kanal0".."Kanal9", all
  // channels shown, every choice box on its first item.
  TOscillData();

  // channel-major: iaRecorderData[channel][point]
  std::array<std::array<int16_t, kOscPoints>, kOscChannels> iaRecorderData{};
  std::array<std::string, kOscChannels> asFormula;
  std::array<std::string, kOscChannels> asName;
  std::array<bool, kOscChannels> aboChecked{};
  int32_t iZoomXIndex = 0;
  int32_t iZoomYIndex = 0;
  int32_t iMaxYIndex = 0;
  int32_t iMinYIndex = 0;
  int32_t iUploadRecorder = 0;  // recorder of the last successful upload
  int32_t iActPoint = 0;        // point the formula evaluators read

  // Field value for the formula evaluators: channel iChannel at iActPoint.
  // Throws std::out_of_range("Unzulässiger Feldindex in Formel").
  double ChannelValue(uint32_t iChannel) const;

  // Store function of the recorder upload: collects into a buffer that
  // survives between uploads; values outside 10 x 256 are ignored.
  void StoreUploadValue(int32_t iIndex, int32_t iChannel, int32_t iValue);
  // A successful upload: the buffer becomes the channel data.
  void AcceptUpload(int32_t iRecorder);

 private:
  std::array<std::array<int16_t, kOscPoints>, kOscChannels> iaUploadBuffer{};
};

// The file image of the data, byte for byte.
std::vector<uint8_t> EncodeOscillogram(const TOscillData& data);
// Parses a file image; on failure sError tells what is wrong and where, and
// `data` is left unchanged.
bool DecodeOscillogram(std::span<const uint8_t> bytes, TOscillData& data, std::string& sError);

// Writes the file, replacing an existing one only once the new contents are
// completely on disk. Any failure is returned in sError.
bool SaveOscillogram(const std::string& sFileName, const TOscillData& data, std::string& sError);
bool LoadOscillogram(const std::string& sFileName, TOscillData& data, std::string& sError);

}  // namespace zeb7
