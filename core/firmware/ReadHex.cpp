#include "firmware/ReadHex.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "firmware/NumberText.h"
#include "firmware/Psscanf.h"

namespace zeb7 {

namespace {

constexpr std::size_t kMaxLine = 255;  // longer lines are cut; the rest of the line is lost
constexpr int kMaxPacket = 240;

bool HexDigits(const std::string& s, std::size_t from, std::size_t count) {
  if (s.size() < from + count) return false;
  for (std::size_t i = from; i < from + count; ++i)
    if (numbertext::HexDigit(s[i]) < 0) return false;
  return true;
}

std::int32_t HexValue(const std::string& s, std::size_t from, std::size_t count) {
  std::uint32_t v = 0;
  for (std::size_t i = from; i < from + count; ++i) v = v * 16 + static_cast<std::uint32_t>(numbertext::HexDigit(s[i]));
  return static_cast<std::int32_t>(v);
}

// Two-digit field at a fixed position of a line whose length has already been checked.
// Plain digits are decoded here; anything else gets the scanner's full "%2X" treatment.
inline std::optional<std::int32_t> FieldAt(const std::string& s, std::size_t pos) {
  if (pos + 2 <= s.size()) {
    const int hi = numbertext::HexDigit(s[pos]), lo = numbertext::HexDigit(s[pos + 1]);
    if ((hi | lo) >= 0) return hi * 16 + lo;
  }
  if (pos >= s.size()) return std::nullopt;
  return ScanHexField(s.data() + pos, s.size() - pos, 2);
}

std::uint32_t U(std::int32_t v) { return static_cast<std::uint32_t>(v); }
std::uint32_t HiByte(std::int32_t v) { return (U(v) >> 8) & 0xFF; }
std::uint32_t LoByte(std::int32_t v) { return U(v) & 0xFF; }

}  // namespace

// Buffered line reader: LF ends a line, a CR before it is dropped, and only the first 255
// characters of a line are kept (the CR is removed before the cut).
class THexReader::TLineSource {
 public:
  explicit TLineSource(int fd) : fd_(fd), buf_(new char[kBufferSize]) {}
  ~TLineSource() { ::close(fd_); }

  // False at end of file. Throws EHexReadError on a read failure.
  bool GetLine(std::string& out) {
    out.clear();
    std::size_t rawLength = 0;
    char last = '\0';
    bool any = false;
    for (;;) {
      if (pos_ == end_ && !Fill()) {
        if (!any) return false;
        break;
      }
      any = true;
      const char* s = buf_.get() + pos_;
      const auto* nl = static_cast<const char*>(std::memchr(s, '\n', end_ - pos_));
      const std::size_t chunk = nl ? static_cast<std::size_t>(nl - s) : end_ - pos_;
      if (chunk > 0) {
        const std::size_t room = rawLength < kMaxLine + 1 ? kMaxLine + 1 - rawLength : 0;
        out.append(s, chunk < room ? chunk : room);
        rawLength += chunk;
        last = s[chunk - 1];
      }
      pos_ += chunk;
      if (nl) {
        ++pos_;
        break;
      }
    }
    if (last == '\r' && rawLength <= kMaxLine + 1) out.pop_back();
    if (out.size() > kMaxLine) out.resize(kMaxLine);
    return true;
  }

 private:
  bool Fill() {
    for (;;) {
      const ssize_t n = ::read(fd_, buf_.get(), kBufferSize);
      if (n > 0) {
        pos_ = 0;
        end_ = static_cast<std::size_t>(n);
        return true;
      }
      if (n == 0) return false;
      if (errno != EINTR) throw EHexReadError(std::strerror(errno));
    }
  }

