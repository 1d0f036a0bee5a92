// Raw VS_VERSIONINFO bytes, laid out the way the resource compiler writes them: every entry
// starts on a 32-bit boundary with wLength, wValueLength and wType, keys and text values are
// UTF-16, wLength covers the entry and its children but not the padding after it.
#include <cstdlib>

#include "platform/sim/sim_internal.h"

namespace tv::sim {

namespace {
void Pad4(Bytes& b) {
  while (b.size() % 4) b.push_back(0);
}

void AppendUtf16(Bytes& b, const std::string& text, bool nul) {
  std::u16string w = Utf8ToUtf16(text);
  for (char16_t c : w) {
    b.push_back(static_cast<std::uint8_t>(c & 0xFF));
    b.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  if (nul) {
    b.push_back(0);
    b.push_back(0);
  }
}

// One entry: header, key, padding, value, then each child on a 32-bit boundary.
Bytes Entry(const std::string& key, std::uint16_t valueLength, std::uint16_t type, const Bytes& value,
            const std::vector<Bytes>& children) {
  Bytes b(6, 0);
  AppendUtf16(b, key, true);
  Pad4(b);
  b.insert(b.end(), value.begin(), value.end());
  for (const auto& c : children) {
    Pad4(b);
    b.insert(b.end(), c.begin(), c.end());
  }
  Put16(&b[0], static_cast<std::uint16_t>(b.size()));
  Put16(&b[2], valueLength);
  Put16(&b[4], type);
  return b;
}

// "5.1.2600.5512" -> {5, 1, 2600, 5512}; stops at the first character that is no digit or separator.
void ParseVersion(const std::string& text, std::uint32_t& ms, std::uint32_t& ls) {
  std::uint32_t parts[4] = {0, 0, 0, 0};
  int idx = 0;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      parts[idx] = parts[idx] * 10 + static_cast<std::uint32_t>(c - '0');
    } else if ((c == '.' || c == ',') && idx < 3) {
      ++idx;
    } else if (c == ' ' && idx == 0 && parts[0] == 0) {
      continue;
    } else {
      break;
    }
  }
  ms = ((parts[0] & 0xFFFF) << 16) | (parts[1] & 0xFFFF);
  ls = ((parts[2] & 0xFFFF) << 16) | (parts[3] & 0xFFFF);
}
}  // namespace

Bytes BuildVersionResource(const std::vector<VersionBlock>& blocks) {
  std::string fileVersion, productVersion;
  if (!blocks.empty())
    for (const auto& [k, v] : blocks.front().strings) {
      if (k == "FileVersion" && fileVersion.empty()) fileVersion = v;
      if (k == "ProductVersion" && productVersion.empty()) productVersion = v;
    }
  if (productVersion.empty()) productVersion = fileVersion;

  Bytes fixed(52, 0);  // VS_FIXEDFILEINFO
  std::uint32_t fms = 0, fls = 0, pms = 0, pls = 0;
  ParseVersion(fileVersion, fms, fls);
  ParseVersion(productVersion, pms, pls);
  Put32(&fixed[0], 0xFEEF04BDu);
  Put32(&fixed[4], 0x00010000u);
  Put32(&fixed[8], fms);
  Put32(&fixed[12], fls);
  Put32(&fixed[16], pms);
  Put32(&fixed[20], pls);
  Put32(&fixed[24], 0x3F);       // file flags mask
  Put32(&fixed[28], 0);          // file flags
  Put32(&fixed[32], 0x00040004); // VOS_NT_WINDOWS32
  Put32(&fixed[36], 1);          // VFT_APP
  Put32(&fixed[40], 0);

  std::vector<Bytes> top;
  if (!blocks.empty()) {
    std::vector<Bytes> tables;
    Bytes translation;
    for (const auto& block : blocks) {
      std::vector<Bytes> strings;
      for (const auto& [k, v] : block.strings) {
        Bytes value;
        std::uint16_t chars = 0;
        if (!v.empty()) {
          AppendUtf16(value, v, true);
          chars = static_cast<std::uint16_t>(value.size() / 2);
        }
        strings.push_back(Entry(k, chars, 1, value, {}));
      }
      tables.push_back(Entry(block.langCodepage, 0, 1, {}, strings));
      std::uint32_t lc = static_cast<std::uint32_t>(std::strtoul(block.langCodepage.c_str(), nullptr, 16));
      Bytes pair(4);
      Put16(&pair[0], static_cast<std::uint16_t>(lc >> 16));     // language
      Put16(&pair[2], static_cast<std::uint16_t>(lc & 0xFFFF));  // code page
      translation.insert(translation.end(), pair.begin(), pair.end());
    }
    top.push_back(Entry("StringFileInfo", 0, 1, {}, tables));
    Bytes var = Entry("Translation", static_cast<std::uint16_t>(translation.size()), 0, translation, {});
    top.push_back(Entry("VarFileInfo", 0, 1, {}, {var}));
  }
  return Entry("VS_VERSION_INFO", 52, 0, fixed, top);
}

}  // namespace tv::sim
