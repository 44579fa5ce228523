// "server.db" against a real full disk (a small tmpfs of the test's own), and
// the owner-only mode of the store and of the files the build ships.
#include "store/server_manager.h"
#include "store_test_dir.h"
#include "tests/support/small_disk.h"

#include <sqlite3.h>

#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

using test_support::SmallDisk;

namespace {

int ModeOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return -1;
  return int(st.st_mode & 0777);
}

ServerEntry Entry(const QString& ip, const QString& password) {
  ServerEntry e;
  e.SetIp(ip);
  e.SetServerName("Lobby");
  e.SetPort("80");
  e.SetUserName("admin");
  e.SetPassword(password);
  e.SetSaveEnable("1");
  return e;
}

int Add(const ServerEntry& e) {
  CServerManager store;
  store.m_db.Open();
  return store.AddServer(e);
}

int Change(const QString& previousIp, const ServerEntry& e) {
  CServerManager store;
  store.m_db.Open();
  return store.ChangeServer(previousIp, e);
}

// The store's folder on a small disk of its own.
class FullStoreTest : public StoreDirTest {
 protected:
  void SetUp() override {
    StoreDirTest::SetUp();
    std::string why;
    disk_ = SmallDisk::Mount(512 * 1024, &why);
    if (!disk_) {
      std::printf("skipped: %s\n", why.c_str());
      GTEST_SKIP() << "needs a private mount namespace (root)";
    }
    std::filesystem::current_path(disk_->Path());
  }
  void TearDown() override {
    StoreDirTest::TearDown();  // leaves the disk before it goes
    disk_.reset();
  }
  std::unique_ptr<SmallDisk> disk_;
};

}  // namespace

TEST_F(FullStoreTest, AFullDiskFailsAddAndChangeAndKeepsTheOldRows) {
  MakeServerTable();
  for (int i = 1; i <= 3; ++i) ASSERT_EQ(Add(Entry(QStringLiteral("10.0.0.%1").arg(i), "pw")), 0);
  const QByteArray before = ReadFile();
  ASSERT_TRUE(disk_->Fill(0));

  // Only the address has no length limit: a long one needs new pages.
  const QString large = QStringLiteral("nvr-") + QString(60000, QLatin1Char('a'));
  EXPECT_EQ(Add(Entry(large, "pw")), SQLITE_FULL);
  EXPECT_EQ(Change("10.0.0.2", Entry(large, "pw")), SQLITE_FULL);
  disk_->Unfill();

  EXPECT_EQ(ReadFile(), before);
  EXPECT_EQ(RawRowCount(), 3);
  EXPECT_FALSE(std::filesystem::exists("server.db-journal"));
  EXPECT_EQ(Add(Entry(large, "pw")), 0);
  EXPECT_EQ(RawRowCount(), 4);
}

TEST_F(StoreDirTest, AnOwnerOnlyStoreStaysSoAndSoDoesItsJournal) {
  const mode_t previous = ::umask(022);
  MakeServerTable();
  ASSERT_EQ(::chmod("server.db", 0600), 0);
  ASSERT_EQ(Add(Entry("10.0.0.1", "pw")), 0);
  EXPECT_EQ(ModeOf("server.db"), 0600);

  // While a change is under way its journal holds the old pages: owner-only too.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open("server.db", &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "begin; delete from server;", nullptr, nullptr, nullptr), SQLITE_OK);
  EXPECT_EQ(ModeOf("server.db-journal"), 0600);
  ASSERT_EQ(sqlite3_exec(db, "rollback;", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  ::umask(previous);
  EXPECT_EQ(RawRowCount(), 1);
}

// A store an earlier build left readable by others is made owner-only when it
// is opened; a file of another owner's is left as it is.
TEST_F(StoreDirTest, OpeningTheStoreMakesItOwnerOnly) {
  struct Case {
    int mode;
    bool ours;
    int after;
  };
  const Case cases[] = {
      {0644, true, 0600}, {0640, true, 0600}, {0664, true, 0600}, {0755, true, 0600},
      {0600, true, 0600}, {0400, true, 0400}, {0644, false, 0644},
  };
  MakeServerTable();
  ASSERT_EQ(Add(Entry("10.0.0.1", "pw")), 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::oct << c.mode << (c.ours ? "" : ", another owner's"));
    if (!c.ours && ::geteuid() != 0) {
      std::printf("not run: giving the file to another owner needs root\n");
      continue;
    }
    ASSERT_EQ(::chown("server.db", c.ours ? ::geteuid() : ::geteuid() + 4242, ::getegid()), 0);
    ASSERT_EQ(::chmod("server.db", mode_t(c.mode)), 0);
    CServerManager store;
    EXPECT_EQ(store.m_db.Open(), SQLITE_OK);
    EXPECT_EQ(ModeOf("server.db"), c.after) << std::oct << ModeOf("server.db");
    EXPECT_EQ(RawRowCount(), 1);
  }
}

TEST(ShippedFiles, TheBuildPlacesThePasswordFilesOwnerOnly) {
  char exe[4096] = {};
  ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
  const std::filesystem::path folder = std::filesystem::path(exe).parent_path();
  EXPECT_EQ(ModeOf(folder / "server.db"), 0600);
  EXPECT_EQ(ModeOf(folder / "history.ini"), 0600);
}
