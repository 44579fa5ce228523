// The server entry record: empty by default, independent copies, and each
// setter changing its own field alone.
#include "store/server_entry.h"

#include <gtest/gtest.h>

#include <array>

namespace {

std::array<QString, 6> Fields(const ServerEntry& e) {
  return {e.GetIp(), e.GetServerName(), e.GetPort(), e.GetUserName(), e.GetPassword(), e.GetSaveEnable()};
}

}  // namespace

TEST(ServerEntry, DefaultIsEmptyCopiesAreIndependentSettersTouchOneField) {
  const ServerEntry empty;
  for (const QString& field : Fields(empty)) EXPECT_TRUE(field.isEmpty());

  ServerEntry entry;
  entry.SetIp("10.0.0.5");
  entry.SetServerName("Gate");
  entry.SetPort("80");
  entry.SetUserName("admin");
  entry.SetPassword("secret");
  entry.SetSaveEnable("1");
  const std::array<QString, 6> expected = {"10.0.0.5", "Gate", "80", "admin", "secret", "1"};
  EXPECT_EQ(Fields(entry), expected);

  ServerEntry copy(entry);
  EXPECT_EQ(Fields(copy), expected);
  copy.SetPassword("changed");
  EXPECT_EQ(Fields(entry), expected);
  std::array<QString, 6> changed = expected;
  changed[4] = "changed";
  EXPECT_EQ(Fields(copy), changed);
}
