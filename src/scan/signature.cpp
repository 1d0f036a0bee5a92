// Signature verification and its messages.
#include "scan/signature.h"

#include <cstdio>
#include <unordered_map>

#include "platform/api.h"
#include "scan/scan_item.h"
#include "ui/ui.h"

namespace tv {

namespace {

struct SignatureCache {
  int depth = 0;
  std::unordered_map<std::string, bool> verified;  // lower-cased path -> verified
};
SignatureCache& Cache() {
  static SignatureCache cache;
  return cache;
}

std::string Hex(std::uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%X", static_cast<unsigned>(v));
  return buf;
}

}  // namespace

std::string SignatureMessage(const std::string& path, std::int32_t result, std::uint32_t lastError) {
  const std::string quoted = "\"" + path + "\"";
  const auto r = static_cast<std::uint32_t>(result);
  if (r == 0) return "The file " + quoted + " is signed and the signature was verified.";
  if (r == trust::NoSignature) {
    if (lastError == trust::NoSignature || lastError == trust::SubjectFormUnknown ||
        lastError == trust::ProviderUnknown)
      return "The file " + quoted + " is not signed.";
    return "An unknown error occurred trying to verify the signature of the " + quoted + " file.";
  }
  if (r == trust::ExplicitDistrust) return "The signature is present, but specifically disallowed.";
  if (r == trust::SubjectNotTrusted) return "The signature is present, but not trusted.";
  if (r == trust::SecuritySettings)
    return std::string("CRYPT_E_SECURITY_SETTINGS - The hash ") + "representing the subject or the publisher wasn't " +
           "explicitly trusted by the admin and admin policy " + "has disabled user trust. No signature, publisher " +
           "or timestamp errors.";
  return "Error is: 0x" + Hex(r) + ".";
}

SignatureCheck CheckFileSignature(const std::string& path) {
  SignatureCheck c;
  c.result = platform::Trust().WinVerifyTrust(path, false);
  // The trust provider's reason for "no signature" is in the last error right after the call.
  if (static_cast<std::uint32_t>(c.result) == trust::NoSignature) c.lastError = platform::Sys().GetLastError();
  c.message = SignatureMessage(path, c.result, c.lastError);
  return c;
}

bool VerifyFileSignature(const std::string& path, bool showMessage) {
  if (showMessage) {
    const SignatureCheck c = CheckFileSignature(path);
    ui::MessageBox(c.message, "Tolvexa", ui::mb::Ok);
    return c.verified();
  }
  SignatureCache& cache = Cache();
  if (cache.depth == 0) return platform::Trust().WinVerifyTrust(path, false) == 0;
  const std::string key = LowerText(path);
  auto it = cache.verified.find(key);
  if (it == cache.verified.end())
    it = cache.verified.emplace(key, platform::Trust().WinVerifyTrust(path, false) == 0).first;
  return it->second;
}

void BeginSignatureCache() {
  SignatureCache& cache = Cache();
  if (cache.depth++ == 0) cache.verified.clear();
}

void EndSignatureCache() {
  SignatureCache& cache = Cache();
  if (cache.depth == 0) return;
  if (--cache.depth == 0) cache.verified.clear();
}

}  // namespace tv
