// File deletion modes.
#include "tools/file_delete.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>
#include <vector>

#include "base/paths.h"
#include "platform/api.h"
#include "sysconfig/driver.h"
#include "ui/ui.h"

namespace tv {

namespace {

constexpr std::uint32_t kDelayUntilReboot = 4;

void Warn(const std::string& text) { ui::MessageBox(text, "Tolvexa", ui::mb::IconExclamation); }

// The driver's request carries the address of the NT path in this process, as UTF-16 text.
std::u16string Utf16(const std::string& s) {
  std::u16string out;
  for (std::size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    char32_t cp = 0;
    std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    if (i + n > s.size()) break;
    cp = n == 1 ? c : n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
    for (std::size_t k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    i += n;
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

}  // namespace

int DeleteFileByMode(std::string& path, int mode, bool showMessages) {
  if (path.empty()) return 0;
  FileApi& files = platform::Files();
  int result = 0;
  switch (mode) {
    case kNormalDelete:
      (void)files.SetFileAttributesA(path, 0);
      result = files.DeleteFileA(path) ? 1 : 0;
      break;
    case kSecureDelete:
      result = WipeFile(path) ? 1 : 0;
      break;
    case kRebootDelete:
      result = files.MoveFileExA(path, "", kDelayUntilReboot) ? 1 : 0;
      break;
    case kForceDelete:
      result = ForceDeleteFile(path, showMessages);
      break;
    default:
      break;
  }
  if (showMessages && result != 1) Warn("Delete file :" + path + " error!");
  return result;
}

int WipeFile(const std::string& path) {
  FileApi& files = platform::Files();
  SystemApi& sys = platform::Sys();
  std::uint64_t length = 0;
  Handle h = files.CreateFileA(path, access::GenericRead, 7, 3, 0);
  if (h != kInvalidHandle) {
    std::uint64_t size = files.GetFileSize(h);
    if (size != ~std::uint64_t(0)) length = size;
    sys.CloseHandle(h);
  }
  if (length >= 1) {
    h = files.CreateFileA(path, access::GenericWrite, 0, 3, 0);
    if (h != kInvalidHandle) {
      std::vector<std::uint8_t> block(static_cast<std::size_t>(std::min<std::uint64_t>(length, kWipeBlockSize)));
      for (std::uint8_t pattern : {std::uint8_t(0x00), std::uint8_t(0x7F), std::uint8_t(0x00)}) {
        std::fill(block.begin(), block.end(), pattern);
        files.SetFilePointer(h, 0, 0);
        for (std::uint64_t done = 0; done < length;) {
          const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(length - done, kWipeBlockSize));
          std::uint32_t written = 0;
          if (!files.WriteFile(h, block.data(), n, &written) || written == 0) break;
          done += written;
        }
        files.FlushFileBuffers(h);
      }
      sys.CloseHandle(h);
    }
  }
  if (!files.SetFileAttributesA(path, 0)) return 0;

  std::mt19937 random(static_cast<std::uint32_t>(std::chrono::system_clock::now().time_since_epoch().count()));
  const double r = std::uniform_real_distribution<double>(0.0, 1.0)(random);
  const long n = std::lround(r * 10000000.0);
  const auto slash = path.find_last_of('\\');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string renamed = folder + std::to_string(n) + ".tmp";
  (void)files.MoveFileExA(path, renamed, 0);
  return files.DeleteFileA(renamed) ? 1 : 0;
}

int ForceDeleteFile(std::string& path, bool showMessages) {
  if (!FileExists(path)) {
    if (showMessages) Warn("Can't found file");
    return 0;
  }
  if (!platform::Files().SetFileAttributesA(path, 0)) {
    if (showMessages) Warn("delete file failed");
    return 0;
  }
  path = "\\??\\" + path;
  std::u16string nt = Utf16(path);
  nt.push_back(u'\0');
  const char16_t* address = nt.data();
  CompanionDriver().IoControl(kForceDeleteControlCode, &address, sizeof(address), nullptr, 1);
  return 1;
}

OpenFileNames ParseOpenFileNames(const std::string& dialogText) {
  OpenFileNames result;
  std::string text = dialogText;
  const auto first = text.find_first_not_of(' ');
  const auto last = text.find_last_not_of(' ');
  text = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
  const auto nul = text.find('\0');
  if (nul == std::string::npos || nul + 2 >= text.size()) {
    // One full path.
    const std::string one = nul == std::string::npos ? text : text.substr(0, nul);
    const auto slash = one.find_last_of('\\');
    result.directory = slash == std::string::npos ? std::string() : one.substr(0, slash + 1);
    result.names.push_back(slash == std::string::npos ? one : one.substr(slash + 1));
  } else {
    result.directory = text.substr(0, nul);
    for (std::size_t start = nul + 1; start < text.size();) {
      const auto end = text.find('\0', start);
      const std::string name = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
      if (name.empty()) break;
      result.names.push_back(name);
      if (end == std::string::npos) break;
      start = end + 1;
    }
  }
  if (result.directory.empty() || result.directory.back() != '\\') result.directory += '\\';
  return result;
}

}  // namespace tv
