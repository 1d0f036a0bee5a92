// The four deletion modes, the secure wipe's write pattern, the forced deletion of files other
// processes hold open, the splitting of the open-file dialog's result and --delete.
#include <gtest/gtest.h>

#include "common/sim_test.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <regex>
#include <sstream>
#include <thread>

#include "base/object_names.h"
#include "base/platform_ops.h"
#include "cli/cli.h"
#include "platform/sim/sim_machine.h"
#include "sysconfig/driver.h"
#include "tools/file_delete.h"

namespace tv {
namespace {

using namespace std::string_literals;

const char kSessionManager[] = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager";

// The file calls of the machine, passed through; the writes and renames are recorded, and a
// hook may act just before a rename.
class RecordingFiles final : public FileApi {
 public:
  struct Write {
    std::uint64_t offset;
    std::uint32_t size;
    int pattern;  // the byte every position holds, -1 when they differ
  };
  explicit RecordingFiles(FileApi& inner) : in_(inner) {}
  std::vector<Write> writes;
  std::vector<std::pair<std::string, std::string>> moves;
  std::vector<std::string> deletes;
  std::function<void(const std::string& to)> beforeMove;

  std::uint32_t GetFileAttributesA(const std::string& p) override { return in_.GetFileAttributesA(p); }
  bool SetFileAttributesA(const std::string& p, std::uint32_t a) override { return in_.SetFileAttributesA(p, a); }
  Handle CreateFileA(const std::string& p, std::uint32_t a, std::uint32_t s, std::uint32_t d, std::uint32_t f) override {
    return in_.CreateFileA(p, a, s, d, f);
  }
  bool ReadFile(Handle h, void* b, std::uint32_t n, std::uint32_t* r) override { return in_.ReadFile(h, b, n, r); }
  bool WriteFile(Handle h, const void* b, std::uint32_t n, std::uint32_t* w) override {
    const auto* bytes = static_cast<const std::uint8_t*>(b);
    int pattern = n ? bytes[0] : -1;
    for (std::uint32_t i = 1; i < n && pattern >= 0; ++i)
      if (bytes[i] != bytes[0]) pattern = -1;
    writes.push_back({in_.SetFilePointer(h, 0, 1), n, pattern});
    return in_.WriteFile(h, b, n, w);
  }
  std::uint64_t GetFileSize(Handle h) override { return in_.GetFileSize(h); }
  std::uint64_t SetFilePointer(Handle h, std::int64_t d, std::uint32_t m) override { return in_.SetFilePointer(h, d, m); }
  bool FlushFileBuffers(Handle h) override { return in_.FlushFileBuffers(h); }
  bool DeleteFileA(const std::string& p) override {
    deletes.push_back(p);
    return in_.DeleteFileA(p);
  }
  bool MoveFileExA(const std::string& from, const std::string& to, std::uint32_t flags) override {
    moves.emplace_back(from, to);
    if (beforeMove) beforeMove(to);
    return in_.MoveFileExA(from, to, flags);
  }
  bool CreateDirectoryA(const std::string& p) override { return in_.CreateDirectoryA(p); }
  bool RemoveDirectoryA(const std::string& p) override { return in_.RemoveDirectoryA(p); }
  Handle FindFirstFileA(const std::string& p, FindData& o) override { return in_.FindFirstFileA(p, o); }
  bool FindNextFileA(Handle h, FindData& o) override { return in_.FindNextFileA(h, o); }
  bool FindClose(Handle h) override { return in_.FindClose(h); }
  std::uint32_t GetFileVersionInfoSizeA(const std::string& p, std::uint32_t* h) override {
    return in_.GetFileVersionInfoSizeA(p, h);
  }
  bool GetFileVersionInfoA(const std::string& p, std::uint32_t h, std::uint32_t n, void* b) override {
    return in_.GetFileVersionInfoA(p, h, n, b);
  }
  bool DeviceIoControl(Handle d, std::uint32_t c, const void* i, std::uint32_t is, void* o, std::uint32_t os,
                       std::uint32_t* r) override {
    return in_.DeviceIoControl(d, c, i, is, o, os, r);
  }

