#pragma once
// A small writer of silent AVI clips with uncompressed 8-bit frames and one
// shared palette, the kind an animation control plays.
#include <QByteArray>
#include <QImage>
#include <QString>
#include <vector>

// Frames of equal size, reduced to one 256-colour palette; the clip's first
// pixel is its background colour. Empty when there are no frames.
QByteArray EncodeAviClip(const std::vector<QImage>& frames, int microsecondsPerFrame);
bool WriteAviClip(const std::vector<QImage>& frames, int microsecondsPerFrame, const QString& path);
