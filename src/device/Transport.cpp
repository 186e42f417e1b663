#include "device/Transport.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "device/CameraRegistry.h"
#include "device/CommandSet.h"

namespace {

struct TransportState {
  std::array<uint8_t, kBounceBufferSize> bounce{};
  uint32_t dataControlLength = kDefaultDataControlLength;
  ProgressFunction progress = nullptr;
  platform::Status lastReported = platform::kOk;
};

TransportState& State() {
  static TransportState state;
  return state;
}

// Written to the command control after every status read.
constexpr CommandBlock kClearStatusBlock = {0xFF, 0, 0, 0, 0, 0, 0, 0};
// The length query answers into a buffer one byte larger than any length the
// bounce buffer can carry, so that a longer answer shows.
constexpr uint32_t kLengthQuerySize = kBounceBufferSize + 1;

platform::Status Request(const CCameraDevice& camera, uint32_t selector, uint32_t flags, uint8_t* data, uint32_t length,
                         uint32_t* returned) {
  if (!camera.m_ksControl) return platform::kNoInterface;
  platform::KsNodeProperty property;
  property.set = kExtensionUnitGuid;
  property.id = selector;
  property.flags = flags;
  property.nodeId = camera.m_nodeId;
  return camera.m_ksControl->KsProperty(property, platform::KsNodeProperty::kSize, data, length, returned);
}

uint8_t* ZeroedBounce(size_t count) {
  auto& bounce = State().bounce;
  std::fill_n(bounce.begin(), std::min(count, bounce.size()), uint8_t{0});
  return bounce.data();
}

platform::Status StopTransfer(int32_t* done, uint32_t moved, platform::Status failed) {
  if (done) *done = static_cast<int32_t>(moved);
  return failed;
}

// Whole blocks go straight between the caller's buffer and the data control;
// only the last partial block passes through the bounce buffer.
template <typename WholeBlock, typename PartialBlock>
platform::Status MoveBlocks(uint16_t length, int32_t* done, ProgressFunction progress, WholeBlock wholeBlock,
                            PartialBlock partialBlock) {
  const uint32_t blockLength = State().dataControlLength;
  const uint32_t blocks = length / blockLength;
  for (uint32_t i = 0; i < blocks; ++i) {
    const platform::Status status = wholeBlock(i * blockLength, blockLength);
    if (platform::Failed(status)) return StopTransfer(done, i * blockLength, status);
    if (progress) progress(static_cast<int32_t>((i + 1) * blockLength), length);
  }
  const uint32_t rest = length % blockLength;
  if (rest == 0) return platform::kOk;
  const platform::Status status = partialBlock(blocks * blockLength, rest, blockLength);
  if (platform::Failed(status)) return StopTransfer(done, blocks * blockLength, status);
  if (progress) progress(length, length);
  return platform::kOk;
}

platform::Status ReadBlocks(const CCameraDevice& camera, uint8_t* buffer, uint16_t length, int32_t* done,
                            ProgressFunction progress) {
  auto whole = [&](uint32_t offset, uint32_t count) {
    return GetControl(camera, kDataControl, count, buffer + offset);
  };
  auto partial = [&](uint32_t offset, uint32_t rest, uint32_t blockLength) {
    uint8_t* bounce = ZeroedBounce(blockLength);
    const platform::Status status = GetControl(camera, kDataControl, blockLength, bounce);
    if (!platform::Failed(status)) std::memcpy(buffer + offset, bounce, rest);
    return status;
  };
  return MoveBlocks(length, done, progress, whole, partial);
}

platform::Status WriteBlocks(const CCameraDevice& camera, const uint8_t* data, uint16_t length, int32_t* done,
                             ProgressFunction progress) {
  auto whole = [&](uint32_t offset, uint32_t count) { return SetControl(camera, kDataControl, count, data + offset); };
  auto partial = [&](uint32_t offset, uint32_t rest, uint32_t blockLength) {
    uint8_t* bounce = ZeroedBounce(blockLength);
    std::memcpy(bounce, data + offset, rest);
    return SetControl(camera, kDataControl, blockLength, bounce);
  };
  return MoveBlocks(length, done, progress, whole, partial);
}

bool SendLengthCommand(const CCameraDevice& camera, uint8_t length) {
  CommandBlock& block = CurrentCommandBlocks().changeDataControlLength;
  block[4] = length;
  block[5] = 0;
  return SendCommandBlock(camera, block) != 0;
}

}  // namespace

platform::Status GetControl(const CCameraDevice& camera, uint32_t selector, uint32_t length, uint8_t* buffer) {
  uint32_t returned = 0;
  return Request(camera, selector, platform::kKsPropertyGetTopology, buffer, length, &returned);
}

platform::Status SetControl(const CCameraDevice& camera, uint32_t selector, uint32_t length, const uint8_t* bytes) {
  uint32_t returned = 0;
  // The property interface takes one buffer for both directions and only reads
  // it on a set.
  return Request(camera, selector, platform::kKsPropertySetTopology, const_cast<uint8_t*>(bytes), length, &returned);
}

platform::Status ReadData(const CCameraDevice& camera, uint8_t* buffer, uint16_t length, int32_t* done) {
  return ReadBlocks(camera, buffer, length, done, nullptr);
}

platform::Status ReadDataWithProgress(const CCameraDevice& camera, uint8_t* buffer, uint16_t length, int32_t* done,
                                      ProgressFunction progress) {
  return ReadBlocks(camera, buffer, length, done, progress);
}

platform::Status WriteData(const CCameraDevice& camera, const uint8_t* data, uint16_t length, int32_t* done) {
  return WriteBlocks(camera, data, length, done, nullptr);
}

