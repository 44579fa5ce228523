#pragma once
// A silent AVI clip of uncompressed frames (8-bit with a palette, or 24-bit),
// read whole into pictures for the animation control.
#include <QByteArray>
#include <QImage>
#include <QString>
#include <vector>

namespace platform::ui {

struct AviClip {
  std::vector<QImage> frames;  // top row first, Format_RGB32
  int microsecondsPerFrame = 0;
  QSize Size() const { return frames.empty() ? QSize() : frames.front().size(); }
};

// False when the bytes are no AVI clip of uncompressed frames; every size the
// file states is checked against the bytes that are there.
bool ParseAviClip(const QByteArray& bytes, AviClip* clip);
bool LoadAviClip(const QString& path, AviClip* clip);

}  // namespace platform::ui
