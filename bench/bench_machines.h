// The machine the scan benchmarks share: 1,000 start-up items and services, half of the
// programs with a publisher, 400 services sharing one svchost.exe, 100 drivers of their own.
#pragma once
#include <memory>
#include <string>

#include "platform/sim/sim_machine.h"

namespace tv::bench {

inline const std::string kRun = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline const std::string kServices = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services";

inline std::unique_ptr<tv::sim::SimMachine> StartupMachine() {
  auto m = std::make_unique<tv::sim::SimMachine>();
  const tv::Bytes vendor = tv::sim::BuildVersionResource({{"040904b0", {{"CompanyName", "Vendor Inc."}}}});
  const tv::Bytes microsoft = tv::sim::BuildVersionResource(
      {{"040904b0", {{"CompanyName", "Microsoft Corporation"}, {"LegalCopyright", "(c) Microsoft"}}}});
  for (int i = 0; i < 500; ++i) {
    const std::string path = "C:\\Program Files\\App" + std::to_string(i) + "\\app.exe";
    tv::sim::File& f = m->AddFile(path);
    if (i % 2 == 0) f.versionResource = vendor;
    m->SetString(kRun, "app" + std::to_string(i), "\"" + path + "\" /background");
  }
  m->AddFile("C:\\WINDOWS\\system32\\svchost.exe").versionResource = microsoft;
  for (int i = 0; i < 500; ++i) {
    const std::string name = "Svc" + std::to_string(i);
    const bool shared = i < 400;
    const std::string image = shared ? "%SystemRoot%\\system32\\svchost.exe -k netsvcs"
                                     : "system32\\drivers\\drv" + std::to_string(i) + ".sys";
    if (!shared) m->AddFile("C:\\WINDOWS\\system32\\drivers\\drv" + std::to_string(i) + ".sys");
    m->SetString(kServices + "\\" + name, "ImagePath", image, tv::reg::ExpandSz);
    m->SetDword(kServices + "\\" + name, "Type", shared ? 0x20 : 1);
    m->SetDword(kServices + "\\" + name, "Start", 2);
    tv::sim::Service s;
    s.name = name;
    s.type = shared ? 0x20 : 1;
    s.state = 4;
    s.startType = 2;
    m->state.services.push_back(s);
  }
  return m;
}

}  // namespace tv::bench