 private:
  FileApi& in_;
};

class DeleteTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    ForgetBlockingHandles();
    m.AddProcess(2000, "C:\\Program Files\\Holder\\holder.exe");
  }
  void TearDown() override {
    // A name query left waiting on a simulated pipe ends once the machine lets it go.
    m.ReleaseBlockedQueries();
    for (int i = 0; i < 500 && PendingNameQueries() > 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(PendingNameQueries(), 0u);
    ForgetBlockingHandles();
    SimTest::TearDown();
  }
  RecordingFiles& Record() {
    recording_ = std::make_unique<RecordingFiles>(*m.platform().files);
    Platform p = m.platform();
    p.files = recording_.get();
    platform::Install(p);
    return *recording_;
  }
  // A handle process `owner` holds on `objectName` (a file's device path), sharing `share`.
  sim::ForeignHandle& Hold(std::uint32_t owner, std::uint16_t value, const std::string& objectName,
                           std::uint32_t share = 0) {
    sim::ForeignHandle h;
    h.ownerPid = owner;
    h.value = value;
    h.type = m.state.fileObjectType;
    h.objectName = objectName;
    h.grantedAccess = 0x12019F;
    h.shareMode = share;
    m.state.handles.push_back(h);
    return m.state.handles.back();
  }
  bool HoldsHandle(std::uint32_t owner, std::uint16_t value) const {
    for (const auto& h : m.state.handles)
      if (h.ownerPid == owner && h.value == value) return true;
    return false;
  }
  std::string PendingRenames() {
    sim::RegKey* k = m.FindKey(kSessionManager);
    if (!k) return "<no key>";
    for (const auto& v : k->values)
      if (v.name == "PendingFileRenameOperations") return std::string(v.data.begin(), v.data.end());
    return "<no value>";
  }
  std::vector<std::string> MessageTexts() const {
    std::vector<std::string> out;
    for (const auto& msg : recorder.messages) out.push_back(msg.text);
    return out;
  }

 private:
  std::unique_ptr<RecordingFiles> recording_;
};

Bytes Filled(std::size_t n, std::uint8_t b) { return Bytes(n, b); }

// ------------------------------------------------------------------ secure delete ----

TEST_F(DeleteTest, WipeWritesThreePassesInBlocksOfAtMostAMillionBytes) {
  struct Case {
    std::size_t size;
    std::vector<std::uint32_t> blocksPerPass;
  };
  const std::vector<Case> cases = {{0, {}}, {1, {1}}, {1000000, {1000000}}, {1000001, {1000000, 1}},
                                   {2500000, {1000000, 1000000, 500000}}};
  const std::regex tmpName(R"(C:\\data\\(\d+)\.tmp)");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    m.AddFile("C:\\data\\secret.doc", fattr::Archive, Filled(c.size, 0xAB));
    RecordingFiles& rec = Record();
    EXPECT_EQ(WipeFile("C:\\data\\secret.doc"), 1);

    std::vector<RecordingFiles::Write> expected;
    for (int pattern : {0x00, 0x7F, 0x00}) {
      std::uint64_t offset = 0;
      for (std::uint32_t n : c.blocksPerPass) {
        expected.push_back({offset, n, pattern});
        offset += n;
      }
    }
    ASSERT_EQ(rec.writes.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(rec.writes[i].offset, expected[i].offset) << "write " << i;
      EXPECT_EQ(rec.writes[i].size, expected[i].size) << "write " << i;
      EXPECT_EQ(rec.writes[i].pattern, expected[i].pattern) << "write " << i;
    }
    // Even an empty file is renamed to "<n>.tmp" in its own folder, and that name is deleted.
    ASSERT_EQ(rec.moves.size(), 1u);
    EXPECT_EQ(rec.moves[0].first, "C:\\data\\secret.doc");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(rec.moves[0].second, match, tmpName)) << rec.moves[0].second;
    EXPECT_LE(std::stol(match[1]), 10000000L);
    EXPECT_EQ(rec.deletes, std::vector<std::string>{rec.moves[0].second});
    EXPECT_EQ(m.FindFile("C:\\data\\secret.doc"), nullptr);
    EXPECT_EQ(m.FindFile(rec.moves[0].second), nullptr);
  }
}

