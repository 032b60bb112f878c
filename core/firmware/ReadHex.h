#pragma once
// Reader for firmware images in Intel HEX or Motorola S-record (S0, S3..., S7) form. The image is
// handed out as contiguous packets of at most 240 bytes; flash programming cuts them into blocks.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace zeb7 {

// Receives one line of text for the user (a log or status line).
using TLogFunction = std::function<void(const std::string&)>;

struct THexPacket {
  std::uint32_t uAddress = 0;             // address of baData[0]
  std::array<std::uint8_t, 240> baData{};
  std::uint8_t bLength = 0;               // valid bytes in baData (0..240)
};

enum THexResult : int {
  hrPacket = 0,            // the packet holds data; more may follow
  hrEndOfData = 1,         // end record reached, packet empty
  hrFormatError = 2,       // malformed record (reported)
  hrChecksumError = 3,     // record checksum mismatch (reported)
  hrEndRecordMissing = 5,  // file ended before its end record (reported)
  hrNotOpen = 6,           // no file is open
};

// An I/O failure while fetching a line after the open; the file is closed before it is thrown.
class EHexReadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class THexReader {
 public:
  THexReader();
  ~THexReader();
  THexReader(const THexReader&) = delete;
  THexReader& operator=(const THexReader&) = delete;

  // Opens the file and decides its format from the first line ("S0" or ":"). Returns true when a
  // file is open and ready - and also when the file does not exist, so that the first read then
  // answers hrNotOpen (callers test for existence first). Opening again always starts over.
  bool OpenHexFile(const std::string& fileName, const TLogFunction& message);

  // Fills `packet` with the next packet. After any result but hrPacket the file is closed.
  // Throws EHexReadError when the file cannot be read any more.
  THexResult ReadHexPacket(THexPacket& packet, const TLogFunction& message);

  bool IsOpen() const { return fileOpen_; }

 private:
  class TLineSource;

  THexResult ReadIntel(THexPacket& packet, const TLogFunction& message);
  THexResult ReadSRecord(THexPacket& packet, const TLogFunction& message);
  THexResult Fail(THexPacket& packet, const TLogFunction& message, THexResult result, const char* fmt,
                  int arg2 = 0);
  bool FetchLine();
  void Close();

  std::unique_ptr<TLineSource> source_;
  std::string fileName_;
  std::string line_;  // empty: the next line is to be fetched
  bool fileOpen_ = false;
  bool isSRecord_ = false;
  bool lineCounterResetPending_ = false;
  int lineCounter_ = 0;
  std::uint32_t extendedAddress_ = 0;
  std::optional<std::uint8_t> carriedByte_;
};

}  // namespace zeb7
