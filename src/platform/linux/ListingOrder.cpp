#include "platform/linux/ListingOrder.h"

#include <algorithm>
#include <cstdint>

namespace platform::linux {
namespace {

// The upper case of one UTF-16 unit for the scripts a firmware file's name
// is likely written in: Latin, Greek and Cyrillic. Other units stand for
// themselves.
char16_t UpperCase(char16_t c) {
  if (c >= u'a' && c <= u'z') return c - 0x20;
  if (c < 0x80) return c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;  // Latin-1
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17F) {
    // Latin Extended-A pairs the cases: upper even and lower odd, except in
    // the two runs where the pairs start on an odd unit.
    const bool oddPairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;  // no simple upper case here
    const bool lower = oddPairs ? c % 2 == 0 : c % 2 == 1;
    return lower ? c - 1 : c;
  }
  if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return c - 0x20;  // Greek
  if (c == 0x3C2) return 0x3A3;                                 // final sigma
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;                // Cyrillic
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  return c;
}

// A stray byte of a name that is not UTF-8 takes a unit of its own that no
// UTF-8 name produces (a low surrogate, as such names are often carried).
char16_t StrayByte(uint8_t byte) { return static_cast<char16_t>(0xDC00 + byte); }

// The UTF-16 units of a UTF-8 name.
std::u16string Utf16Units(const std::string& name) {
  std::u16string units;
  size_t i = 0;
  while (i < name.size()) {
    const auto lead = static_cast<uint8_t>(name[i]);
    const size_t length = lead < 0x80           ? 1
                          : (lead >> 5) == 0x6  ? 2
                          : (lead >> 4) == 0xE  ? 3
                          : (lead >> 3) == 0x1E ? 4
                                                : 0;
    uint32_t code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    bool valid = length != 0 && i + length <= name.size();
    for (size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<uint8_t>(name[i + k]);
      valid = (next & 0xC0) == 0x80;
      code = code << 6 | (next & 0x3F);
    }
    // Overlong forms, surrogates and values past Unicode are not UTF-8.
    static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    valid = valid && code >= kSmallest[length] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
    if (!valid) {
      units += StrayByte(lead);
      ++i;
      continue;
    }
    if (code >= 0x10000) {
      units += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
      units += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      units += static_cast<char16_t>(code);
    }
    i += length;
  }
  return units;
}

std::u16string CollationKey(const std::string& name) {
  std::u16string units = Utf16Units(name);
  std::transform(units.begin(), units.end(), units.begin(), UpperCase);
  return units;
}

}  // namespace

bool ListedBefore(const std::string& a, const std::string& b) {
  const std::u16string keyA = CollationKey(a);
  const std::u16string keyB = CollationKey(b);
  if (keyA != keyB) return keyA < keyB;
  return a < b;
}

void SortAsListed(std::vector<std::string>& names) {
  // Each key once, not once per comparison.
  std::vector<std::pair<std::u16string, std::string>> keyed;
  keyed.reserve(names.size());
  for (std::string& name : names) keyed.emplace_back(CollationKey(name), std::move(name));
  std::sort(keyed.begin(), keyed.end());
  for (size_t i = 0; i < keyed.size(); ++i) names[i] = std::move(keyed[i].second);
}

}  // namespace platform::linux
