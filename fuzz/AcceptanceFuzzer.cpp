// Judges an arbitrary file as the dialog does when a firmware file is chosen:
// the table found at one of the three offsets, the memory kind, size and
// class, the verdict; then walks the table the verdict was taken from. The
// file is served from memory through the platform's file seam.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "RecordChecks.h"
#include "download/ImageAcceptance.h"
#include "platform/Platform.h"

using _QTL_UVC_Descriptor::CDescGlobal;
using _QTL_UVC_Descriptor::CDescriptor;

namespace {

const char kPath[] = "image.bin";

class MemoryFile final : public platform::IReadFile {
 public:
  explicit MemoryFile(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  size_t Read(void* buffer, size_t length) override {
    const size_t count = std::min(length, bytes_.size() - at_);
    if (count) std::memcpy(buffer, bytes_.data() + at_, count);
    at_ += count;
    return count;
  }

 private:
  const std::vector<uint8_t>& bytes_;
  size_t at_ = 0;
};

// One file, the fuzzer's input, in an otherwise empty folder.
class OneFileSystem final : public platform::IFileSystem {
 public:
  std::vector<uint8_t> bytes;
  bool GetStatus(const std::string& path) override { return path == kPath; }
  std::unique_ptr<platform::IReadFile> OpenRead(const std::string& path, bool) override {
    if (path != kPath) return nullptr;
    return std::make_unique<MemoryFile>(bytes);
  }
  std::string CurrentDirectory() override { return "."; }
  std::vector<std::string> FindFiles(const std::string&, const std::string&) override { return {kPath}; }
  char PathSeparator() const override { return '/'; }
};

void CheckVerdict(const ImageVerdict& verdict, size_t size) {
  using fuzz::Require;
  Require(!verdict.unreadable, "the file in memory was unreadable");
  Require(verdict.fileLength == static_cast<int64_t>(std::min<size_t>(size, kImageReadSize + 1)),
          "the file's length was misread");
  if (!verdict.tableOffset) {
    Require(verdict.accepted == 0 && verdict.error == "FW Data Error\n", "no table, yet not the data error");
    return;
  }
  Require(verdict.header && verdict.header->m_marker == CDescGlobal::kMarker, "a table taken without its marker");
  Require(verdict.fwType && *verdict.fwType == verdict.header->m_fwType && *verdict.fwType < 32,
          "the firmware type is not the header's");
  if (verdict.memoryClass) Require(*verdict.memoryClass >= 1 && *verdict.memoryClass <= 8, "memory class off range");
  if (verdict.memoryKind) Require(*verdict.memoryKind >= 1 && *verdict.memoryKind <= 21, "memory kind off range");
  if (verdict.accepted) {
    Require(verdict.error.empty(), "an accepted file carries an error");
    Require(verdict.memorySize && static_cast<int64_t>(*verdict.memorySize) >= verdict.fileLength,
            "an accepted file is longer than its memory");
  } else {
    Require(!verdict.error.empty(), "a rejected file without a reason");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto* files = new OneFileSystem();
  static auto* scope = new platform::ScopedPlatform(platform::Platform{.files = files});
  (void)scope;
  files->bytes.assign(data, data + size);

  ImageVerdict verdict = JudgeFirmwareImage(kPath, true);
  CheckVerdict(verdict, size);
  if (!verdict.table) return 0;
  const uint8_t fwType = verdict.table->m_header.m_fwType;
  while (std::unique_ptr<CDescriptor> record{verdict.table->ReadNext()}) fuzz::CheckRecord(*record, fwType);
  return 0;
}
