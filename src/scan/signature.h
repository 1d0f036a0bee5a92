// Authenticode signature checks through the platform's trust verification service.
#pragma once
#include <cstdint>
#include <string>

namespace tv {

// Results of WinVerifyTrust and the reasons behind "no signature" that the provider leaves in
// the last error.
namespace trust {
inline constexpr std::uint32_t NoSignature = 0x800B0100u;         // TRUST_E_NOSIGNATURE
inline constexpr std::uint32_t SubjectFormUnknown = 0x800B0003u;  // TRUST_E_SUBJECT_FORM_UNKNOWN
inline constexpr std::uint32_t ProviderUnknown = 0x800B0001u;     // TRUST_E_PROVIDER_UNKNOWN
inline constexpr std::uint32_t ExplicitDistrust = 0x800B0111u;    // TRUST_E_EXPLICIT_DISTRUST
inline constexpr std::uint32_t SubjectNotTrusted = 0x800B0004u;   // TRUST_E_SUBJECT_NOT_TRUSTED
inline constexpr std::uint32_t SecuritySettings = 0x80092026u;    // CRYPT_E_SECURITY_SETTINGS
inline constexpr std::uint32_t BadDigest = 0x80096010u;           // TRUST_E_BAD_DIGEST
}  // namespace trust

// One verification: what WinVerifyTrust answered, the last error read after a "no signature"
// answer (0 otherwise), and the message that explains it.
struct SignatureCheck {
  std::int32_t result = 0;
  std::uint32_t lastError = 0;
  bool verified() const { return result == 0; }
  std::string message;
};

// Asks the trust service about the file's embedded signature (generic verification action, no
// user interface, no revocation check).
SignatureCheck CheckFileSignature(const std::string& path);
// The message for a result (and the last error behind TRUST_E_NOSIGNATURE).
std::string SignatureMessage(const std::string& path, std::int32_t result, std::uint32_t lastError);

// True only when the file carries a verified signature. With `showMessage` the outcome is shown
// in one message box (no icon, OK, the application's title). The silent form is answered from
// the running scan's cache when a scan has one open (each file is verified at most once per
// scan).
bool VerifyFileSignature(const std::string& path, bool showMessage);

// The per-scan memory of silent verifications, keyed by the lower-cased path: between
// BeginSignatureCache and EndSignatureCache (nested pairs share the outermost one). Opening the
// outermost and closing it empty it.
void BeginSignatureCache();
void EndSignatureCache();

}  // namespace tv
