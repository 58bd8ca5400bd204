#include "Json.h"

namespace tarnix::pack {

std::string JsonQuote(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out = "\"";
  for (char c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20 || u >= 0x7F) {
      out += "\\u00";
      out += kHex[u >> 4];
      out += kHex[u & 15];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

void JsonWriter::NewLine() {
  out_ << '\n';
  for (size_t i = 0; i < empty_.size(); ++i) out_ << "  ";
}

void JsonWriter::BeforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (empty_.empty()) return;
  if (!empty_.back()) out_ << ',';
  empty_.back() = false;
  NewLine();
}

void JsonWriter::Open(char bracket) {
  BeforeValue();
  out_ << bracket;
  empty_.push_back(true);
}

void JsonWriter::Close(char bracket) {
  bool wasEmpty = empty_.back();
  empty_.pop_back();
  if (!wasEmpty) NewLine();
  out_ << bracket;
  if (empty_.empty()) out_ << '\n';
}

void JsonWriter::Key(std::string_view key) {
  BeforeValue();
  out_ << JsonQuote(key) << ": ";
  afterKey_ = true;
}

void JsonWriter::String(std::string_view value) {
  BeforeValue();
  out_ << JsonQuote(value);
}

void JsonWriter::Number(uint64_t value) {
  BeforeValue();
  out_ << value;
}

void JsonWriter::Bool(bool value) {
  BeforeValue();
  out_ << (value ? "true" : "false");
}

void JsonWriter::Null() {
  BeforeValue();
  out_ << "null";
}

}  // namespace tarnix::pack
