#pragma once
// One trace record being composed: a flat JSON object whose fields are added
// in order, with bytes as lower-case hex. Composed without a general JSON
// writer, since a transfer's record is made on the transfer's own path.

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

class TraceLine {
 public:
  TraceLine() {
    text_.reserve(192);
    text_ += '{';
  }

  TraceLine& Number(const char* key, int64_t value) {
    Key(key);
    text_ += std::to_string(value);
    return *this;
  }
  TraceLine& Text(const char* key, const std::string& value) {
    Key(key);
    Quoted(value);
    return *this;
  }
  TraceLine& Bool(const char* key, bool value) {
    Key(key);
    text_ += value ? "true" : "false";
    return *this;
  }
  TraceLine& Null(const char* key) {
    Key(key);
    text_ += "null";
    return *this;
  }
  TraceLine& Hex(const char* key, const uint8_t* data, size_t count) {
    static constexpr char kDigits[] = "0123456789abcdef";
    Key(key);
    text_ += '"';
    // Written in place: a 4 KiB download-mode block is 8 KiB of text.
    const size_t at = text_.size();
    text_.resize(at + 2 * count);
    char* out = text_.data() + at;
    for (size_t i = 0; i < count; ++i) {
      *out++ = kDigits[data[i] >> 4];
      *out++ = kDigits[data[i] & 0x0F];
    }
    text_ += '"';
    return *this;
  }
  // Fields composed elsewhere ("\"a\":1,\"b\":2"), or a whole value after a key.
  TraceLine& Fields(const std::string& fields) {
    if (fields.empty()) return *this;
    Separate();
    text_ += fields;
    return *this;
  }
  TraceLine& Value(const char* key, const std::string& json) {
    Key(key);
    text_ += json;
    return *this;
  }

  std::string Done() {
    text_ += '}';
    return std::move(text_);
  }

  // A string as a JSON text: quoted, with quotes, backslashes and control
  // characters escaped; other bytes pass as they are.
  static std::string Quote(const std::string& value) {
    TraceLine line;
    line.text_.clear();
    line.Quoted(value);
    return std::move(line.text_);
  }

 private:
  void Separate() {
    if (text_.size() > 1) text_ += ',';
  }
  void Key(const char* key) {
    Separate();
    text_ += '"';
    text_ += key;
    text_ += "\":";
  }
  void Quoted(const std::string& value) {
    static constexpr char kDigits[] = "0123456789abcdef";
    text_ += '"';
    for (const char c : value) {
      const auto byte = static_cast<unsigned char>(c);
      if (c == '"' || c == '\\') {
        text_ += '\\';
        text_ += c;
      } else if (byte < 0x20) {
        text_ += "\\u00";
        text_ += kDigits[byte >> 4];
        text_ += kDigits[byte & 0x0F];
      } else {
        text_ += c;
      }
    }
    text_ += '"';
  }

  std::string text_;
};

}  // namespace platform