TEST_F(DeleteTest, FailedWipesLeaveTheFileAndNeverDeleteAnotherOne) {
  // The random name is taken already: the rename fails and that other file survives.
  m.AddFile("C:\\data\\a.doc", fattr::Archive, Filled(10, 0xAB));
  RecordingFiles& rec = Record();
  rec.beforeMove = [this](const std::string& to) {
    if (!m.FindFile(to)) m.AddFile(to, fattr::Archive, Filled(3, 'k'));
  };
  EXPECT_EQ(WipeFile("C:\\data\\a.doc"), 0);
  ASSERT_EQ(rec.moves.size(), 1u);
  ASSERT_NE(m.FindFile(rec.moves[0].second), nullptr);
  EXPECT_EQ(m.FindFile(rec.moves[0].second)->contents, Filled(3, 'k'));
  ASSERT_NE(m.FindFile("C:\\data\\a.doc"), nullptr);
  EXPECT_EQ(m.FindFile("C:\\data\\a.doc")->contents, Filled(10, 0x00));  // overwritten, still there
  EXPECT_TRUE(rec.deletes.empty());

  // Another process holds it without sharing: nothing can be overwritten, so nothing is deleted.
  m.AddFile("C:\\data\\held.doc", fattr::Archive, Filled(10, 0xAB));
  Hold(2000, 0x40, "\\Device\\HarddiskVolume1\\data\\held.doc");
  EXPECT_EQ(WipeFile("C:\\data\\held.doc"), 0);
  EXPECT_EQ(m.FindFile("C:\\data\\held.doc")->contents, Filled(10, 0xAB));

  // A folder is not a file to wipe: it keeps its name.
  m.AddFile("C:\\data\\folder", fattr::Directory);
  m.AddFile("C:\\data\\folder\\inside.txt");
  EXPECT_EQ(WipeFile("C:\\data\\folder"), 0);
  EXPECT_NE(m.FindFile("C:\\data\\folder\\inside.txt"), nullptr);
  EXPECT_EQ(WipeFile("C:\\data\\missing.doc"), 0);
}

// -------------------------------------------------------------------- the modes ----

TEST_F(DeleteTest, ReadOnlyFilesInEveryMode) {
  struct Case {
    int mode;
    bool stays;  // a reboot delete only schedules it
  };
  for (const Case& c : {Case{kNormalDelete, false}, Case{kSecureDelete, false}, Case{kRebootDelete, true},
                        Case{kForceDelete, false}}) {
    SCOPED_TRACE(c.mode);
    m.AddFile("C:\\data\\ro.txt", fattr::ReadOnly | fattr::Hidden, Filled(5, 'x'));
    std::string path = "C:\\data\\ro.txt";
    EXPECT_EQ(DeleteFileByMode(path, c.mode, true), 1);
    EXPECT_EQ(m.FindFile("C:\\data\\ro.txt") != nullptr, c.stays);
    EXPECT_TRUE(recorder.messages.empty()) << recorder.messages.front().text;
    if (c.stays) {
      // Attributes are not touched; the session manager deletes it at the restart.
      EXPECT_EQ(m.FindFile("C:\\data\\ro.txt")->attributes, fattr::ReadOnly | fattr::Hidden);
      EXPECT_EQ(PendingRenames(), "\\??\\C:\\data\\ro.txt\0\0\0"s);
      m.state.files.clear();
    }
  }
}

