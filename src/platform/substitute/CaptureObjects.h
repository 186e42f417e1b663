#pragma once
// The capture framework's objects as the substitute world hands them out:
// an enumeration of the devices present at one moment, their monikers,
// property bags, filters and property interfaces. Each one stands for one
// incarnation of a device and fails as on a gone device once it has left.

#include <atomic>
#include <memory>
#include <vector>

#include "platform/Capture.h"
#include "platform/substitute/WorldCore.h"

namespace substitute {

std::unique_ptr<platform::IEnumMoniker> MakeEnumerator(const std::shared_ptr<WorldCore>& core,
                                                       std::vector<DeviceRef> devices);

}  // namespace substitute
