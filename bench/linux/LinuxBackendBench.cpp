// What the Linux camera backend costs: its own CPU time per transfer (the
// channels over a kernel that answers at once), and, per full download on a
// camera emulated under umockdev, the ioctls it issues against the protocol's
// transfers. Run the download cases under umockdev-wrapper.

#include <benchmark/benchmark.h>
#include <linux/usbdevice_fs.h>
#include <linux/uvcvideo.h>
#include <unistd.h>

#include <memory>
#include <optional>
#include <vector>

#include "platform/CameraExtensionUnit.h"
#include "platform/CameraVendorRequests.h"
#include "platform/linux/UsbfsVendorRequests.h"
#include "platform/linux/UvcExtensionUnit.h"
#include "support/DialogHarness.h"
#include "udev/LinuxCameraRig.h"

namespace {

// Answers every ioctl at once, as if each transfer took no time.
class InstantKernel final : public platform::linux::ILinuxKernel {
 public:
  long Ioctl(int, unsigned long request, void* arg) override {
    ++ioctls;
    if (request == USBDEVFS_CONTROL) return static_cast<const usbdevfs_ctrltransfer*>(arg)->wLength;
    return 0;
  }
  void Close(int) override {}
  uint64_t ioctls = 0;
};

void PerTransfer(benchmark::State& state, const InstantKernel& kernel, uint64_t before) {
  state.counters["ioctls_per_transfer"] =
      static_cast<double>(kernel.ioctls - before) / static_cast<double>(state.iterations());
}

// One 8-byte set of the data control (Arg 0) or get (Arg 1) through uvcvideo.
void BM_UvcDataTransfer(benchmark::State& state) {
  InstantKernel kernel;
  platform::linux::UvcExtensionUnit unit(kernel, -1, 6);
  uint8_t block[8] = {};
  uint32_t returned = 0;
  unit.Set(platform::kCameraDataSelector, block, sizeof block);  // fixes the control's size
  const uint64_t before = kernel.ioctls;
  for (auto _ : state) {
    if (state.range(0) == 0)
      benchmark::DoNotOptimize(unit.Set(platform::kCameraDataSelector, block, sizeof block));
    else
      benchmark::DoNotOptimize(unit.Get(platform::kCameraDataSelector, block, sizeof block, &returned));
  }
  PerTransfer(state, kernel, before);
}
BENCHMARK(BM_UvcDataTransfer)->Arg(0)->Arg(1);

// One 4096-byte download-mode write request through usbfs.
void BM_UsbfsWriteRequest(benchmark::State& state) {
  InstantKernel kernel;
  platform::linux::UsbfsVendorRequests requests(kernel, -1);
  std::vector<uint8_t> chunk(4096);
  uint32_t moved = 0;
  const platform::VendorRequestSetup setup{false, platform::kCameraRequestWrite, 0, 0, 4096};
  for (auto _ : state) benchmark::DoNotOptimize(requests.Send(setup, chunk.data(), &moved));
  PerTransfer(state, kernel, 0);
}
BENCHMARK(BM_UsbfsWriteRequest);

// A complete 64 KiB class-8 download through the dialog and the Linux
// backend: over the extension unit at 8-byte blocks (Arg 0, the usbfs node
// does not open) or over the download-mode requests (Arg 1).
void BM_LinuxFullDownload64KiB(benchmark::State& state) {
  const bool usbfs = state.range(0) != 0;
  uint64_t ioctls = 0, protocol = 0;
  for (auto _ : state) {
    state.PauseTiming();
    emulated::Testbed bed;
    if (!emulated::Testbed::Active()) {
      state.SkipWithError("needs umockdev's preload: run under umockdev-wrapper");
      break;
    }
    substitute::SubstituteWorldConfig config;
    config.logTraffic = true;
    DialogHarness h(config);
    std::optional<emulated::LinuxCameraRig> rig(std::in_place, bed, h.world, 6);
    rig->SetUsbfsOpens(usbfs);
    rig->AddCamera(substitute::CameraOfClass(8));
    h.WriteImage("fw.bin", SampleFor(8, 3, 65536));
    h.Open();
    state.ResumeTiming();

    h.ClickStart();

    state.PauseTiming();
    if (h.Text(IDC_RESULT) != "Pass") state.SkipWithError("the download did not pass");
    ioctls += rig->Drivers().IoctlCount();
    // The driver's own length query when each control is first used on an
    // appearance of the camera is not the host's doing.
    protocol += h.world.Traffic().size() - 2 * rig->Devnums().size();
    h.Close();
    rig.reset();
    state.ResumeTiming();
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["ioctls"] = static_cast<double>(ioctls) / n;
  state.counters["protocol_transfers"] = static_cast<double>(protocol) / n;
}
BENCHMARK(BM_LinuxFullDownload64KiB)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
