// Scan records, their fixed-width texts and the four tables.
#include "scan/scan_item.h"

#include "base/record_text.h"
#include "ui/text_tables.h"

namespace tv {

namespace {

// Length in bytes of the first `chars` characters of a UTF-8 text.
std::size_t BytesOfChars(std::string_view s, std::size_t chars) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
      if (seen == chars) return i;
      ++seen;
    }
  }
  return s.size();
}

std::string ReaderValue(const std::string& text) { return TrimBlanks(CutAtFirstNul(text)); }

// Lower case of one code point, for the scripts whose letters Windows paths commonly use.
char32_t LowerCodePoint(char32_t c) {
  if (c >= U'A' && c <= U'Z') return c + 32;
  if (c < 0x80) return c;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 32;                          // Latin-1
  if (c >= 0x100 && c <= 0x137 && c % 2 == 0) return c + 1;                          // Latin Extended-A
  if (c >= 0x139 && c <= 0x148 && c % 2 == 1) return c + 1;
  if (c >= 0x14A && c <= 0x177 && c % 2 == 0) return c + 1;
  if (c == 0x178) return 0xFF;
  if (c >= 0x179 && c <= 0x17E && c % 2 == 1) return c + 1;
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;                         // Greek
  if (c >= 0x410 && c <= 0x42F) return c + 32;                                       // Cyrillic
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  return c;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

template <std::size_t N>
void FixedText<N>::Assign(std::string_view value) {
  text_.assign(value.substr(0, BytesOfChars(value, N)));
  value_ = ReaderValue(text_);
  fileBytes_.clear();
  assigned_ = true;
}

template <std::size_t N>
void FixedText<N>::SetFromFile(std::string bytes, std::string utf8) {
  assigned_ = bytes.find_first_not_of('\0') != std::string::npos;
  fileBytes_ = std::move(bytes);
  text_ = std::move(utf8);
  value_ = ReaderValue(text_);
}

template class FixedText<kObjectWidth>;
template class FixedText<kKeyPathWidth>;
template class FixedText<kValueNameWidth>;

ScanTable& TrustList() {
  static ScanTable t;
  return t;
}
ScanTable& BlackList() {
  static ScanTable t;
  return t;
}
ScanTable& StartupItemList() {
  static ScanTable t;
  return t;
}
ScanTable& ThreatList() {
  static ScanTable t;
  return t;
}

ScanTable* TableOf(std::int32_t kind) {
  switch (kind) {
    case kTrustList: return &TrustList();
    case kBlackList: return &BlackList();
    case kStartupItemList: return &StartupItemList();
    case kThreatList: return &ThreatList();
    default: return nullptr;
  }
}

std::string LocationText(const ScanItem& item) {
  if (item.EntryKind == 1) return item.KeyPath.str() + "\\" + item.ValueName.str();
  return item.KeyPath.str() + " {" + item.ValueName.str() + "}";
}

std::string RiskText(std::int32_t level) {
  if (level < kRiskNormal || level > kRiskDangerous) return {};
  return ScanText()[static_cast<std::size_t>(10 + level)];
}

std::string RiskWord(std::int32_t level) {
  static const char* const kWords[] = {"", "Normal", "Unknown", "Potential", "Dangerous"};
  if (level < kRiskNone || level > kRiskDangerous) return {};
  return kWords[level];
}

std::string LowerText(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : static_cast<char>(c);
      ++i;
      continue;
    }
    const std::size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    if (n == 1 || i + n > s.size()) {  // a stray byte: kept as it is
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    char32_t cp = n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
    bool valid = true;
    for (std::size_t k = 1; k < n; ++k) {
      const auto t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80) valid = false;
      cp = (cp << 6) | (t & 0x3F);
    }
    if (!valid) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    AppendUtf8(out, LowerCodePoint(cp));
    i += n;
  }
  return out;
}

}  // namespace tv
