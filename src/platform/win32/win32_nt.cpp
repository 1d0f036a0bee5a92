// NT native operations of the win32 backend. Every entry point is looked up in ntdll.dll at
// first use; a missing export answers STATUS_NOT_IMPLEMENTED. Raw answers are written into the
// caller's buffer exactly as the system gives them (layouts.h follows the native layouts).
#include <cstddef>
#include <cstring>

#include "platform/layouts.h"
#include "platform/win32/win32_internal.h"

namespace tv::win32::detail {
namespace {

// ---- native structures, as the NT headers define them ----
struct NativeUnicodeString {
  USHORT Length;         // bytes, without a NUL
  USHORT MaximumLength;  // bytes
  PWSTR Buffer;
};
struct NativeObjectAttributes {
  ULONG Length;
  HANDLE RootDirectory;
  NativeUnicodeString* ObjectName;
  ULONG Attributes;
  PVOID SecurityDescriptor;
  PVOID SecurityQualityOfService;
};
struct NativeClientId {
  HANDLE UniqueProcess;
  HANDLE UniqueThread;
};
struct NativeIoStatusBlock {
  union {
    LONG Status;
    PVOID Pointer;
  };
  ULONG_PTR Information;
};

static_assert(sizeof(NativeObjectAttributes) == (sizeof(void*) == 8 ? 48 : 24));
static_assert(sizeof(NativeClientId) == 2 * sizeof(void*));
static_assert(sizeof(NativeIoStatusBlock) == 2 * sizeof(void*));
static_assert(sizeof(NativeUnicodeString) == layout::kObjectNameHeaderSize);
static_assert(offsetof(NativeUnicodeString, Buffer) == offsetof(layout::UnicodeStringHeader, Buffer));

// The answers the logic reads through layouts.h, checked against the native definitions.
struct NativeHandleEntry {  // SYSTEM_HANDLE_TABLE_ENTRY_INFO
  USHORT UniqueProcessId;
  USHORT CreatorBackTraceIndex;
  UCHAR ObjectTypeIndex;
  UCHAR HandleAttributes;
  USHORT HandleValue;
  PVOID Object;
  ULONG GrantedAccess;
};
struct NativeHandleInformation {  // SYSTEM_HANDLE_INFORMATION
  ULONG NumberOfHandles;
  NativeHandleEntry Handles[1];
};
static_assert(sizeof(NativeHandleEntry) == sizeof(layout::SystemHandleEntry));
static_assert(offsetof(NativeHandleEntry, ObjectTypeIndex) == offsetof(layout::SystemHandleEntry, ObjectTypeIndex));
static_assert(offsetof(NativeHandleEntry, HandleValue) == offsetof(layout::SystemHandleEntry, HandleValue));
static_assert(offsetof(NativeHandleEntry, Object) == offsetof(layout::SystemHandleEntry, Object));
static_assert(offsetof(NativeHandleEntry, GrantedAccess) == offsetof(layout::SystemHandleEntry, GrantedAccess));
static_assert(offsetof(NativeHandleInformation, Handles) == layout::kHandleEntriesOffset);

struct NativeModuleEntry {  // RTL_PROCESS_MODULE_INFORMATION
  HANDLE Section;
  PVOID MappedBase;
  PVOID ImageBase;
  ULONG ImageSize;
  ULONG Flags;
  USHORT LoadOrderIndex;
  USHORT InitOrderIndex;
  USHORT LoadCount;
  USHORT OffsetToFileName;
  UCHAR FullPathName[256];
};
struct NativeModuleInformation {  // RTL_PROCESS_MODULES
  ULONG NumberOfModules;
  NativeModuleEntry Modules[1];
};
static_assert(sizeof(NativeModuleEntry) == sizeof(layout::SystemModuleEntry));
static_assert(offsetof(NativeModuleEntry, ImageBase) == offsetof(layout::SystemModuleEntry, ImageBase));
static_assert(offsetof(NativeModuleEntry, ImageSize) == offsetof(layout::SystemModuleEntry, ImageSize));
static_assert(offsetof(NativeModuleEntry, FullPathName) == offsetof(layout::SystemModuleEntry, FullPathName));
static_assert(offsetof(NativeModuleInformation, Modules) == layout::kModuleEntriesOffset);

struct NativeProcessBasicInformation {  // PROCESS_BASIC_INFORMATION
  LONG ExitStatus;
  PVOID PebBaseAddress;
  ULONG_PTR AffinityMask;
  LONG BasePriority;
  ULONG_PTR UniqueProcessId;
  ULONG_PTR InheritedFromUniqueProcessId;
};
static_assert(sizeof(NativeProcessBasicInformation) == sizeof(layout::ProcessBasicInformation));
static_assert(offsetof(NativeProcessBasicInformation, PebBaseAddress) ==
              offsetof(layout::ProcessBasicInformation, PebBaseAddress));
static_assert(offsetof(NativeProcessBasicInformation, UniqueProcessId) ==
              offsetof(layout::ProcessBasicInformation, UniqueProcessId));

struct NativeThreadBasicInformation {  // THREAD_BASIC_INFORMATION
  LONG ExitStatus;
  PVOID TebBaseAddress;
  NativeClientId ClientId;
  ULONG_PTR AffinityMask;
  LONG Priority;
  LONG BasePriority;
};
static_assert(sizeof(NativeThreadBasicInformation) == sizeof(layout::ThreadBasicInformation));
static_assert(offsetof(NativeThreadBasicInformation, ClientId) ==
              offsetof(layout::ThreadBasicInformation, UniqueProcess));
static_assert(offsetof(NativeThreadBasicInformation, Priority) == offsetof(layout::ThreadBasicInformation, Priority));

// ---- entry points ----
typedef LONG(NTAPI* NtQuerySystemInformationFn)(ULONG, PVOID, ULONG, PULONG);
typedef LONG(NTAPI* NtOpenProcessFn)(PHANDLE, ACCESS_MASK, NativeObjectAttributes*, NativeClientId*);
typedef LONG(NTAPI* NtOpenThreadFn)(PHANDLE, ACCESS_MASK, NativeObjectAttributes*, NativeClientId*);
typedef LONG(NTAPI* NtCloseFn)(HANDLE);
typedef LONG(NTAPI* NtDuplicateObjectFn)(HANDLE, HANDLE, HANDLE, PHANDLE, ACCESS_MASK, ULONG, ULONG);
typedef LONG(NTAPI* NtQueryInformationProcessFn)(HANDLE, ULONG, PVOID, ULONG, PULONG);
typedef LONG(NTAPI* NtQueryInformationThreadFn)(HANDLE, ULONG, PVOID, ULONG, PULONG);
typedef LONG(NTAPI* NtTerminateProcessFn)(HANDLE, LONG);
typedef LONG(NTAPI* NtTerminateThreadFn)(HANDLE, LONG);
typedef LONG(NTAPI* NtCreateJobObjectFn)(PHANDLE, ACCESS_MASK, NativeObjectAttributes*);
typedef LONG(NTAPI* NtAssignProcessToJobObjectFn)(HANDLE, HANDLE);
typedef LONG(NTAPI* NtTerminateJobObjectFn)(HANDLE, LONG);
typedef LONG(NTAPI* NtUnmapViewOfSectionFn)(HANDLE, PVOID);
typedef LONG(NTAPI* RtlAdjustPrivilegeFn)(ULONG, BOOLEAN, BOOLEAN, PBOOLEAN);
typedef LONG(NTAPI* NtOpenFileFn)(PHANDLE, ACCESS_MASK, NativeObjectAttributes*, NativeIoStatusBlock*, ULONG, ULONG);
typedef LONG(NTAPI* NtDeviceIoControlFileFn)(HANDLE, HANDLE, PVOID, PVOID, NativeIoStatusBlock*, ULONG, PVOID, ULONG,
                                             PVOID, ULONG);
typedef LONG(NTAPI* NtQueryObjectFn)(HANDLE, ULONG, PVOID, ULONG, PULONG);

struct NtExports {
  NtQuerySystemInformationFn querySystemInformation;
  NtOpenProcessFn openProcess;
  NtOpenThreadFn openThread;
  NtCloseFn close;
  NtDuplicateObjectFn duplicateObject;
  NtQueryInformationProcessFn queryInformationProcess;
  NtQueryInformationThreadFn queryInformationThread;
  NtTerminateProcessFn terminateProcess;
  NtTerminateThreadFn terminateThread;
  NtCreateJobObjectFn createJobObject;
  NtAssignProcessToJobObjectFn assignProcessToJobObject;
  NtTerminateJobObjectFn terminateJobObject;
  NtUnmapViewOfSectionFn unmapViewOfSection;
  RtlAdjustPrivilegeFn adjustPrivilege;
  NtOpenFileFn openFile;
  NtDeviceIoControlFileFn deviceIoControlFile;
  NtQueryObjectFn queryObject;

