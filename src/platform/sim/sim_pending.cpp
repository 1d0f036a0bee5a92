// Operations not simulated yet: they answer "not implemented".
#include "platform/sim/sim_internal.h"

namespace tv::sim {

Handle SimMachine::Impl::OpenSCManagerA(const char*, const char*, std::uint32_t) { auto g = Enter("OpenSCManagerA"); SetError(1); return 0; }
Handle SimMachine::Impl::OpenServiceA(Handle, const std::string&, std::uint32_t) { auto g = Enter("OpenServiceA"); SetError(1); return 0; }
Handle SimMachine::Impl::CreateServiceA(Handle, const CreateServiceArgs&) { auto g = Enter("CreateServiceA"); SetError(1); return 0; }
bool SimMachine::Impl::QueryServiceStatus(Handle, ServiceStatus&) { auto g = Enter("QueryServiceStatus"); SetError(1); return false; }
bool SimMachine::Impl::StartServiceA(Handle, const std::vector<std::string>&) { auto g = Enter("StartServiceA"); SetError(1); return false; }
bool SimMachine::Impl::ControlService(Handle, std::uint32_t, ServiceStatus&) { auto g = Enter("ControlService"); SetError(1); return false; }
bool SimMachine::Impl::DeleteService(Handle) { auto g = Enter("DeleteService"); SetError(1); return false; }
bool SimMachine::Impl::ChangeServiceConfig2W(Handle, std::uint32_t, const std::string&) { auto g = Enter("ChangeServiceConfig2W"); SetError(1); return false; }
bool SimMachine::Impl::CloseServiceHandle(Handle) { auto g = Enter("CloseServiceHandle"); SetError(1); return false; }
std::uint32_t SimMachine::Impl::GetTcpTable(void*, std::uint32_t*, bool) { auto g = Enter("GetTcpTable"); return 1; }
std::uint32_t SimMachine::Impl::GetUdpTable(void*, std::uint32_t*, bool) { auto g = Enter("GetUdpTable"); return 1; }

}  // namespace tv::sim

namespace tv::sim {
void SimMachine::Impl::MaybeRemoveService(const std::string&) {}
NTSTATUS SimMachine::Impl::TransportIoctl(HandleObj&, IoStatusBlock*, std::uint32_t, const void*, std::uint32_t, void*,
                                          std::uint32_t) {
  return status::NotImplemented;
}
}  // namespace tv::sim
