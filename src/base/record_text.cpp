#include "base/record_text.h"

namespace tv {

std::string TrimBlanks(const std::string& s) {
  const char* blanks = " \t\r\n";
  std::size_t b = s.find_first_not_of(blanks);
  if (b == std::string::npos) return {};
  std::size_t e = s.find_last_not_of(blanks);
  return s.substr(b, e - b + 1);
}

std::string CutAtFirstNul(const std::string& s) {
  std::size_t p = s.find('\0');
  return p == std::string::npos ? s : s.substr(0, p);
}

std::string FitText(const std::string& s, std::size_t width) {
  std::string t = TrimBlanks(s);
  std::size_t chars = 0;
  for (std::size_t i = 0; i < t.size(); ++i) {
    // A byte that does not continue a UTF-8 sequence starts a new character.
    if ((static_cast<unsigned char>(t[i]) & 0xC0) != 0x80) {
      if (chars == width) return TrimBlanks(t.substr(0, i));
      ++chars;
    }
  }
  return t;
}

}  // namespace tv
