// Risk rating of start-up files and signature verification on simulated machines.
#include <gtest/gtest.h>

#include <string>

#include "scan/risk.h"
#include "scan/signature.h"
#include "scan_fixture.h"

namespace tv::test {
namespace {

const std::string kIfeo =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";

class RiskTest : public ScanTest {
 protected:
  RiskLevel Rate(std::string path, std::int32_t category) { return GetRiskLevel(path, category); }
};

TEST_F(RiskTest, CategoryRulesWithAndWithoutVersionText) {
  AddFile("C:\\x\\plain.exe");
  AddFile("C:\\x\\company.exe", "Acme Ltd");
  AddFile("C:\\x\\legal.exe", "", "(c) Acme");
  struct Row {
    std::int32_t category;
    RiskLevel withText, withoutText;
  };
  const Row rows[] = {
      {0, kRiskNormal, kRiskDangerous},     {2, kRiskNormal, kRiskDangerous},     {5, kRiskNormal, kRiskDangerous},
      {9, kRiskNormal, kRiskDangerous},     {16, kRiskNormal, kRiskDangerous},    {1, kRiskPotential, kRiskDangerous},
      {3, kRiskPotential, kRiskDangerous},  {32, kRiskPotential, kRiskDangerous}, {4, kRiskDangerous, kRiskDangerous},
      {7, kRiskDangerous, kRiskDangerous},  {8, kRiskDangerous, kRiskDangerous},  {10, kRiskNormal, kRiskUnknown},
      {15, kRiskNormal, kRiskUnknown},      {17, kRiskNormal, kRiskUnknown},      {31, kRiskNormal, kRiskUnknown},
      {33, kRiskNormal, kRiskUnknown},      {64, kRiskNormal, kRiskUnknown},      {-1, kRiskNormal, kRiskUnknown},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.category);
    EXPECT_EQ(Rate("C:\\x\\company.exe", r.category), r.withText);
    EXPECT_EQ(Rate("C:\\x\\legal.exe", r.category), r.withText);
    EXPECT_EQ(Rate("C:\\x\\plain.exe", r.category), r.withoutText);
  }
  EXPECT_EQ(CategoryRiskLevel(6, true), kRiskDangerous);
}

TEST_F(RiskTest, TrustedPublishersAndSignatures) {
  struct Case {
    std::string company, legal;
    RiskLevel expected;
  };
  const Case cases[] = {
      {"Microsoft Corporation", "", kRiskNone},
      {"PELLAMOR Software", "", kRiskNone},
      {"", "Copyright (C) MICROSOFT Corp.", kRiskNone},
      {"", "(c) Calduna AG", kRiskNone},
      {"", "Brenvik 2009", kRiskNone},
      {"Calduna AG", "", kRiskPotential},    // those two count only in the copyright
      {"", "Pellamor", kRiskPotential},      // and this one only in the company
      {"Macrosoft", "Microsof t", kRiskPotential},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.company + "|" + c.legal);
    const std::string path = "C:\\p\\f" + std::to_string(n++) + ".dll";
    AddFile(path, c.company, c.legal);
    EXPECT_EQ(Rate(path, kCatUserinit), c.expected);
    if (c.expected == kRiskNone) {
      EXPECT_EQ(Rate(path, kCatAppInitDlls), kRiskNone);
    }
  }
  AddFile("C:\\p\\signed.dll");
  AddFile("C:\\p\\unsigned.dll");
  m.state.signatures["c:\\p\\signed.dll"] = 0;
  m.state.signatures["c:\\p\\unsigned.dll"] = static_cast<std::int32_t>(trust::BadDigest);
  EXPECT_EQ(Rate("C:\\p\\signed.dll", kCatAppInitDlls), kRiskNone);
  EXPECT_EQ(Rate("C:\\p\\unsigned.dll", kCatAppInitDlls), kRiskDangerous);
  // Without a trust service (a disk examined offline) the signature step is left out: the
  // signed file is rated by its category, and the provider is not asked.
  m.state.trustServiceAvailable = false;
  const auto asked = m.CallCount("WinVerifyTrust");
  EXPECT_EQ(Rate("C:\\p\\signed.dll", kCatAppInitDlls), kRiskDangerous);
  EXPECT_EQ(m.CallCount("WinVerifyTrust"), asked);
}

