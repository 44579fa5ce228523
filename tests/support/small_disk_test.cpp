// The small disk itself: every thread of the test writes to it, whenever the
// thread started, and it leaves exactly the free space a test asks for.
#include <gtest/gtest.h>

#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <sched.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "tests/support/small_disk.h"

using test_support::SmallDisk;

namespace {

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

dev_t DeviceOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_dev : 0;
}

}  // namespace

// A writer that was running before the disk was mounted (a thread pool, a
// download thread) must write into the small disk, not the folder beneath it.
TEST(SmallDisk, AThreadStartedBeforeTheMountWritesIntoTheSmallDisk) {
  std::mutex mu;
  std::condition_variable cv;
  bool go = false;
  std::string folder;
  bool wrote = false;
  dev_t seenDevice = 0;
  std::thread writer([&] {
    std::unique_lock<std::mutex> lock(mu);
    cv.wait(lock, [&] { return go; });
    if (folder.empty()) return;
    const int fd = ::open((folder + "/from-the-thread").c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    wrote = fd >= 0 && ::write(fd, "x", 1) == 1;
    if (fd >= 0) ::close(fd);
    seenDevice = DeviceOf(folder);
  });

  std::string why;
  auto disk = SmallDisk::Mount(64 * 1024, &why);
  {
    std::lock_guard<std::mutex> lock(mu);
    folder = disk ? disk->Path() : std::string();
    go = true;
  }
  cv.notify_all();
  writer.join();
  if (!disk && ::geteuid() != 0) GTEST_SKIP() << why;
  ASSERT_TRUE(disk) << why;

  EXPECT_TRUE(wrote);
  EXPECT_EQ(seenDevice, DeviceOf(folder)) << "the thread saw the real folder, not the small disk";
  EXPECT_TRUE(Exists(folder + "/from-the-thread"));
  disk.reset();
  // The folder goes with the disk only when nothing was written beneath it.
  EXPECT_FALSE(Exists(folder));
  ::unlink((folder + "/from-the-thread").c_str());
  ::rmdir(folder.c_str());
}

// A thread in a mount namespace of its own would not see the mount at all:
// the mount is refused, naming the thread, rather than half made.
TEST(SmallDisk, AThreadInAnotherMountNamespaceMakesTheMountRefuse) {
  std::mutex mu;
  std::condition_variable cv;
  int unshared = 0;  // 1 done, -1 not permitted
  pid_t tid = 0;
  bool release = false;
  std::thread outsider([&] {
    const int result = ::unshare(CLONE_NEWNS);
    std::unique_lock<std::mutex> lock(mu);
    unshared = result == 0 ? 1 : -1;
    tid = ::gettid();
    cv.notify_all();
    cv.wait(lock, [&] { return release; });
  });
  {
    std::unique_lock<std::mutex> lock(mu);
    cv.wait(lock, [&] { return unshared != 0; });
  }
  std::string why;
  auto disk = SmallDisk::Mount(64 * 1024, &why);
  {
    std::lock_guard<std::mutex> lock(mu);
    release = true;
  }
  cv.notify_all();
  outsider.join();
  if (unshared < 0) GTEST_SKIP() << "needs the right to make a mount namespace (root)";

  EXPECT_FALSE(disk);
  EXPECT_NE(why.find("thread " + std::to_string(tid) + " "), std::string::npos) << why;
  // With that thread gone the mount goes ahead.
  disk = SmallDisk::Mount(64 * 1024, &why);
  EXPECT_TRUE(disk) << why;
}

// Free space counts in whole pages: Fill leaves exactly the pages asked for,
// and refuses a part of one rather than leave less.
TEST(SmallDisk, FillLeavesExactlyTheWholePagesAskedFor) {
  std::string why;
  auto disk = SmallDisk::Mount(64 * 1024, &why);
  if (!disk && ::geteuid() != 0) GTEST_SKIP() << why;
  ASSERT_TRUE(disk) << why;
  const std::size_t page = disk->PageBytes();
  ASSERT_GT(page, 0u);
  const struct {
    std::size_t leaveFree;
    bool done;
  } cases[] = {{0, true}, {page, true}, {3 * page, true}, {1024, false}, {page + 1, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.leaveFree);
    disk->Unfill();
    EXPECT_EQ(disk->Fill(c.leaveFree), c.done);
    if (c.done) {
      EXPECT_EQ(disk->FreeBytes(), c.leaveFree);
    }
  }
}
