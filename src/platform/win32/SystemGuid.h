#pragma once
// The platform's GUID and the system's, field for field.

#include <windows.h>

#include <cstring>

#include "platform/Types.h"

namespace platform::win32 {

inline GUID ToSystemGuid(const Guid& guid) {
  GUID g{};
  g.Data1 = guid.data1;
  g.Data2 = guid.data2;
  g.Data3 = guid.data3;
  std::memcpy(g.Data4, guid.data4.data(), sizeof g.Data4);
  return g;
}

inline Guid FromSystemGuid(const GUID& g) {
  Guid guid;
  guid.data1 = g.Data1;
  guid.data2 = g.Data2;
  guid.data3 = g.Data3;
  std::memcpy(guid.data4.data(), g.Data4, sizeof g.Data4);
  return guid;
}

}  // namespace platform::win32
