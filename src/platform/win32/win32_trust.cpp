// Signature verification of the win32 backend: WinVerifyTrust with the generic verify action
// on a file's embedded signature. The state the first call opens is closed by a second call.
#include "platform/win32/win32_internal.h"
// After <windows.h>.
#include <wintrust.h>

namespace tv::win32::detail {
namespace {

// WINTRUST_ACTION_GENERIC_VERIFY_V2 {00AAC56B-CD44-11D0-8CC2-00C04FC295EE}
const GUID kGenericVerifyV2 = {0x00AAC56B, 0xCD44, 0x11D0, {0x8C, 0xC2, 0x00, 0xC0, 0x4F, 0xC2, 0x95, 0xEE}};

// Provider flag the verification is made with (WTD_SAFER_FLAG).
constexpr DWORD kProviderFlags = 0x100;

class Win32Trust final : public TrustApi {
 public:
  std::int32_t WinVerifyTrust(const std::string& path, bool showUi) override {
    std::wstring wpath = Widen(path);
    WINTRUST_FILE_INFO file{};
    file.cbStruct = sizeof(file);
    file.pcwszFilePath = wpath.c_str();
    file.hFile = nullptr;
    file.pgKnownSubject = nullptr;

    WINTRUST_DATA data{};
    data.cbStruct = sizeof(data);
    data.dwUIChoice = showUi ? WTD_UI_ALL : WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    data.hWVTStateData = nullptr;
    data.dwProvFlags = kProviderFlags;

    GUID action = kGenericVerifyV2;
    LONG result = ::WinVerifyTrust(nullptr, &action, &data);
    {
      // The caller reads GetLastError after a failed verification: keep the value the
      // verification left across the closing call.
      SavedLastError keep;
      data.dwStateAction = WTD_STATEACTION_CLOSE;
      ::WinVerifyTrust(nullptr, &action, &data);
    }
    return static_cast<std::int32_t>(result);
  }

  // The trust provider is part of every Windows the tool runs on.
  bool TrustServiceAvailable() override { return true; }
};

}  // namespace

TrustApi& TrustBackend() {
  static Win32Trust instance;
  return instance;
}

}  // namespace tv::win32::detail
