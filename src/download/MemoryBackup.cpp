#include "download/MemoryBackup.h"

#include <algorithm>
#include <cstdio>

#include "device/Device.h"
#include "download/DownloadMode.h"
#include "download/ImageAcceptance.h"

namespace {

constexpr uint32_t kDriverChunk = 4096;
constexpr uint32_t kSmallDriverChunk = 32;
constexpr int kLastMemoryKind = 21;

// The device layer reports progress through a plain function whose count
// restarts with each piece of a long transfer; this adds the pieces up.
struct ProgressRelay {
  const MemoryReadProgress* target = nullptr;
  uint32_t total = 0;
  uint32_t base = 0;
  uint32_t lastDone = 0;
};
ProgressRelay& Relay() {
  static ProgressRelay relay;
  return relay;
}

void RelayProgress(int32_t done, int32_t) {
  ProgressRelay& r = Relay();
  const auto now = static_cast<uint32_t>(std::max(done, 0));
  if (now < r.lastDone) r.base += r.lastDone;
  r.lastDone = now;
  if (r.target && *r.target) (*r.target)(std::min(r.base + now, r.total), r.total);
}

bool ReadOverExtensionUnit(uint32_t key, int memoryClass, MemoryRead& read, const MemoryReadProgress& progress) {
  Relay() = ProgressRelay{&progress, static_cast<uint32_t>(read.bytes.size()), 0, 0};
  const ProgressFunction previous = InstalledProgressFunction();
  SetProgressFunction(RelayProgress);
  const int ok = ReadMemoryImage(key, memoryClass, read.bytes.data(), static_cast<uint32_t>(read.bytes.size()));
  SetProgressFunction(previous);
  Relay() = ProgressRelay{};
  if (!ok) read.failure = "the camera did not answer the memory read";
  return ok != 0;
}

// In the chunks the verify pass reads in.
bool ReadOverDriverPath(uint32_t key, platform::Handle handle, MemoryRead& read, const MemoryReadProgress& progress) {
  const auto total = static_cast<uint32_t>(read.bytes.size());
  const uint32_t chunk = HasSmallTransferFlash(key) ? kSmallDriverChunk : kDriverChunk;
  for (uint32_t offset = 0; offset < total; offset += chunk) {
    const uint32_t count = std::min(chunk, total - offset);
    if (const uint32_t error = ReadFlash(handle, static_cast<uint16_t>(offset), count, read.bytes.data() + offset)) {
      char text[64];
      std::snprintf(text, sizeof text, "GetData error[0x%X] : %x", offset, error);
      read.failure = text;
      return false;
    }
    if (progress) progress(offset + count, total);
  }
  return true;
}

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

// The sizes of the memories a class is used for, largest first.
std::vector<uint32_t> MemorySizesOfClass(int memoryClass) {
  std::vector<uint32_t> sizes;
  for (int kind = 1; kind <= kLastMemoryKind; ++kind) {
    uint32_t size = 0;
    int kindClass = 0;
    std::string error;
    if (GetMemorySize(kind, &size, &kindClass, &error) && kindClass == memoryClass &&
        std::find(sizes.begin(), sizes.end(), size) == sizes.end())
      sizes.push_back(size);
  }
  std::sort(sizes.rbegin(), sizes.rend());
  return sizes;
}

// A small serial EEPROM answers addresses past its end from the start again;
// a read that repeats itself at a part's size holds only that part.
void CutAtWrap(MemoryRead& read, const std::vector<uint32_t>& sizes) {
  const auto length = static_cast<uint32_t>(read.bytes.size());
  for (auto size = sizes.rbegin(); size != sizes.rend(); ++size) {
    if (*size >= length) return;
    if (!std::equal(read.bytes.begin() + *size, read.bytes.end(), read.bytes.begin())) continue;
    read.bytes.resize(*size);
    read.note += std::string(read.note.empty() ? "" : "; ") + "its bytes from " + Hex(*size) +
                 " on repeat those from 0, so the part ends there";
    return;
  }
}

}  // namespace

MemoryRead ReadCameraMemory(uint32_t key, int memoryClass, uint32_t length, const MemoryReadProgress& progress) {
  MemoryRead read;
  if (LargestMemoryOfClass(memoryClass) == 0) {
    read.failure = "no memory class " + std::to_string(memoryClass);
    return read;
  }
  read.bytes.resize(length);
  platform::Handle handle = platform::kInvalidHandle;
  uint8_t answer = 0;
  const bool driverPath =
      memoryClass == 8 && GetDeviceHandle(key, &handle) && ProbeDevice(handle, &answer) == 0 && length <= 0x10000;
  if (driverPath)
    ReadOverDriverPath(key, handle, read, progress);
  else
    ReadOverExtensionUnit(key, memoryClass, read, progress);
  if (handle != platform::kInvalidHandle) ReleaseDeviceHandle(&handle, key);
  if (!read.Ok()) read.bytes.clear();
  return read;
}

uint32_t LargestMemoryOfClass(int memoryClass) {
  const std::vector<uint32_t> sizes = MemorySizesOfClass(memoryClass);
  return sizes.empty() ? 0 : sizes.front();
}

MemoryRead ReadWholeCameraMemory(uint32_t key, int memoryClass, const MemoryReadProgress& progress) {
  const std::vector<uint32_t> sizes = MemorySizesOfClass(memoryClass);
  if (sizes.empty()) return ReadCameraMemory(key, memoryClass, 0, progress);
  MemoryRead read;
  for (const uint32_t size : sizes) {
    read = ReadCameraMemory(key, memoryClass, size, progress);
    if (read.Ok()) break;
  }
  if (!read.Ok()) return read;
  const auto length = static_cast<uint32_t>(read.bytes.size());
  if (length < sizes.front())
    read.note = "the camera refused a read of " + Hex(sizes.front()) + " bytes, so its part holds " + Hex(length);
  CutAtWrap(read, sizes);
  return read;
}
