// Pictures of the server manager with its server page, for a person to look
// at (build/screenshots/).
#include <QDir>

#include "tests/app/server_manager_fixture.h"
#include "tests/ui/qt_test_app.h"

TEST_F(ServerManagerTest, Screenshots) {
  Store(Entry("Lobby", "127.0.0.1", "8080", "admin", "secret", "1"));
  Store(Entry("Gate", "gate.example", "80", "op", "", "0"));
  const QString shots = QStringLiteral(TARNWELL_SCREENSHOT_DIR);
  QDir().mkpath(shots);
  CRemoteDialog dlg;
  RunDialog<CRemoteDialog>(dlg, [&](CRemoteDialog& d) {
    testing_ui::Pump(std::chrono::milliseconds(50));
    EXPECT_TRUE(d.Window()->grab().save(shots + QStringLiteral("/remote_server_manager.png")));
    Choose(d.m_serverPage, 0);
    testing_ui::Pump(std::chrono::milliseconds(50));
    EXPECT_TRUE(d.m_serverPage.Window()->grab().save(shots + QStringLiteral("/server_page_chosen.png")));
  });
}
