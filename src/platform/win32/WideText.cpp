#include "platform/win32/WideText.h"

// Written out rather than left to the system's code-page conversion, which
// turns an unpaired surrogate into U+FFFD: a file name holding one could then
// not be opened again under the name it was listed by. An unpaired surrogate
// is carried as the three bytes its code point would take (WTF-8), and comes
// back from them unchanged.

namespace platform::win32 {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

void Append(std::string& text, char32_t point) {
  if (point < 0x80) {
    text += static_cast<char>(point);
  } else if (point < 0x800) {
    text += static_cast<char>(0xC0 | (point >> 6));
    text += static_cast<char>(0x80 | (point & 0x3F));
  } else if (point < 0x10000) {
    text += static_cast<char>(0xE0 | (point >> 12));
    text += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (point & 0x3F));
  } else {
    text += static_cast<char>(0xF0 | (point >> 18));
    text += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
    text += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (point & 0x3F));
  }
}

void Append(std::wstring& wide, char32_t point) {
  if (point < 0x10000) {
    wide += static_cast<wchar_t>(point);
    return;
  }
  point -= 0x10000;
  wide += static_cast<wchar_t>(0xD800 | (point >> 10));
  wide += static_cast<wchar_t>(0xDC00 | (point & 0x3FF));
}

// One code point from text[at...]; `used` bytes it took. Malformed bytes
// (a stray continuation, an overlong or cut-off sequence, beyond U+10FFFF)
// give U+FFFD for one byte, as the system's conversion does.
char32_t Decode(const std::string& text, size_t at, size_t* used) {
  const auto lead = static_cast<unsigned char>(text[at]);
  *used = 1;
  if (lead < 0x80) return lead;
  const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
  if (length == 0 || at + length > text.size()) return kReplacement;
  char32_t point = lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) return kReplacement;
    point = (point << 6) | (next & 0x3F);
  }
  static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (point < kSmallest[length] || point > 0x10FFFF) return kReplacement;
  *used = length;
  return point;
}

}  // namespace

std::wstring Wide(const std::string& text) {
  std::wstring wide;
  wide.reserve(text.size());
  size_t used = 0;
  for (size_t at = 0; at < text.size(); at += used) Append(wide, Decode(text, at, &used));
  return wide;
}

std::string Narrow(const wchar_t* wide, size_t length) {
  std::string text;
  text.reserve(length);
  for (size_t i = 0; i < length; ++i) {
    char32_t unit = static_cast<char32_t>(wide[i]) & 0xFFFF;
    if (IsHighSurrogate(unit) && i + 1 < length && IsLowSurrogate(static_cast<char32_t>(wide[i + 1]) & 0xFFFF)) {
      const char32_t low = static_cast<char32_t>(wide[++i]) & 0xFFFF;
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
    Append(text, unit);
  }
  return text;
}

std::string Narrow(const std::wstring& wide) { return Narrow(wide.data(), wide.size()); }

}  // namespace platform::win32