TEST_F(DeleteTest, FailuresShowTheDeleteFileMessage) {
  struct Case {
    int mode;
    std::vector<std::string> messages;
  };
  m.AddFile("C:\\data\\other.txt");
  const std::vector<Case> cases = {
      {kNormalDelete, {"Delete file :C:\\data\\missing.txt error!"}},
      {kSecureDelete, {"Delete file :C:\\data\\missing.txt error!"}},
      {kRebootDelete, {"Delete file :C:\\data\\missing.txt error!"}},
      {kForceDelete, {"Can't found file", "Delete file :C:\\data\\missing.txt error!"}},
      {7, {"Delete file :C:\\data\\missing.txt error!"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    recorder.messages.clear();
    std::string path = "C:\\data\\missing.txt";
    EXPECT_EQ(DeleteFileByMode(path, c.mode, true), 0);
    EXPECT_EQ(MessageTexts(), c.messages);
    for (const auto& msg : recorder.messages) {
      EXPECT_EQ(msg.title, "Tolvexa");
      EXPECT_EQ(msg.flags, ui::mb::IconExclamation);
    }
  }
  // A missing file is never recorded for deletion at the restart.
  EXPECT_EQ(PendingRenames(), "<no key>");
  // The machine itself refuses it, as Windows does.
  EXPECT_FALSE(platform::Files().MoveFileExA("C:\\data\\missing.txt", "", 4));
  EXPECT_EQ(platform::Sys().GetLastError(), 2u);
  EXPECT_FALSE(platform::Files().MoveFileExA("C:\\nowhere\\missing.txt", "", 4));
  EXPECT_EQ(platform::Sys().GetLastError(), 3u);

  // An empty path gives 0 at once, silently; without the flag nothing is shown either.
  recorder.messages.clear();
  std::string empty;
  EXPECT_EQ(DeleteFileByMode(empty, kNormalDelete, true), 0);
  std::string missing = "C:\\data\\missing.txt";
  EXPECT_EQ(DeleteFileByMode(missing, kForceDelete, false), 0);
  EXPECT_TRUE(recorder.messages.empty());
}

// -------------------------------------------------------------- force delete ----

TEST_F(DeleteTest, ForceDeleteClosesTheHandlesOtherProcessesHoldOnTheFile) {
  m.AddFile("C:\\Data\\Locked.exe", fattr::System, Filled(8, 'e'));
  m.AddFile("C:\\data\\other.txt");
  m.AddProcess(2100, "C:\\Program Files\\Holder\\second.exe");
  // The same file under the names a system may report, a handle that shares everything, a
  // handle on another file, and a pipe whose name query never returns.
  sim::ForeignHandle& pipe = Hold(2100, 0x10, "\\Device\\NamedPipe\\stuck", 7);
  pipe.nameQueryBlocks = true;
  Hold(2000, 0x40, "\\Device\\HarddiskVolume1\\Data\\Locked.exe");
  Hold(2000, 0x44, "\\Device\\HarddiskVolume1\\data\\other.txt");
  Hold(2100, 0x48, "\\??\\c:\\DATA\\locked.EXE", 1);
  Hold(2100, 0x4C, "\\Device\\HarddiskVolume1\\data\\locked.exe", 7);

  std::string path = "C:\\Data\\Locked.exe";
  EXPECT_EQ(DeleteFileByMode(path, kNormalDelete, true), 0);
  EXPECT_EQ(platform::Sys().GetLastError(), 32u);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Delete file :C:\\Data\\Locked.exe error!"});

  recorder.messages.clear();
  EXPECT_EQ(DeleteFileByMode(path, kForceDelete, true), 1);
  EXPECT_EQ(path, "C:\\Data\\Locked.exe");  // no driver: the path keeps its form
  EXPECT_TRUE(recorder.messages.empty());
  EXPECT_EQ(m.FindFile("C:\\Data\\Locked.exe"), nullptr);
  EXPECT_FALSE(HoldsHandle(2000, 0x40));
  EXPECT_FALSE(HoldsHandle(2100, 0x48));
  EXPECT_FALSE(HoldsHandle(2100, 0x4C));
  EXPECT_TRUE(HoldsHandle(2000, 0x44));  // other files keep their handles
  EXPECT_TRUE(HoldsHandle(2100, 0x10));
  EXPECT_NE(m.FindFile("C:\\data\\other.txt"), nullptr);
  EXPECT_EQ(m.BlockedQueryCount(), 1u);  // the pipe was skipped after its time limit
  EXPECT_EQ(m.FindProcess(2000)->alive, true);
}

TEST_F(DeleteTest, ForceDeleteThatCannotRemoveTheFileFails) {
  // The holder cannot be opened by any route, so its handle stays and so does the file.
  m.FindProcess(2000)->protection = sim::Protection::DenyAll;
  m.AddFile("C:\\data\\locked.dll", fattr::Archive, Filled(4, 'd'));
  Hold(2000, 0x40, "\\Device\\HarddiskVolume1\\data\\locked.dll");
  std::string path = "C:\\data\\locked.dll";
  EXPECT_EQ(DeleteFileByMode(path, kForceDelete, true), 0);
  EXPECT_NE(m.FindFile("C:\\data\\locked.dll"), nullptr);
  EXPECT_TRUE(HoldsHandle(2000, 0x40));
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Delete file :C:\\data\\locked.dll error!"});

  // A file the system refuses to delete at all (no handle to close).
  m.AddFile("C:\\data\\denied.sys").denyOpen = true;
  recorder.messages.clear();
  std::string denied = "C:\\data\\denied.sys";
  EXPECT_EQ(ForceDeleteFile(denied, true), 0);
  EXPECT_NE(m.FindFile("C:\\data\\denied.sys"), nullptr);
  EXPECT_TRUE(recorder.messages.empty());  // the caller shows its own message

  // A folder cannot be deleted this way: the handles other processes hold on it stay open.
  m.AddFile("C:\\data\\work", fattr::Directory);
  m.AddProcess(2100, "C:\\WINDOWS\\explorer.exe");
  Hold(2100, 0x40, "\\Device\\HarddiskVolume1\\data\\work", 7);
  std::string folder = "C:\\data\\work";
  EXPECT_EQ(ForceDeleteFile(folder, true), 0);
  EXPECT_TRUE(HoldsHandle(2100, 0x40));
}

TEST_F(DeleteTest, ForceDeleteSendsTheDriverRequestWhenItsDeviceIsOpen) {
  sim::Device& device = m.AddDevice("\\\\.\\tolvexa");
  ClsDriver& driver = CompanionDriver();
  driver.szDrvLinkName = "\\\\.\\tolvexa";
  ASSERT_TRUE(driver.OpenDrv());
  m.AddFile("C:\\data\\locked.sys", fattr::ReadOnly);
  Hold(2000, 0x40, "\\Device\\HarddiskVolume1\\data\\locked.sys");

  std::string path = "C:\\data\\locked.sys";
  const int result = ForceDeleteFile(path, true);
  ASSERT_EQ(device.requests.size(), 1u);
  EXPECT_EQ(device.requests[0].code, 0x220D80u);
  EXPECT_EQ(device.requests[0].input.size(), kPtrSize);  // the address of the UTF-16 path
  EXPECT_EQ(device.requests[0].outSize, 1u);
  EXPECT_EQ(path, "\\??\\C:\\data\\locked.sys");
  // This device deletes nothing: the file went only because its holder's handle was closed.
  EXPECT_EQ(result, 1);
  EXPECT_EQ(m.FindFile("C:\\data\\locked.sys"), nullptr);
  EXPECT_FALSE(HoldsHandle(2000, 0x40));
  driver.DelDrv();
  driver.szDrvLinkName.clear();
}

TEST_F(DeleteTest, MachineLocksAHeldFileUntilItsLastHandleCloses) {
  m.AddFile("C:\\data\\x.txt", fattr::Archive, Filled(3, 'x'));
  Hold(2000, 0x40, "\\Device\\HarddiskVolume1\\data\\x.txt", 1);  // shares reading only
  auto& files = platform::Files();
  auto& sys = platform::Sys();
  EXPECT_FALSE(files.DeleteFileA("C:\\data\\x.txt"));
  EXPECT_EQ(sys.GetLastError(), 32u);
  EXPECT_FALSE(files.MoveFileExA("C:\\data", "C:\\moved", 0));  // nor its folder renamed
  EXPECT_EQ(sys.GetLastError(), 32u);
  EXPECT_EQ(files.CreateFileA("C:\\data\\x.txt", access::GenericWrite, 7, 3, 0), kInvalidHandle);
  Handle reader = files.CreateFileA("C:\\data\\x.txt", access::GenericRead, 7, 3, 0);
  EXPECT_NE(reader, kInvalidHandle);
  sys.CloseHandle(reader);
  EXPECT_TRUE(files.SetFileAttributesA("C:\\data\\x.txt", fattr::ReadOnly));
  EXPECT_TRUE(files.MoveFileExA("C:\\data\\x.txt", "", 4));  // a reboot delete is recorded all the same
  EXPECT_TRUE(files.SetFileAttributesA("C:\\data\\x.txt", 0));

  // Our duplicate of the handle is the same file object: closing only the source is not enough.
  Handle owner = OpenProcessByForce(access::ProcessDupHandle, false, 2000);
  ASSERT_NE(owner, kNullHandle);
  Handle copy = kNullHandle;
  ASSERT_TRUE(platform::Processes().DuplicateHandle(owner, 0x40, kCurrentProcess, &copy, 0, false, 1 | 2));
  EXPECT_FALSE(HoldsHandle(2000, 0x40));
  EXPECT_FALSE(files.DeleteFileA("C:\\data\\x.txt"));
  EXPECT_EQ(sys.GetLastError(), 32u);
  sys.CloseHandle(copy);
  sys.CloseHandle(owner);
  EXPECT_TRUE(files.DeleteFileA("C:\\data\\x.txt"));
}

// ----------------------------------------------------------- open-file dialog ----

TEST_F(DeleteTest, OpenFileNamesOfOneFileAndOfAMultiSelection) {
  struct Case {
    std::string text, directory;
    std::vector<std::string> names;
  };
  const std::vector<Case> cases = {
      {"C:\\data\\one.exe", "C:\\data\\", {"one.exe"}},
      {"  C:\\data\\one.exe  ", "C:\\data\\", {"one.exe"}},
      {"C:\\data\\one.exe\0\0\0\0\0\0"s, "C:\\data\\", {"one.exe"}},  // the rest of the buffer
      {"C:\\data\0a.exe\0b b.dll\0c.sys\0\0"s, "C:\\data\\", {"a.exe", "b b.dll", "c.sys"}},
      {"C:\\\0x.exe\0y.exe\0\0"s, "C:\\", {"x.exe", "y.exe"}},
  };
  for (const Case& c : cases) {
    OpenFileNames r = ParseOpenFileNames(c.text);
    EXPECT_EQ(r.directory, c.directory) << c.text;
    EXPECT_EQ(r.names, c.names) << c.text;
    EXPECT_EQ(r.count(), c.names.size());
  }
  EXPECT_TRUE(recorder.messages.empty());

  // What cannot be split shows the message and gives what was split before.
  const std::vector<Case> faults = {
      {"one.exe", "", {}},
      {"C:\\data\\", "", {}},
      {"C:\\data\0a.exe\0b.e"s, "C:\\data\\", {"a.exe"}},  // the list is cut
  };
  for (const Case& c : faults) {
    recorder.messages.clear();
    OpenFileNames r = ParseOpenFileNames(c.text);
    EXPECT_EQ(r.directory, c.directory) << c.text;
    EXPECT_EQ(r.names, c.names) << c.text;
    ASSERT_EQ(recorder.messages.size(), 1u) << c.text;
    EXPECT_EQ(recorder.messages[0].text, "cann't get file");
    EXPECT_EQ(recorder.messages[0].title, "Tolvexa");
    EXPECT_EQ(recorder.messages[0].flags, 0u);
  }
}

// --------------------------------------------------------------- command line ----

struct CliRun {
  int code;
  std::string out, err;
};

CliRun Cli(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  int code = RunCli(args, out, err);
  return {code, out.str(), err.str()};
}

TEST_F(DeleteTest, CommandLineDeletesEachPathAndPrintsItsResult) {
  m.AddFile("C:\\data\\a.txt");
  m.AddFile("C:\\data\\b.txt", fattr::ReadOnly, Filled(20, 'b'));
  m.AddFile("C:\\data\\c.txt");
  m.AddFile("C:\\data\\locked.txt");
  Hold(2000, 0x40, "\\Device\\HarddiskVolume1\\data\\locked.txt");

  CliRun r = Cli({"--delete", "normal", "C:\\data\\a.txt", "C:\\data\\missing.txt", "C:\\data\\locked.txt"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "deleted\tC:\\data\\a.txt\nfailed\tC:\\data\\missing.txt\nfailed\tC:\\data\\locked.txt\n");
  EXPECT_EQ(r.err,
            "tolvexa: Delete file :C:\\data\\missing.txt error!\n"
            "tolvexa: Delete file :C:\\data\\locked.txt error!\n");
  EXPECT_TRUE(recorder.messages.empty());  // printed, not shown

  r = Cli({"--delete", "Secure", "C:\\data\\b.txt"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "deleted\tC:\\data\\b.txt\n");
  EXPECT_EQ(m.FindFile("C:\\data\\b.txt"), nullptr);

  r = Cli({"/delete", "reboot", "C:\\data\\c.txt"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "scheduled\tC:\\data\\c.txt\n");
  EXPECT_EQ(PendingRenames(), "\\??\\C:\\data\\c.txt\0\0\0"s);

  r = Cli({"--delete", "force", "C:\\data\\locked.txt", "C:\\data\\missing.txt"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "deleted\tC:\\data\\locked.txt\nfailed\tC:\\data\\missing.txt\n");
  EXPECT_EQ(r.err, "tolvexa: Can't found file\ntolvexa: Delete file :C:\\data\\missing.txt error!\n");
  EXPECT_EQ(m.FindFile("C:\\data\\locked.txt"), nullptr);
}

TEST_F(DeleteTest, CommandLineRefusesBadInputAndChangesNothing) {
  m.AddFile("C:\\data\\a.txt");
  const std::vector<std::vector<std::string>> cases = {
      {"--delete"},
      {"--delete", "normal"},
      {"--delete", "wipe", "C:\\data\\a.txt"},
      {"--delete", "C:\\data\\a.txt"},
      {"--delete", "normal", "C:\\data\\a.txt", ""},
      {"--delete", "normal", "C:\\data\\a.txt", "--info"},
      {"--delete", "normal", "C:\\data\\a.txt", "--force"},
  };
  for (const auto& args : cases) {
    CliRun r = Cli(args);
    EXPECT_EQ(r.code, 2) << ::testing::PrintToString(args);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_NE(m.FindFile("C:\\data\\a.txt"), nullptr);
  EXPECT_EQ(m.CallCount("DeleteFileA"), 0u);
  EXPECT_NE(Cli({"--help"}).out.find("--delete"), std::string::npos);
}

TEST(DeleteDefaultMachine, TheRootkitHoldsItsImageAgainstANormalDelete) {
  auto machine = sim::DefaultMachine();
  platform::Install(machine->platform());
  InitFolders();
  const std::string image = "C:\\WINDOWS\\system32\\svch0st.exe";
  CliRun r = Cli({"--delete", "normal", image});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "failed\t" + image + "\n");
  r = Cli({"--delete", "force", image});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "deleted\t" + image + "\n");
  EXPECT_EQ(machine->FindFile(image), nullptr);
  // The scan met the machine's stuck pipe on the way; let its query end before the machine goes.
  machine->ReleaseBlockedQueries();
  for (int i = 0; i < 500 && PendingNameQueries() > 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(PendingNameQueries(), 0u);
  EXPECT_EQ(machine->OpenHandleCount(), 0u) << ::testing::PrintToString(machine->OpenHandleKinds());
  ForgetBlockingHandles();
  platform::Install(Platform{});
}

}  // namespace
}  // namespace tv
