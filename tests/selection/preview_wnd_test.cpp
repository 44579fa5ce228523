// The preview window on screen: the decoded stream painted stretched over
// the window, repainted by the decoder thread's requests, mid grey before
// the first picture and black after a clear; and a window destroyed while
// both of its threads run.
#include <QDir>
#include <QEvent>
#include <QImage>
#include <QWidget>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "selection/preview_wnd.h"
#include "tests/selection/preview_sim.h"
#include "tests/ui/qt_test_app.h"

using namespace previewtest;

namespace {

const QString kShots = QStringLiteral(TARNWELL_SCREENSHOT_DIR);

// The preview's place in the selection dialog: 270 x 170 pixels.
constexpr int kWidth = 270;
constexpr int kHeight = 170;

class PaintCounter : public QObject {
 public:
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

void Point(CPreviewWnd& wnd, PreviewRecorder& recorder) {
  wnd.SetServer("127.0.0.1", "admin", "admin", recorder.Port(), 0);
  wnd.m_strPositionPath = recorder.PositionPath();
  wnd.m_strStreamPath = recorder.StreamPath();
}

QColor CentreOf(QWidget& wnd) {
  const QImage image = wnd.grab().toImage();
  return image.pixelColor(image.width() / 2, image.height() / 2);
}

void ExpectNear(const QColor& got, Colour want, const std::string& what) {
  EXPECT_NEAR(got.red(), want.red, 14) << what;
  EXPECT_NEAR(got.green(), want.green, 14) << what;
  EXPECT_NEAR(got.blue(), want.blue, 14) << what;
}

}  // namespace

TEST(PreviewWindow, PaintsTheDecodedColourOfEveryCodec) {
  testing_ui::App();
  const Colour teal{20, 160, 170};
  for (Codec codec : {Codec::Mjpeg, Codec::Mpeg4, Codec::H264}) {
    const std::string name = stream_fixture::CodecName(codec);
    PreviewRecorder recorder;
    recorder.Sim().SetStreamSource(PacketSource(SolidPackets(codec, 320, 240, 10, teal)));
    CPreviewWnd wnd(nullptr, 1048);
    wnd.resize(kWidth, kHeight);
    PaintCounter counter;
    wnd.installEventFilter(&counter);
    wnd.show();
    testing_ui::Pump(std::chrono::milliseconds(20));
    ExpectNear(CentreOf(wnd), {127, 127, 127}, name + " before the first picture");

    Point(wnd, recorder);
    const int paintsBefore = counter.paints;
    wnd.Start();
    // Only the decoder thread's repaint requests make the window paint again.
    ASSERT_TRUE(testing_ui::PumpUntil(
        [&] { return wnd.Player().PicturesShown() >= 5 && counter.paints >= paintsBefore + 3; },
        std::chrono::seconds(10)))
        << name << ": pictures " << wnd.Player().PicturesShown() << ", paints " << counter.paints - paintsBefore;
    ExpectNear(CentreOf(wnd), teal, name);
    // The picture is stretched over the whole window.
    const QImage image = wnd.grab().toImage();
    ExpectNear(image.pixelColor(2, 2), teal, name + " top left");
    ExpectNear(image.pixelColor(kWidth - 3, kHeight - 3), teal, name + " bottom right");

    wnd.Close();
    wnd.ClearPicture();
    testing_ui::Pump(std::chrono::milliseconds(20));
    ExpectNear(CentreOf(wnd), {0, 0, 0}, name + " after a clear");
  }
}

TEST(PreviewWindow, RowsOfAWidthWithoutFourByteAlignmentStayStraight) {
  testing_ui::App();
  // 150 x 3 bytes per row is not a multiple of 4: a picture read with padded
  // rows would lean by two bytes per row.
  constexpr int kPictureWidth = 150;
  constexpr int kPictureHeight = 100;
  const Colour left{220, 40, 40};
  const Colour right{40, 40, 220};
  Bytes bgr(kPictureWidth * kPictureHeight * 3);
  for (int y = 0; y < kPictureHeight; ++y)
    for (int x = 0; x < kPictureWidth; ++x) {
      const Colour c = x < kPictureWidth / 2 ? left : right;
      std::uint8_t* p = &bgr[(static_cast<std::size_t>(y) * kPictureWidth + x) * 3];
      p[0] = c.blue;
      p[1] = c.green;
      p[2] = c.red;
    }
  PreviewRecorder recorder;
  recorder.Sim().SetStreamSource(PacketSource(PicturePackets(Codec::Mjpeg, kPictureWidth, kPictureHeight, 5, bgr)));
  CPreviewWnd wnd(nullptr, 1048);
  wnd.resize(kWidth, kHeight);
  wnd.show();
  Point(wnd, recorder);
  wnd.Start();
  ASSERT_TRUE(testing_ui::PumpUntil([&] { return wnd.Player().PicturesShown() >= 2; }, std::chrono::seconds(10)));
  const QImage image = wnd.grab().toImage();
  for (int y : {3, kHeight / 2, kHeight - 4}) {
    ExpectNear(image.pixelColor(kWidth / 4, y), left, "left half, row " + std::to_string(y));
    ExpectNear(image.pixelColor(kWidth * 3 / 4, y), right, "right half, row " + std::to_string(y));
  }
  wnd.Close();
}

TEST(PreviewWindow, ScreenshotOfAMovingPicture) {
  testing_ui::App();
  PreviewRecorder recorder;
  recorder.Sim().SetStreamSource(LiveStream(Codec::H264, 352, 240));
  CPreviewWnd wnd(nullptr, 1048);
  wnd.resize(kWidth, kHeight);
  wnd.show();
  Point(wnd, recorder);
  wnd.Start();
  ASSERT_TRUE(testing_ui::PumpUntil([&] { return wnd.Player().PicturesShown() >= 12; }, std::chrono::seconds(10)));
  QDir().mkpath(kShots);
  EXPECT_TRUE(wnd.grab().save(kShots + QStringLiteral("/preview_window.png")));
  wnd.Close();
}

TEST(PreviewWindow, DestroyedWhileBothThreadsRun) {
  testing_ui::App();
  PreviewRecorder recorder;
  SourceOptions fast;
  fast.intervalMs = 2;
  recorder.Sim().SetStreamSource(PacketSource(SolidPackets(Codec::Mjpeg, 640, 360, 10, {90, 90, 200}), fast));
  for (int round = 0; round < 3; ++round) {
    auto parent = std::make_unique<QWidget>();
    parent->resize(400, 300);
    auto* wnd = new CPreviewWnd(parent.get(), 1048);
    wnd->setGeometry(10, 10, kWidth, kHeight);
    parent->show();
    Point(*wnd, recorder);
    wnd->Start();
    ASSERT_TRUE(testing_ui::PumpUntil([&] { return wnd->Player().PicturesShown() >= 2 + round; },
                                      std::chrono::seconds(10)));
    // Repaint requests are still on their way when the window goes.
    const auto start = std::chrono::steady_clock::now();
    if (round == 0)
      delete wnd;  // the window alone
    else
      parent.reset();  // with its parent, as the dialog's teardown does
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    testing_ui::Pump(std::chrono::milliseconds(50));
  }
}
