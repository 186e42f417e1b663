// The Windows backend's text conversion, which is plain code and runs here too.
#include <gtest/gtest.h>

#include <string>

#include "platform/win32/WideText.h"

using platform::win32::Narrow;
using platform::win32::Wide;

TEST(WideText, EveryUtf16NameComesBackExactly) {
  struct Case {
    const char* what;
    std::wstring wide;
    std::string narrow;
  };
  const Case cases[] = {
      {"ascii", L"fw.bin", "fw.bin"},
      {"two bytes", std::wstring{0xE9}, "\xC3\xA9"},
      {"three bytes", std::wstring{0x20AC}, "\xE2\x82\xAC"},
      {"pair", std::wstring{0xD83D, 0xDE00}, "\xF0\x9F\x98\x80"},
      {"lone high", std::wstring{L'a', 0xD800, L'b'},
       "a\xED\xA0\x80"
       "b"},
      {"lone low", std::wstring{0xDC00}, "\xED\xB0\x80"},
      {"reversed pair", std::wstring{0xDE00, 0xD83D}, "\xED\xB8\x80\xED\xA0\xBD"},
      {"high at the end", std::wstring{L'x', 0xDBFF}, "x\xED\xAF\xBF"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Narrow(c.wide), c.narrow) << c.what;
    EXPECT_EQ(Wide(c.narrow), c.wide) << c.what;
  }
}

TEST(WideText, MalformedBytesBecomeOneReplacementEach) {
  const std::wstring r{0xFFFD};
  EXPECT_EQ(Wide("\x80"), r);
  EXPECT_EQ(Wide("a\xC3"), L"a" + r);                  // cut off
  EXPECT_EQ(Wide("\xC0\xAF"), r + r);                  // overlong '/'
  EXPECT_EQ(Wide("\xF4\x90\x80\x80"), r + r + r + r);  // beyond U+10FFFF
  EXPECT_EQ(Wide("\xE2\x28\xA1"), r + L"(" + r);
}
