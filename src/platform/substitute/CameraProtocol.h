#pragma once
// Numbers the substitute camera shares with the host: where its extension unit
// lives, the command-status codes it latches and the results it answers with.

#include <cstdint>

#include "platform/CameraExtensionUnit.h"
#include "platform/Capture.h"
#include "platform/Types.h"

namespace substitute {

inline constexpr platform::Guid kExtensionUnitGuid = platform::kCameraExtensionUnitGuid;
constexpr uint32_t kExtensionUnitNode = platform::kCameraExtensionUnitNode;
constexpr uint32_t kCommandSelector = platform::kCameraCommandSelector;
constexpr uint32_t kDataSelector = platform::kCameraDataSelector;
constexpr uint32_t kCommandBlockSize = 8;
constexpr uint32_t kPowerUpDataLength = 8;

// Command status as a get on the command control reports it: the low byte goes
// out in byte 0, the high byte in byte 1.
namespace camera_status {
constexpr uint16_t kReady = 0x00;           // waiting for a command
constexpr uint16_t kDataIn = 0x01;          // a transfer towards the host is open
constexpr uint16_t kDataOut = 0x02;         // a transfer towards the camera is open
constexpr uint16_t kWrongDirection = 0x03;  // data access without (or against) an open transfer
constexpr uint16_t kNotFinished = 0x04;     // a command while a transfer is still open
constexpr uint16_t kLengthError = 0x05;     // a transfer of the wrong size
constexpr uint16_t kOutOfRange = 0x07;      // address, record or parameter out of range
constexpr uint16_t kUnknownCommand = 0x08;
constexpr uint16_t kHardwareError = 0x09;  // a memory command for a memory that is not fitted
constexpr uint16_t kDone = 0xFE;           // the last command completed
}  // namespace camera_status

// Results the substitute answers with besides the ones every seam shares.
using platform::kInvalidArgument;
using platform::kPropertyMissing;
using platform::kSetNotFound;
using platform::kStalled;  // the camera refused

// Register addresses of the controller's 16-bit register space.
constexpr uint16_t kGenerationRegister = 0xFE21;  // and 0xFE22
constexpr uint16_t kProtectRegisterA = 0xFEA0;
constexpr uint16_t kProtectRegisterB = 0xFEA6;

// Serial-flash status register bits.
constexpr uint8_t kFlashBusy = 0x01;
constexpr uint8_t kFlashWriteEnableLatch = 0x02;
constexpr uint8_t kFlashProtectBits = 0x1C;
constexpr uint8_t kFlashStatusWriteDisable = 0x80;

}  // namespace substitute
