// How fast a firmware image is judged and its table walked and rebuilt.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "download/ImageAcceptance.h"
#include "firmware/DescriptorTable.h"
#include "firmware/SampleImage.h"

using namespace _QTL_UVC_Descriptor;

namespace {

// A full 64 KiB image whose table holds every record class of firmware type
// 3 four times over (more than 100 records).
const std::vector<uint8_t>& BigImage() {
  static const std::vector<uint8_t> image = [] {
    SampleOptions options;
    options.repeat = 4;
    std::string error;
    return BuildSampleImage(options, &error);
  }();
  return image;
}

void BM_WalkAndRebuild64KiBImage(benchmark::State& state) {
  const auto& image = BigImage();
  auto table = std::make_unique<CDescriptorTable>();
  std::vector<uint8_t> out(CDescriptorTable::kCapacity);
  int64_t records = 0;
  for (auto _ : state) {
    table->Load(static_cast<int32_t>(image.size() - 0xF000), image.data() + 0xF000);
    while (CDescriptor* record = table->ReadNext()) {
      benchmark::DoNotOptimize(record->BuildTo(out.data()));
      delete record;
      ++records;
    }
  }
  state.counters["records"] = static_cast<double>(records) / static_cast<double>(state.iterations());
  state.counters["ns_per_record"] =
      benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_WalkAndRebuild64KiBImage)->Unit(benchmark::kMicrosecond);

void BM_AcceptImageFile(benchmark::State& state) {
  const auto path = std::filesystem::temp_directory_path() / "zarnet-bench-image.bin";
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(BigImage().data()), static_cast<std::streamsize>(BigImage().size()));
  }
  for (auto _ : state) {
    ImageVerdict verdict = JudgeFirmwareImage(path.string());
    benchmark::DoNotOptimize(verdict.accepted);
  }
  std::filesystem::remove(path);
}
BENCHMARK(BM_AcceptImageFile)->Unit(benchmark::kMicrosecond);

}  // namespace
