// What tracing adds to one transfer: a 64-byte extension-unit set and a
// 4 KiB download-mode write, untraced and traced into a sink that keeps
// nothing or into a file flushed line by line. A USB control transfer costs
// 125 us (a high-speed microframe) to 1 ms (a full-speed frame); a 4 KiB
// data stage a few ms at full speed.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/decorators/Trace.h"

namespace {

using namespace platform;

class NullUnit final : public IExtensionUnitChannel {
 public:
  Status GetLength(uint32_t, uint16_t* length) override {
    *length = 64;
    return kOk;
  }
  Status Get(uint32_t, uint8_t*, uint32_t length, uint32_t* returned) override {
    *returned = length;
    return kOk;
  }
  Status Set(uint32_t, const uint8_t* data, uint32_t) override {
    benchmark::DoNotOptimize(data);
    return kOk;
  }
};

class NullRequests final : public IVendorRequestChannel {
 public:
  uint32_t Send(const VendorRequestSetup& setup, uint8_t*, uint32_t* transferred) override {
    *transferred = setup.wLength;
    return 0;
  }
};

class NullInput final : public IVideoInput {
 public:
  Status Bind() override { return kOk; }
  Status ReadProperty(const std::string&, std::string* value) override {
    *value = "/dev/video0@/dev/bus/usb/001/003";
    return kOk;
  }
  Status OpenExtensionUnit(std::shared_ptr<IExtensionUnitChannel>* out) override {
    *out = std::make_shared<NullUnit>();
    return kOk;
  }
};

class NullBackend final : public ICameraBackend {
 public:
  Status ListVideoInputs(std::vector<std::shared_ptr<IVideoInput>>* out) override {
    *out = {std::make_shared<NullInput>()};
    return kOk;
  }
  Status QueryDeviceInstance(const std::string&, uint32_t* devInst) override {
    *devInst = 1;
    return kOk;
  }
  std::shared_ptr<IVendorRequestChannel> OpenVendorRequests(const std::string&) override {
    return std::make_shared<NullRequests>();
  }
};

class CountingSink final : public ITraceSink {
 public:
  void Write(const std::string& line) override { bytes += line.size() + 1; }
  uint64_t bytes = 0;
};

class StillClock final : public IClock {
 public:
  void Sleep(uint32_t) override {}
  uint64_t NowMilliseconds() override { return 1234; }
};

// Argument 0: untraced; 1: traced into a sink that keeps nothing; 2: into a file.
struct Rig {
  explicit Rig(int64_t mode) {
    if (mode == 2) {
      std::string error;
      file = FileTraceSink::Create(path, &error);
    }
    std::shared_ptr<ITraceSink> sink = mode == 2 ? std::shared_ptr<ITraceSink>(file) : counter;
    if (mode != 0) traced = std::make_unique<TracedBackend>(inner, nullptr, clock, sink, TraceOrigin{"bench", "null"});
    ICameraBackend& backend = traced ? static_cast<ICameraBackend&>(*traced) : inner;
    std::vector<std::shared_ptr<IVideoInput>> inputs;
    backend.ListVideoInputs(&inputs);
    inputs.front()->OpenExtensionUnit(&unit);
    requests = backend.OpenVendorRequests("/dev/video0@/dev/bus/usb/001/003");
  }
  ~Rig() {
    traced.reset();
    file.reset();
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
  }
  Rig(const Rig&) = delete;
  Rig& operator=(const Rig&) = delete;
  uint64_t FileBytes() const {
    std::error_code ignored;
    return std::filesystem::file_size(path, ignored);
  }

  const std::string path = (std::filesystem::temp_directory_path() / "zarnet-trace-bench.jsonl").string();
  NullBackend inner;
  StillClock clock;
  std::shared_ptr<CountingSink> counter = std::make_shared<CountingSink>();
  std::shared_ptr<FileTraceSink> file;
  std::unique_ptr<TracedBackend> traced;
  std::shared_ptr<IExtensionUnitChannel> unit;
  std::shared_ptr<IVendorRequestChannel> requests;
};

void BM_ExtensionUnitSet64(benchmark::State& state) {
  Rig rig(state.range(0));
  std::vector<uint8_t> data(64);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 37);
  const uint64_t before = rig.FileBytes();
  for (auto _ : state) rig.unit->Set(11, data.data(), 64);
  const uint64_t bytes = state.range(0) == 2 ? rig.FileBytes() - before : rig.counter->bytes;
  state.counters["trace_bytes_per_transfer"] = static_cast<double>(bytes) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ExtensionUnitSet64)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kNanosecond);

void BM_VendorRequestWrite4KiB(benchmark::State& state) {
  Rig rig(state.range(0));
  std::vector<uint8_t> data(4096, 0x5A);
  const VendorRequestSetup setup{false, 0x10, 0, 0, 4096};
  uint32_t moved = 0;
  for (auto _ : state) rig.requests->Send(setup, data.data(), &moved);
}
BENCHMARK(BM_VendorRequestWrite4KiB)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kNanosecond);

}  // namespace
