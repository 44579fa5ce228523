#include "platform/ui/picture_paint.h"

#include <QImage>
#include <QPainter>

namespace platform::ui {

void DrawBgrPicture(QPainter& painter, const QRect& destination, const std::uint8_t* bgr, int width,
                    int height) {
  if (!bgr || width <= 0 || height <= 0 || destination.isEmpty()) return;
  // The image only wraps the caller's bytes; the caller keeps them unchanged
  // while this runs.
  const QImage image(bgr, width, height, width * 3, QImage::Format_BGR888);
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
  painter.drawImage(destination, image);
  painter.restore();
}

}  // namespace platform::ui
