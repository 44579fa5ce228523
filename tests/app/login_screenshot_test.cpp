// A picture of the main window with its login history open under the
// "Remote Server" button, for a person to look at (build/screenshots/).
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/brisnel_dlg.h"
#include "platform/core/message_box.h"
#include "res/resource.h"
#include "tests/app/run_dialog.h"
#include "tests/ui/qt_test_app.h"

TEST(Screenshots, MainWindowWithItsHistoryMenuOpen) {
  QTemporaryDir dir;
  const QString history = dir.filePath(QStringLiteral("history.ini"));
  {
    QFile f(history);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[history]\nhistory1=Lobby,192.168.1.20,80,admin,secret;\nhistory2=Car park,nvr-carpark,8080,guard,x;\n"
            "history3=\nhistory4=Warehouse,10.0.4.7,80,admin,y;\n");
  }
  CBrisnelDlg dlg;
  dlg.m_historyPath = history;
  QStringList offered;
  bool saved = false;
  RunDialog<CBrisnelDlg>(dlg, [&](CBrisnelDlg& d) {
    testing_ui::Pump(std::chrono::milliseconds(50));
    QTimer::singleShot(300, [&] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      ASSERT_NE(menu, nullptr);
      for (QAction* a : menu->actions()) offered << a->text();
      QPixmap shot = d.Window()->grab();
      QPainter painter(&shot);
      painter.drawPixmap(d.Window()->mapFromGlobal(menu->pos()), menu->grab());
      painter.end();
      QDir().mkpath(QStringLiteral(TARNWELL_SCREENSHOT_DIR));
      saved = shot.save(QStringLiteral(TARNWELL_SCREENSHOT_DIR "/main_window_history_menu.png"));
      menu->close();  // nothing chosen
    });
    auto* button = dynamic_cast<platform::ui::DropDownToolButton*>(d.ToolBar().Button(ID_TOOL_REMOTE_SERVER));
    ASSERT_NE(button, nullptr);
    const QPointF at = button->ArrowRect().center();
    QMouseEvent press(QEvent::MouseButtonPress, at, button->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(button, &press);  // returns when the menu has closed
  });
  EXPECT_TRUE(saved);
  EXPECT_EQ(offered, (QStringList{"Lobby(192.168.1.20)", "Car park(nvr-carpark)", "Warehouse(10.0.4.7)"}));
}
