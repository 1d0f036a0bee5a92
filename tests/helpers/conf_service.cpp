// A minimal Windows service for the Wine tests of service control: it reports "running" once
// started and "stopped" when asked to stop. Run outside the service control manager it exits
// with 1.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

namespace {

SERVICE_STATUS_HANDLE g_status = nullptr;
HANDLE g_stop = nullptr;

void Report(DWORD state, DWORD exitCode = NO_ERROR) {
  SERVICE_STATUS s{};
  s.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  s.dwCurrentState = state;
  s.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  s.dwWin32ExitCode = exitCode;
  s.dwWaitHint = state == SERVICE_RUNNING || state == SERVICE_STOPPED ? 0 : 3000;
  SetServiceStatus(g_status, &s);
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
      Report(SERVICE_STOP_PENDING);
      SetEvent(g_stop);
      return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

void WINAPI ServiceMain(DWORD, wchar_t**) {
  g_status = RegisterServiceCtrlHandlerExW(L"", Handler, nullptr);
  if (g_status == nullptr) return;
  g_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (g_stop == nullptr) {
    Report(SERVICE_STOPPED, GetLastError());
    return;
  }
  Report(SERVICE_RUNNING);
  WaitForSingleObject(g_stop, INFINITE);
  CloseHandle(g_stop);
  Report(SERVICE_STOPPED);
}

}  // namespace

int main() {
  wchar_t name[] = L"";  // an own-process service may use any name in its table
  SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
