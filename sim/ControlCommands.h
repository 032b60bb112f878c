#pragma once
// Changes to a running drive, one JSON object per command, for tests and demos:
//   {"op":"set-value","target":0,"index":3,"value":42}
//   {"op":"set-caption","target":0,"index":3,"caption":"Gain"}   (descriptor change)
//   {"op":"set-descriptor","target":0,"index":3,"name":..,"control":..,"caption":..,
//    "properties":..,"group":2,"type":-1}                       (any of the fields)
//   {"op":"parameter-count","target":0,"count":90}              (drops or adds parameters)
//   {"op":"set-checksum","target":0,"checksum":1234}            (global checksum; null: computed)
//   {"op":"raise-error","controller":"Overcurrent","runtime":"Stopped"}
//   {"op":"message","text":"Homing done"}
//   {"op":"target","target":1,"present":false}
//   {"op":"flash-fail","after":0}             (the program or erase after N more fails)
//   {"op":"flash-silent","after":0,"count":1} (answers to program requests withheld)
//   {"op":"flash-stay-connecting","on":true}  (the service link never connects)
//   {"op":"flash-stuck","address":4096}      (a byte that stays 0xFF; -1: none)
//   {"op":"dump-flash","dir":"/tmp/x"}        (each flash target to DIR/flash-0xNN.bin)
#include "VirtualDrive.h"

#include <string>

namespace zeb7::sim {

// Applies one command (the caller holds the drive's mutex); returns "" or the reason
// the command was refused.
std::string applyControl(VirtualDrive& drive, const std::string& jsonLine);

}  // namespace zeb7::sim