  static constexpr std::size_t kBufferSize = 64 * 1024;
  int fd_;
  std::unique_ptr<char[]> buf_;  // left uninitialised: only bytes read are looked at
  std::size_t pos_ = 0, end_ = 0;
};

THexReader::THexReader() = default;
THexReader::~THexReader() = default;

void THexReader::Close() {
  source_.reset();
  fileOpen_ = false;
}

bool THexReader::OpenHexFile(const std::string& fileName, const TLogFunction& message) {
  Close();
  fileName_ = fileName;
  lineCounterResetPending_ = true;
  extendedAddress_ = 0;
  line_.clear();
  carriedByte_.reset();
  isSRecord_ = false;

  struct stat st {};
  if (::stat(fileName.c_str(), &st) != 0) return true;  // nothing opened; the first read says hrNotOpen

  auto fail = [&](const std::string& text) {
    Close();
    line_.clear();
    if (message) message(text);
    return false;
  };
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return fail("Error reading file " + fileName + "!");
  source_ = std::make_unique<TLineSource>(fd);
  try {
    source_->GetLine(line_);  // an empty file leaves an empty first line
  } catch (const EHexReadError&) {
    return fail("Error reading file " + fileName + "!");
  }
  if (line_.rfind("S0", 0) == 0) {
    isSRecord_ = true;
    line_.clear();
  } else if (line_.rfind(":", 0) != 0) {
    return fail("Invalid file format!");
  }
  fileOpen_ = true;
  return true;
}

THexResult THexReader::ReadHexPacket(THexPacket& packet, const TLogFunction& message) {
  if (!fileOpen_) return hrNotOpen;
  THexResult r;
  try {
    r = isSRecord_ ? ReadSRecord(packet, message) : ReadIntel(packet, message);
  } catch (const EHexReadError& e) {
    Close();
    packet.bLength = 0;
    throw EHexReadError("Error reading file " + fileName_ + "! (" + e.what() + ")");
  }
  if (r != hrPacket) Close();
  return r;
}

THexResult THexReader::Fail(THexPacket& packet, const TLogFunction& message, THexResult result,
                            const char* fmt, int arg2) {
  char text[160];
  std::snprintf(text, sizeof text, fmt, lineCounter_, arg2);
  if (message) message(text);
  packet.bLength = 0;
  return result;
}

// Makes sure the line buffer holds a line; blank lines are fetched over (and counted).
bool THexReader::FetchLine() {
  while (line_.empty()) {
    if (!source_->GetLine(line_)) return false;
    ++lineCounter_;
  }
  return true;
}

THexResult THexReader::ReadIntel(THexPacket& packet, const TLogFunction& message) {
  if (lineCounterResetPending_) {
    lineCounter_ = 0;
    lineCounterResetPending_ = false;
  }
  packet.bLength = 0;
  int n = 0;
  std::uint32_t nextAddress = 0;
  for (;;) {
    if (!FetchLine()) {
      if (message) message("End record is missing!");
      packet.bLength = 0;
      return hrEndRecordMissing;
    }
    const std::string& s = line_;
    if (s == ":00000001FF") {
      if (n == 0) return hrEndOfData;
      packet.bLength = static_cast<std::uint8_t>(n);
      return hrPacket;
    }
    std::int32_t length = 0, address = 0, type = 0;
    if (s[0] == ':' && HexDigits(s, 1, 8)) {
      length = HexValue(s, 1, 2);
      address = HexValue(s, 3, 4);
      type = HexValue(s, 7, 2);
    } else if (ScanFormatted(s, ":%2X%4X%2X", {&length, &address, &type}) < 3) {
      return Fail(packet, message, hrFormatError, "Line %d: Wrong Header!");
    }

    if (type == 2 || type == 4) {
      std::int32_t value = 0, checksum = 0;
      if (ScanFormatted(s, ":%2X%4X%2X%4X%2X", {&length, &address, &type, &value, &checksum}) < 5)
        return Fail(packet, message, hrFormatError, "Line %d: Wrong Header!");
      const std::uint32_t sum = U(length) + HiByte(address) + LoByte(address) + U(type) + HiByte(value) +
                                LoByte(value) + U(checksum);
      if ((sum & 0xFF) != 0) return Fail(packet, message, hrChecksumError, "Line %d: Wrong checksum!");
      extendedAddress_ = type == 2 ? U(value) : U(value) << 12;
      line_.clear();
      continue;
    }
    if (type == 3 || type == 5) {  // start address: of no use for programming
      line_.clear();
      continue;
    }
    if (type != 0) return Fail(packet, message, hrFormatError, "Line %d: Wrong record type!");

    const std::uint32_t full = U(address) + extendedAddress_ * 16;
    if (length > kMaxPacket || length < 0)
      return Fail(packet, message, hrFormatError, "Line %d: Invalid length declaration %d!", length);
    if (static_cast<std::int64_t>(s.size()) != 2 * static_cast<std::int64_t>(length) + 11)
      return Fail(packet, message, hrFormatError, "Line %d: Length declaration %d does not match actual length!",
                  length);

    if (n + length > kMaxPacket) {
      if (n % 2 == 1 && full == nextAddress) {
        // Keep the continuation at an even length: the last byte opens the next packet.
        --n;
        carriedByte_ = packet.baData[static_cast<std::size_t>(n)];
      }
      packet.bLength = static_cast<std::uint8_t>(n);
      return hrPacket;
    }
    if (n > 0 && full != nextAddress) {
      packet.bLength = static_cast<std::uint8_t>(n);
      return hrPacket;
    }
    if (n == 0) {
      if (carriedByte_) {
        packet.uAddress = full - 1;
        packet.baData[0] = *carriedByte_;
        n = 1;
        carriedByte_.reset();
      } else {
        packet.uAddress = full;
      }
    }
    nextAddress = full + U(length);

    std::uint32_t sum = U(length) + HiByte(address) + LoByte(address) + U(type);
    for (int i = 0; i < length; ++i) {
      const auto b = FieldAt(s, 9 + 2 * static_cast<std::size_t>(i));
      if (!b || n >= kMaxPacket) return Fail(packet, message, hrFormatError, "Line %d: Wrong data byte!");
      packet.baData[static_cast<std::size_t>(n++)] = static_cast<std::uint8_t>(*b);
      sum += U(*b);
    }
    const auto checksum = FieldAt(s, 9 + 2 * static_cast<std::size_t>(length));
    if (!checksum || ((sum + U(*checksum)) & 0xFF) != 0)
      return Fail(packet, message, hrChecksumError, "Line %d: Wrong checksum!");
    line_.clear();
  }
}

THexResult THexReader::ReadSRecord(THexPacket& packet, const TLogFunction& message) {
  if (lineCounterResetPending_) {
    lineCounter_ = 0;
    lineCounterResetPending_ = false;
  }
  packet.bLength = 0;
  int n = 0;
  std::uint32_t nextAddress = 0;
  for (;;) {
    if (!FetchLine()) {
      if (message) message("End record missing!");
      packet.bLength = 0;
      return hrEndRecordMissing;
    }
    const std::string& s = line_;
    std::int32_t type = 0, count = 0, address = 0;
    if (s[0] == 'S' && HexDigits(s, 1, 11)) {
      type = HexValue(s, 1, 1);
      count = HexValue(s, 2, 2);
      address = HexValue(s, 4, 8);
    } else if (ScanFormatted(s, "S%1X%2X%8X", {&type, &count, &address}) < 3) {
      return Fail(packet, message, hrFormatError, "Line %d: Wrong header!");
    }
    if (type == 7) {
      if (n == 0) return hrEndOfData;
      packet.bLength = static_cast<std::uint8_t>(n);
      return hrPacket;
    }
    if (type != 3) return Fail(packet, message, hrFormatError, "Line %d: Wrong record type S%d!", type);

    const int dataLength = count - 5;
    if (dataLength > kMaxPacket || dataLength < 0)
      return Fail(packet, message, hrFormatError, "Line %d: Invalid length declaration %d!", count);
    if (static_cast<std::int64_t>(s.size()) != 2 * static_cast<std::int64_t>(count) + 4)
      return Fail(packet, message, hrFormatError, "Line %d: Length declaration %d does not match actual length!",
                  count);
    const std::uint32_t full = U(address);
    if (n + dataLength > kMaxPacket || (n > 0 && full != nextAddress)) {
      packet.bLength = static_cast<std::uint8_t>(n);
      return hrPacket;
    }
    if (n == 0) packet.uAddress = full;
    nextAddress = full + U(dataLength);

    std::uint32_t sum = U(count) + (full >> 24) + ((full >> 16) & 0xFF) + ((full >> 8) & 0xFF) + (full & 0xFF);
    for (int i = 0; i < dataLength; ++i) {
      const auto b = FieldAt(s, 12 + 2 * static_cast<std::size_t>(i));
      if (!b) return Fail(packet, message, hrFormatError, "Line %d: Wrong data byte!");
      packet.baData[static_cast<std::size_t>(n++)] = static_cast<std::uint8_t>(*b);
      sum += U(*b);
    }
    const auto checksum = FieldAt(s, 12 + 2 * static_cast<std::size_t>(dataLength));
    if (!checksum || *checksum != static_cast<std::int32_t>(~sum & 0xFF))
      return Fail(packet, message, hrChecksumError, "Line %d: Wrong checksum!");
    line_.clear();
  }
}

}  // namespace zeb7
