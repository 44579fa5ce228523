// The image button driven offscreen: its four looks, the hover tracking,
// pictures that fail to load, clicks still reaching the dialog, and a
// screenshot of the two zoom buttons.
#include <QDir>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

#include "selection/image_button.h"
#include "tests/selection/mouse.h"
#include "tests/ui/qt_test_app.h"

namespace {

const QColor kNormal(200, 30, 30);
const QColor kHover(30, 180, 30);
const QColor kPressed(30, 30, 200);
const QColor kDisabled(128, 128, 128);

QString WriteBmp(const QTemporaryDir& dir, const char* name, QSize size, QColor colour) {
  QImage image(size, QImage::Format_RGB888);
  image.fill(colour);
  const QString path = dir.filePath(QString::fromLatin1(name));
  EXPECT_TRUE(image.save(path, "BMP"));
  return path;
}

class ImageButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    // Distinct sizes show which picture covers which part: the normal one is
    // stretched over the whole 18 x 20 button, the others keep their size.
    normal_ = WriteBmp(dir_, "normal.bmp", {9, 10}, kNormal);
    hover_ = WriteBmp(dir_, "hover.bmp", {12, 12}, kHover);
    pressed_ = WriteBmp(dir_, "pressed.bmp", {8, 8}, kPressed);
    disabled_ = WriteBmp(dir_, "disabled.bmp", {5, 5}, kDisabled);
    host_ = std::make_unique<QWidget>();
    host_->resize(60, 40);
    host_->setAutoFillBackground(true);
    host_->setPalette(QPalette(QColor(240, 240, 240)));
    button_ = new QPushButton(QStringLiteral("Button3"), host_.get());
    button_->setGeometry(10, 10, 18, 20);
    host_->show();
  }
  QImage Look() { return button_->grab().toImage().convertToFormat(QImage::Format_RGB32); }
  static QColor At(const QImage& image, int x, int y) { return QColor(image.pixel(x, y)); }

  QTemporaryDir dir_;
  QString normal_, hover_, pressed_, disabled_;
  std::unique_ptr<QWidget> host_;
  QPushButton* button_ = nullptr;
};

}  // namespace

TEST_F(ImageButtonTest, FourLooks) {
  CMyButton b;
  ASSERT_TRUE(b.SubclassWindow(button_));
  b.SetImages(disabled_, normal_, pressed_, hover_);
  EXPECT_TRUE(b.SubclassWindow(button_));  // binding again is harmless
  QPushButton other(host_.get());
  EXPECT_FALSE(b.SubclassWindow(&other));  // one button at a time
  EXPECT_EQ(b.Button(), button_);

  QImage look = Look();  // normal: stretched over the whole button
  EXPECT_EQ(At(look, 0, 0), kNormal);
  EXPECT_EQ(At(look, 17, 19), kNormal);

  testing_selection::HoverAt(button_, {5, 5});  // pointed at
  EXPECT_EQ(b.m_bHover, 1);
  EXPECT_EQ(button_->cursor().shape(), Qt::PointingHandCursor);
  look = Look();
  EXPECT_EQ(At(look, 0, 0), kHover);
  EXPECT_EQ(At(look, 11, 11), kHover);
  EXPECT_EQ(At(look, 15, 15), kNormal);

  testing_selection::Press(button_, {5, 5});  // pressed
  ASSERT_TRUE(button_->isDown());
  look = Look();
  EXPECT_EQ(At(look, 0, 0), kPressed);
  EXPECT_EQ(At(look, 7, 7), kPressed);
  EXPECT_EQ(At(look, 10, 10), kHover);
  EXPECT_EQ(At(look, 15, 15), kNormal);
  testing_selection::Release(button_, {5, 5});

  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(button_, &leave);
  button_->setEnabled(false);  // disabled
  look = Look();
  EXPECT_EQ(At(look, 0, 0), kDisabled);
  EXPECT_EQ(At(look, 4, 4), kDisabled);
  EXPECT_EQ(At(look, 6, 6), kNormal);
}

