#pragma once
// Painting packed BGR24 pictures (what the video decoder produces) into a
// window, in place of the platform's DIB drawing.
#include <QColor>
#include <QRect>
#include <cstdint>

class QPainter;

namespace platform::ui {

// Stretches a picture of width x height pixels, rows top first and packed at
// width x 3 bytes (no row padding), over the destination with smoothing.
// Nothing is drawn for an empty picture.
void DrawBgrPicture(QPainter& painter, const QRect& destination, const std::uint8_t* bgr, int width,
                    int height);

}  // namespace platform::ui
