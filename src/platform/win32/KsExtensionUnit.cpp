#include "platform/win32/KsExtensionUnit.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "platform/CameraExtensionUnit.h"
#include "platform/Capture.h"
#include "platform/win32/SystemGuid.h"

namespace platform::win32 {
namespace {

constexpr ULONG kGet = KSPROPERTY_TYPE_GET | KSPROPERTY_TYPE_TOPOLOGY;
constexpr ULONG kSet = KSPROPERTY_TYPE_SET | KSPROPERTY_TYPE_TOPOLOGY;
// The device layer frames the same request; what it framed and what goes out
// here must not drift apart.
static_assert(kGet == kKsPropertyGetTopology && kSet == kKsPropertySetTopology, "get and set on the topology");
static_assert(sizeof(KSP_NODE) == KsNodeProperty::kSize, "KSP_NODE is the 32-byte node request");

KSP_NODE NodeRequest(uint32_t selector, ULONG flags) {
  KSP_NODE node{};
  node.Property.Set = ToSystemGuid(kCameraExtensionUnitGuid);
  node.Property.Id = selector;
  node.Property.Flags = flags;
  node.NodeId = kCameraExtensionUnitNode;
  node.Reserved = 0;
  return node;
}

// Asked without a buffer, a property tells its size in the count of bytes
// returned: as "more data" or as "buffer too small" by the class drivers, or
// as plain success by some.
bool TellsSize(Status status) { return !Failed(status) || status == kMoreData || status == kBufferSizeRefused; }

}  // namespace

KsExtensionUnit::KsExtensionUnit(ComPtr<::IKsControl> control) : control_(std::move(control)) {}

Status KsExtensionUnit::Property(uint32_t selector, ULONG flags, void* data, uint32_t length, ULONG* returned) {
  KSP_NODE node = NodeRequest(selector, flags);
  *returned = 0;
  const HRESULT hr = control_->KsProperty(reinterpret_cast<PKSPROPERTY>(&node), sizeof node, data, length, returned);
  return static_cast<Status>(hr);
}

// As the capture framework asks for a control's size: a get without a buffer.
Status KsExtensionUnit::GetLength(uint32_t selector, uint16_t* length) {
  *length = 0;
  ULONG size = 0;
  const Status status = Property(selector, kGet, nullptr, 0, &size);
  if (!TellsSize(status)) return status;
  *length = static_cast<uint16_t>(std::min<ULONG>(size, std::numeric_limits<uint16_t>::max()));
  return kOk;
}

Status KsExtensionUnit::Get(uint32_t selector, uint8_t* data, uint32_t length, uint32_t* returned) {
  ULONG count = 0;
  const Status status = Property(selector, kGet, data, length, &count);
  if (returned) *returned = count;
  return status;
}

Status KsExtensionUnit::Set(uint32_t selector, const uint8_t* data, uint32_t length) {
  ULONG count = 0;
  // A set only reads the buffer; the system's prototype lacks the const.
  return Property(selector, kSet, const_cast<uint8_t*>(data), length, &count);
}

}  // namespace platform::win32
