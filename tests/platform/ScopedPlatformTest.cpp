// A scope puts back what was in force before it, however the code inside it
// ends: a failed assertion's early return or an exception.

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "platform/Platform.h"

namespace {

class Silent final : public platform::IDebugOutput {
 public:
  void Write(const std::string&) override {}
};

Silent outer, inner;

platform::Platform DebugTo(platform::IDebugOutput* debug) {
  platform::Platform seams;
  seams.debug = debug;
  return seams;
}

void FailsInsideAScope() {
  platform::ScopedPlatform scope(DebugTo(&inner));
  ASSERT_EQ(platform::Current().debug, &outer) << "fails on purpose";
}

TEST(ScopedPlatform, PutsBackWhatWasInForceWhenTheCodeInsideFails) {
  {
    platform::ScopedPlatform scope(DebugTo(&outer));
    EXPECT_EQ(platform::Current().clock, platform::Host().clock) << "a null seam keeps what is in force";
    EXPECT_FATAL_FAILURE(FailsInsideAScope(), "fails on purpose");
    EXPECT_EQ(platform::Current().debug, &outer) << "after a failed assertion";
    EXPECT_THROW(([] {
                   platform::ScopedPlatform nested(DebugTo(&inner));
                   throw std::runtime_error("thrown inside");
                 }()),
                 std::runtime_error);
    EXPECT_EQ(platform::Current().debug, &outer) << "after an exception";
  }
  EXPECT_EQ(platform::Current().debug, platform::Host().debug);
}

}  // namespace