  NtExports() {
    HMODULE nt = ::GetModuleHandleW(L"ntdll.dll");
    querySystemInformation = LookupExport<NtQuerySystemInformationFn>(nt, "NtQuerySystemInformation");
    openProcess = LookupExport<NtOpenProcessFn>(nt, "NtOpenProcess");
    openThread = LookupExport<NtOpenThreadFn>(nt, "NtOpenThread");
    close = LookupExport<NtCloseFn>(nt, "NtClose");
    duplicateObject = LookupExport<NtDuplicateObjectFn>(nt, "NtDuplicateObject");
    queryInformationProcess = LookupExport<NtQueryInformationProcessFn>(nt, "NtQueryInformationProcess");
    queryInformationThread = LookupExport<NtQueryInformationThreadFn>(nt, "NtQueryInformationThread");
    terminateProcess = LookupExport<NtTerminateProcessFn>(nt, "NtTerminateProcess");
    terminateThread = LookupExport<NtTerminateThreadFn>(nt, "NtTerminateThread");
    createJobObject = LookupExport<NtCreateJobObjectFn>(nt, "NtCreateJobObject");
    assignProcessToJobObject = LookupExport<NtAssignProcessToJobObjectFn>(nt, "NtAssignProcessToJobObject");
    terminateJobObject = LookupExport<NtTerminateJobObjectFn>(nt, "NtTerminateJobObject");
    unmapViewOfSection = LookupExport<NtUnmapViewOfSectionFn>(nt, "NtUnmapViewOfSection");
    adjustPrivilege = LookupExport<RtlAdjustPrivilegeFn>(nt, "RtlAdjustPrivilege");
    openFile = LookupExport<NtOpenFileFn>(nt, "NtOpenFile");
    deviceIoControlFile = LookupExport<NtDeviceIoControlFileFn>(nt, "NtDeviceIoControlFile");
    queryObject = LookupExport<NtQueryObjectFn>(nt, "NtQueryObject");
  }
};

const NtExports& Exports() {
  static const NtExports exports;
  return exports;
}

// tv::ObjectAttributes in the native form. The name text lives in this object, so it must
// outlive the call it is passed to.
class NativeAttributes {
 public:
  explicit NativeAttributes(const ObjectAttributes& oa) {
    // The logic fills in the size of the block for either width (24 or 48); the system wants
    // its own. Any other value is passed on as given, so that the system refuses it.
    attributes_.Length = (oa.Length == 24 || oa.Length == 48) ? static_cast<ULONG>(sizeof(attributes_)) : oa.Length;
    attributes_.RootDirectory = ToHandle(oa.RootDirectory);
    attributes_.Attributes = oa.Attributes;
    attributes_.SecurityDescriptor = nullptr;
    attributes_.SecurityQualityOfService = nullptr;
    attributes_.ObjectName = nullptr;
    if (!oa.ObjectName.empty()) {
      text_ = Widen(oa.ObjectName);
      constexpr std::size_t kMaxUnits = 0x7FFE;  // the length fields are 16-bit byte counts
      if (text_.size() > kMaxUnits) text_.resize(kMaxUnits);
      name_.Length = static_cast<USHORT>(text_.size() * sizeof(wchar_t));
      name_.MaximumLength = static_cast<USHORT>(name_.Length + sizeof(wchar_t));
      name_.Buffer = text_.data();
      attributes_.ObjectName = &name_;
    }
  }
  NativeAttributes(const NativeAttributes&) = delete;
  NativeAttributes& operator=(const NativeAttributes&) = delete;
  NativeObjectAttributes* get() { return &attributes_; }

