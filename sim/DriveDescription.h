#pragma once
// What the virtual drive publishes: per target the version data, the parameter
// descriptors with their values, the string tables and, for the drive as a whole,
// the status words. Loaded from JSON or taken from the built-in default drive.
#include <nlohmann/json_fwd.hpp>

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace zeb7::sim {

// Texts are held as Latin-1 byte strings: one byte per character on the wire.
struct SimParameter {
  std::string sFirmwareName;
  std::string sControl;            // as sent, letter case included (it carries the user class)
  std::string sCaption;
  std::string sControlProperties;
  uint8_t bGroup = 0;
  int8_t iType = 0;                // negative: value is the bit pattern of a float
  int64_t value = 0;
  std::optional<int64_t> minValue, maxValue;
  bool wide = false;               // answers carry 64-bit values (bLength 12)
  std::optional<uint16_t> fixedChecksum;  // descriptor checksum given by the description

  // Descriptor checksum sent with every descriptor and value answer; never 0.
  uint16_t checksum(int index) const;
};

struct SimGroup {
  std::string name;
  std::string description;
  std::string parent;              // empty for a top-level group
};

enum class AbsentMode { Nak, Silent };

struct SimTarget {
  bool present = false;
  AbsentMode absentMode = AbsentMode::Nak;
  uint32_t version = 0;
  std::optional<uint32_t> fixedGlobalChecksum;
  uint16_t paramVersion = 0;
  uint16_t word7 = 0, word8 = 0, word10 = 0;
  std::vector<SimParameter> parameters;
  std::vector<SimGroup> groups;
  bool hasGroupDescriptions = true;  // false: command 38 is refused
  bool hasGroupParents = true;       // false: command 39 is refused
  std::vector<std::string> typePlate;
  std::vector<std::string> driveModes;  // only target 0's is served

  // Global checksum over descriptors and group tables (or the fixed one).
  uint32_t globalChecksum() const;
};

struct SimStatusMessage {
  uint16_t number = 0;
  std::string text;
};

// Drive-wide state reported through target 0.
struct SimStatus {
  uint16_t wControllerStatus = 0;
  uint8_t bStatus2 = 0;
  uint8_t bDriveMode = 0;
  uint8_t bActiveSet = 0;
  uint16_t wValidSets = 1;
  std::vector<SimStatusMessage> messages;  // newest last
  std::string controllerError;
  std::string runtimeError;
};

struct DriveDescription {
  std::array<SimTarget, 10> targets;
  SimStatus status;
};

class DriveDescriptionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Parse a description; throws DriveDescriptionError naming the offending entry.
DriveDescription driveFromJson(const nlohmann::json& j);
// Read and parse a file; the message names the file.
DriveDescription loadDriveFile(const std::string& path);
nlohmann::json driveToJson(const DriveDescription& d);

// Two present targets with parameters of every control kind, groups with
// descriptions and parents, and type plate lines.
DriveDescription defaultDrive();
// The default drive's targets 0 and 1 filled up to `count0` and `count1` parameters
// (every control kind, all groups, mixed letter case) for synchronisation runs;
// a negative count keeps that target as it is.
DriveDescription generatedDrive(int count0, int count1);

// Texts are held as Latin-1 (link/TextCodec converts at the JSON edge); string
// checksums are link/TelegramData's StringChecksum.

}  // namespace zeb7::sim
