#include "package/LanguageDefaults.h"

#include <algorithm>

#include "package/PackageFormat.h"

namespace tarnix {

const std::array<LanguageKey, 19> kLanguageKeys = {{
    {"Charset", "0"},
    {"FontSize", "8"},
    {"FontName", "Tahoma"},
    {"s10", "Downloading File..."},
    {"s11",
     "<b>INTERNET DOWNLOAD</b><p><p>Tarnix will download the Setup File from the Internet...<p>Please make sure "
     "your Internet connection is properly set.<p><p>Continue with Setup?<p><P>Size: <SIZE> MB<P>"},
    {"s12", "No valid Internet Connection.<p>Can not Download File!"},
    {"s0", "Tarnix Installation Suite"},
    {"s1", "Extracting Files..."},
    {"s2", "Tarnix will extract files to your Temp Drive (<DRIVE>)<P>"},
    {"s3", "Limited Free Space on your Temp Drive! (<DRIVE>)<P>"},
    {"s4", "<P>Estimated space required on your Temp drive is: <T>  <SPACE_REQ> MB<P>"},
    {"s5", "Free space available on your Temp drive is: <T>  <SPACE_AVAIL> MB<P>"},
    {"s6", "<P>Continue with Setup?<P>"},
    {"s7", "Bad CRC!<P>This indicates that your setup file might be corrupted..."},
    {"s8", "Please insert <B>DISK #<DISK_NUM></B> and press OK to continue"},
    {"BtnText", "|&OK|&Cancel|&Yes|&No|&Abort|&Retry|&Ignore|"},
    {"Attention", "Attention"},
    {"Confirm", "Confirm"},
    {"Error", "Error"},
}};

const std::array<LanguageKey, 2> kExtraLanguageKeys = {{
    {"s13", "The setup file is not the one the vendor signed.<P>Nothing has been installed."},
    {"s14",
     "The setup file is signed by the vendor, but this system cannot check it (bcrypt.dll is missing).<P>Nothing "
     "has been installed."},
}};

namespace {

template <size_t N>
const LanguageKey* FindKey(const std::array<LanguageKey, N>& keys, std::string_view key) {
  auto it = std::find_if(keys.begin(), keys.end(), [&](const LanguageKey& k) {
    return k.key.size() == key.size() &&
           std::equal(k.key.begin(), k.key.end(), key.begin(), [](char a, char b) { return (a | 32) == (b | 32); });
  });
  return it == keys.end() ? nullptr : &*it;
}

}  // namespace

std::string_view DefaultLanguageText(std::string_view key) {
  const LanguageKey* found = FindKey(kLanguageKeys, key);
  if (!found) found = FindKey(kExtraLanguageKeys, key);
  return found ? found->englishDefault : std::string_view{};
}

std::string BuildLanguageRecord(std::string_view name, const LanguageTexts& texts) {
  std::string record(1, kLanguageRecordDelimiter);
  record.append(name);
  record += kLanguageRecordDelimiter;
  for (const auto& [key, value] : texts) {
    record += key;
    record += '=';
    record += value;
    record += kLanguageRecordDelimiter;
  }
  return record;
}

std::string BuildLanguageBlock(const std::vector<std::string>& records) {
  std::string block(1, kLanguageBlockDelimiter);
  for (const auto& r : records) {
    block += r;
    block += kLanguageBlockDelimiter;
  }
  return block;
}

LanguageTexts BuiltinEnglishTexts() {
  LanguageTexts texts;
  for (const auto& k : kLanguageKeys) texts.emplace_back(k.key, k.englishDefault);
  return texts;
}

}  // namespace tarnix