 private:
  std::wstring text_;
  NativeUnicodeString name_{};
  NativeObjectAttributes attributes_{};
};

NativeClientId ToNative(const ClientId& cid) {
  NativeClientId n;
  n.UniqueProcess = reinterpret_cast<HANDLE>(cid.UniqueProcess);
  n.UniqueThread = reinterpret_cast<HANDLE>(cid.UniqueThread);
  return n;
}

void CopyBack(const NativeIoStatusBlock& n, IoStatusBlock* out) {
  if (out == nullptr) return;
  out->Status = n.Status;
  out->Information = n.Information;
}

// How long a device request left pending is waited for before it is cancelled.
constexpr DWORD kPendingWaitMs = 30000;

class Win32Nt final : public NtApi {
 public:
  NTSTATUS NtQuerySystemInformation(std::uint32_t infoClass, void* buffer, std::uint32_t length,
                                    std::uint32_t* returnLength) override {
    auto fn = Exports().querySystemInformation;
    if (fn == nullptr) return status::NotImplemented;
    ULONG ret = 0;
    LONG s = fn(infoClass, buffer, length, &ret);
    if (returnLength != nullptr) *returnLength = ret;
    return s;
  }

  NTSTATUS NtOpenProcess(Handle* process, std::uint32_t access, const ObjectAttributes& oa,
                         const ClientId& cid) override {
    auto fn = Exports().openProcess;
    if (fn == nullptr) return status::NotImplemented;
    NativeAttributes attributes(oa);
    NativeClientId id = ToNative(cid);
    HANDLE h = nullptr;
    LONG s = fn(&h, access, attributes.get(), &id);
    if (process != nullptr) *process = s >= 0 ? FromHandle(h) : 0;
    return s;
  }

