#include "platform/ui/avi_clip.h"

#include <QFile>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace platform::ui {
namespace {

// Frame sizes beyond this are not an animation control's clip.
constexpr int kMaxSide = 4096;
constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;

std::uint32_t U32(const QByteArray& b, qsizetype at) {
  const auto* p = reinterpret_cast<const unsigned char*>(b.constData() + at);
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
std::uint16_t U16(const QByteArray& b, qsizetype at) {
  const auto* p = reinterpret_cast<const unsigned char*>(b.constData() + at);
  return std::uint16_t(p[0] | p[1] << 8);
}
bool Is(const QByteArray& b, qsizetype at, const char* fourcc) { return std::memcmp(b.constData() + at, fourcc, 4) == 0; }

struct Format {
  int width = 0, height = 0, bits = 0;
  bool bottomUp = true;
  std::vector<QRgb> palette;
};

bool ReadFormat(const QByteArray& b, qsizetype at, qsizetype size, Format* f) {
  if (size < 40 || U32(b, at) < 40) return false;
  const std::int32_t width = std::int32_t(U32(b, at + 4));
  const std::int32_t height = std::int32_t(U32(b, at + 8));
  f->bits = U16(b, at + 14);
  if (U32(b, at + 16) != 0) return false;  // compressed frames are not read
  if (width <= 0 || width > kMaxSide || height == 0 || height < -kMaxSide || height > kMaxSide) return false;
  f->width = width;
  f->height = height < 0 ? -height : height;
  f->bottomUp = height > 0;
  if (f->bits == 8) {
    const qsizetype header = U32(b, at);
    std::uint32_t used = U32(b, at + 32);
    if (used == 0 || used > 256) used = 256;
    if (header > size || qsizetype(used) * 4 > size - header) return false;
    for (std::uint32_t i = 0; i < used; ++i) {
      const qsizetype e = at + header + qsizetype(i) * 4;
      f->palette.push_back(qRgb(uchar(b[e + 2]), uchar(b[e + 1]), uchar(b[e])));
    }
    f->palette.resize(256, qRgb(0, 0, 0));
    return true;
  }
  return f->bits == 24;
}

QImage ReadFrame(const QByteArray& b, qsizetype at, qsizetype size, const Format& f) {
  const qsizetype stride = ((qsizetype(f.width) * f.bits + 31) / 32) * 4;
  if (size < stride * f.height) return QImage();
  QImage image(f.width, f.height, QImage::Format_RGB32);
  for (int y = 0; y < f.height; ++y) {
    const int source = f.bottomUp ? f.height - 1 - y : y;
    const auto* row = reinterpret_cast<const unsigned char*>(b.constData() + at + stride * source);
    auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < f.width; ++x)
      out[x] = f.bits == 8 ? f.palette[row[x]] : qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
  }
  return image;
}

// Walks the chunks of [begin, end): lists are entered, frames read.
bool Walk(const QByteArray& b, qsizetype begin, qsizetype end, AviClip* clip, Format* format, bool* haveFormat,
          int depth) {
  if (depth > 8) return false;
  qsizetype at = begin;
  while (at + 8 <= end) {
    const qsizetype size = U32(b, at + 4);
    const qsizetype body = at + 8;
    if (size > end - body) return false;
    if (Is(b, at, "LIST")) {
      if (size < 4 || !Walk(b, body + 4, body + size, clip, format, haveFormat, depth + 1)) return false;
    } else if (Is(b, at, "avih")) {
      if (size >= 4) clip->microsecondsPerFrame = int(U32(b, body) & 0x7FFFFFFF);
    } else if (Is(b, at, "strf") && !*haveFormat) {
      if (!ReadFormat(b, body, size, format)) return false;
      *haveFormat = true;
    } else if ((Is(b, at, "00db") || Is(b, at, "00dc")) && *haveFormat) {
      QImage frame = ReadFrame(b, body, size, *format);
      if (frame.isNull()) return false;
      clip->frames.push_back(frame);
    }
    at = body + size + (size & 1);
  }
  return true;
}

}  // namespace

bool ParseAviClip(const QByteArray& bytes, AviClip* clip) {
  *clip = AviClip();
  if (bytes.size() < 12 || !Is(bytes, 0, "RIFF") || !Is(bytes, 8, "AVI ")) return false;
  const qsizetype end = std::min<qsizetype>(bytes.size(), 8 + qsizetype(U32(bytes, 4)));
  Format format;
  bool haveFormat = false;
  if (!Walk(bytes, 12, end, clip, &format, &haveFormat, 0) || clip->frames.empty()) {
    *clip = AviClip();
    return false;
  }
  return true;
}

bool LoadAviClip(const QString& path, AviClip* clip) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFileBytes) {
    *clip = AviClip();
    return false;
  }
  return ParseAviClip(file.readAll(), clip);
}

}  // namespace platform::ui
