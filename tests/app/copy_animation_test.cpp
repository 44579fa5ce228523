// The copy animation: the clip the generator writes, the reader's checks, and
// the control that plays it.
#include <QFile>
#include <QPainter>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/ui/animate_ctrl.h"
#include "platform/ui/avi_clip.h"
#include "res/generator/avi_writer.h"
#include "tests/ui/qt_test_app.h"

using platform::ui::AviClip;

namespace {

std::vector<QImage> Frames(int count, int w, int h) {
  std::vector<QImage> frames;
  for (int i = 0; i < count; ++i) {
    QImage f(w, h, QImage::Format_RGB32);
    f.fill(QColor(240, 240, 240));
    QPainter p(&f);
    p.fillRect(i * 3, 1, 3, h - 2, QColor(20, 60, 160));
    p.end();
    f.setPixel(w - 1, h - 1, qRgb(200, 10, 10));  // marks the top-down order
    frames.push_back(f);
  }
  return frames;
}

}  // namespace

TEST(CopyAnimation, TheShippedClipIsPlayable) {
  AviClip clip;
  ASSERT_TRUE(platform::ui::LoadAviClip(QStringLiteral(TARNWELL_SOURCE_DIR "/res/images/CopyFiles.avi"), &clip));
  EXPECT_EQ(clip.frames.size(), 16u);
  EXPECT_EQ(clip.Size(), QSize(240, 36));  // fits above the file list
  EXPECT_EQ(clip.microsecondsPerFrame, 80000);
  ASSERT_FALSE(clip.frames.empty());
  EXPECT_NE(clip.frames.front(), clip.frames.back());
}

TEST(CopyAnimation, WrittenClipsReadBackExactlyAndBrokenOnesAreRefused) {
  // An odd width exercises the row padding.
  const std::vector<QImage> frames = Frames(5, 17, 6);
  const QByteArray bytes = EncodeAviClip(frames, 50000);
  AviClip clip;
  ASSERT_TRUE(platform::ui::ParseAviClip(bytes, &clip));
  ASSERT_EQ(clip.frames.size(), frames.size());
  EXPECT_EQ(clip.microsecondsPerFrame, 50000);
  for (std::size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(clip.frames[i], frames[i]) << i;

  struct Case {
    const char* name;
    QByteArray bytes;
  } broken[] = {{"empty", QByteArray()},
                {"not RIFF", QByteArray("JUNKJUNKJUNKJUNK")},
                {"header only", bytes.left(12)},
                {"cut in the format", bytes.left(120)},
                {"cut in a frame", bytes.left(bytes.size() - 200)}};
  for (const Case& c : broken) {
    EXPECT_FALSE(platform::ui::ParseAviClip(c.bytes, &clip)) << c.name;
    EXPECT_TRUE(clip.frames.empty());
  }
  // A chunk whose stated size runs past the end is refused, not read beyond.
  QByteArray lying = bytes;
  const qsizetype movi = lying.indexOf("00db");
  ASSERT_GT(movi, 0);
  lying[movi + 7] = char(0x7F);
  EXPECT_FALSE(platform::ui::ParseAviClip(lying, &clip));
  EXPECT_TRUE(EncodeAviClip({}, 1000).isEmpty());
}

TEST(CopyAnimation, TheControlTakesTheClipsSizeAndLoops) {
  testing_ui::App();
  QWidget parent;
  parent.resize(700, 400);
  platform::ui::AnimateCtrl control(&parent, 6276, QRect(QPoint(280, 40), QPoint(629, 359)), true);
  EXPECT_FALSE(control.Open(QStringLiteral("/nonexistent/CopyFiles.avi")));
  EXPECT_FALSE(control.Play(0, -1, -1));
  ASSERT_TRUE(control.Open(QStringLiteral(TARNWELL_SOURCE_DIR "/res/images/CopyFiles.avi")));
  EXPECT_EQ(control.geometry(), QRect(280, 40, 240, 36));
  ASSERT_TRUE(control.Play(0, -1, -1));
  EXPECT_TRUE(control.IsPlaying());
  // Round the last frame and back to the first.
  bool wrapped = false;
  int last = control.CurrentFrame();
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!wrapped && std::chrono::steady_clock::now() < end) {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    const int now = control.CurrentFrame();
    wrapped = now < last;
    last = now;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_TRUE(wrapped);
  EXPECT_TRUE(control.IsPlaying());
  control.Stop();
  EXPECT_FALSE(control.IsPlaying());
}
