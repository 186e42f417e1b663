// What a 64 KiB download costs: transfers against the protocol's count, host
// CPU time, and how long the window's thread was held by the worker.

#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

#include "device/Device.h"
#include "support/DialogHarness.h"

namespace {

constexpr uint32_t kDataLength = 64;
constexpr uint32_t kFlashSize = 65536;

// One command block per piece of at most 0x8000 bytes (a transfer of 64 KiB
// goes in two), plus one data transfer per block of the data-control length.
uint64_t ProtocolTransfers(uint32_t bytes) {
  const uint32_t pieces = bytes >= 0x10000 ? 2 : 1;
  return pieces + (bytes + kDataLength - 1) / kDataLength;
}

// The extension unit alone: a class-8 write and read-back of 64 KiB.
void BM_ExtensionUnitWriteAndRead64KiB(benchmark::State& state) {
  substitute::SubstituteWorldConfig config;
  config.logTraffic = false;
  substitute::SubstituteWorld world(config);
  const auto cam = world.AddCamera();
  platform::ScopedPlatform inForce(world.Platform());
  ResetDeviceState();
  int32_t index = 0;
  const uint32_t key = OpenCamera(&index);
  uint8_t length = kDataLength;
  SetDataLength(&length, key);
  SerialFlashUnprotect(key);
  std::vector<uint8_t> image(kFlashSize), back(kFlashSize);
  for (uint32_t i = 0; i < kFlashSize; ++i) image[i] = static_cast<uint8_t>(i * 7);

  uint64_t accesses = 0;
  for (auto _ : state) {
    const uint64_t before = world.AccessCount(cam);
    SPI_SF_Write(key, 0, kFlashSize, image.data());
    SPI_SF_Read(key, kFlashSize, back.data());
    accesses += world.AccessCount(cam) - before;
    benchmark::DoNotOptimize(back.data());
  }
  const double iterations = static_cast<double>(state.iterations());
  state.counters["transfers"] = static_cast<double>(accesses) / iterations;
  state.counters["protocol"] = static_cast<double>(2 * ProtocolTransfers(kFlashSize));
  state.counters["ns_per_KiB"] = benchmark::Counter(
      2.0 * kFlashSize / 1024.0, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  CloseCamera(key);
  ResetDeviceState();
}
BENCHMARK(BM_ExtensionUnitWriteAndRead64KiB)->Unit(benchmark::kMillisecond);

// A whole download through the dialog and the worker, in virtual time.
// Argument 1: the driver serves the download-mode path (serial-flash
// procedure); 0: it refuses, and the memory-class procedure runs.
void FullFlash(benchmark::State& state, bool realTime) {
  const bool served = state.range(0) != 0;
  uint64_t ks = 0, io = 0, ioBytes = 0;
  std::chrono::nanoseconds longestHandling{0}, longestSend{0};
  for (auto _ : state) {
    state.PauseTiming();
    substitute::SubstituteWorldConfig config;
    config.realTime = realTime;
    auto h = std::make_unique<DialogHarness>(config);
    auto camera = substitute::CameraOfClass(8);
    if (!served) camera.driverPath = substitute::DriverPathService::kRefused;
    h->world.AddCamera(camera);
    h->WriteImage("fw.bin", SampleFor(8, 3, kFlashSize));
    h->Open();
    h->world.ClearTraffic();
    state.ResumeTiming();

    h->ClickStart();

    state.PauseTiming();
    if (h->Text(IDC_RESULT) != "Pass") state.SkipWithError("the download did not pass");
    for (const auto& e : h->world.Traffic()) {
      if (e.kind == substitute::TrafficKind::kVendorRequest) {
        ++io;
        ioBytes += 8u + e.setup.wLength;
      } else {
        ++ks;
      }
    }
    longestHandling = std::max(longestHandling, h->window.LongestHandling());
    longestSend = std::max(longestSend, h->window.LongestSendWait());
    h.reset();
    state.ResumeTiming();
  }
  const double n = static_cast<double>(state.iterations());
  const uint32_t length = 0xFFFE;  // what Start reads of a 64 KiB file
  state.counters["ks_transfers"] = static_cast<double>(ks) / n;
  state.counters["io_requests"] = static_cast<double>(io) / n;
  // Data phases only: three passes over the unit, or 16 + 16 chunks of 4 KiB.
  state.counters["protocol_min"] =
      served ? 2.0 * ((length + 4095) / 4096) : 3.0 * static_cast<double>(ProtocolTransfers(length));
  // The substitute camera's USB model: 1 ms a control transfer or request,
  // 1 ns a byte of a vendor request's setup and data stages.
  state.counters["modeled_device_ms"] = (static_cast<double>(ks + io) * 1.0 + static_cast<double>(ioBytes) * 1e-6) / n;
  state.counters["longest_window_block_us"] = static_cast<double>(longestHandling.count()) / 1000.0;
  state.counters["longest_send_wait_us"] = static_cast<double>(longestSend.count()) / 1000.0;
}
void BM_FullFlash64KiB(benchmark::State& state) { FullFlash(state, false); }
BENCHMARK(BM_FullFlash64KiB)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// The same in real time, with the camera's USB timing and reboot delays: the
// window's thread is held as long as an identification takes on the wire.
void BM_FullFlash64KiBRealTime(benchmark::State& state) { FullFlash(state, true); }
BENCHMARK(BM_FullFlash64KiBRealTime)->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
