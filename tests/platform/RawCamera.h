#pragma once
// Reaches a substitute device through the platform seams the way a host
// does, with raw command blocks and raw data blocks, and nothing of the
// device layer.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/substitute/SubstituteWorld.h"

namespace substitute_test {

using Bytes = std::vector<uint8_t>;
using substitute::DeviceId;

inline Bytes Block(uint8_t commandClass, uint8_t opcode, uint16_t word2 = 0, uint16_t length = 0, uint16_t word6 = 0) {
  return {commandClass,
          opcode,
          static_cast<uint8_t>(word2),
          static_cast<uint8_t>(word2 >> 8),
          static_cast<uint8_t>(length),
          static_cast<uint8_t>(length >> 8),
          static_cast<uint8_t>(word6),
          static_cast<uint8_t>(word6 >> 8)};
}

// A memory command of class 0x02 with its 32-bit address split over the block.
inline Bytes MemoryBlock(uint8_t opcode, uint32_t address, uint16_t length) {
  return Block(0x02, opcode, static_cast<uint16_t>(address), length, static_cast<uint16_t>(address >> 16));
}

inline const Bytes kClearBlock{0xFF, 0, 0, 0, 0, 0, 0, 0};

inline platform::KsNodeProperty XuProperty(uint32_t selector, uint32_t flags) {
  platform::KsNodeProperty property;
  property.set = substitute::kExtensionUnitGuid;
  property.id = selector;
  property.flags = flags;
  property.nodeId = substitute::kExtensionUnitNode;
  return property;
}

class RawCamera {
 public:
  // The property interface of the device at an enumeration position; null
  // when it can't be had.
  static RawCamera At(platform::ICaptureSystem& capture, uint32_t position) {
    RawCamera camera;
    std::unique_ptr<platform::IEnumMoniker> devices;
    if (platform::Failed(capture.CreateVideoInputEnumerator(&devices)) || !devices) return camera;
    if (position && devices->Skip(position) != platform::kOk) return camera;
    std::shared_ptr<platform::IMoniker> moniker;
    if (devices->Next(&moniker) != platform::kOk) return camera;
    std::shared_ptr<platform::ICaptureFilter> filter;
    if (platform::Failed(moniker->BindToFilter(&filter))) return camera;
    filter->QueryKsControl(&camera.ks);
    return camera;
  }

  explicit operator bool() const { return ks != nullptr; }

  platform::Status Set(uint32_t selector, Bytes bytes) {
    const auto property = XuProperty(selector, platform::kKsPropertySetTopology);
    return ks->KsProperty(property, property.kSize, bytes.data(), static_cast<uint32_t>(bytes.size()), nullptr);
  }
  platform::Status Get(uint32_t selector, uint32_t length, Bytes* out) {
    const auto property = XuProperty(selector, platform::kKsPropertyGetTopology);
    Bytes buffer(length, 0xEE);
    uint32_t returned = 0xFFFF;
    const platform::Status status = ks->KsProperty(property, property.kSize, buffer.data(), length, &returned);
    buffer.resize(platform::Failed(status) ? 0 : returned);
    if (out) *out = buffer;
    return status;
  }

  platform::Status Command(const Bytes& block) { return Set(substitute::kCommandSelector, block); }
  platform::Status SetData(const Bytes& data) { return Set(substitute::kDataSelector, data); }
  platform::Status GetData(uint32_t length, Bytes* out) { return Get(substitute::kDataSelector, length, out); }
  // The two status bytes a get on the command control returns; {} when that fails.
  Bytes StatusBytes() {
    Bytes status;
    if (platform::Failed(Get(substitute::kCommandSelector, 8, &status)) || status.size() < 2) return {};
    return {status[0], status[1]};
  }
  platform::Status Clear() { return Command(kClearBlock); }

  // A command whose data comes from the camera, read in blocks of `blockLength`.
  bool Read(const Bytes& block, uint32_t count, uint32_t blockLength, Bytes* out) {
    out->clear();
    if (platform::Failed(Command(block))) return false;
    for (uint32_t done = 0; done < count; done += blockLength) {
      Bytes chunk;
      if (platform::Failed(GetData(blockLength, &chunk)) || chunk.size() != blockLength) return false;
      out->insert(out->end(), chunk.begin(), chunk.end());
    }
    out->resize(count);
    return true;
  }
  // A command whose data goes to the camera, in blocks of `blockLength`
  // (the last one padded with zeros).
  bool Write(const Bytes& block, const Bytes& data, uint32_t blockLength) {
    if (platform::Failed(Command(block))) return false;
    for (size_t done = 0; done < data.size(); done += blockLength) {
      Bytes chunk(blockLength, 0);
      std::copy(data.begin() + static_cast<ptrdiff_t>(done),
                data.begin() + static_cast<ptrdiff_t>(std::min(data.size(), done + blockLength)), chunk.begin());
      if (platform::Failed(SetData(chunk))) return false;
    }
    return true;
  }

  std::shared_ptr<platform::IKsControl> ks;
};

class SubstituteTest : public ::testing::Test {
 protected:
  RawCamera Open(uint32_t position = 0) { return RawCamera::At(world.CaptureSystem(), position); }

  substitute::SubstituteWorld world;
};

inline Bytes Pattern(size_t count, uint8_t seed) {
  Bytes bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 13 + (i >> 7));
  return bytes;
}

}  // namespace substitute_test