TEST_F(ImageButtonTest, APressThatIsNotAFullRedrawCoversOnlyThePressedPicture) {
  CMyButton b;
  b.SubclassWindow(button_);
  b.SetImages(disabled_, normal_, pressed_, hover_);
  Look();  // a full redraw shows the normal picture
  // The normal picture changes; only a full redraw would show that.
  b.m_imgNormal.fill(QColor(255, 255, 0));
  button_->setDown(true);  // a change of the pressed state alone
  QImage look = Look();
  EXPECT_EQ(At(look, 3, 3), kPressed);
  EXPECT_EQ(At(look, 15, 15), kNormal);  // what the last full redraw left
  button_->setDown(false);
  look = Look();
  EXPECT_EQ(At(look, 3, 3), kPressed);  // released: nothing is drawn over it yet
  button_->update();  // an invalidation redraws the whole button
  look = Look();
  EXPECT_EQ(At(look, 3, 3), QColor(255, 255, 0));
}

TEST_F(ImageButtonTest, HoverIsTrackedAgainAfterTheLeaving) {
  CMyButton b;
  b.SubclassWindow(button_);
  b.SetImages(disabled_, normal_, pressed_, hover_);
  EXPECT_EQ(b.m_bHover, 0);
  EXPECT_FALSE(b.IsTrackingLeave());
  testing_selection::HoverAt(button_, {3, 3});
  EXPECT_EQ(b.m_bHover, 1);
  EXPECT_TRUE(b.IsTrackingLeave());
  testing_selection::HoverAt(button_, {4, 4});
  EXPECT_EQ(b.m_bHover, 1);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(button_, &leave);
  EXPECT_EQ(b.m_bHover, 0);
  EXPECT_FALSE(b.IsTrackingLeave());
  EXPECT_EQ(At(Look(), 0, 0), kNormal);
  testing_selection::HoverAt(button_, {3, 3});
  EXPECT_EQ(b.m_bHover, 1);
  EXPECT_TRUE(b.IsTrackingLeave());
  EXPECT_EQ(At(Look(), 0, 0), kHover);
}

TEST_F(ImageButtonTest, PicturesThatFailToLoadAreLeftOut) {
  CMyButton b;
  b.SubclassWindow(button_);
  b.SetImages(disabled_, dir_.filePath(QStringLiteral("missing.bmp")), pressed_, hover_);
  EXPECT_TRUE(b.m_imgNormal.isNull());
  // Nothing on a full redraw: the dialog's background shows through.
  const QImage plain = Look();
  EXPECT_EQ(At(plain, 15, 15), QColor(240, 240, 240));
  testing_selection::HoverAt(button_, {3, 3});
  testing_selection::Press(button_, {3, 3});
  const QImage look = Look();
  EXPECT_EQ(At(look, 2, 2), kPressed);
  EXPECT_EQ(At(look, 10, 10), kHover);
  EXPECT_EQ(At(look, 15, 15), QColor(240, 240, 240));
  testing_selection::Release(button_, {3, 3});
}

TEST_F(ImageButtonTest, ClicksStillReachTheButtonsCommand) {
  CMyButton b;
  b.SubclassWindow(button_);
  b.SetImages(disabled_, normal_, pressed_, hover_);
  int clicks = 0;
  QObject::connect(button_, &QPushButton::clicked, [&] { ++clicks; });
  testing_selection::Click(button_, {5, 5});
  EXPECT_EQ(clicks, 1);
}

TEST_F(ImageButtonTest, ScreenshotOfTheZoomButtons) {
  // The two zoom buttons in their four looks, side by side, four times enlarged.
  const QString images = QStringLiteral(TARNWELL_SOURCE_DIR "/res/images/");
  QImage sheet(4 * 30 + 10, 2 * 30 + 10, QImage::Format_RGB32);
  sheet.fill(QColor(240, 240, 240));
  QPainter p(&sheet);
  int row = 0;
  for (const char* name : {"Plus.bmp", "Minus.bmp"}) {
    const QString file = images + QString::fromLatin1(name);
    ASSERT_FALSE(QImage(file).isNull()) << name;
    for (int look = 0; look < 4; ++look) {
      auto* button = new QPushButton(host_.get());
      button->setGeometry(30, 10, 18, 20);
      button->show();
      CMyButton b;
      b.SubclassWindow(button);
      b.SetImages(file, file, file, file);
      if (look == 1) testing_selection::HoverAt(button, {4, 4});
      if (look == 2) button->setDown(true);
      if (look == 3) button->setEnabled(false);
      p.drawImage(QPoint(10 + 30 * look, 10 + 30 * row), button->grab().toImage());
      delete button;
    }
    ++row;
  }
  p.end();
  QDir().mkpath(QStringLiteral(TARNWELL_SCREENSHOT_DIR));
  EXPECT_TRUE(sheet.scaled(sheet.size() * 4).save(QStringLiteral(TARNWELL_SCREENSHOT_DIR "/image_buttons.png")));
}
