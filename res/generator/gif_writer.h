#pragma once
// A small GIF89a writer for animated pictures: one 256-colour palette, one
// transparent index, frames that loop for ever. Qt reads GIF but cannot write it.
#include <QImage>
#include <QString>
#include <vector>

// Frames of equal size; pixels with alpha below one half become transparent.
// delay in hundredths of a second. False when the file cannot be written.
bool WriteAnimatedGif(const std::vector<QImage>& frames, int delay, const QString& path);

// The same, into memory (tests read it back).
std::vector<unsigned char> EncodeAnimatedGif(const std::vector<QImage>& frames, int delay);
