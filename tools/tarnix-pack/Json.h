// A small streaming JSON writer for the builder's reports. Texts are byte
// strings in the package's code page: control characters and every byte
// above 0x7F are written as \u00XX, so the output is plain ASCII.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace tarnix::pack {

std::string JsonQuote(std::string_view text);

class JsonWriter {
 public:
  explicit JsonWriter(std::ostream& out) : out_(out) {}

  void BeginObject() { Open('{'); }
  void EndObject() { Close('}'); }
  void BeginArray() { Open('['); }
  void EndArray() { Close(']'); }
  void Key(std::string_view key);
  void String(std::string_view value);
  void Number(uint64_t value);
  void Bool(bool value);
  void Null();

  // Key and value in one call.
  void Field(std::string_view key, std::string_view value) {
    Key(key);
    String(value);
  }
  void Field(std::string_view key, const char* value) { Field(key, std::string_view(value)); }
  void Field(std::string_view key, bool value) {
    Key(key);
    Bool(value);
  }
  template <typename T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool>, int> = 0>
  void Field(std::string_view key, T value) {
    Key(key);
    Number(static_cast<uint64_t>(value));
  }

 private:
  void Open(char bracket);
  void Close(char bracket);
  void BeforeValue();
  void NewLine();

  std::ostream& out_;
  std::vector<bool> empty_;  // per open container: nothing written yet
  bool afterKey_ = false;
};

}  // namespace tarnix::pack
