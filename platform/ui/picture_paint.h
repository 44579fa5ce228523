#pragma once
// Painting packed BGR24 pictures (what the video decoder produces) into a
// window, and repainting a window on request from any thread.
#include <QColor>
#include <QRect>
#include <cstdint>

#include "platform/core/window_post.h"

class QPainter;
class QWidget;

namespace platform::ui {

// Stretches a picture of width x height pixels, rows top first and packed at
// width x 3 bytes (no row padding), over the destination with smoothing.
// Nothing is drawn for an empty picture.
void DrawBgrPicture(QPainter& painter, const QRect& destination, const std::uint8_t* bgr, int width,
                    int height);

// Gives a widget a window id that worker threads may post repaint requests
// to. The request is carried to the widget's own thread; the widget repaints
// without erasing. Requests to an id whose widget is gone are dropped.
class RepaintById {
 public:
  explicit RepaintById(QWidget* widget);
  ~RepaintById();
  RepaintById(const RepaintById&) = delete;
  RepaintById& operator=(const RepaintById&) = delete;

  WindowId Id() const { return id_; }

 private:
  WindowId id_;
};

// From any thread: asks the window to repaint (the platform's invalidate
// without erase). False when no such window exists.
bool InvalidateWindow(WindowId id);

}  // namespace platform::ui
