#pragma once
// The device layer in one include: camera discovery and registry, the
// extension-unit transport, the vendor commands, the memory-class procedures
// and the vendor code.

#include "device/CameraDevice.h"
#include "device/CameraRegistry.h"
#include "device/CommandSet.h"
#include "device/MemoryProcedures.h"
#include "device/Transport.h"
#include "device/VendorCode.h"

// Back to the state at program start: no registered cameras (dropped without
// device traffic), initial command blocks, a zero bounce buffer with the
// power-up data-control length, no kept protection bytes, no progress function.
inline void ResetDeviceState() {
  ResetCameraRegistry();
  ResetCommandBlocks();
  ResetTransport();
  ResetKeptProtection();
  SetProgressFunction(nullptr);
}
