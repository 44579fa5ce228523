#include "res/generator/gif_writer.h"

#include <QFile>
#include <algorithm>
#include <map>

namespace {

constexpr int kTransparent = 255;

void Put16(std::vector<unsigned char>& out, int v) {
  out.push_back(static_cast<unsigned char>(v & 0xFF));
  out.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
}

// Up to 255 opaque colours; more are folded onto the nearest kept colour.
std::vector<QRgb> BuildPalette(const std::vector<QImage>& frames) {
  std::map<QRgb, int> counts;
  for (const QImage& f : frames)
    for (int y = 0; y < f.height(); ++y)
      for (int x = 0; x < f.width(); ++x) {
        const QRgb px = f.pixel(x, y);
        if (qAlpha(px) >= 128) ++counts[px | 0xFF000000u];
      }
  std::vector<std::pair<int, QRgb>> byCount;
  for (const auto& [colour, n] : counts) byCount.push_back({n, colour});
  std::sort(byCount.rbegin(), byCount.rend());
  std::vector<QRgb> palette;
  for (const auto& [n, colour] : byCount) {
    if (palette.size() == kTransparent) break;
    palette.push_back(colour);
  }
  return palette;
}

int Nearest(const std::vector<QRgb>& palette, QRgb px) {
  int best = 0;
  long bestDistance = -1;
  for (std::size_t i = 0; i < palette.size(); ++i) {
    const long dr = qRed(px) - qRed(palette[i]), dg = qGreen(px) - qGreen(palette[i]), db = qBlue(px) - qBlue(palette[i]);
    const long d = dr * dr + dg * dg + db * db;
    if (bestDistance < 0 || d < bestDistance) {
      bestDistance = d;
      best = static_cast<int>(i);
    }
  }
  return best;
}

// LZW with 9-bit codes only: a clear code before the table would need a
// tenth bit. Larger than real compression, but simple and valid.
void WriteImageData(std::vector<unsigned char>& out, const std::vector<int>& indices) {
  constexpr int kMinCodeSize = 8;
  constexpr int kClear = 256, kEnd = 257;
  out.push_back(kMinCodeSize);
  std::vector<unsigned char> bytes;
  unsigned long bits = 0;
  int count = 0;
  auto put = [&](int code) {
    bits |= static_cast<unsigned long>(code) << count;
    count += 9;
    while (count >= 8) {
      bytes.push_back(static_cast<unsigned char>(bits & 0xFF));
      bits >>= 8;
      count -= 8;
    }
  };
  int sinceClear = 0;
  put(kClear);
  for (int index : indices) {
    if (sinceClear == 250) {
      put(kClear);
      sinceClear = 0;
    }
    put(index);
    ++sinceClear;
  }
  put(kEnd);
  if (count > 0) bytes.push_back(static_cast<unsigned char>(bits & 0xFF));
  for (std::size_t at = 0; at < bytes.size(); at += 255) {
    const std::size_t n = std::min<std::size_t>(255, bytes.size() - at);
    out.push_back(static_cast<unsigned char>(n));
    out.insert(out.end(), bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + n));
  }
  out.push_back(0);
}

}  // namespace

std::vector<unsigned char> EncodeAnimatedGif(const std::vector<QImage>& frames, int delay) {
  std::vector<unsigned char> out;
  if (frames.empty()) return out;
  const int w = frames[0].width(), h = frames[0].height();
  std::vector<QImage> argb;
  for (const QImage& f : frames) argb.push_back(f.convertToFormat(QImage::Format_ARGB32));
  const std::vector<QRgb> palette = BuildPalette(argb);

  const char header[] = "GIF89a";
  out.insert(out.end(), header, header + 6);
  Put16(out, w);
  Put16(out, h);
  out.push_back(0xF7);  // global table of 256 colours, 8 bits of colour resolution
  out.push_back(kTransparent);
  out.push_back(0);
  for (int i = 0; i < 256; ++i) {
    const QRgb c = i < static_cast<int>(palette.size()) ? palette[static_cast<std::size_t>(i)] : qRgb(0, 0, 0);
    out.push_back(static_cast<unsigned char>(qRed(c)));
    out.push_back(static_cast<unsigned char>(qGreen(c)));
    out.push_back(static_cast<unsigned char>(qBlue(c)));
  }
  // Loop for ever.
  const unsigned char loop[] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 0x03, 0x01, 0x00, 0x00, 0x00};
  out.insert(out.end(), loop, loop + sizeof loop);

  for (const QImage& f : argb) {
    out.push_back(0x21);
    out.push_back(0xF9);
    out.push_back(0x04);
    out.push_back(0x09);  // restore to background, transparent index present
    Put16(out, delay);
    out.push_back(kTransparent);
    out.push_back(0x00);
    out.push_back(0x2C);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, w);
    Put16(out, h);
    out.push_back(0x00);
    std::vector<int> indices;
    indices.reserve(static_cast<std::size_t>(w * h));
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const QRgb px = f.pixel(x, y);
        indices.push_back(qAlpha(px) < 128 ? kTransparent : Nearest(palette, px));
      }
    WriteImageData(out, indices);
  }
  out.push_back(0x3B);
  return out;
}

bool WriteAnimatedGif(const std::vector<QImage>& frames, int delay, const QString& path) {
  const std::vector<unsigned char> data = EncodeAnimatedGif(frames, delay);
  if (data.empty()) return false;
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  return file.write(reinterpret_cast<const char*>(data.data()), static_cast<qint64>(data.size())) ==
         static_cast<qint64>(data.size());
}
