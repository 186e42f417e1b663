#pragma once
// Reading and writing the camera's extension-unit controls: the 8-byte command
// control, the data control with its chunked transfers, the command status read
// after a failure, and the data-control length. The bounce buffer and the
// data-control length are process-wide and unguarded: one thread at a time.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "device/CameraDevice.h"
#include "platform/CameraExtensionUnit.h"
#include "platform/Types.h"

// Receives (bytes done, bytes in all) after each block of a transfer.
using ProgressFunction = void (*)(int32_t done, int32_t total);

using CommandBlock = std::array<uint8_t, 8>;

inline constexpr platform::Guid kExtensionUnitGuid = platform::kCameraExtensionUnitGuid;
constexpr uint32_t kCommandControl = platform::kCameraCommandSelector;
constexpr uint32_t kDataControl = platform::kCameraDataSelector;
constexpr size_t kBounceBufferSize = 64;
constexpr uint32_t kDefaultDataControlLength = 8;

platform::Status GetControl(const CCameraDevice& camera, uint32_t selector, uint32_t length, uint8_t* buffer);
platform::Status SetControl(const CCameraDevice& camera, uint32_t selector, uint32_t length, const uint8_t* bytes);

// Chunked data phase in blocks of the data-control length. 0, or the failing
// status with the bytes of the whole blocks moved in *done.
platform::Status ReadData(const CCameraDevice& camera, uint8_t* buffer, uint16_t length, int32_t* done);
platform::Status ReadDataWithProgress(const CCameraDevice& camera, uint8_t* buffer, uint16_t length, int32_t* done,
                                      ProgressFunction progress);
platform::Status WriteData(const CCameraDevice& camera, const uint8_t* data, uint16_t length, int32_t* done);
platform::Status WriteDataWithProgress(const CCameraDevice& camera, const uint8_t* data, uint16_t length, int32_t* done,
                                       ProgressFunction progress);

// Reads the camera's command status after a failed control access, writes the
// diagnostic line to the debug output and clears the status.
void ReportCommandError(const CCameraDevice& camera, platform::Status failed);
// The status the last reported failure carried.
platform::Status LastReportedFailure();
std::string StatusName(uint8_t code, uint8_t codeHigh);

// The data-control length the camera holds now, as the driver asks the
// camera for a control's size; 0 when it does not answer or answers a length
// the bounce buffer cannot carry. Changes nothing at the camera.
uint32_t LiveDataControlLength(const CCameraDevice& camera);
// Asks the camera for a new data-control length; DataControlLength() tells
// what came of it.
void ChangeDataControlLength(const CCameraDevice& camera, uint8_t newLength);
// One-shot: 1 when the data-control length equals *wanted afterwards; else 0
// with the length in force in *wanted.
int SetDataLength(uint8_t* wanted, uint32_t key);
uint32_t DataControlLength();

// Command patterns: the block alone, or the block followed by one short data
// phase of the full data-control length. 1 on success; a failure is reported.
int SendCommandBlock(const CCameraDevice& camera, const CommandBlock& block);
int SendShortReadCommand(const CCameraDevice& camera, const CommandBlock& block, uint8_t* out, size_t count);
int SendShortWriteCommand(const CCameraDevice& camera, const CommandBlock& block, uint8_t value);

// The progress function that the commands "with progress" pass; null = none.
void SetProgressFunction(ProgressFunction progress);
ProgressFunction InstalledProgressFunction();

// Back to a zero bounce buffer and the power-up data-control length.
void ResetTransport();
// A camera that restarts (reset, download mode) comes back with its
// power-up data-control length; the host's length follows it, or every
// later transfer would use a length the camera no longer has.
void CameraRestarted();
