#pragma once
// One camera as a host reaches it through its extension unit and its driver:
// the controller's command state machine, its register space, its data
// control and the memory part it programs. Presence on the bus belongs to the
// world; the camera only asks to leave when a reset tells it to.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/Types.h"
#include "platform/VendorRequestChannel.h"
#include "platform/substitute/CameraMemory.h"
#include "platform/substitute/SubstituteConfig.h"

namespace substitute {

enum class CameraMode { kRunning, kDownload };

// An 8-byte block as it arrives on the command control.
struct CommandBlock {
  uint8_t commandClass = 0;
  uint8_t opcode = 0;
  uint16_t word2 = 0;   // address bits 0-15 or a parameter
  uint16_t length = 0;  // data length or a parameter
  uint16_t word6 = 0;   // address bits 16-31

  static CommandBlock Parse(const uint8_t* bytes);
  uint32_t Address32() const { return word2 | (static_cast<uint32_t>(word6) << 16); }
  bool HasDataPhase() const { return (opcode & 0x80) != 0; }
  bool ToHost() const { return (opcode & 0x40) != 0; }
};

class Camera {
 public:
  explicit Camera(const SubstituteCameraConfig& config);
  Camera(const Camera&) = delete;
  Camera& operator=(const Camera&) = delete;

  // A power cycle: everything volatile back to its power-up state; the memory
  // and the flash status register keep what they hold.
  void PowerUp(CameraMode mode);

  // The world's clock at the access about to come: a status write under way
  // takes effect once its time is over.
  void Tick(uint64_t nowMs);

  // Extension-unit controls (command and data selectors only).
  uint16_t ControlLength(uint32_t selector) const;
  platform::Status Get(uint32_t selector, uint8_t* data, uint32_t length, uint32_t* returned);
  platform::Status Set(uint32_t selector, const uint8_t* data, uint32_t length);
  // A download-mode vendor request, as the driver passes it on; 0 or the
  // driver's error code.
  uint32_t VendorRequest(const platform::VendorRequestSetup& setup, uint8_t* data, uint32_t* transferred);
  // Refuses the current access with a status of the caller's choosing: the
  // status is latched and an open transfer is dropped, as for any failure.
  void Refuse(uint16_t status) { Fail(status); }

  // Set after a reset command: the mode the camera comes back in.
  std::optional<CameraMode> TakeDeparture();

  const SubstituteCameraConfig& Config() const { return config_; }
  // Settings are read when they are used; the memory's class, size and
  // initial contents only count at construction.
  SubstituteCameraConfig& MutableConfig() { return config_; }
  CameraMode Mode() const { return mode_; }
  uint32_t DataLength() const { return dataLength_; }
  uint16_t CommandStatus() const;
  bool TransferOpen() const { return transfer_.open; }
  CameraMemory& Memory() { return memory_; }
  const CameraMemory& Memory() const { return memory_; }
  uint8_t Register(uint16_t address) const { return registers_[address]; }
  void SetRegister(uint16_t address, uint8_t value) { registers_[address] = value; }
  std::optional<uint16_t> DownloadModeParameter() const { return downloadModeParameter_; }
  std::optional<uint8_t> ByteA7() const { return byteA7_; }
  bool MemoryWritable() const;
  bool FlashStatusWritable() const;
  FirmwareInfoRecord FirmwareRecord(uint16_t index) const;

 private:
  enum class Sink { kNone, kRegisters, kMemory, kFlashStatus, kByteA7 };

  struct Transfer {
    bool open = false;
    bool toHost = false;
    uint8_t commandClass = 0;
    uint8_t opcode = 0;
    Sink sink = Sink::kNone;
    bool namesAddresses = false;  // the bytes lie at `address` of the memory or registers
    uint32_t address = 0;
    uint32_t total = 0;
    uint32_t done = 0;
    std::vector<uint8_t> source;  // what a transfer to the host delivers
    bool mayBeLeft = false;       // a new command may supersede it
  };

  // Command control.
  platform::Status GetCommandStatus(uint8_t* data, uint32_t length, uint32_t* returned) const;
  platform::Status Execute(const CommandBlock& block);
  platform::Status ExecuteDeviceCommand(const CommandBlock& block);
  platform::Status ExecuteMemoryCommand(const CommandBlock& block, bool eraseKeyArmed);
  platform::Status ExecuteMemoryTransfer(const CommandBlock& block);
  platform::Status ExecuteErase(const CommandBlock& block, bool eraseKeyArmed);
  platform::Status ChangeDataLength(uint8_t length);
  platform::Status ReadRegisters(const CommandBlock& block);
  platform::Status Leave(CameraMode mode);

  // Data control.
  platform::Status OpenRead(const CommandBlock& block, std::vector<uint8_t> bytes);
  platform::Status OpenWrite(const CommandBlock& block, Sink sink, uint32_t address);
  platform::Status ReadData(uint8_t* data, uint32_t length, uint32_t* returned);
  platform::Status WriteData(const uint8_t* data, uint32_t length);
  void Deliver(uint32_t address, const uint8_t* data, uint32_t count);
  void WriteRegisters(uint32_t address, const uint8_t* data, uint32_t count);
  void WriteFlashStatus(uint8_t value);
  bool FailureLatched() const;
  uint64_t nowMs_ = 0;
  void ProgramMemory(uint32_t address, const uint8_t* data, uint32_t count);
  void EraseMemory(uint32_t count);
  void NoteEraseKey(uint32_t address, const uint8_t* data, uint32_t count);

  platform::Status Fail(uint16_t status);
  platform::Status Complete();

  // Download-mode driver path.
  bool FlashTakes(const platform::VendorRequestSetup& setup) const;
  uint32_t DriverRead(const platform::VendorRequestSetup& setup, uint8_t* data, uint32_t* transferred);
  uint32_t DriverWrite(const platform::VendorRequestSetup& setup, const uint8_t* data, uint32_t* transferred);
  uint32_t DriverErase(const platform::VendorRequestSetup& setup);
  uint32_t DriverReset(const platform::VendorRequestSetup& setup);

  SubstituteCameraConfig config_;
  CameraMemory memory_;
  std::vector<uint8_t> registers_;
  CameraMode mode_ = CameraMode::kRunning;
  uint32_t dataLength_ = 8;
  uint16_t status_ = 0;
  Transfer transfer_;
  bool eraseKeyArmed_ = false;
  std::optional<uint16_t> downloadModeParameter_;
  std::optional<uint8_t> byteA7_;
  std::optional<CameraMode> departure_;
};

}  // namespace substitute
