// Operations not simulated yet: they answer "not implemented".
#include "platform/sim/sim_internal.h"

namespace tv::sim {

Handle SimMachine::Impl::CreateToolhelp32Snapshot(std::uint32_t, std::uint32_t) { auto g = Enter("CreateToolhelp32Snapshot"); SetError(1); return 0; }
bool SimMachine::Impl::Process32First(Handle, ProcessEntry32&) { auto g = Enter("Process32First"); SetError(1); return false; }
bool SimMachine::Impl::Process32Next(Handle, ProcessEntry32&) { auto g = Enter("Process32Next"); SetError(1); return false; }
bool SimMachine::Impl::Module32First(Handle, ModuleEntry32&) { auto g = Enter("Module32First"); SetError(1); return false; }
bool SimMachine::Impl::Module32Next(Handle, ModuleEntry32&) { auto g = Enter("Module32Next"); SetError(1); return false; }
bool SimMachine::Impl::Thread32First(Handle, ThreadEntry32&) { auto g = Enter("Thread32First"); SetError(1); return false; }
bool SimMachine::Impl::Thread32Next(Handle, ThreadEntry32&) { auto g = Enter("Thread32Next"); SetError(1); return false; }
Handle SimMachine::Impl::OpenProcess(std::uint32_t, bool, std::uint32_t) { auto g = Enter("OpenProcess"); SetError(1); return 0; }
Handle SimMachine::Impl::OpenThread(std::uint32_t, bool, std::uint32_t) { auto g = Enter("OpenThread"); SetError(1); return 0; }
bool SimMachine::Impl::TerminateProcess(Handle, std::uint32_t) { auto g = Enter("TerminateProcess"); SetError(1); return false; }
bool SimMachine::Impl::TerminateThread(Handle, std::uint32_t) { auto g = Enter("TerminateThread"); SetError(1); return false; }
bool SimMachine::Impl::GetExitCodeProcess(Handle, std::uint32_t*) { auto g = Enter("GetExitCodeProcess"); SetError(1); return false; }
bool SimMachine::Impl::EnumProcessModules(Handle, Handle*, std::uint32_t, std::uint32_t*) { auto g = Enter("EnumProcessModules"); SetError(1); return false; }
std::string SimMachine::Impl::GetModuleFileNameExA(Handle, Handle, std::uint32_t) { auto g = Enter("GetModuleFileNameExA"); return ""; }
std::string SimMachine::Impl::GetProcessImageFileNameA(Handle, std::uint32_t) { auto g = Enter("GetProcessImageFileNameA"); return ""; }
bool SimMachine::Impl::GetModuleInformation(Handle, Handle, ModuleInfo&) { auto g = Enter("GetModuleInformation"); SetError(1); return false; }
bool SimMachine::Impl::ReadProcessMemory(Handle, std::uintptr_t, void*, std::size_t, std::size_t*) { auto g = Enter("ReadProcessMemory"); SetError(1); return false; }
bool SimMachine::Impl::DuplicateHandle(Handle, Handle, Handle, Handle*, std::uint32_t, bool, std::uint32_t) { auto g = Enter("DuplicateHandle"); SetError(1); return false; }
bool SimMachine::Impl::SetProcessWorkingSetSize(Handle, std::uintptr_t, std::uintptr_t) { auto g = Enter("SetProcessWorkingSetSize"); SetError(1); return false; }
Handle SimMachine::Impl::GetCurrentProcess() { auto g = Enter("GetCurrentProcess"); SetError(1); return 0; }
Handle SimMachine::Impl::FindWindowA(const char*, const char*) { auto g = Enter("FindWindowA"); SetError(1); return 0; }
Handle SimMachine::Impl::GetParent(Handle) { auto g = Enter("GetParent"); SetError(1); return 0; }
Handle SimMachine::Impl::GetWindow(Handle, std::uint32_t) { auto g = Enter("GetWindow"); SetError(1); return 0; }
std::uint32_t SimMachine::Impl::GetWindowThreadProcessId(Handle, std::uint32_t*) { auto g = Enter("GetWindowThreadProcessId"); return 1; }
bool SimMachine::Impl::PostMessageA(Handle, std::uint32_t, std::uintptr_t, std::intptr_t) { auto g = Enter("PostMessageA"); SetError(1); return false; }
NTSTATUS SimMachine::Impl::NtQuerySystemInformation(std::uint32_t, void*, std::uint32_t, std::uint32_t*) { auto g = Enter("NtQuerySystemInformation"); return status::NotImplemented; }
NTSTATUS SimMachine::Impl::NtOpenProcess(Handle*, std::uint32_t, const ObjectAttributes&, const ClientId&) { auto g = Enter("NtOpenProcess"); return status::NotImplemented; }
NTSTATUS SimMachine::Impl::NtOpenThread(Handle*, std::uint32_t, const ObjectAttributes&, const ClientId&) { auto g = Enter("NtOpenThread"); return status::NotImplemented; }
NTSTATUS SimMachine::Impl::NtClose(Handle) { auto g = Enter("NtClose"); return status::NotImplemented; }
NTSTATUS SimMachine::Impl::NtDuplicateObject(Handle, Handle, Handle, Handle*, std::uint32_t, std::uint32_t, std::uint32_t) { auto g = Enter("NtDuplicateObject"); return status::NotImplemented; }
NTSTATUS SimMachine::Impl::NtQueryInformationProcess(Handle, std::uint32_t, void*, std::uint32_t, std::uint32_t*) { auto g = Enter("NtQueryInformationProcess"); return status::NotImplemented; }
NTSTATUS SimMachine::Impl::NtQueryInformationThread(Handle, std::uint32_t, void*, std::uint32_t, std::uint32_t*) { auto g = Enter("NtQueryInformationThread"); return status::NotImplemented; }
NTSTATUS SimMachine::Impl::NtTerminateProcess(Handle, NTSTATUS) { auto g = Enter("NtTerminateProcess"); return status::NotImplemented; }
NTSTATUS SimMachine::Impl::NtTerminateThread(Handle, NTSTATUS) { auto g = Enter("NtTerminateThread"); return status::NotImplemented; }
NTSTATUS SimMachine::Impl::NtCreateJobObject(Handle*, std::uint32_t, const ObjectAttributes&) { auto g = Enter("NtCreateJobObject"); return status::NotImplemented; }
NTSTATUS SimMachine::Impl::NtAssignProcessToJobObject(Handle, Handle) { auto g = Enter("NtAssignProcessToJobObject"); return status::NotImplemented; }
NTSTATUS SimMachine::Impl::NtTerminateJobObject(Handle, NTSTATUS) { auto g = Enter("NtTerminateJobObject"); return status::NotImplemented; }
NTSTATUS SimMachine::Impl::NtUnmapViewOfSection(Handle, std::uintptr_t) { auto g = Enter("NtUnmapViewOfSection"); return status::NotImplemented; }
NTSTATUS SimMachine::Impl::RtlAdjustPrivilege(std::uint32_t, bool, bool, bool*) { auto g = Enter("RtlAdjustPrivilege"); return status::NotImplemented; }
NTSTATUS SimMachine::Impl::NtOpenFile(Handle*, std::uint32_t, const ObjectAttributes&, IoStatusBlock*, std::uint32_t, std::uint32_t) { auto g = Enter("NtOpenFile"); return status::NotImplemented; }
NTSTATUS SimMachine::Impl::NtDeviceIoControlFile(Handle, Handle, IoStatusBlock*, std::uint32_t, const void*, std::uint32_t, void*, std::uint32_t) { auto g = Enter("NtDeviceIoControlFile"); return status::NotImplemented; }
NTSTATUS SimMachine::Impl::NtQueryObject(Handle, std::uint32_t, void*, std::uint32_t, std::uint32_t*) { auto g = Enter("NtQueryObject"); return status::NotImplemented; }
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
}  // namespace tv::sim
