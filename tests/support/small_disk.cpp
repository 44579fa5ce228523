#include "tests/support/small_disk.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace test_support {
namespace {

std::string Ballast(const std::string& path) { return path + "/.ballast"; }

// The ids of the process's threads, as /proc lists them.
std::vector<std::string> ThreadIds() {
  std::vector<std::string> ids;
  if (DIR* dir = ::opendir("/proc/self/task")) {
    while (const dirent* entry = ::readdir(dir))
      if (entry->d_name[0] != '.') ids.emplace_back(entry->d_name);
    ::closedir(dir);
  }
  return ids;
}

// Which mount namespace the link names ("mnt:[4026531841]"); empty when it
// cannot be read (a thread that has just ended).
std::string MountNamespaceOf(const std::string& nsLink) {
  char target[64] = {};
  const ssize_t n = ::readlink(nsLink.c_str(), target, sizeof target - 1);
  return n > 0 ? std::string(target, std::size_t(n)) : std::string();
}

// A thread's name, for the reason a mount is refused.
std::string ThreadName(const std::string& tid) {
  std::string name;
  if (FILE* f = std::fopen(("/proc/self/task/" + tid + "/comm").c_str(), "re")) {
    char line[64] = {};
    if (std::fgets(line, sizeof line, f)) name = line;
    std::fclose(f);
  }
  while (!name.empty() && name.back() == '\n') name.pop_back();
  return name;
}

// One private mount namespace per process, entered while the process has a
// single thread: unshare moves only the calling thread, so every thread that
// exists at that moment besides it would stay behind and keep seeing the real
// folders under the mounts. Threads started later are born in it.
struct PrivateNamespace {
  bool entered = false;
  std::string whyNot;
};

PrivateNamespace EnterPrivateMountNamespace() {
  PrivateNamespace ns;
  const std::size_t threads = ThreadIds().size();
  if (threads != 1) {
    ns.whyNot = "the process had " + std::to_string(threads) +
                " threads when its private mount namespace was to be made; it must be made before any thread starts";
  } else if (::unshare(CLONE_NEWNS) != 0) {
    ns.whyNot = std::string("cannot make a private mount namespace: ") + std::strerror(errno);
  } else if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    ns.whyNot = std::string("cannot make mounts private: ") + std::strerror(errno);
  } else {
    ns.entered = true;
  }
  return ns;
}

const PrivateNamespace& Namespace() {
  static const PrivateNamespace ns = EnterPrivateMountNamespace();
  return ns;
}

// Made as the program starts, before main and so before any test, Qt or
// libcurl has started a thread.
[[maybe_unused]] const bool kNamespaceAtStart = (Namespace(), true);

// True when every thread of the process is in the caller's mount namespace,
// so a mount the caller makes is what each of them sees; else false, naming
// a thread that is not.
bool EveryThreadSeesOurMounts(std::string* whyNot) {
  const std::string ours = MountNamespaceOf("/proc/thread-self/ns/mnt");
  if (ours.empty()) {
    if (whyNot) *whyNot = "cannot read the mount namespace of the calling thread";
    return false;
  }
  for (const std::string& tid : ThreadIds()) {
    const std::string theirs = MountNamespaceOf("/proc/self/task/" + tid + "/ns/mnt");
    if (theirs.empty() || theirs == ours) continue;
    if (whyNot)
      *whyNot = "thread " + tid + " (" + ThreadName(tid) + ") is in another mount namespace (" + theirs + ", not " +
                ours + "): it would write to the real folder under the small disk";
    return false;
  }
  return true;
}

}  // namespace

std::unique_ptr<SmallDisk> SmallDisk::Mount(std::size_t bytes, std::string* whyNot) {
  if (!Namespace().entered) {
    if (whyNot) *whyNot = Namespace().whyNot;
    return nullptr;
  }
  if (!EveryThreadSeesOurMounts(whyNot)) return nullptr;
  char pattern[] = "/tmp/tarnwell-small-disk-XXXXXX";
  if (!::mkdtemp(pattern)) {
    if (whyNot) *whyNot = std::string("mkdtemp: ") + std::strerror(errno);
    return nullptr;
  }
  const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
  if (::mount("tarnwell-test", pattern, "tmpfs", 0, options.c_str()) != 0) {
    if (whyNot) *whyNot = std::string("cannot mount a tmpfs: ") + std::strerror(errno);
    ::rmdir(pattern);
    return nullptr;
  }
  return std::unique_ptr<SmallDisk>(new SmallDisk(pattern, bytes));
}

SmallDisk::~SmallDisk() {
  ::umount2(path_.c_str(), MNT_DETACH);
  ::rmdir(path_.c_str());
}

std::size_t SmallDisk::FreeBytes() const {
  struct statvfs st {};
  if (::statvfs(path_.c_str(), &st) != 0) return 0;
  return std::size_t(st.f_bavail) * st.f_frsize;
}

std::size_t SmallDisk::PageBytes() const {
  struct statvfs st {};
  if (::statvfs(path_.c_str(), &st) != 0) return 0;
  return std::size_t(st.f_frsize);
}

bool SmallDisk::Fill(std::size_t leaveFree) {
  const std::size_t page = PageBytes();
  if (page == 0 || leaveFree % page != 0) return false;
  const int fd = ::open(Ballast(path_).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  // Whole pages at a time: a part of one takes the whole page all the same.
  std::vector<char> block(page, 'B');
  while (FreeBytes() > leaveFree) {
    if (::write(fd, block.data(), block.size()) <= 0) break;
  }
  ::close(fd);
  return FreeBytes() == leaveFree;
}

void SmallDisk::Unfill() { ::unlink(Ballast(path_).c_str()); }

bool SmallDisk::SetReadOnly(bool readOnly) {
  const unsigned long flags = MS_REMOUNT | (readOnly ? MS_RDONLY : 0);
  const std::string options = "size=" + std::to_string(bytes_);
  return ::mount("tarnwell-test", path_.c_str(), "tmpfs", flags, options.c_str()) == 0;
}

namespace {

constexpr unsigned kOverrides = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER);

bool GetCaps(__user_cap_data_struct data[2]) {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  return ::syscall(SYS_capget, &header, data) == 0;
}

bool SetCaps(__user_cap_data_struct data[2]) {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  return ::syscall(SYS_capset, &header, data) == 0;
}

}  // namespace

WithoutFileOverride::WithoutFileOverride() {
  __user_cap_data_struct data[2]{};
  if (!GetCaps(data)) return;
  saved_[0] = data[0].effective;
  saved_[1] = data[1].effective;
  data[0].effective &= ~kOverrides;
  changed_ = SetCaps(data);
}

WithoutFileOverride::~WithoutFileOverride() {
  if (!changed_) return;
  __user_cap_data_struct data[2]{};
  if (!GetCaps(data)) return;
  data[0].effective = saved_[0];
  data[1].effective = saved_[1];
  SetCaps(data);
}

}  // namespace test_support