  NTSTATUS NtOpenThread(Handle* thread, std::uint32_t access, const ObjectAttributes& oa,
                        const ClientId& cid) override {
    auto fn = Exports().openThread;
    if (fn == nullptr) return status::NotImplemented;
    NativeAttributes attributes(oa);
    NativeClientId id = ToNative(cid);
    HANDLE h = nullptr;
    LONG s = fn(&h, access, attributes.get(), &id);
    if (thread != nullptr) *thread = s >= 0 ? FromHandle(h) : 0;
    return s;
  }

  NTSTATUS NtClose(Handle h) override {
    auto fn = Exports().close;
    if (fn == nullptr) return status::NotImplemented;
    return fn(ToHandle(h));
  }

  NTSTATUS NtDuplicateObject(Handle sourceProcess, Handle source, Handle targetProcess, Handle* target,
                             std::uint32_t access, std::uint32_t attributes, std::uint32_t options) override {
    auto fn = Exports().duplicateObject;
    if (fn == nullptr) return status::NotImplemented;
    HANDLE out = nullptr;
    LONG s = fn(ToHandle(sourceProcess), ToHandle(source), ToHandle(targetProcess),
                target != nullptr ? &out : nullptr, access, attributes, options);
    if (target != nullptr) *target = s >= 0 ? FromHandle(out) : 0;
    return s;
  }

  NTSTATUS NtQueryInformationProcess(Handle process, std::uint32_t infoClass, void* buffer, std::uint32_t length,
                                     std::uint32_t* returnLength) override {
    auto fn = Exports().queryInformationProcess;
    if (fn == nullptr) return status::NotImplemented;
    // Padding between the fields of the answer is left untouched by the system; clear it so
    // that a wider read of a narrower field sees zeros.
    if (buffer != nullptr) std::memset(buffer, 0, length);
    ULONG ret = 0;
    LONG s = fn(ToHandle(process), infoClass, buffer, length, &ret);
    if (returnLength != nullptr) *returnLength = ret;
    return s;
  }

  NTSTATUS NtQueryInformationThread(Handle thread, std::uint32_t infoClass, void* buffer, std::uint32_t length,
                                    std::uint32_t* returnLength) override {
    auto fn = Exports().queryInformationThread;
    if (fn == nullptr) return status::NotImplemented;
    if (buffer != nullptr) std::memset(buffer, 0, length);
    ULONG ret = 0;
    LONG s = fn(ToHandle(thread), infoClass, buffer, length, &ret);
    if (returnLength != nullptr) *returnLength = ret;
    return s;
  }

  NTSTATUS NtTerminateProcess(Handle process, NTSTATUS exitStatus) override {
    auto fn = Exports().terminateProcess;
    if (fn == nullptr) return status::NotImplemented;
    return fn(ToHandle(process), exitStatus);
  }

  NTSTATUS NtTerminateThread(Handle thread, NTSTATUS exitStatus) override {
    auto fn = Exports().terminateThread;
    if (fn == nullptr) return status::NotImplemented;
    return fn(ToHandle(thread), exitStatus);
  }

