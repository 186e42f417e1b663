// The host lists a folder's images in the order a Windows listing gives
// them, so the window's default image is the same on every host.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/linux/ListingOrder.h"
#include "support/TempDir.h"

namespace {

using Names = std::vector<std::string>;

struct OrderCase {
  Names given;
  Names listed;
};

class ListingOrder : public testing::TestWithParam<OrderCase> {};

TEST_P(ListingOrder, SortsAsAWindowsListing) {
  Names names = GetParam().given;
  platform::linux::SortAsListed(names);
  EXPECT_EQ(names, GetParam().listed);
  for (size_t i = 0; i + 1 < names.size(); ++i) EXPECT_TRUE(platform::linux::ListedBefore(names[i], names[i + 1]));
}

INSTANTIATE_TEST_SUITE_P(Names, ListingOrder,
                         testing::Values(
                             // Case does not count; the full stop (0x2E) comes before the digits.
                             OrderCase{{"b.bin", "A.BIN", "a0.bin"}, {"A.BIN", "a0.bin", "b.bin"}},
                             // Upper case, not lower: '_' (0x5F) comes after every letter.
                             OrderCase{{"_x.bin", "z.bin", "Y.bin"}, {"Y.bin", "z.bin", "_x.bin"}},
                             // Letters beyond ASCII by their upper case: é as É (0xC9) after z, ä and Ä together.
                             OrderCase{{"\xC3\xA9.bin", "z.bin",
                                        "\xC3\x84"
                                        "b.bin",
                                        "\xC3\xA4"
                                        "a.bin"},
                                       {"z.bin",
                                        "\xC3\xA4"
                                        "a.bin",
                                        "\xC3\x84"
                                        "b.bin",
                                        "\xC3\xA9.bin"}},
                             // Names equal but for case keep the order of their bytes; a byte that
                             // is not UTF-8 comes after every letter.
                             OrderCase{{"\xFF.bin", "a.bin", "A.bin"}, {"A.bin", "a.bin", "\xFF.bin"}},
                             // The final sigma as the sigma it is: \u03C2 before \u03C4.
                             OrderCase{{"\xCF\x84.bin", "\xCF\x82.bin"}, {"\xCF\x82.bin", "\xCF\x84.bin"}},
                             // An overlong form is stray bytes (0xDCF0...), not the U+FFFF it spells.
                             OrderCase{{"\xEE\x80\x80.bin", "\xF0\x8F\xBF\xBF.bin"},
                                       {"\xF0\x8F\xBF\xBF.bin", "\xEE\x80\x80.bin"}}));

TEST(HostFiles, ListAFoldersImagesInThatOrder) {
  TempDir dir;
  for (const char* name : {"b.bin", "A.BIN", "a0.bin", "notes.txt"}) dir.Write(name, {0});
  const Names listed = platform::Host().files->FindFiles(dir.Path().string(), "*.bin");
  EXPECT_EQ(listed, (Names{"A.BIN", "a0.bin", "b.bin"}));
}

}  // namespace
