#include "scope/OscillData.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "platform/AtomicFile.h"
#include "scope/OrvStrm.h"

namespace zeb7 {

namespace {

constexpr size_t kMaxFileSize = 64u << 20;  // far beyond any file the writer makes


}  // namespace

TOscillData::TOscillData() {
  for (int32_t i = 0; i < kOscChannels; ++i) {
    for (int32_t j = 0; j < kOscPoints; ++j)
      iaRecorderData[static_cast<size_t>(i)][static_cast<size_t>(j)] = static_cast<int16_t>(1000 * i + 10 * (j % 64));
    asName[static_cast<size_t>(i)] = "Kanal" + std::to_string(i);
    aboChecked[static_cast<size_t>(i)] = true;
  }
}

double TOscillData::ChannelValue(uint32_t iChannel) const {
  if (iChannel >= static_cast<uint32_t>(kOscChannels) || iActPoint < 0 || iActPoint >= kOscPoints)
    throw std::out_of_range("Unzulässiger Feldindex in Formel");
  return iaRecorderData[iChannel][static_cast<size_t>(iActPoint)];
}

void TOscillData::StoreUploadValue(int32_t iIndex, int32_t iChannel, int32_t iValue) {
  // Negative indexes are refused as well: they would write before the buffer.
  if (iIndex < 0 || iIndex >= kOscPoints || iChannel < 0 || iChannel >= kOscChannels) return;
  iaUploadBuffer[static_cast<size_t>(iChannel)][static_cast<size_t>(iIndex)] = static_cast<int16_t>(iValue);
}

void TOscillData::AcceptUpload(int32_t iRecorder) {
  iUploadRecorder = iRecorder;
  iaRecorderData = iaUploadBuffer;
}

std::vector<uint8_t> EncodeOscillogram(const TOscillData& data) {
  TOrvWriter w;
  w.WriteLong(kRcgMagic);
  w.WriteWord(kRcgVersion);
  w.WriteWord(static_cast<uint16_t>(data.iUploadRecorder));
  w.WriteWord(kOscChannels);
  w.WriteWord(kOscPoints);
  for (const auto& channel : data.iaRecorderData)
    for (int16_t v : channel) w.WriteWord(static_cast<uint16_t>(v));
  for (const auto& s : data.asFormula) w.WriteString(s);
  for (const auto& s : data.asName) w.WriteString(s);
  for (bool b : data.aboChecked) w.WriteBool(b);
  w.WriteInteger(data.iZoomXIndex);
  w.WriteInteger(data.iZoomYIndex);
  w.WriteInteger(data.iMaxYIndex);
  w.WriteInteger(data.iMinYIndex);
  return w.Bytes();
}

bool DecodeOscillogram(std::span<const uint8_t> bytes, TOscillData& data, std::string& sError) {
  TOrvReader r(bytes);
  if (bytes.size() < kRcgHeaderSize) {
    sError = "file too short for an oscillogram header (" + std::to_string(bytes.size()) + " bytes)";
    return false;
  }
  uint32_t lMagic = 0;
  uint16_t wVersion = 0, wRecorder = 0, wChannels = 0, wPoints = 0;
  r.ReadLong(lMagic);
  if (lMagic != kRcgMagic) {
    char buf[80];
    std::snprintf(buf, sizeof buf, "not an oscillogram file: magic number 0x%08X, expected 0x%08X", lMagic,
                  kRcgMagic);
    sError = buf;
    return false;
  }
  r.ReadWord(wVersion);
  r.ReadWord(wRecorder);
  r.ReadWord(wChannels);
  r.ReadWord(wPoints);
  if (wVersion != kRcgVersion) {
    sError = "unsupported oscillogram format " + std::to_string(wVersion) + " (expected " +
             std::to_string(kRcgVersion) + ")";
    return false;
  }
  if (wChannels != kOscChannels || wPoints != kOscPoints) {
    sError = "unexpected layout: " + std::to_string(wChannels) + " channels of " + std::to_string(wPoints) +
             " points (expected " + std::to_string(kOscChannels) + " of " + std::to_string(kOscPoints) + ")";
    return false;
  }
  if (r.Remaining() < kRcgSamplesSize) {
    sError = "file ends inside the samples (" + std::to_string(bytes.size()) + " bytes)";
    return false;
  }

  TOscillData d = data;
  d.iUploadRecorder = static_cast<int16_t>(wRecorder);
  for (auto& channel : d.iaRecorderData)
    for (int16_t& v : channel) {
      uint16_t w = 0;
      r.ReadWord(w);
      v = static_cast<int16_t>(w);
    }
  for (auto& s : d.asFormula) r.ReadString(s);
  for (auto& s : d.asName) r.ReadString(s);
  for (size_t i = 0; i < d.aboChecked.size(); ++i) {
    bool b = false;
    r.ReadBool(b);
    d.aboChecked[i] = b;
  }
  struct {
    int32_t* p;
    const char* name;
    size_t items;
  } combos[] = {{&d.iZoomXIndex, "zoom X", kZoomItems.size()},
                {&d.iZoomYIndex, "zoom Y", kZoomItems.size()},
                {&d.iMaxYIndex, "max Y", kMaxYItems.size()},
                {&d.iMinYIndex, "min Y", kMinYItems.size()}};
  for (auto& c : combos) {
    const size_t pos = r.Position();
    if (r.ReadInteger(*c.p) && (*c.p < -1 || *c.p >= static_cast<int32_t>(c.items))) {
      sError = "offset " + std::to_string(pos) + ": " + c.name + " choice " + std::to_string(*c.p) +
               " is not an item index";
      return false;
    }
  }
  if (r.Failed()) {
    sError = r.ErrorText();
    return false;
  }
  if (r.Remaining() != 0) {
    sError = std::to_string(r.Remaining()) + " unexpected bytes after the last item (offset " +
             std::to_string(r.Position()) + ")";
    return false;
  }
  d.iActPoint = data.iActPoint;
  data = d;
  return true;
}

bool SaveOscillogram(const std::string& sFileName, const TOscillData& data, std::string& sError) {
  const std::vector<uint8_t> bytes = EncodeOscillogram(data);
  return WriteFileAtomically(
      sFileName, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), sError);
}

bool LoadOscillogram(const std::string& sFileName, TOscillData& data, std::string& sError) {
  const int fd = ::open(sFileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    sError = "cannot open \"" + sFileName + "\": " + ErrnoText(errno);
    return false;
  }
  std::vector<uint8_t> bytes;
  uint8_t buf[65536];
  bool ok = true;
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      sError = "cannot read \"" + sFileName + "\": " + ErrnoText(errno);
      ok = false;
      break;
    }
    if (n == 0) break;
    if (bytes.size() + static_cast<size_t>(n) > kMaxFileSize) {
      sError = "\"" + sFileName + "\" is too large for an oscillogram file";
      ok = false;
      break;
    }
    bytes.insert(bytes.end(), buf, buf + n);
  }
  ::close(fd);
  if (!ok) return false;
  if (!DecodeOscillogram(bytes, data, sError)) {
    sError = "\"" + sFileName + "\": " + sError;
    return false;
  }
  return true;
}

}  // namespace zeb7
