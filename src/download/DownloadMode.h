#pragma once
// The download-mode path: USB vendor control requests handed to the camera's
// driver with one device I/O control code, on the camera's device handle.

#include <cstdint>

#include "platform/Types.h"
#include "platform/VendorRequestBlock.h"

// Whether the camera's serial flash is the one that takes 32-byte transfers,
// on this path and on the extension unit alike (it names itself so in its
// flash information, which starts 30 C2 22 00); a failed read says no.
bool HasSmallTransferFlash(uint32_t key);

// Each returns 0 when the driver carried the request out, else the
// operating system's error code.
uint32_t ProbeDevice(platform::Handle handle, uint8_t* answer);
uint32_t ResetToUpdatedCode(platform::Handle handle);
uint32_t EraseFlash(platform::Handle handle);
uint32_t WriteFlash(platform::Handle handle, uint16_t address, uint32_t length, const uint8_t* data);
uint32_t ReadFlash(platform::Handle handle, uint16_t address, uint32_t length, uint8_t* destination);
