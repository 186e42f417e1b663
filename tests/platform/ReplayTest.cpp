// A replayed camera that leaves at its reset and comes back while the
// command polls for it: each listing answers what the recording listed at
// that time, and the clock follows the recording.

#include <gtest/gtest.h>

#include "platform/replay/ReplayBackend.h"

namespace platform {
namespace {

// Listed, reset, gone for two polls 500 ms apart, back on the third.
const char kResetAndReturn[] =
    R"({"format":"zarnet-trace","formatVersion":1,"program":"test","version":"0","backend":"test"}
{"t":0,"ch":"bus","op":"list","status":0,"inputs":[{"path":"cam","name":"Camera"}]}
{"t":0,"ch":"vendor","op":"open","chan":1,"path":"cam","opened":true}
{"t":5,"n":1,"ch":"vendor","op":"request","chan":1,"dir":"out","bRequest":1,"wValue":0,"wIndex":9,"wLength":0,"sent":"","result":0,"transferred":0}
{"t":10,"ch":"bus","op":"list","status":0,"inputs":[]}
{"t":511,"ch":"bus","op":"list","status":0,"inputs":[]}
{"t":1013,"ch":"bus","op":"list","status":0,"inputs":[{"path":"cam","name":"Camera"}]}
{"t":1013,"ch":"bus","op":"instance","path":"cam","status":0,"devInst":7}
)";

size_t Listed(ReplayBackend& replay) {
  std::vector<std::shared_ptr<IVideoInput>> inputs;
  EXPECT_EQ(replay.ListVideoInputs(&inputs), kOk);
  return inputs.size();
}

TEST(Replay, TheCameraIsListedAsItWasAtEachTime) {
  std::string error;
  auto trace = ParseTrace(kResetAndReturn, "reset.jsonl", &error);
  ASSERT_TRUE(trace) << error;
  ReplayBackend replay(std::move(*trace));
  std::vector<std::shared_ptr<IVideoInput>> before;
  ASSERT_EQ(replay.ListVideoInputs(&before), kOk);
  ASSERT_EQ(before.size(), 1u);

  const std::shared_ptr<IVendorRequestChannel> vendor = replay.OpenVendorRequests("cam");
  ASSERT_TRUE(vendor);
  uint32_t moved = 1;
  EXPECT_EQ(vendor->Send({false, 1, 0, 9, 0}, nullptr, &moved), 0u);
  EXPECT_EQ(replay.Clock().NowMilliseconds(), 5u);

  EXPECT_EQ(Listed(replay), 0u);
  EXPECT_EQ(before.front()->Bind(), kDeviceGone);
  replay.Clock().Sleep(500);
  EXPECT_EQ(Listed(replay), 0u);
  replay.Clock().Sleep(500);
  EXPECT_EQ(Listed(replay), 1u);
  EXPECT_EQ(replay.Clock().NowMilliseconds(), 1013u);
  // Back under the same path, but another appearance: the old one stays gone.
  EXPECT_EQ(before.front()->Bind(), kDeviceGone);
  uint32_t devInst = 0;
  EXPECT_EQ(replay.QueryDeviceInstance("cam", &devInst), kOk);
  EXPECT_EQ(devInst, 7u);
  EXPECT_EQ(replay.Verdict(), "");
}

}  // namespace
}  // namespace platform
