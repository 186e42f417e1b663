#pragma once
// The camera's download-mode vendor requests, by number: the driver's probe,
// the substitute camera's driver model and the fault rules that name flash
// addresses all take them from here.

#include <cstdint>

namespace platform {

constexpr uint8_t kCameraRequestReset = 1;
constexpr uint8_t kCameraRequestErase = 2;
constexpr uint8_t kCameraRequestWrite = 4;
constexpr uint8_t kCameraRequestRead = 5;  // a one-byte read at index 0 is the driver's probe
constexpr uint16_t kCameraResetToUpdatedCode = 9;

}  // namespace platform
