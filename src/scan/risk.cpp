// Risk rating of start-up files.
#include "scan/risk.h"

#include "base/paths.h"
#include "base/record_text.h"
#include "fileinfo/version.h"
#include "platform/api.h"
#include "scan/signature.h"
#include "sysconfig/registry.h"

namespace tv {

namespace {

bool Contains(const std::string& text, const char* needle) { return text.find(needle) != std::string::npos; }

}  // namespace

RiskLevel CategoryRiskLevel(std::int32_t category, bool hasVersionText) {
  switch (category) {
    case kCatStartupValue:
    case kCatSharedTaskScheduler:
    case kCatShellServiceObjectDelayLoad:
    case kCatBrowserHelperObject:
    case kCatService:
      return hasVersionText ? kRiskNormal : kRiskDangerous;
    case kCatShellExecuteHooks:
    case kCatUserinit:
    case kCatPolicyRun:
      return hasVersionText ? kRiskPotential : kRiskDangerous;
    case kCatAppInitDlls:
    case kCatImageFileExecutionOptions:
    case kCatWinlogonShell:
    case kCatBootExecute:
      return kRiskDangerous;
    default:
      return hasVersionText ? kRiskNormal : kRiskUnknown;
  }
}

RiskLevel GetRiskLevel(std::string& path, std::int32_t category) {
  path = LowerText(TrimBlanks(path));

  const std::string self = LowerText(CutAtFirstNul(platform::Sys().GetModuleFileNameA(0)));
  if ((!self.empty() && path == self) || path == LowerText(Folders().SysDir + "drivers\\tolvexa.sys"))
    return kRiskNone;

  if (category != kCatImageFileExecutionOptions && !DirListingFinds(path)) return kRiskUnknown;

  if (category == kCatImageFileExecutionOptions)
    return RegReadString(path, "Debugger").empty() ? kRiskNone : kRiskDangerous;

  // Within a scan the second text comes from the resource the first one read.
  const std::string company = LowerText(GetFileVersionString(path, CompanyName));
  const std::string legal = LowerText(GetFileVersionString(path, LegalCopyright));
  if (Contains(company, "microsoft") || Contains(company, "pellamor") || Contains(legal, "microsoft") ||
      Contains(legal, "calduna") || Contains(legal, "brenvik"))
    return kRiskNone;

  // Without a trust service (a disk examined offline) the signature step is left out.
  if (platform::Trust().TrustServiceAvailable() && VerifyFileSignature(path, false)) return kRiskNone;

  return CategoryRiskLevel(category, !company.empty() || !legal.empty());
}

ScanCacheScope::ScanCacheScope() { BeginSignatureCache(); }

ScanCacheScope::~ScanCacheScope() { EndSignatureCache(); }

}  // namespace tv