TEST_F(RiskTest, OwnFilesHiddenFilesAndMissingFiles) {
  AddFile("C:\\WINDOWS\\system32\\drivers\\tolvexa.sys");
  AddFile("C:\\x\\hidden.exe", "Microsoft Corporation", "", fattr::Hidden);
  AddFile("C:\\x\\system.dll", "", "", fattr::System | fattr::Archive);
  m.state.signatures["c:\\x\\system.dll"] = 0;
  AddFile("C:\\x\\folder", "", "", fattr::Directory);
  EXPECT_EQ(Rate("C:\\Tools\\Tolvexa\\TOLVEXA.EXE", kCatStartupValue), kRiskNone);
  EXPECT_EQ(Rate("c:\\windows\\system32\\DRIVERS\\tolvexa.sys", kCatService), kRiskNone);
  EXPECT_EQ(Rate("C:\\x\\hidden.exe", kCatStartupValue), kRiskUnknown);  // whatever its texts
  EXPECT_EQ(Rate("C:\\x\\system.dll", kCatAppInitDlls), kRiskUnknown);   // or its signature
  EXPECT_EQ(Rate("C:\\x\\missing.exe", kCatAppInitDlls), kRiskUnknown);
  EXPECT_EQ(Rate("C:\\x\\folder", kCatService), kRiskUnknown);
  EXPECT_EQ(Rate("", kCatService), kRiskUnknown);
}

TEST_F(RiskTest, ImageFileExecutionOptionsKeysByTheirDebuggerValue) {
  m.SetString(kIfeo + "\\taskmgr.exe", "Debugger", "C:\\evil\\hijack.exe");
  m.SetString(kIfeo + "\\notepad.exe", "GlobalFlag", "0");
  m.SetString(kIfeo + "\\calc.exe", "Debugger", "");
  EXPECT_EQ(Rate(kIfeo + "\\taskmgr.exe", 6), kRiskDangerous);
  EXPECT_EQ(Rate(kIfeo + "\\notepad.exe", 6), kRiskNone);
  EXPECT_EQ(Rate(kIfeo + "\\calc.exe", 6), kRiskNone);
  EXPECT_EQ(Rate(kIfeo + "\\missing.exe", 6), kRiskNone);
  EXPECT_EQ(Rate("taskmgr.exe", 6), kRiskNone);  // a bare name is no key path
}

TEST_F(RiskTest, HandsBackTheLowerCasedTrimmedPath) {
  AddFile("C:\\Program Files\\App\\APP.EXE", "Acme");
  std::string path = "   C:\\Program Files\\App\\APP.EXE  ";
  EXPECT_EQ(GetRiskLevel(path, kCatStartupValue), kRiskNormal);
  EXPECT_EQ(path, "c:\\program files\\app\\app.exe");
  std::string missing = " C:\\GONE.exe";
  GetRiskLevel(missing, 0);
  EXPECT_EQ(missing, "c:\\gone.exe");
}

TEST_F(RiskTest, OutsideAScanEveryRatingReadsAgainAndWithinOneOnlyOnce) {
  AddFile("C:\\x\\a.exe", "Acme");
  AddFile("C:\\x\\b.exe");
  auto rateBoth = [&] {
    Rate("C:\\x\\a.exe", 0);
    Rate("c:\\X\\A.EXE", 0);
    Rate("C:\\x\\b.exe", 0);
    Rate("C:\\x\\b.exe", 0);
  };
  rateBoth();
  EXPECT_EQ(m.CallCount("GetFileVersionInfoSizeA"), 8u);  // two texts per rating
  EXPECT_EQ(m.CallCount("WinVerifyTrust"), 4u);
  {
    ScanCacheScope scan;
    ScanCacheScope nested;
    rateBoth();
  }
  EXPECT_EQ(m.CallCount("GetFileVersionInfoSizeA"), 10u);  // one read per file
  EXPECT_EQ(m.CallCount("WinVerifyTrust"), 6u);
  {
    ScanCacheScope nextScan;  // nothing is kept from the scan before
    Rate("C:\\x\\b.exe", 0);
  }
  EXPECT_EQ(m.CallCount("GetFileVersionInfoSizeA"), 11u);
  EXPECT_EQ(m.CallCount("WinVerifyTrust"), 7u);
}

// ------------------------------------------------------------ signatures ----

