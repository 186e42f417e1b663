#pragma once
// A small JSON writer for the command-line tool's machine-readable output.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class JsonWriter {
 public:
  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  JsonWriter& Key(const std::string& key);
  JsonWriter& String(const std::string& value);
  JsonWriter& Number(int64_t value);
  JsonWriter& Bool(bool value);
  JsonWriter& Null();

  const std::string& Text() const { return text_; }

  static std::string Quote(const std::string& value);

 private:
  void BeforeValue();
  std::string text_;
  std::vector<bool> first_;  // per open container: no element written yet
  bool afterKey_ = false;
};

// The last line a device command prints with --json:
// {"event":"result","result":...,"exitStatus":...,"reason":...}, where
// `result` is null when the command was refused before it started.
std::string ResultEvent(const std::optional<std::string>& result, int exitStatus, const std::string& reason);

// "0x1F": a number as the status lines show addresses and bytes.
std::string HexNumber(uint32_t value);

std::string HexBytes(const uint8_t* data, size_t count, const char* separator = "");
