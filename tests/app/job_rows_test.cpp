// The job list's and the backup settings' rules without a window: row texts,
// the channel mask, which spans may be queued, the backup folder's name, the
// "setting.ini" helpers and the free-space query.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <limits>

#include "app/backup_destination.h"
#include "app/job_rows.h"
#include "app/setting_ini.h"
#include "platform/core/disk_space.h"
#include "platform/core/files.h"

namespace {

nvr::NvrTime Time(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  nvr::NvrTime t;
  t.year = year;
  t.month = month;
  t.day = day;
  t.hour = hour;
  t.minute = minute;
  t.second = second;
  return t;
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

TEST(JobRows, TextsOfARow) {
  const JobRowTexts t = MakeJobRowTexts(Time(2012, 5, 13, 8, 15, 0), Time(2012, 5, 13, 9, 30, 5), 0x8005, 1572864);
  EXPECT_EQ(t.startTime, QStringLiteral("2012/05/13 08:15:00"));
  EXPECT_EQ(t.endTime, QStringLiteral("2012/05/13 09:30:05"));
  EXPECT_EQ(t.camera, QStringLiteral("1, 3, 16"));
  EXPECT_EQ(t.diskSize, QStringLiteral("1.50 MB"));
  // An end of the day's last minute reads 24:00:00, as the selection gives it.
  EXPECT_EQ(FormatJobTime(Time(1990, 12, 1, 24, 0, 0)), QStringLiteral("1990/12/01 24:00:00"));
}

TEST(JobRows, CameraList) {
  const struct {
    std::uint32_t mask;
    const char* text;
  } cases[] = {
      {0x0002, "2"},
      {0x0001, "1"},
      {0x8005, "1, 3, 16"},
      {0xFFFF, "1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16"},
      {0xFFFF0000u, ""},        // bits above channel 16 are ignored
      {0x00010000u | 0x4, "3"},
      {0x0000, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatCameraList(c.mask), QString::fromLatin1(c.text)) << c.mask;
}

TEST(JobRows, DiskSize) {
  const struct {
    std::int64_t bytes;
    const char* text;
  } cases[] = {
      {0, "0.00 MB"},
      {1572864, "1.50 MB"},
      {1048576 - 5243, "0.99 MB"},
      {1, "0.00 MB"},
      // 2^63 bytes and more are still a positive size.
      {std::numeric_limits<std::int64_t>::min(), "8796093022208.00 MB"},
      {-1, "17592186044416.00 MB"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatDiskSize(c.bytes), QString::fromLatin1(c.text)) << c.bytes;
}

TEST(JobRows, ChannelMaskFromTheSelectionsFlags) {
  std::array<int, 16> flags{};
  EXPECT_EQ(ChannelMaskFromFlags(flags), 0u);
  flags[0] = 1;
  flags[2] = 1;
  flags[15] = 1;
  EXPECT_EQ(ChannelMaskFromFlags(flags), 0x8005u);
  // Only a flag of exactly 1 counts.
  flags[4] = 2;
  flags[5] = -1;
  EXPECT_EQ(ChannelMaskFromFlags(flags), 0x8005u);
}

TEST(JobRows, SpansThatMayBeQueued) {
  const struct {
    int year, month;
    bool queued;
  } cases[] = {
      {1989, 5, false}, {1990, 12, true}, {1990, 13, false}, {2012, 5, true}, {0, 0, false}, {2030, 1, true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SelectionMayBeQueued(Time(c.year, c.month, 1)), c.queued) << c.year << "/" << c.month;
}

TEST(JobRows, SameStartDateLooksOnlyAtTheDay) {
  EXPECT_TRUE(SameStartDate(Time(2012, 5, 13, 8), Time(2012, 5, 13, 23, 59, 59)));
  EXPECT_FALSE(SameStartDate(Time(2012, 5, 13), Time(2012, 6, 13)));
  EXPECT_FALSE(SameStartDate(Time(2012, 5, 13), Time(2013, 5, 13)));
  EXPECT_FALSE(SameStartDate(Time(2012, 5, 13), Time(2012, 5, 14)));
}

TEST(JobRows, CommandsFollowTheRowCount) {
  EXPECT_FALSE(JobCommandsEnabled(0));
  EXPECT_TRUE(JobCommandsEnabled(1));
  EXPECT_TRUE(JobCommandsEnabled(7));
}

TEST(BackupDestination, DatedFolderUnderTheLocation) {
  platform::LocalTime now;
  now.year = 2025;
  now.month = 6;
  now.day = 10;
  now.hour = 14;
  now.minute = 3;
  now.second = 59;
  EXPECT_EQ(BackupDestination(QStringLiteral("/media/disk"), now), QStringLiteral("/media/disk/backup202506101403"));
  // Appended as it is: a location that ends in a separator gives two in a row.
  EXPECT_EQ(BackupDestination(QStringLiteral("/"), now), QStringLiteral("//backup202506101403"));
  now.month = 12;
  now.day = 1;
  now.hour = 0;
  now.minute = 0;
  EXPECT_EQ(BackupDestination(QStringLiteral("L"), now), QStringLiteral("L/backup202512010000"));
}

TEST(SettingIni, ReadAndWriteOnlyAnExistingFile) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath(QStringLiteral("setting.ini"));

  // Missing: nothing is read, nothing written, no file made.
  EXPECT_EQ(ReadIniValue(path, QStringLiteral("setting"), QStringLiteral("backuplocation")), QString());
  EXPECT_EQ(WriteIniValue(path, QStringLiteral("setting"), QStringLiteral("backuplocation"), QStringLiteral("/x")), 0);
  EXPECT_FALSE(QFile::exists(path));

  // Empty file: the section and the key are added.
  WriteFile(path, "");
  EXPECT_EQ(ReadIniValue(path, QStringLiteral("setting"), QStringLiteral("backuplocation")), QString());
  EXPECT_EQ(WriteIniValue(path, QStringLiteral("setting"), QStringLiteral("backuplocation"), QStringLiteral("/media/a b")), 1);
  EXPECT_EQ(ReadFile(path), QByteArray("[setting]\nbackuplocation=/media/a b\n"));
  EXPECT_EQ(ReadIniValue(path, QStringLiteral("setting"), QStringLiteral("backuplocation")), QStringLiteral("/media/a b"));

  // Other lines stay; the key's line changes in place.
  WriteFile(path, "[other]\nbackuplocation=no\n[setting]\nfoo=1\nbackuplocation=/old\n");
  EXPECT_EQ(ReadIniValue(path, QStringLiteral("setting"), QStringLiteral("backuplocation")), QStringLiteral("/old"));
  EXPECT_EQ(WriteIniValue(path, QStringLiteral("setting"), QStringLiteral("backuplocation"), QStringLiteral("/new")), 1);
  EXPECT_EQ(ReadFile(path), QByteArray("[other]\nbackuplocation=no\n[setting]\nfoo=1\nbackuplocation=/new\n"));

  // A long location comes back whole.
  const QString longPath = QStringLiteral("/") + QString(600, QLatin1Char('d'));
  EXPECT_EQ(WriteIniValue(path, QStringLiteral("setting"), QStringLiteral("backuplocation"), longPath), 1);
  EXPECT_EQ(ReadIniValue(path, QStringLiteral("setting"), QStringLiteral("backuplocation")), longPath);
}

TEST(SettingIni, ABareNameLiesInTheExecutablesFolder) {
  // A name of this test's own, so no other test's file is touched.
  const QString name = QStringLiteral("setting_ini_test_%1.ini").arg(QCoreApplication::applicationPid());
  const QString path = platform::ExecutableFolder() + name;
  EXPECT_EQ(SettingFilePath(name), path);
  QFile::remove(path);
  EXPECT_EQ(WriteIniValue(name, QStringLiteral("setting"), QStringLiteral("backuplocation"), QStringLiteral("/y")), 0);
  EXPECT_FALSE(QFile::exists(path));
  WriteFile(path, "[setting]\n");
  EXPECT_EQ(WriteIniValue(name, QStringLiteral("setting"), QStringLiteral("backuplocation"), QStringLiteral("/y")), 1);
  EXPECT_EQ(ReadIniValue(name, QStringLiteral("setting"), QStringLiteral("backuplocation")), QStringLiteral("/y"));
  QFile::remove(path);
}

TEST(DiskSpace, OnlyAFolderHasRoom) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  platform::DiskFreeSpace space;
  ASSERT_TRUE(platform::GetDiskFreeSpace(dir.path(), &space));
  EXPECT_GT(space.total, 0u);
  EXPECT_LE(space.freeToCaller, space.totalFree);
  EXPECT_LE(space.totalFree, space.total);

  const QString file = dir.filePath(QStringLiteral("plain"));
  WriteFile(file, "x");
  EXPECT_FALSE(platform::GetDiskFreeSpace(file, &space));
  EXPECT_FALSE(platform::GetDiskFreeSpace(dir.filePath(QStringLiteral("missing")), &space));
  EXPECT_FALSE(platform::GetDiskFreeSpace(QString(), &space));

  // A test's own query takes the real one's place until it is removed.
  platform::SetDiskFreeSpaceQuery([](const QString&, platform::DiskFreeSpace* out) {
    out->freeToCaller = 42;
    return true;
  });
  ASSERT_TRUE(platform::GetDiskFreeSpace(file, &space));
  EXPECT_EQ(space.freeToCaller, 42u);
  platform::SetDiskFreeSpaceQuery(nullptr);
  EXPECT_FALSE(platform::GetDiskFreeSpace(file, &space));
}
