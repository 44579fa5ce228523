#pragma once
// A fresh temporary current directory for each test, so that "server.db" is
// the test's own; the previous current directory comes back afterwards.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QTemporaryDir>

#include <filesystem>
#include <string>

class StoreDirTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // Makes "server.db" by running sql on a new file (not through the store,
  // which never creates one).
  static void MakeDatabase(const std::string& sql);
  // The six-column table as the installation ships it.
  static void MakeServerTable();
  // Writes these bytes as "server.db".
  static void WriteFile(const QByteArray& bytes);
  static QByteArray ReadFile();
  static bool DatabaseExists();
  // Runs sql on its own connection; the first column of the first row.
  static std::string RawValue(const std::string& sql);
  static int RawRowCount() { return std::stoi(RawValue("select count(*) from server;")); }

private:
  QTemporaryDir dir_;
  std::filesystem::path previous_;
};
