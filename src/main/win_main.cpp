// Windows entry point of tolvexa.exe (GUI subsystem).
//
// With arguments the program is a command-line tool: it writes to the standard handles it was
// given (a pipe, a file, or Wine's terminal) or, when it has none, to the console of the
// process that started it. Without arguments it is the windowed program: the start-up
// sequence and the main window over the Win32 widget layer.
#include <string>
#include <vector>
#include <ostream>
#include <streambuf>

#include "app/startup.h"
#include "main/front.h"
#include "platform/api.h"
#include "platform/win32/win32_platform.h"
#include "ui/win32/win32_toolkit.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shellapi.h>

namespace {

std::string ToUtf8(const wchar_t* text) {
  int wlen = static_cast<int>(wcslen(text));
  if (wlen == 0) return {};
  int len = WideCharToMultiByte(CP_UTF8, 0, text, wlen, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(len > 0 ? len : 0), '\0');
  if (len > 0) WideCharToMultiByte(CP_UTF8, 0, text, wlen, out.data(), len, nullptr, nullptr);
  return out;
}

bool Usable(HANDLE h) {
  return h != nullptr && h != INVALID_HANDLE_VALUE && GetFileType(h) != FILE_TYPE_UNKNOWN;
}

// Standard handle `which`, or the parent's console when the process was started without one.
HANDLE OutputHandle(DWORD which) {
  HANDLE h = GetStdHandle(which);
  if (Usable(h)) return h;
  static bool attached = AttachConsole(ATTACH_PARENT_PROCESS) != FALSE;
  if (!attached) return nullptr;
  h = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  SetStdHandle(which, h);
  return h;
}

// Length of the longest prefix of `s` that does not end inside a UTF-8 sequence.
std::size_t CompleteUtf8(const std::string& s) {
  std::size_t n = s.size();
  std::size_t back = 0;
  while (back < 3 && back < n && (static_cast<unsigned char>(s[n - 1 - back]) & 0xC0) == 0x80) ++back;
  if (back == n) return n;
  unsigned char lead = static_cast<unsigned char>(s[n - 1 - back]);
  std::size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  return need > back + 1 ? n - back - 1 : n;
}

// A stream buffer over a Windows handle. UTF-8 text goes to a console as UTF-16 (so that
// names outside the console's code page show), and to files and pipes unchanged.
class HandleBuf : public std::streambuf {
 public:
  explicit HandleBuf(HANDLE h) : h_(h) {
    DWORD mode = 0;
    console_ = h_ != nullptr && GetConsoleMode(h_, &mode) != FALSE;
  }
  ~HandleBuf() override { Flush(true); }

 protected:
  int_type overflow(int_type ch) override {
    if (ch != traits_type::eof()) {
      pending_.push_back(static_cast<char>(ch));
      if (ch == '\n' || pending_.size() >= 4096) Flush(false);
    }
    return traits_type::not_eof(ch);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    pending_.append(s, static_cast<std::size_t>(n));
    if (pending_.size() >= 4096) Flush(false);
    return n;
  }
  int sync() override {
    Flush(false);
    return 0;
  }

 private:
  void Flush(bool all) {
    if (pending_.empty()) return;
    if (h_ == nullptr) {
      pending_.clear();
      return;
    }
    std::size_t n = all ? pending_.size() : CompleteUtf8(pending_);
    if (console_) {
      int wlen = MultiByteToWideChar(CP_UTF8, 0, pending_.data(), static_cast<int>(n), nullptr, 0);
      std::wstring w(static_cast<std::size_t>(wlen > 0 ? wlen : 0), L'\0');
      if (wlen > 0) MultiByteToWideChar(CP_UTF8, 0, pending_.data(), static_cast<int>(n), w.data(), wlen);
      DWORD written = 0;
      if (!w.empty()) WriteConsoleW(h_, w.data(), static_cast<DWORD>(w.size()), &written, nullptr);
    } else {
      std::size_t off = 0;
      while (off < n) {
        DWORD written = 0;
        if (!WriteFile(h_, pending_.data() + off, static_cast<DWORD>(n - off), &written, nullptr) ||
            written == 0)
          break;
        off += written;
      }
    }
    pending_.erase(0, n);
  }

  HANDLE h_;
  bool console_ = false;
  std::string pending_;
};

std::vector<std::string> Arguments() {
  std::vector<std::string> args;
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr) return args;
  for (int i = 1; i < argc; ++i) args.push_back(ToUtf8(argv[i]));
  LocalFree(argv);
  return args;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const std::vector<std::string> args = Arguments();
  const tv::Platform& real = tv::win32::RealPlatform();
  tv::platform::Install(real);

  if (args.empty()) {
    tv::ui::Win32Toolkit kit;
    tv::ui::InstallToolkit(&kit);
    tv::app::AlertSoundBytes() = [] { return tv::ui::AlertSoundBytes(); };
    int code = tv::app::StartUp(kit);
    tv::ui::InstallToolkit(nullptr);
    return code;
  }

  HandleBuf outBuf(OutputHandle(STD_OUTPUT_HANDLE));
  HandleBuf errBuf(OutputHandle(STD_ERROR_HANDLE));
  std::ostream out(&outBuf);
  std::ostream err(&errBuf);
  int code = tv::FrontEnd(args, out, err, &real);
  out.flush();
  err.flush();
  return code;
}
