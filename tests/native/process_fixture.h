// A small simulated machine for the process engine's tests: the XP folder layout, the idle and
// system processes, and helpers to add processes with their image files.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/paths.h"
#include "fileinfo/version.h"
#include "platform/api.h"
#include "platform/sim/sim_machine.h"

namespace tv::test {

class ProcessMachine : public ::testing::Test {
 protected:
  sim::SimMachine m;

  void SetUp() override {
    m.state.processes.clear();
    sim::Process idle;
    idle.pid = 0;
    idle.exeName = "[System Process]";
    m.state.processes.push_back(idle);
    sim::Process system;
    system.pid = 4;
    system.exeName = "System";
    m.state.processes.push_back(system);
    m.AddFile("C:\\WINDOWS", fattr::Directory);
    m.AddFile("C:\\WINDOWS\\system32", fattr::Directory);
    m.AddFile("C:\\WINDOWS\\system32\\Drivers", fattr::Directory);
    Tool();  // the tool itself, so that it is listed like on a real machine
    platform::Install(m.platform());
    InitFolders();
    InitVersionKeys();
  }

  // The tool's own process (the machine's selfPid).
  sim::Process& Tool() {
    if (auto* p = m.FindProcess(m.state.selfPid)) return *p;
    return AddProc(m.state.selfPid, "C:\\Tools\\Tolvexa\\tolvexa.exe");
  }

  // A process whose image file exists; the image is also its first module.
  sim::Process& AddProc(std::uint32_t pid, const std::string& path, const std::string& company = "",
                        const std::string& description = "", const std::string& version = "") {
    sim::File& f = m.AddFile(path);
    if (!company.empty() || !description.empty() || !version.empty()) {
      f.versionResource = sim::BuildVersionResource(
          {{"040904b0", {{"CompanyName", company}, {"FileDescription", description}, {"FileVersion", version}}}});
    }
    sim::Process& p = m.AddProcess(pid, path);
    if (p.modules.empty()) {
      sim::Module image;
      image.name = GetFileName(path);
      image.path = path;
      image.base = 0x400000;
      image.size = 0x10000;
      p.modules.push_back(image);
    }
    return p;
  }

  // The process with that identifier (references from AddProc do not survive the next AddProc).
  sim::Process& P(std::uint32_t pid) { return *m.FindProcess(pid); }

  // `count` handles owned by `pid` (files, so that nothing else reads them).
  void AddHandles(std::uint32_t pid, int count) {
    for (int i = 0; i < count; ++i) {
      sim::ForeignHandle h;
      h.ownerPid = pid;
      h.value = static_cast<std::uint16_t>(4 * (i + 1));
      h.type = m.state.fileObjectType;
      h.objectName = "\\Device\\HarddiskVolume1\\f" + std::to_string(i);
      m.state.handles.push_back(h);
    }
  }
};

}  // namespace tv::test
