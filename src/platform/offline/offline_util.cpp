// Text helpers, the handle table and the last-error value of the offline backend.
#include <algorithm>
#include <cctype>

#include "platform/offline/offline_internal.h"

namespace tv::offline {

std::u16string Utf8ToUtf16(const std::string& s) {
  std::u16string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::uint32_t cp = 0xFFFD;
    std::size_t len = 1;
    if (c < 0x80) {
      cp = c;
    } else if ((c & 0xE0) == 0xC0 && i + 1 < s.size()) {
      cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(s[i + 1]) & 0x3Fu);
      len = 2;
    } else if ((c & 0xF0) == 0xE0 && i + 2 < s.size()) {
      cp = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(s[i + 1]) & 0x3Fu) << 6) |
           (static_cast<unsigned char>(s[i + 2]) & 0x3Fu);
      len = 3;
    } else if ((c & 0xF8) == 0xF0 && i + 3 < s.size()) {
      cp = ((c & 0x07u) << 18) | ((static_cast<unsigned char>(s[i + 1]) & 0x3Fu) << 12) |
           ((static_cast<unsigned char>(s[i + 2]) & 0x3Fu) << 6) | (static_cast<unsigned char>(s[i + 3]) & 0x3Fu);
      len = 4;
    }
    i += len;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::string Utf16ToUtf8(const std::u16string& s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    std::uint32_t cp = s[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp < 0xE000) {
      cp = 0xFFFD;  // a lone surrogate
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

namespace {
char16_t UpperUnit(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 32);
  if (c < 0x80) return c;
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return static_cast<char16_t>(c - 32);  // Latin-1
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17F && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x17F) {
    // Latin Extended-A pairs: even upper, odd lower (with the run 0x139..0x148 and 0x179..0x17E shifted).
    const bool shifted = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (shifted ? (c % 2 == 0) : (c % 2 == 1)) return static_cast<char16_t>(c - 1);
    return c;
  }
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return static_cast<char16_t>(c - 32);  // Greek
  if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 32);              // Cyrillic
  if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 80);
  return c;
}
}  // namespace

std::u16string FoldName(const std::string& utf8) {
  std::u16string w = Utf8ToUtf16(utf8);
  for (char16_t& c : w) c = UpperUnit(c);
  return w;
}

bool NameEquals(const std::string& a, const std::string& b) {
  if (a.size() == b.size()) {
    bool ascii = true, same = true;
    for (std::size_t i = 0; i < a.size() && same; ++i) {
      const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
      if (x >= 0x80 || y >= 0x80) {
        ascii = false;
        break;
      }
      same = std::toupper(x) == std::toupper(y);
    }
    if (ascii) return same;
  }
  return FoldName(a) == FoldName(b);
}

namespace {
bool Match(const std::u16string& p, std::size_t pi, const std::u16string& n, std::size_t ni) {
  while (pi < p.size()) {
    if (p[pi] == u'*') {
      while (pi < p.size() && p[pi] == u'*') ++pi;
      if (pi == p.size()) return true;
      for (std::size_t k = ni; k <= n.size(); ++k)
        if (Match(p, pi, n, k)) return true;
      return false;
    }
    if (ni >= n.size()) {
      // "*.*" and "x.*" also find names without a dot, as FindFirstFile does.
      if (p[pi] == u'.' && pi + 1 < p.size() && p.substr(pi + 1).find_first_not_of(u'*') == std::u16string::npos)
        return true;
      return false;
    }
    if (p[pi] != u'?' && p[pi] != n[ni]) return false;
    ++pi;
    ++ni;
  }
  return ni == n.size();
}
}  // namespace

bool WildcardMatch(const std::string& pattern, const std::string& name) {
  return Match(FoldName(pattern), 0, FoldName(name), 0);
}

std::vector<std::string> SplitBackslash(const std::string& path) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : path) {
    if (c == '\\' || c == '/') {
      if (!cur.empty()) parts.push_back(cur);
      cur.clear();
    } else {
      cur.push_back(c);
    }
  }
  if (!cur.empty()) parts.push_back(cur);
  return parts;
}

std::string LowerAscii(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// ------------------------------------------------------------- handles ----
Handle HandleTable::Add(std::unique_ptr<HandleObject> object) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  next_ += 4;
  objects_.emplace(next_, std::move(object));
  return next_;
}

HandleObject* HandleTable::Get(Handle h) const {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  auto it = objects_.find(h);
  return it == objects_.end() ? nullptr : it->second.get();
}

bool HandleTable::Close(Handle h) {
  std::unique_ptr<HandleObject> gone;
  std::lock_guard<std::recursive_mutex> lock(mu_);
  auto it = objects_.find(h);
  if (it == objects_.end()) return false;
  gone = std::move(it->second);
  objects_.erase(it);
  return true;
}

std::size_t HandleTable::Count() const {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  return objects_.size();
}

namespace {
thread_local std::uint32_t t_lastError = 0;
}
void SetLastErrorValue(std::uint32_t e) { t_lastError = e; }
std::uint32_t LastErrorValue() { return t_lastError; }

}  // namespace tv::offline
