// Object names of handles, the time-limited query and the handles known to block it.
#include "base/object_names.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "base/platform_ops.h"
#include "base/record_text.h"
#include "platform/api.h"

namespace tv {
namespace {

constexpr std::uint32_t kNameBufferStep = 4096;
constexpr std::uint32_t kNameBufferLimit = 16 * kNameBufferStep;  // names are at most 64 KiB

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::atomic<std::size_t> g_pendingQueries{0};

struct NameQueryState {
  std::mutex m;
  std::condition_variable cv;
  bool hasJob = false, done = false, abandoned = false;
  Handle handle = 0;
  std::string result;
};

// One worker thread that answers name queries one at a time. When a query outlives its time
// limit the worker is abandoned: it finishes that query whenever it returns, closes the
// handle it was given and ends; the next query starts a fresh worker.
class NameQueryWorker {
 public:
  NameQueryWorker() : state_(std::make_shared<NameQueryState>()) {
    std::thread([s = state_] { Run(s); }).detach();
  }
  ~NameQueryWorker() {
    std::lock_guard<std::mutex> lock(state_->m);
    if (!state_->abandoned) {
      state_->abandoned = true;  // idle: tell it to end
      state_->cv.notify_all();
    }
  }
  NameQueryWorker(const NameQueryWorker&) = delete;
  NameQueryWorker& operator=(const NameQueryWorker&) = delete;

  // true with `name` set when the query came back in time.
  bool Query(Handle h, std::uint32_t timeoutMs, std::string& name) {
    std::unique_lock<std::mutex> lock(state_->m);
    state_->handle = h;
    state_->done = false;
    state_->hasJob = true;
    state_->cv.notify_all();
    if (!state_->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return state_->done; })) {
      state_->abandoned = true;
      ++g_pendingQueries;
      return false;
    }
    name = std::move(state_->result);
    return true;
  }
  bool Abandoned() {
    std::lock_guard<std::mutex> lock(state_->m);
    return state_->abandoned;
  }

 private:
  static void Run(std::shared_ptr<NameQueryState> s) {
    for (;;) {
      Handle h = 0;
      {
        std::unique_lock<std::mutex> lock(s->m);
        s->cv.wait(lock, [&] { return s->hasJob || s->abandoned; });
        if (!s->hasJob) return;  // idle and told to end
        h = s->handle;
      }
      std::string name = GetHandleObjectName(h);
      std::lock_guard<std::mutex> lock(s->m);
      s->hasJob = false;
      if (s->abandoned) {
        // The caller has given up on this query and left the handle to us.
        CloseHandleEx(h);
        --g_pendingQueries;
        return;
      }
      s->result = std::move(name);
      s->done = true;
      s->cv.notify_all();
    }
  }

  std::shared_ptr<NameQueryState> state_;
};

std::unique_ptr<NameQueryWorker>& Worker() {
  static std::unique_ptr<NameQueryWorker> worker;
  return worker;
}

// Handles whose name query once outlived its time limit (see IsKnownBlockingHandle).
struct BlockingSet {
  std::set<std::pair<std::uint32_t, std::uint16_t>> handles;
  std::set<std::uintptr_t> objects;
  bool Contains(std::uint32_t owner, const layout::SystemHandleEntry& e) const {
    return handles.count({owner, e.HandleValue}) > 0 || (e.Object != 0 && objects.count(e.Object) > 0);
  }
};
BlockingSet& BlockingHandles() {
  static BlockingSet set;
  return set;
}

}  // namespace

std::string Utf16LeToUtf8(const std::uint8_t* p, std::size_t units) {
  std::string out;
  for (std::size_t i = 0; i < units; ++i) {
    std::uint32_t c = p[2 * i] | (p[2 * i + 1] << 8);
    if (c == 0) break;
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units) {
      std::uint32_t d = p[2 * i + 2] | (p[2 * i + 3] << 8);
      if (d >= 0xDC00 && d <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (d - 0xDC00);
        ++i;
      }
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string GetHandleObjectName(Handle h) {
  std::vector<std::uint8_t> buf(kNameBufferStep, 0);
  NTSTATUS s = 0;
  for (;;) {
    std::uint32_t got = 0;
    s = platform::Nt().NtQueryObject(h, objinfo::Name, buf.data(), static_cast<std::uint32_t>(buf.size()), &got);
    if (s != status::InfoLengthMismatch || buf.size() >= kNameBufferLimit) break;
    buf.assign(buf.size() + kNameBufferStep, 0);
  }
  if (!NtSuccess(s)) return "";
  layout::UnicodeStringHeader header{};
  std::memcpy(&header, buf.data(), sizeof(header));
  const std::size_t room = (buf.size() - layout::kObjectNameHeaderSize) / 2;
  const std::size_t units = std::min<std::size_t>(header.Length / 2, room);
  std::string name = Utf16LeToUtf8(buf.data() + layout::kObjectNameHeaderSize, units);

  const std::string low = Lower(name);
  auto& sys = platform::Sys();
  for (const std::string& root : sys.GetLogicalDriveStringsA()) {
    if (TrimBlanks(root).empty() || root.size() < 2) continue;
    const std::string drive = root.substr(0, 2);
    const std::string device = Lower(CutAtFirstNul(sys.QueryDosDeviceA(drive)));
    if (device.empty() || low.compare(0, device.size(), device) != 0) continue;
    // The device name must end where a path component ends: "\device\harddiskvolume1" is no
    // prefix of "\device\harddiskvolume10\x".
    if (low.size() > device.size() && low[device.size()] != '\\') continue;
    return drive + name.substr(device.size());
  }
  return name;
}

std::optional<std::string> GetHandleObjectNameTimed(Handle h, std::uint32_t timeoutMs) {
  auto& worker = Worker();
  if (!worker || worker->Abandoned()) worker = std::make_unique<NameQueryWorker>();
  std::string name;
  if (!worker->Query(h, timeoutMs, name)) {
    worker.reset();
    return std::nullopt;
  }
  return name;
}

std::size_t PendingNameQueries() { return g_pendingQueries.load(); }
std::size_t KnownBlockingObjects() { return BlockingHandles().objects.size(); }
void ForgetBlockingHandles() {
  BlockingHandles().handles.clear();
  BlockingHandles().objects.clear();
}


bool IsKnownBlockingHandle(std::uint32_t owner, const layout::SystemHandleEntry& e) {
  return BlockingHandles().Contains(owner, e);
}

void RememberBlockingHandle(std::uint32_t owner, const layout::SystemHandleEntry& e, Handle dup) {
  const std::uint32_t self = platform::Sys().GetCurrentProcessId();
  BlockingHandles().handles.insert({owner, e.HandleValue});
  BlockingHandles().handles.insert({self, static_cast<std::uint16_t>(dup)});
  if (e.Object != 0) BlockingHandles().objects.insert(e.Object);
}

}  // namespace tv