platform::Status WriteDataWithProgress(const CCameraDevice& camera, const uint8_t* data, uint16_t length, int32_t* done,
                                       ProgressFunction progress) {
  return WriteBlocks(camera, data, length, done, progress);
}

void ReportCommandError(const CCameraDevice& camera, platform::Status failed) {
  State().lastReported = failed;
  uint8_t* status = ZeroedBounce(8);
  const platform::Status read = GetControl(camera, kCommandControl, 8, status);
  char line[128];
  if (platform::Failed(read))
    std::snprintf(line, sizeof line, " error %x: fail to get err_code ", static_cast<unsigned>(read));
  else
    std::snprintf(line, sizeof line, " error %x : %s", static_cast<unsigned>(failed),
                  StatusName(status[0], status[1]).c_str());
  platform::DebugOutput(line);
  SetControl(camera, kCommandControl, 8, kClearStatusBlock.data());
}

std::string StatusName(uint8_t code, uint8_t codeHigh) {
  static const char* const kNames[] = {
      "VCMD_STS_CMD",         "VCMD_STS_DATA_IN", "VCMD_STS_DATA_OUT",     "VCMD_STS_ERR_DIR",
      "VCMD_STS_NOT_FINISH",  "VCMD_STS_ERR_LEN", "VCMD_STS_UNKNOWN_SCMD", "VCMD_STS_ERR_OUTRANGE",
      "VCMD_STS_UNKNOWN_CMD", "VCMD_STS_HW_ERR",
  };
  if (code < std::size(kNames)) return kNames[code];
  if (code == 0xFE) return "VCMD_STS_RET_NO_ERR";
  char text[40];
  std::snprintf(text, sizeof text, "undefined error code 0x%02X%02X", codeHigh, code);
  return text;
}

uint32_t LiveDataControlLength(const CCameraDevice& camera) {
  uint32_t size = 0;
  const platform::Status status = Request(camera, kDataControl, platform::kKsPropertyGetTopology, nullptr, 0, &size);
  // Drivers answer a size query as "more data" or as "buffer too small",
  // with the size in the count either way.
  const bool answered =
      status == platform::kMoreData || status == platform::kBufferSizeRefused || status == platform::kOk;
  return answered && size >= 1 && size <= kBounceBufferSize ? size : 0;
}

void ChangeDataControlLength(const CCameraDevice& camera, uint8_t newLength) {
  if (!SendLengthCommand(camera, newLength)) return;
  uint8_t answer[kLengthQuerySize] = {};
  uint32_t returned = 0;
  const platform::Status status =
      Request(camera, kDataControl, platform::kKsPropertyGetTopology, answer, kLengthQuerySize, &returned);
  // A length of 0 or one beyond the bounce buffer would break every later
  // transfer, so such an answer counts as a failed query.
  if (status == platform::kOk && returned >= 1 && returned <= kBounceBufferSize) {
    State().dataControlLength = returned;
    return;
  }
  ReportCommandError(camera, status);
  // A camera that took the fallback block is at the power-up length now, and
  // so must the host be: left at a longer length, it would send transfers
  // the camera refuses, the protection writes of a failed download among
  // them.
  if (SendLengthCommand(camera, static_cast<uint8_t>(kDefaultDataControlLength)))
    State().dataControlLength = kDefaultDataControlLength;
}

int SetDataLength(uint8_t* wanted, uint32_t key) {
  return RunOnCamera(key, [wanted](CCameraDevice& camera) {
    if (*wanted == DataControlLength()) return 1;
    ChangeDataControlLength(camera, *wanted);
    if (*wanted == DataControlLength()) return 1;
    *wanted = static_cast<uint8_t>(DataControlLength());
    return 0;
  });
}

uint32_t DataControlLength() { return State().dataControlLength; }

int SendCommandBlock(const CCameraDevice& camera, const CommandBlock& block) {
  const platform::Status status = SetControl(camera, kCommandControl, block.size(), block.data());
  if (!platform::Failed(status)) return 1;
  ReportCommandError(camera, status);
  return 0;
}

int SendShortReadCommand(const CCameraDevice& camera, const CommandBlock& block, uint8_t* out, size_t count) {
  if (!SendCommandBlock(camera, block)) return 0;
  count = std::min(count, kBounceBufferSize);
  const uint32_t blockLength = DataControlLength();
  // Bytes wanted beyond a short data-control length read as zero, not as the
  // leftovers of an earlier transfer.
  uint8_t* bounce = ZeroedBounce(std::max<size_t>(blockLength, count));
  const platform::Status status = GetControl(camera, kDataControl, blockLength, bounce);
  if (platform::Failed(status)) {
    ReportCommandError(camera, status);
    return 0;
  }
  std::memcpy(out, bounce, count);
  return 1;
}

int SendShortWriteCommand(const CCameraDevice& camera, const CommandBlock& block, uint8_t value) {
  if (!SendCommandBlock(camera, block)) return 0;
  const uint32_t blockLength = DataControlLength();
  uint8_t* bounce = ZeroedBounce(blockLength);
  bounce[0] = value;
  const platform::Status status = SetControl(camera, kDataControl, blockLength, bounce);
  if (!platform::Failed(status)) return 1;
  ReportCommandError(camera, status);
  return 0;
}

void SetProgressFunction(ProgressFunction progress) { State().progress = progress; }

ProgressFunction InstalledProgressFunction() { return State().progress; }

void CameraRestarted() { State().dataControlLength = kDefaultDataControlLength; }

void ResetTransport() {
  State().bounce.fill(0);
  State().dataControlLength = kDefaultDataControlLength;
  State().lastReported = platform::kOk;
}

platform::Status LastReportedFailure() { return State().lastReported; }
