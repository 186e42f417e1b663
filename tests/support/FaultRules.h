#pragma once
// Fault rules the download tests use most: a command refused by the camera,
// and a download-mode request the driver fails.

#include "platform/substitute/SubstituteWorld.h"

// The set of the command block with this class and opcode fails.
inline substitute::FaultRule Command(uint8_t commandClass, uint8_t opcode) {
  substitute::FaultRule r;
  r.kind = substitute::AccessKind::kKsSet;
  r.selector = 10;
  r.commandClass = commandClass;
  r.opcode = opcode;
  return r;
}

// The vendor request `bRequest` fails with `error`, after `skip` of them went through.
inline substitute::FaultRule Driver(uint8_t bRequest, uint32_t skip = 0, uint32_t error = platform::kErrorGenFailure) {
  substitute::FaultRule r;
  r.kind = substitute::AccessKind::kIoControl;
  r.bRequest = bRequest;
  r.skipMatches = skip;
  r.ioError = error;
  return r;
}