  NTSTATUS NtCreateJobObject(Handle* job, std::uint32_t access, const ObjectAttributes& oa) override {
    auto fn = Exports().createJobObject;
    if (fn == nullptr) return status::NotImplemented;
    NativeAttributes attributes(oa);
    HANDLE h = nullptr;
    LONG s = fn(&h, access, attributes.get());
    if (job != nullptr) *job = s >= 0 ? FromHandle(h) : 0;
    return s;
  }

  NTSTATUS NtAssignProcessToJobObject(Handle job, Handle process) override {
    auto fn = Exports().assignProcessToJobObject;
    if (fn == nullptr) return status::NotImplemented;
    return fn(ToHandle(job), ToHandle(process));
  }

  NTSTATUS NtTerminateJobObject(Handle job, NTSTATUS exitStatus) override {
    auto fn = Exports().terminateJobObject;
    if (fn == nullptr) return status::NotImplemented;
    return fn(ToHandle(job), exitStatus);
  }

  NTSTATUS NtUnmapViewOfSection(Handle process, std::uintptr_t base) override {
    auto fn = Exports().unmapViewOfSection;
    if (fn == nullptr) return status::NotImplemented;
    return fn(ToHandle(process), reinterpret_cast<PVOID>(base));
  }

  NTSTATUS RtlAdjustPrivilege(std::uint32_t privilege, bool enable, bool currentThread, bool* wasEnabled) override {
    auto fn = Exports().adjustPrivilege;
    if (fn == nullptr) return status::NotImplemented;
    BOOLEAN was = FALSE;
    LONG s = fn(privilege, enable ? TRUE : FALSE, currentThread ? TRUE : FALSE, &was);
    if (wasEnabled != nullptr) *wasEnabled = was != FALSE;
    return s;
  }

  NTSTATUS NtOpenFile(Handle* file, std::uint32_t access, const ObjectAttributes& oa, IoStatusBlock* iosb,
                      std::uint32_t shareAccess, std::uint32_t openOptions) override {
    auto fn = Exports().openFile;
    if (fn == nullptr) return status::NotImplemented;
    NativeAttributes attributes(oa);
    NativeIoStatusBlock io{};
    HANDLE h = nullptr;
    LONG s = fn(&h, access, attributes.get(), &io, shareAccess, openOptions);
    if (file != nullptr) *file = s >= 0 ? FromHandle(h) : 0;
    CopyBack(io, iosb);
    return s;
  }

  NTSTATUS NtDeviceIoControlFile(Handle file, Handle event, IoStatusBlock* iosb, std::uint32_t code, const void* in,
                                 std::uint32_t inLength, void* out, std::uint32_t outLength) override {
    auto fn = Exports().deviceIoControlFile;
    if (fn == nullptr) return status::NotImplemented;
    NativeIoStatusBlock io{};
    LONG s = fn(ToHandle(file), ToHandle(event), nullptr, nullptr, &io, code, const_cast<void*>(in), inLength, out,
                outLength);
    if (s == status::Pending) {
      // The request goes on after the call returns and would write into `io` and `out` later.
      // Wait for it here (the system resets the event when the request starts), so the caller
      // gets a finished request; one that never completes is cancelled.
      HANDLE waitOn = event != 0 ? ToHandle(event) : ToHandle(file);
      if (::WaitForSingleObject(waitOn, kPendingWaitMs) != WAIT_OBJECT_0) {
        ::CancelIo(ToHandle(file));
        ::WaitForSingleObject(waitOn, INFINITE);
      }
      s = io.Status;
    }
    CopyBack(io, iosb);
    return s;
  }

  NTSTATUS NtQueryObject(Handle h, std::uint32_t infoClass, void* buffer, std::uint32_t length,
                         std::uint32_t* returnLength) override {
    auto fn = Exports().queryObject;
    if (fn == nullptr) return status::NotImplemented;
    ULONG ret = 0;
    LONG s = fn(ToHandle(h), infoClass, buffer, length, &ret);
    if (returnLength != nullptr) *returnLength = ret;
    return s;
  }
};

}  // namespace

NtApi& NtBackend() {
  static Win32Nt instance;
  return instance;
}

}  // namespace tv::win32::detail
