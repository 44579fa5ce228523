// The program's own resources are all there, in the sizes the windows expect.
#include <QImage>
#include <QImageReader>
#include <gtest/gtest.h>

#include "res/resource.h"
#include "res/resource_tables.h"
#include "tests/ui/qt_test_app.h"

TEST(Resources, PicturesHaveTheirSizes) {
  struct Case {
    int id;
    QSize size;
  };
  const Case cases[] = {
      {IDR_MAINFRAME, {32, 32}},     {IDI_REMOTE_SERVER, {32, 32}}, {IDI_ADD, {32, 32}},
      {IDI_REMOVE, {32, 32}},        {IDI_BACKUP, {32, 32}},        {IDB_BACKGROUND, {1022, 500}},
      {IDB_LOADING, {300, 80}},
  };
  for (const Case& c : cases) {
    const QImage image(res::ImagePath(c.id));
    ASSERT_FALSE(image.isNull()) << c.id;
    EXPECT_EQ(image.size(), c.size) << c.id;
  }
  EXPECT_LE(QImage(res::ImagePath(IDB_LOADING)).colorCount(), 16);
  EXPECT_FALSE(QImage(res::ImagePath(IDB_BACKGROUND)).hasAlphaChannel());
  const QList<QSize> sizes = res::Icon(IDR_MAINFRAME).availableSizes();
  for (int s : {16, 32, 48}) EXPECT_TRUE(sizes.contains(QSize(s, s))) << s;
  EXPECT_TRUE(QImage(res::ImagePath(9999)).isNull());
  EXPECT_TRUE(res::Icon(9999).isNull());
}

TEST(Resources, TheIndicatorIsAnAnimatedGif) {
  QImageReader reader(QStringLiteral(TARNWELL_SOURCE_DIR "/res/images/Indicator.gif"));
  EXPECT_EQ(reader.format(), QByteArray("gif"));
  EXPECT_EQ(reader.imageCount(), 8);
  EXPECT_EQ(reader.size(), QSize(32, 32));
  EXPECT_EQ(reader.loopCount(), -1);
}

TEST(Resources, TablesHoldTheDialogsAndMenus) {
  EXPECT_EQ(res::Dialog(IDD_ABOUTBOX).caption, QStringLiteral("About Tarnwell"));
  EXPECT_EQ(res::Dialog(IDD_MAIN).cx, 387);
  EXPECT_EQ(res::Dialog(IDD_MAIN).cy, 206);
  EXPECT_EQ(res::Dialog(IDD_LOADING).cx, 204);
  EXPECT_TRUE(res::Dialog(IDD_LOADING).controls.empty());
  EXPECT_EQ(res::Dialog(4242).id, 0);

  const platform::ui::MenuTemplate& menu = res::Menu(IDR_MENU_MAIN);
  ASSERT_EQ(menu.popups.size(), 2u);
  EXPECT_EQ(menu.popups[0].text, QStringLiteral("Run"));
  const std::vector<unsigned> run = {ID_RUN_ADD, ID_RUN_REMOVE, ID_RUN_BACKUP, 0, ID_RUN_LOGOUT, ID_RUN_EXIT};
  ASSERT_EQ(menu.popups[0].items.size(), run.size());
  for (std::size_t i = 0; i < run.size(); ++i) EXPECT_EQ(menu.popups[0].items[i].id, run[i]);
  EXPECT_EQ(menu.popups[1].items.at(0).text, QStringLiteral("About"));
}
