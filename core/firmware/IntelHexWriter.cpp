#include "firmware/IntelHexWriter.h"

#include <cstdio>
#include <sstream>

#include "platform/AtomicFile.h"

namespace zeb7 {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void PutByte(std::string& s, std::uint32_t b) {
  s += kHex[(b >> 4) & 0xF];
  s += kHex[b & 0xF];
}

void PutRecord(std::string& s, std::uint32_t count, std::uint32_t address16, std::uint32_t type,
               const std::uint8_t* data) {
  std::uint32_t sum = count + (address16 >> 8) + (address16 & 0xFF) + type;
  s += ':';
  PutByte(s, count);
  PutByte(s, address16 >> 8);
  PutByte(s, address16 & 0xFF);
  PutByte(s, type);
  for (std::uint32_t i = 0; i < count; ++i) {
    PutByte(s, data[i]);
    sum += data[i];
  }
  PutByte(s, (0x100 - (sum & 0xFF)) & 0xFF);
}

std::string Hex(std::uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "%X", v);
  return text;
}

void Say(const TLogFunction& log, const std::string& text) {
  if (log) log(text);
}

class TRecordWriter {
 public:
  explicit TRecordWriter(std::ostream& out) : out_(out) { buffer_.reserve(kFlushAt + 64); }

  void Extended(std::uint32_t address) {
    const std::uint8_t value[2] = {static_cast<std::uint8_t>(address >> 24), static_cast<std::uint8_t>(address >> 16)};
    PutRecord(buffer_, 2, 0, 4, value);
    EndLine();
  }
  void Data(std::uint32_t address, const std::uint8_t* data, std::uint32_t count) {
    PutRecord(buffer_, count, address & 0xFFFF, 0, data);
    EndLine();
  }
  void End() {
    buffer_ += ":00000001FF";
    EndLine();
    Flush();
  }
  bool Good() const { return out_.good(); }

 private:
  static constexpr std::size_t kFlushAt = 64 * 1024;

  void EndLine() {
    buffer_ += "\r\n";
    if (buffer_.size() >= kFlushAt) Flush();
  }
  void Flush() {
    out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    buffer_.clear();
  }

  std::ostream& out_;
  std::string buffer_;
};

bool AllErased(const std::uint8_t* line, std::uint32_t count) {
  for (std::uint32_t i = 0; i < count; ++i)
    if (line[i] != 0xFF) return false;
  return true;
}

std::uint32_t BaseOf(std::span<const TPacket> blocks) {
  return blocks.empty() ? 0 : static_cast<std::uint32_t>(blocks.front().iAddr);
}

// Everything after the file is created: the records, then the closing log lines.
bool WriteRecords(std::ostream& out, std::span<const TPacket> blocks, const TLogFunction& log,
                  std::int32_t& byteCount, std::uint32_t& endAddress) {
  TRecordWriter w(out);
  const std::uint32_t base = BaseOf(blocks);
  w.Extended(base);
  std::uint32_t lineAddress = base, fill = 0;
  std::uint8_t line[16];
  byteCount = 0;
  for (const TPacket& block : blocks) {
    const auto address = static_cast<std::uint32_t>(block.iAddr);
    if (address != lineAddress + fill) {
      Say(log, "Address Error!");
      Say(log, "0x" + Hex(address) + " <> 0x" + Hex(lineAddress + fill));
      break;
    }
    if (!block.Initialized) {
      Say(log, "Uninitialized data!");
      break;
    }
    for (std::uint8_t b : block.baData) {
      // A line also ends at a 64 KiB boundary, so that a block list not aligned to 16 bytes never
      // lets a record's 16-bit address wrap inside the segment.
      if (fill == 16 || (fill > 0 && ((lineAddress + fill) & 0xFFFF) == 0)) {
        if (!AllErased(line, fill)) w.Data(lineAddress, line, fill);
        lineAddress += fill;
        fill = 0;
        if ((lineAddress & 0xFFFF) == 0) w.Extended(lineAddress);
      }
      line[fill++] = b;
      ++byteCount;
    }
  }
  w.Data(lineAddress, line, fill);
  w.End();
  endAddress = lineAddress + fill;
  return w.Good();
}

void LogDone(const TLogFunction& log, std::int32_t byteCount, std::uint32_t endAddress) {
  Say(log, std::to_string(byteCount) + " bytes written");
  Say(log, "End Address: 0x" + Hex(endAddress) + ")");
}

}  // namespace

std::string ExtendedLinearAddressRecord(std::uint32_t address) {
  std::string s;
  const std::uint8_t value[2] = {static_cast<std::uint8_t>(address >> 24), static_cast<std::uint8_t>(address >> 16)};
  PutRecord(s, 2, 0, 4, value);
  return s;
}

bool WriteIntelHex(std::ostream& out, std::span<const TPacket> blocks, const TLogFunction& log) {
  Say(log, "Offset: 0x" + Hex(BaseOf(blocks)) + ")");
  std::int32_t byteCount = 0;
  std::uint32_t endAddress = 0;
  if (!WriteRecords(out, blocks, log, byteCount, endAddress) || !out.flush()) {
    Say(log, "Error writing file");
    return false;
  }
  LogDone(log, byteCount, endAddress);
  return true;
}

bool WriteIntelHexFile(const std::string& fileName, std::span<const TPacket> blocks, const TLogFunction& log) {
  Say(log, "Offset: 0x" + Hex(BaseOf(blocks)) + ")");
  // Replaced atomically, so a failed write never leaves a truncated image.
  std::int32_t byteCount = 0;
  std::uint32_t endAddress = 0;
  std::ostringstream text;
  std::string why;
  if (!WriteRecords(text, blocks, log, byteCount, endAddress) || !WriteFileAtomically(fileName, text.str(), why)) {
    Say(log, "Error writing file");
    return false;
  }
  LogDone(log, byteCount, endAddress);
  return true;
}

}  // namespace zeb7