TEST_F(RiskTest, SignatureMessagesByResultAndLastError) {
  const std::string p = "C:\\x\\f.exe";
  struct Case {
    std::uint32_t result, lastError;
    std::string message;
  };
  const Case cases[] = {
      {0, 0, "The file \"C:\\x\\f.exe\" is signed and the signature was verified."},
      {trust::NoSignature, trust::NoSignature, "The file \"C:\\x\\f.exe\" is not signed."},
      {trust::NoSignature, trust::SubjectFormUnknown, "The file \"C:\\x\\f.exe\" is not signed."},
      {trust::NoSignature, trust::ProviderUnknown, "The file \"C:\\x\\f.exe\" is not signed."},
      {trust::NoSignature, 5,
       "An unknown error occurred trying to verify the signature of the \"C:\\x\\f.exe\" file."},
      {trust::ExplicitDistrust, 0, "The signature is present, but specifically disallowed."},
      {trust::SubjectNotTrusted, 0, "The signature is present, but not trusted."},
      {trust::SecuritySettings, 0,
       "CRYPT_E_SECURITY_SETTINGS - The hash representing the subject or the publisher wasn't explicitly trusted "
       "by the admin and admin policy has disabled user trust. No signature, publisher or timestamp errors."},
      {trust::BadDigest, 0, "Error is: 0x80096010."},
      {2, 0, "Error is: 0x2."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    EXPECT_EQ(SignatureMessage(p, static_cast<std::int32_t>(c.result), c.lastError), c.message);
  }
}

TEST_F(RiskTest, VerifyReadsTheProvidersLastErrorAndShowsOneMessage) {
  AddFile("C:\\x\\plain.exe");
  AddFile("C:\\x\\text.ini");
  AddFile("C:\\x\\good.exe");
  AddFile("C:\\x\\odd.exe");
  m.state.signatures["c:\\x\\text.ini"] = static_cast<std::int32_t>(trust::NoSignature);
  m.state.signatureLastErrors["c:\\x\\text.ini"] = trust::SubjectFormUnknown;
  m.state.signatures["c:\\x\\good.exe"] = 0;
  m.state.signatures["c:\\x\\odd.exe"] = static_cast<std::int32_t>(trust::NoSignature);
  m.state.signatureLastErrors["c:\\x\\odd.exe"] = 1234;

  EXPECT_FALSE(VerifyFileSignature("C:\\x\\plain.exe", false));
  EXPECT_TRUE(VerifyFileSignature("C:\\X\\GOOD.EXE", false));
  EXPECT_TRUE(recorder.messages.empty());  // the silent form shows nothing

  EXPECT_FALSE(VerifyFileSignature("C:\\x\\text.ini", true));
  EXPECT_TRUE(VerifyFileSignature("C:\\x\\good.exe", true));
  EXPECT_FALSE(VerifyFileSignature("C:\\x\\odd.exe", true));
  const SignatureCheck missing = CheckFileSignature("C:\\x\\missing.exe");
  EXPECT_EQ(missing.result, 2);
  ASSERT_EQ(recorder.messages.size(), 3u);
  EXPECT_EQ(recorder.messages[0].text, "The file \"C:\\x\\text.ini\" is not signed.");
  EXPECT_EQ(recorder.messages[0].title, "Tolvexa");
  EXPECT_EQ(recorder.messages[0].flags, 0u);  // no icon, OK only
  EXPECT_EQ(recorder.messages[1].text, "The file \"C:\\x\\good.exe\" is signed and the signature was verified.");
  EXPECT_EQ(recorder.messages[2].text,
            "An unknown error occurred trying to verify the signature of the \"C:\\x\\odd.exe\" file.");
  EXPECT_EQ(missing.message, "Error is: 0x2.");
}

TEST_F(RiskTest, ScenarioSignaturesTakeANumberOrAResultWithItsLastError) {
  auto machine = sim::LoadScenarioText(R"({
    "files": [{"path": "C:\\a.exe"}, {"path": "C:\\b.exe"}, {"path": "C:\\c.exe"}],
    "signatures": {"C:\\a.exe": 0, "C:\\B.exe": {"result": "0x800B0100", "lastError": "0x800B0003"},
                   "C:\\c.exe": {"result": "0x800B0100"}}
  })");
  platform::Install(machine->platform());
  EXPECT_TRUE(CheckFileSignature("C:\\a.exe").verified());
  const SignatureCheck b = CheckFileSignature("C:\\b.exe");
  EXPECT_EQ(b.lastError, trust::SubjectFormUnknown);
  EXPECT_EQ(b.message, "The file \"C:\\b.exe\" is not signed.");
  EXPECT_EQ(CheckFileSignature("C:\\c.exe").lastError, trust::NoSignature);
  platform::Install(m.platform());
  EXPECT_THROW(sim::LoadScenarioText(R"({"signatures": {"C:\\a.exe": {"lastError": 1}}})"), std::runtime_error);
  EXPECT_THROW(sim::LoadScenarioText(R"({"signatures": {"C:\\a.exe": {"result": 0, "x": 1}}})"), std::runtime_error);
}

}  // namespace
}  // namespace tv::test
