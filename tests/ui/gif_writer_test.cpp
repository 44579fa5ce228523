// The GIF writer of the resource generator: what it writes reads back the same.
#include <QBuffer>
#include <QImageReader>
#include <gtest/gtest.h>

#include "res/generator/gif_writer.h"
#include "tests/ui/qt_test_app.h"

namespace {

QImage Frame(int w, int h, int seed) {
  QImage image(w, h, QImage::Format_ARGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if ((x + y + seed) % 7 == 0) image.setPixel(x, y, qRgba(0, 0, 0, 0));
      else {
        const int k = (x * 3 + y + seed) % 60;  // 60 colours: the palette holds them all
        image.setPixel(x, y, qRgb(k * 4, 255 - k * 3, (k * 17 + seed * 40) % 256));
      }
    }
  return image;
}

}  // namespace

TEST(GifWriter, FramesReadBackPixelForPixel) {
  // 40 x 40 frames need more than one clear code per frame.
  const std::vector<QImage> frames = {Frame(40, 40, 1), Frame(40, 40, 2), Frame(40, 40, 3)};
  const std::vector<unsigned char> data = EncodeAnimatedGif(frames, 5);
  ASSERT_FALSE(data.empty());
  QByteArray bytes(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size()));
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "gif");
  EXPECT_EQ(reader.imageCount(), 3);
  EXPECT_EQ(reader.size(), QSize(40, 40));
  for (std::size_t f = 0; f < frames.size(); ++f) {
    const QImage read = reader.read().convertToFormat(QImage::Format_ARGB32);
    ASSERT_FALSE(read.isNull()) << "frame " << f;
    EXPECT_EQ(reader.nextImageDelay(), 50);
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 40; ++x) {
        const QRgb want = frames[f].pixel(x, y), got = read.pixel(x, y);
        if (qAlpha(want) == 0) {
          ASSERT_EQ(qAlpha(got), 0) << f << " " << x << "," << y;
        } else {
          ASSERT_EQ(got, want) << f << " " << x << "," << y;
        }
      }
  }
}

TEST(GifWriter, NoFramesNoFile) { EXPECT_TRUE(EncodeAnimatedGif({}, 5).empty()); }
