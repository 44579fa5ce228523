#pragma once
// Real disk faults for tests: a small tmpfs mounted in a private mount
// namespace of the test process, so writes meet a genuinely full disk or a
// read-only folder. Mounting needs root, which CI is; elsewhere Mount returns
// null with the reason, and the test skips with it.
//
// A mount namespace belongs to a thread, not to the process: unshare moves
// only the thread that calls it, and a thread left outside would write to the
// real folder under the mount. So a program that links this enters its private
// namespace as it starts, before main, while its one thread is the only one
// (it checks that), and every thread started afterwards, by a test, Qt,
// libcurl or a thread pool, is in it from birth, whenever that is. Mount
// checks that every thread of the process is in the caller's namespace and
// refuses, naming the thread, when one is not (one that unshared its own, say),
// or when the namespace could not be made at start.
#include <cstddef>
#include <memory>
#include <string>

namespace test_support {

class SmallDisk {
 public:
  // Mounts a tmpfs of `bytes` (rounded to pages) on a new folder under /tmp.
  static std::unique_ptr<SmallDisk> Mount(std::size_t bytes, std::string* whyNot);
  ~SmallDisk();

  const std::string& Path() const { return path_; }
  // The unit the disk counts its space in: a page, on tmpfs.
  std::size_t PageBytes() const;
  // Fills the disk with a ballast file until exactly `leaveFree` bytes are
  // free. False when that is not reached, and for a `leaveFree` that is not a
  // whole number of pages: the disk could only leave less.
  bool Fill(std::size_t leaveFree = 0);
  // Removes the ballast again.
  void Unfill();
  // Makes the whole mount read-only (or writable again).
  bool SetReadOnly(bool readOnly);
  std::size_t FreeBytes() const;

 private:
  explicit SmallDisk(std::string path, std::size_t bytes) : path_(std::move(path)), bytes_(bytes) {}
  std::string path_;
  std::size_t bytes_;
};

// While it lives, the calling thread works without the capabilities that let
// root write where permissions forbid it, so a folder's mode 0555 holds even
// for a test that runs as root. Threads created meanwhile inherit the lack.
class WithoutFileOverride {
 public:
  WithoutFileOverride();
  ~WithoutFileOverride();
  WithoutFileOverride(const WithoutFileOverride&) = delete;
  WithoutFileOverride& operator=(const WithoutFileOverride&) = delete;

 private:
  unsigned saved_[2] = {0, 0};
  bool changed_ = false;
};

}  // namespace test_support
