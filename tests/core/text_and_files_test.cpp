// The smaller services of the platform core: Latin-1 text, request-path
// escaping, host and port checks, the executable folder and file helpers, the
// replaceable clock, and a thread's one owner.
#include <gtest/gtest.h>

#include <cerrno>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/core/files.h"
#include "platform/core/http_client.h"
#include "platform/core/latin1.h"
#include "platform/core/local_time.h"
#include "platform/core/thread.h"

using namespace platform;

TEST(Latin1, EveryByteRoundTrips) {
  QByteArray all;
  for (int b = 0; b < 256; ++b) all += char(b);
  const QString text = BytesToText(all);
  ASSERT_EQ(text.size(), 256);
  for (int b = 0; b < 256; ++b) EXPECT_EQ(text[b].unicode(), b);
  EXPECT_EQ(TextToBytes(text), all);
  EXPECT_EQ(TextToBytes(QString(QChar(0x20AC))), QByteArray("?"));
  EXPECT_EQ(LowBytes(QString(QChar(0x20AC))), QByteArray("\xAC"));
}

TEST(RequestPath, EscapesOnlyWhatHttpCannotCarry) {
  struct Case {
    QByteArray in, out;
  } cases[] = {
      {"/config/login", "/config/login"},
      {"/config/backupdownload?id=7&path=/rec/my clip.avi", "/config/backupdownload?id=7&path=/rec/my%20clip.avi"},
      {"/a#b%c", "/a%23b%25c"},
      {QByteArray("/x\r\nHost: evil\x7F\xFF", 16), "/x%0D%0AHost:%20evil%7F%FF"},
      {"/a/../b?q=1,2;c=d", "/a/../b?q=1,2;c=d"},
  };
  for (const Case& c : cases) EXPECT_EQ(EncodeRequestPath(c.in), c.out) << c.in.constData();
}

TEST(HostName, RefusesOnlyWhatWouldChangeTheTarget) {
  for (const char* ok : {"127.0.0.1", "localhost", "nvr-1.example", "nvr_1", "-x"}) EXPECT_TRUE(IsSafeHost(ok)) << ok;
  for (const char* bad : {"", "a b", "host/x", "user@host", "host:80", "host?x", "host#x", "host\\x", "a%41", "\x01"})
    EXPECT_FALSE(IsSafeHost(bad)) << bad;
}

TEST(HttpClient, OpenRefusesBadHostsAndPorts) {
  HttpClient client;
  EXPECT_FALSE(client.Open("127.0.0.1/evil", 80, false, 0));
  EXPECT_FALSE(client.Open("127.0.0.1", 0, false, 0));
  EXPECT_FALSE(client.Open("127.0.0.1", 70000, false, 0));
  EXPECT_TRUE(client.Open("127.0.0.1", 8080, false, 0));
  EXPECT_FALSE(client.HasRequest());
}

TEST(Files, ExecutableFolderAndHelpers) {
  // Every test program runs with a temporary folder in place of its own.
  const QString own = SetExecutableFolderOverride(QString());
  ASSERT_FALSE(own.isEmpty());
  EXPECT_FALSE(QFile::exists(own + "core_tests"));
  const QString folder = ExecutableFolder();
  EXPECT_TRUE(folder.endsWith('/'));
  EXPECT_TRUE(QFile::exists(folder + "core_tests"));
  EXPECT_EQ(SetExecutableFolderOverride("/tmp/elsewhere"), QString());
  EXPECT_EQ(ExecutableFolder(), "/tmp/elsewhere/");
  EXPECT_EQ(SetExecutableFolderOverride(own), "/tmp/elsewhere/");
  EXPECT_EQ(ExecutableFolder(), own);

  QTemporaryDir dir;
  const QString deep = dir.path() + "/a/b/c";
  EXPECT_TRUE(CreateDirectoryChain(deep));
  EXPECT_TRUE(PathExists(deep));
  EXPECT_TRUE(CreateDirectoryChain(deep + "/"));
  // A file where a folder should be: false, and errno says so.
  ASSERT_TRUE(QFile(dir.path() + "/plain").open(QIODevice::WriteOnly));
  for (const char* folder : {"/plain", "/plain/sub/deeper"}) {
    errno = 0;
    EXPECT_FALSE(CreateDirectoryChain(dir.path() + folder)) << folder;
    EXPECT_EQ(errno, ENOTDIR) << folder;
  }
  QFile f(deep + "/y");
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("1");
  f.close();
  EXPECT_TRUE(DeleteFilePath(deep + "/y"));
  EXPECT_TRUE(DeleteFilePath(deep + "/y"));  // already gone
  EXPECT_FALSE(PathExists(deep + "/y"));
}

TEST(LocalClock, TestsCanReplaceIt) {
  auto previous = SetLocalClock([] { return LocalTime{2012, 5, 3, 9, 30, 5}; });
  const LocalTime t = CurrentLocalTime();
  SetLocalClock(previous);
  EXPECT_EQ(t.hour * 10000 + t.minute * 100 + t.second, 93005);
  const LocalTime real = CurrentLocalTime();
  EXPECT_GE(real.year, 2020);
}

TEST(Thread, OneRunAtATimeAndJoinedByItsOwner) {
  Thread thread;
  std::atomic<int> release{0}, runs{0};
  ASSERT_TRUE(thread.Start([&] {
    ++runs;
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }));
  EXPECT_TRUE(thread.IsActive());
  EXPECT_FALSE(thread.Start([&] { ++runs; }));
  release = 1;
  thread.Join();
  EXPECT_FALSE(thread.IsActive());
  EXPECT_TRUE(thread.Start([&] { ++runs; }));
  thread.Join();
  EXPECT_EQ(runs.load(), 2);
}
