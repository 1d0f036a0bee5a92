// Target process of the process engine's Wine tests.
//   proc_target.exe TIDFILE          starts a worker thread, writes its identifier to TIDFILE
//                                    and exits with 42 as soon as that thread ends;
//   proc_target.exe TIDFILE window   the same, plus a top-level window; closing the window
//                                    ends the program with 7.
// It never lives longer than a minute on its own.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr DWORD kLifetimeMs = 60000;
constexpr int kExitThreadEnded = 42, kExitWindowClosed = 7, kExitTimeout = 1;

DWORD WINAPI Worker(LPVOID) {
  for (;;) Sleep(INFINITE);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY) {
    PostQuitMessage(kExitWindowClosed);
    return 0;
  }
  if (msg == WM_TIMER) {
    PostQuitMessage(kExitTimeout);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// Written to a side file first and renamed, so that the reader never sees half a number.
bool WriteTid(const char* path, DWORD tid) {
  char tmp[MAX_PATH + 8];
  std::snprintf(tmp, sizeof tmp, "%s.tmp", path);
  FILE* f = std::fopen(tmp, "w");
  if (!f) return false;
  std::fprintf(f, "%lu\n", static_cast<unsigned long>(tid));
  std::fclose(f);
  return MoveFileExA(tmp, path, MOVEFILE_REPLACE_EXISTING) != 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  DWORD tid = 0;
  HANDLE worker = CreateThread(nullptr, 0, Worker, nullptr, 0, &tid);
  if (!worker) return 3;

  const bool window = argc >= 3 && std::strcmp(argv[2], "window") == 0;
  HWND hwnd = nullptr;
  if (window) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TolvexaProcTarget";
    RegisterClassW(&wc);
    hwnd = CreateWindowExW(0, wc.lpszClassName, L"proc_target", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                           nullptr, wc.hInstance, nullptr);
    if (!hwnd) return 4;
    SetTimer(hwnd, 1, kLifetimeMs, nullptr);
  }
  if (!WriteTid(argv[1], tid)) return 5;

  if (!window) return WaitForSingleObject(worker, kLifetimeMs) == WAIT_OBJECT_0 ? kExitThreadEnded : kExitTimeout;

  MSG msg;
  int code = kExitTimeout;
  for (;;) {
    BOOL r = GetMessageW(&msg, nullptr, 0, 0);
    if (r == 0) {
      code = static_cast<int>(msg.wParam);
      break;
    }
    if (r < 0) break;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return code;
}
