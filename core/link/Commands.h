#pragma once
// Every command code exchanged with the drive, and the words some commands
// carry. The one table: the model, the virtual drive, the CLI and the tests
// name commands through it.
#include <cstdint>

namespace zeb7 {

// Telegram commands (bCommand).
inline constexpr uint8_t kCmdVersion = 3;           // firmware version and global checksum
inline constexpr uint8_t kCmdStatus = 4;            // drive status
inline constexpr uint8_t kCmdStatusMessage = 5;     // status message by number
inline constexpr uint8_t kCmdControllerError = 6;   // controller error text (target 0)
inline constexpr uint8_t kCmdRuntimeError = 7;      // runtime error text (target 0)
inline constexpr uint8_t kCmdGetValue = 10;         // read parameter value
inline constexpr uint8_t kCmdGetValue2 = 11;        // read parameter value, second form
inline constexpr uint8_t kCmdGetFirmwareName = 12;  // parameter descriptor fields
inline constexpr uint8_t kCmdGetControl = 13;
inline constexpr uint8_t kCmdGetCaption = 14;
inline constexpr uint8_t kCmdGetProperties = 15;
inline constexpr uint8_t kCmdSetValue = 20;          // write parameter value
inline constexpr uint8_t kCmdDriveCommand = 21;      // drive command word + sequence number
inline constexpr uint8_t kCmdGroupName = 30;         // controller strings
inline constexpr uint8_t kCmdDriveMode = 31;
inline constexpr uint8_t kCmdTypePlate = 32;
inline constexpr uint8_t kCmdWriteTypePlate = 33;
inline constexpr uint8_t kCmdGroupDescription = 38;
inline constexpr uint8_t kCmdGroupParent = 39;
inline constexpr uint8_t kCmdUploadStart = 50;       // upload mode (recorder or flash)
inline constexpr uint8_t kCmdUploadBlock = 51;
inline constexpr uint8_t kCmdUploadEnd = 52;
inline constexpr uint8_t kCmdFlashState = 70;        // flash programming
inline constexpr uint8_t kCmdFlashErase = 71;
inline constexpr uint8_t kCmdFlashEraseAll = 72;
inline constexpr uint8_t kCmdFlashProgram = 73;
inline constexpr uint8_t kCmdServiceConnect = 100;   // service link to the flash
inline constexpr uint8_t kCmdServiceState = 101;
inline constexpr uint8_t kCmdServiceDisconnect = 102;
inline constexpr uint8_t kCmdNormalMode = 103;

// Drive command words (data word 0 of kCmdDriveCommand).
inline constexpr uint16_t kDriveCmdControlByATA = 1;
inline constexpr uint16_t kDriveCmdDisable = 2;
inline constexpr uint16_t kDriveCmdEnable = 3;
inline constexpr uint16_t kDriveCmdWriteFlash = 4;
inline constexpr uint16_t kDriveCmdDeleteParamSet = 12;
inline constexpr uint16_t kDriveCmdSelectParamSet = 8;   // + set * 256
inline constexpr uint16_t kDriveCmdParamVersion = 10;    // + version * 256
inline constexpr uint16_t SelectParamSetCommand(int set) {
  return static_cast<uint16_t>((set % 16) * 256 + kDriveCmdSelectParamSet);
}
inline constexpr uint16_t ParamVersionCommand(int version) {
  return static_cast<uint16_t>(version * 256 + kDriveCmdParamVersion);
}

// Flash targets (word 0 of kCmdUploadStart and the flash commands' target).
inline constexpr uint16_t kFlashTargetSTR710 = 0x10;
inline constexpr uint16_t kFlashTargetDSP = 0x20;
inline constexpr uint16_t kFlashTargetFPGA = 0x30;

// Flash states (data byte 0 of the answers to 70..73).
inline constexpr uint8_t kFlashStateError = 1;
inline constexpr uint8_t kFlashStateErasing = 10;
inline constexpr uint8_t kFlashStateErased = 11;
inline constexpr uint8_t kFlashStateProgramming = 20;
inline constexpr uint8_t kFlashStateBlockProgrammed = 21;
// Service states (low 7 bits of data byte 0 of the answers to 100..103).
inline constexpr uint8_t kServiceNormalMode = 1;
inline constexpr uint8_t kServiceDisconnected = 2;
inline constexpr uint8_t kServiceConnecting = 3;
inline constexpr uint8_t kServiceConnected = 4;
inline constexpr uint8_t kServiceSpiError = 5;
// Layouts: answers to 70..73 carry 6 data bytes; a flash block read (51) answers
// with the 32-bit address and 64 data bytes.
inline constexpr int kFlashAnswerLength = 6;
inline constexpr int kFlashBlockBytes = 64;
inline constexpr int kFlashBlockAnswerLength = 4 + kFlashBlockBytes;

// The status answer (kCmdStatus): bits of the controller status word (data word
// 0) and of status byte 2; status and error texts carry at most kMaxStatusTextChars.
inline constexpr uint16_t kStatusDriveError = 0x0001;
inline constexpr uint16_t kStatusControllerErrorText = 0x0100;
inline constexpr uint16_t kStatusRuntimeErrorText = 0x0200;
inline constexpr uint8_t kStatus2DriveEnabled = 0x01;
inline constexpr uint8_t kStatus2EnabledByProgram = 0x02;
inline constexpr uint8_t kStatus2DriveErrorFlag = 0x04;
inline constexpr int kMaxStatusTextChars = 47;

// Texts sent with kCmdWriteTypePlate and similar carry at most this many characters.
inline constexpr int kMaxSentTextChars = 100;

}  // namespace zeb7
