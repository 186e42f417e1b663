// The driver's request block built from a vendor request and taken apart
// again gives back that request, so that a backend that hands the driver the
// block itself sends the bytes the download path built.

#include <gtest/gtest.h>

#include <vector>

#include "platform/VendorRequestBlock.h"

namespace {

using platform::VendorRequest;
using platform::VendorRequestSetup;

VendorRequestSetup Carried(bool toHost, uint8_t bRequest, uint16_t wIndex, uint16_t wLength, bool probe = false) {
  return {toHost, bRequest, 0, wIndex, wLength, probe};
}

TEST(VendorRequestBlock, EachRequestSurvivesTheRoundTrip) {
  const struct {
    VendorRequestSetup setup;
    uint32_t flags, inLength, outLength;
  } cases[] = {
      {Carried(true, 5, 0, 1, true), 1, 17, 17}, {Carried(false, 1, 9, 0), 0, 16, 16},
      {Carried(false, 4, 0x1234, 3), 0, 19, 16}, {Carried(true, 5, 0xF000, 2), 3, 18, 18},
      {Carried(true, 5, 0, 1), 3, 17, 17},  // a one-byte read at 0 is still a read
  };
  const uint8_t data[3] = {7, 8, 9};
  for (const auto& c : cases) {
    const VendorRequest request = VendorRequest::Carrying(c.setup);
    EXPECT_EQ(request.Flags, c.flags);
    EXPECT_EQ(request.InputLength(), c.inLength);
    EXPECT_EQ(request.OutputLength(), c.outLength);
    const std::vector<uint8_t> block = request.Block(data);
    ASSERT_EQ(block.size(), c.inLength);
    EXPECT_EQ(block[12], c.setup.toHost || !c.setup.wLength ? 0 : 7) << "reads go out zeroed";
    VendorRequestSetup decoded;
    ASSERT_EQ(platform::DecodeVendorRequestBlock(block.data(), c.inLength, c.outLength, &decoded), 0u);
    EXPECT_EQ(decoded.toHost, c.setup.toHost);
    EXPECT_EQ(decoded.probe, c.setup.probe);
    EXPECT_EQ(decoded.bRequest, c.setup.bRequest);
    EXPECT_EQ(decoded.wIndex, c.setup.wIndex);
    EXPECT_EQ(decoded.wLength, c.setup.wLength);
  }
}

}  // namespace
