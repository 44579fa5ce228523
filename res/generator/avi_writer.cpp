#include "res/generator/avi_writer.h"

#include <QFile>
#include <QPainter>

#include <algorithm>
#include <cstdint>

namespace {

class Chunks {
 public:
  void U32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.append(char((v >> (8 * i)) & 0xFF));
  }
  void U16(std::uint16_t v) {
    bytes.append(char(v & 0xFF));
    bytes.append(char(v >> 8));
  }
  void FourCC(const char* c) { bytes.append(c, 4); }
  // Starts a chunk (or a list with its type) and returns where its size goes.
  qsizetype Open(const char* id, const char* listType = nullptr) {
    FourCC(id);
    const qsizetype at = bytes.size();
    U32(0);
    if (listType) FourCC(listType);
    return at;
  }
  void Close(qsizetype sizeAt) {
    const std::uint32_t size = std::uint32_t(bytes.size() - sizeAt - 4);
    for (int i = 0; i < 4; ++i) bytes[sizeAt + i] = char((size >> (8 * i)) & 0xFF);
    if (bytes.size() & 1) bytes.append('\0');
  }
  QByteArray bytes;
};

}  // namespace

QByteArray EncodeAviClip(const std::vector<QImage>& frames, int microsecondsPerFrame) {
  if (frames.empty()) return QByteArray();
  const int w = frames.front().width();
  const int h = frames.front().height();
  // One palette for all frames: the frames side by side, reduced together.
  QImage strip(w * int(frames.size()), h, QImage::Format_RGB32);
  {
    QPainter p(&strip);
    for (std::size_t i = 0; i < frames.size(); ++i) p.drawImage(int(i) * w, 0, frames[i].convertToFormat(QImage::Format_RGB32));
  }
  const QImage indexed = strip.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
  const QList<QRgb> table = indexed.colorTable();
  const int stride = (w + 3) & ~3;
  const std::uint32_t frameBytes = std::uint32_t(stride * h);

  Chunks c;
  const qsizetype riff = c.Open("RIFF", "AVI ");
  const qsizetype hdrl = c.Open("LIST", "hdrl");
  const qsizetype avih = c.Open("avih");
  c.U32(std::uint32_t(microsecondsPerFrame));
  c.U32(frameBytes * 1000000u / std::uint32_t(std::max(1, microsecondsPerFrame)));
  c.U32(0);
  c.U32(0x10);  // has an index
  c.U32(std::uint32_t(frames.size()));
  c.U32(0);
  c.U32(1);
  c.U32(frameBytes);
  c.U32(std::uint32_t(w));
  c.U32(std::uint32_t(h));
  for (int i = 0; i < 4; ++i) c.U32(0);
  c.Close(avih);
  const qsizetype strl = c.Open("LIST", "strl");
  const qsizetype strh = c.Open("strh");
  c.FourCC("vids");
  c.FourCC("DIB ");
  c.U32(0);
  c.U16(0);
  c.U16(0);
  c.U32(0);
  c.U32(std::uint32_t(microsecondsPerFrame));  // scale / rate = seconds per frame
  c.U32(1000000);
  c.U32(0);
  c.U32(std::uint32_t(frames.size()));
  c.U32(frameBytes);
  c.U32(0xFFFFFFFFu);
  c.U32(0);
  c.U16(0);
  c.U16(0);
  c.U16(std::uint16_t(w));
  c.U16(std::uint16_t(h));
  c.Close(strh);
  const qsizetype strf = c.Open("strf");
  c.U32(40);
  c.U32(std::uint32_t(w));
  c.U32(std::uint32_t(h));  // bottom-up rows
  c.U16(1);
  c.U16(8);
  c.U32(0);
  c.U32(frameBytes);
  c.U32(0);
  c.U32(0);
  c.U32(256);
  c.U32(0);
  for (int i = 0; i < 256; ++i) {
    const QRgb rgb = i < table.size() ? table[i] : qRgb(0, 0, 0);
    c.bytes.append(char(qBlue(rgb)));
    c.bytes.append(char(qGreen(rgb)));
    c.bytes.append(char(qRed(rgb)));
    c.bytes.append('\0');
  }
  c.Close(strf);
  c.Close(strl);
  c.Close(hdrl);

  const qsizetype movi = c.Open("LIST", "movi");
  const qsizetype moviType = movi + 4;
  std::vector<std::uint32_t> offsets;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    offsets.push_back(std::uint32_t(c.bytes.size() - moviType));
    const qsizetype chunk = c.Open("00db");
    for (int y = h - 1; y >= 0; --y) {
      const uchar* line = indexed.constScanLine(y) + i * std::size_t(w);
      c.bytes.append(reinterpret_cast<const char*>(line), w);
      for (int pad = w; pad < stride; ++pad) c.bytes.append('\0');
    }
    c.Close(chunk);
  }
  c.Close(movi);
  const qsizetype idx1 = c.Open("idx1");
  for (std::uint32_t offset : offsets) {
    c.FourCC("00db");
    c.U32(0x10);  // key frame
    c.U32(offset);
    c.U32(frameBytes);
  }
  c.Close(idx1);
  c.Close(riff);
  return c.bytes;
}

bool WriteAviClip(const std::vector<QImage>& frames, int microsecondsPerFrame, const QString& path) {
  const QByteArray bytes = EncodeAviClip(frames, microsecondsPerFrame);
  QFile file(path);
  return !bytes.isEmpty() && file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}
