// Saves pictures of the main window, the about box and the loading page, for
// a person to look at (build/screenshots/).
#include <QDir>
#include <gtest/gtest.h>

#include "app/about_dlg.h"
#include "app/brisnel_dlg.h"
#include "app/loading_page.h"
#include "tests/app/run_dialog.h"
#include "tests/ui/qt_test_app.h"

namespace {

const QString kShots = QStringLiteral(TARNWELL_SCREENSHOT_DIR);

bool Save(QWidget* window, const QString& name) {
  QDir().mkpath(kShots);
  return window->grab().save(kShots + QLatin1Char('/') + name);
}

}  // namespace

TEST(Screenshots, MainWindowAboutBoxAndLoadingPage) {
  CBrisnelDlg dlg;
  RunDialog<CBrisnelDlg>(dlg, [](CBrisnelDlg& d) {
    testing_ui::Pump(std::chrono::milliseconds(50));
    EXPECT_TRUE(Save(d.Window(), QStringLiteral("main_window.png")));

    CAboutDlg about;
    RunDialog<CAboutDlg>(about, [](CAboutDlg& a) { EXPECT_TRUE(Save(a.Window(), QStringLiteral("about_box.png"))); });

    std::atomic<int> flag{1};
    CLoadingPage page;
    page.m_pFlag = &flag;
    page.m_indicatorPath = QStringLiteral(TARNWELL_SOURCE_DIR "/res/images/Indicator.gif");
    RunDialog<CLoadingPage>(page, [&](CLoadingPage& p) {
      testing_ui::PumpUntil([&] { return p.Ticks() >= 3; });
      EXPECT_TRUE(Save(p.Window(), QStringLiteral("loading_page.png")));
      flag = 0;
      testing_ui::PumpUntil([&] { return p.HasEnded(); });
    });
  });
}
