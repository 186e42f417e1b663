#include "platform/replay/TraceJson.h"

#include <cstdlib>

namespace platform {

const JsonValue* JsonValue::Find(const std::string& key) const {
  if (kind != Kind::kObject) return nullptr;
  for (size_t i = 0; i < names.size(); ++i)
    if (names[i] == key) return &items[i];
  return nullptr;
}

namespace {

// A trace's records are two levels deep; far deeper text is no trace, and
// must not run the reader out of stack.
constexpr int kDeepest = 32;

class Parser {
 public:
  explicit Parser(const std::string& text) : text_(text) {}

  std::optional<JsonValue> Whole() {
    JsonValue value;
    if (!Value(&value, 0)) return std::nullopt;
    SkipSpace();
    if (at_ != text_.size()) return std::nullopt;
    return value;
  }

 private:
  void SkipSpace() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\r' || text_[at_] == '\n'))
      ++at_;
  }
  bool Take(char c) {
    SkipSpace();
    if (at_ >= text_.size() || text_[at_] != c) return false;
    ++at_;
    return true;
  }
  bool Word(const char* word) {
    const std::string w(word);
    if (text_.compare(at_, w.size(), w) != 0) return false;
    at_ += w.size();
    return true;
  }

  bool Value(JsonValue* value, int depth) {
    if (depth > kDeepest) return false;
    SkipSpace();
    if (at_ >= text_.size()) return false;
    const char c = text_[at_];
    if (c == '{') return Object(value, depth);
    if (c == '[') return Array(value, depth);
    if (c == '"') {
      value->kind = JsonValue::Kind::kString;
      return String(&value->text);
    }
    if (c == '-' || (c >= '0' && c <= '9')) return Number(value);
    value->kind = c == 'n' ? JsonValue::Kind::kNull : JsonValue::Kind::kBool;
    value->boolean = c == 't';
    return Word(c == 'n' ? "null" : c == 't' ? "true" : "false");
  }

  bool Object(JsonValue* value, int depth) {
    value->kind = JsonValue::Kind::kObject;
    ++at_;
    if (Take('}')) return true;
    do {
      std::string key;
      JsonValue member;
      SkipSpace();
      if (!String(&key) || !Take(':') || !Value(&member, depth + 1)) return false;
      value->names.push_back(std::move(key));
      value->items.push_back(std::move(member));
    } while (Take(','));
    return Take('}');
  }

  bool Array(JsonValue* value, int depth) {
    value->kind = JsonValue::Kind::kArray;
    ++at_;
    if (Take(']')) return true;
    do {
      JsonValue item;
      if (!Value(&item, depth + 1)) return false;
      value->items.push_back(std::move(item));
    } while (Take(','));
    return Take(']');
  }

  bool Number(JsonValue* value) {
    const size_t begin = at_;
    if (text_[at_] == '-') ++at_;
    const size_t digits = at_;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
    if (at_ == digits || at_ - digits > 18) return false;
    value->kind = JsonValue::Kind::kNumber;
    value->number = std::strtoll(text_.substr(begin, at_ - begin).c_str(), nullptr, 10);
    return true;
  }

  bool String(std::string* out) {
    if (at_ >= text_.size() || text_[at_] != '"') return false;
    for (++at_; at_ < text_.size(); ++at_) {
      const char c = text_[at_];
      if (c == '"') {
        ++at_;
        return true;
      }
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        *out += c;
      } else if (!Escape(out)) {
        return false;
      }
    }
    return false;
  }

  // After the backslash; `at_` is left on the escape's last character.
  bool Escape(std::string* out) {
    if (++at_ >= text_.size()) return false;
    switch (text_[at_]) {
      case '"': *out += '"'; return true;
      case '\\': *out += '\\'; return true;
      case '/': *out += '/'; return true;
      case 'b': *out += '\b'; return true;
      case 'f': *out += '\f'; return true;
      case 'n': *out += '\n'; return true;
      case 'r': *out += '\r'; return true;
      case 't': *out += '\t'; return true;
      case 'u': return Unicode(out);
      default: return false;
    }
  }

  // \uXXXX of the basic plane, as UTF-8.
  bool Unicode(std::string* out) {
    if (at_ + 4 >= text_.size()) return false;
    const std::string hex = text_.substr(at_ + 1, 4);
    char* end = nullptr;
    const unsigned long code = std::strtoul(hex.c_str(), &end, 16);
    if (*end != '\0' || hex.find_first_of("+- ") != std::string::npos) return false;
    at_ += 4;
    if (code < 0x80) {
      *out += static_cast<char>(code);
    } else if (code < 0x800) {
      *out += static_cast<char>(0xC0 | (code >> 6));
      *out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      *out += static_cast<char>(0xE0 | (code >> 12));
      *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      *out += static_cast<char>(0x80 | (code & 0x3F));
    }
    return true;
  }

  const std::string& text_;
  size_t at_ = 0;
};

}  // namespace

std::optional<JsonValue> ParseJson(const std::string& text) { return Parser(text).Whole(); }

}  // namespace platform
