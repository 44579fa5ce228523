#include "tests/support/small_disk.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
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

// One private mount namespace per process: mounts made here never reach the
// rest of the machine and vanish with the process.
bool EnterPrivateMountNamespace(std::string* whyNot) {
  static int result = -1;
  static std::string reason;
  if (result < 0) {
    if (::unshare(CLONE_NEWNS) != 0) {
      reason = std::string("cannot make a private mount namespace: ") + std::strerror(errno);
      result = 0;
    } else if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
      reason = std::string("cannot make mounts private: ") + std::strerror(errno);
      result = 0;
    } else {
      result = 1;
    }
  }
  if (!result && whyNot) *whyNot = reason;
  return result == 1;
}

}  // namespace

std::unique_ptr<SmallDisk> SmallDisk::Mount(std::size_t bytes, std::string* whyNot) {
  if (!EnterPrivateMountNamespace(whyNot)) return nullptr;
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
