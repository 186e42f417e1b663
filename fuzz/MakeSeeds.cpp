// Writes the fuzz targets' seed corpora, made from the sample images that
// `zarnet-cli make-sample` writes: whole images for the acceptance target,
// their tables for the walk, and each of their records for the factory.
//
// usage: zarnet-fuzz-seeds FOLDER   (makes FOLDER/acceptance, /table, /record)

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "firmware/DescriptorTable.h"
#include "firmware/SampleImage.h"

using namespace _QTL_UVC_Descriptor;
namespace fs = std::filesystem;

namespace {

void WriteFile(const fs::path& path, const uint8_t* bytes, size_t count) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(count));
}

// The first byte of a record seed picks the family as the factory target reads it.
uint8_t FamilyByte(uint8_t fwType) { return fwType == 0 ? 0 : fwType == 1 ? 1 : 2; }

// Every record of the table at `at`, one seed each.
int WriteRecordSeeds(const fs::path& folder, const std::string& name, const std::vector<uint8_t>& image, int32_t at,
                     uint8_t fwType) {
  auto table = std::make_unique<CDescriptorTable>();
  table->Load(static_cast<int32_t>(image.size()) - at, image.data() + at);
  int count = 0;
  for (;;) {
    const int32_t from = table->CursorOffset();
    std::unique_ptr<CDescriptor> record(table->ReadNext());
    if (!record) break;
    std::vector<uint8_t> seed{FamilyByte(fwType)};
    seed.insert(seed.end(), table->m_image + from, table->m_image + table->CursorOffset());
    WriteFile(folder / (name + "-" + std::to_string(count++)), seed.data(), seed.size());
  }
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const fs::path root = argv[1];
  for (const char* sub : {"acceptance", "table", "record"}) fs::create_directories(root / sub);
  int images = 0;
  int records = 0;
  for (int memClass = 1; memClass <= 8; ++memClass) {
    const MemoryPart part = TypicalPartForClass(memClass);
    for (uint8_t fwType : {0, 1, 3}) {
      for (bool every : {true, false}) {
        // The memory's own size, and for the large memories a table at 0xE000.
        for (int32_t offset : {-1, 0xE000}) {
          SampleOptions o;
          o.eepromId = part.eepromId;
          o.memType = part.memType;
          o.fwType = fwType;
          o.imageSize = offset == 0xE000 ? 61440 : part.size;
          o.tableOffset = offset;
          o.everyRecordClass = every;
          std::string error;
          const std::vector<uint8_t> image = BuildSampleImage(o, &error);
          if (image.empty()) continue;
          const int32_t at = offset >= 0 ? offset : (image.size() > 0xF000 ? 0xF000 : 0);
          const std::string name = "class" + std::to_string(memClass) + "-fw" + std::to_string(fwType) +
                                   (every ? "-every" : "-few") + (offset >= 0 ? "-low" : "");
          WriteFile(root / "acceptance" / name, image.data(), image.size());
          WriteFile(root / "table" / name, image.data() + at, image.size() - static_cast<size_t>(at));
          records += WriteRecordSeeds(root / "record", name, image, at, fwType);
          ++images;
        }
      }
    }
  }
  std::printf("seeds: %d images, %d records in %s\n", images, records, root.c_str());
  return images > 0 ? 0 : 1;
}
