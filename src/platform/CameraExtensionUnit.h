#pragma once
// Where the camera's vendor commands go: its extension unit, as the capture
// framework addresses it. Every backend that hands out the camera's channels
// (the host's, the substitute camera) finds and addresses the unit by these.

#include <cstdint>

#include "platform/Types.h"

namespace platform {

inline constexpr Guid kCameraExtensionUnitGuid{
    0x1229A78C, 0x47B4, 0x4094, {0xB0, 0xCE, 0xDB, 0x07, 0x38, 0x6F, 0xB9, 0x38}};
constexpr uint32_t kCameraExtensionUnitNode = 3;
constexpr uint32_t kCameraCommandSelector = 10;
constexpr uint32_t kCameraDataSelector = 11;

}  // namespace platform
