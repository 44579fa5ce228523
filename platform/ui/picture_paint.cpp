#include "platform/ui/picture_paint.h"

#include <QImage>
#include <QMetaObject>
#include <QPainter>
#include <QWidget>

namespace platform::ui {
namespace {

// The message a repaint request travels as; private to this file.
constexpr unsigned kRepaintMessage = WM_USER + 0x3F0;

}  // namespace

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

RepaintById::RepaintById(QWidget* widget) : id_(NewWindowId()) {
  // The sink runs on the posting thread under the registry's lock: it only
  // queues the repaint for the widget's thread. The widget unregisters before
  // it is destroyed, and Qt drops calls queued for a destroyed object.
  RegisterWindow(id_, [widget](unsigned msg, std::uintptr_t, std::intptr_t) {
    if (msg != kRepaintMessage) return;
    QMetaObject::invokeMethod(widget, [widget] { widget->update(); }, Qt::QueuedConnection);
  });
}

RepaintById::~RepaintById() { UnregisterWindow(id_); }

bool InvalidateWindow(WindowId id) { return PostWindowMessage(id, kRepaintMessage); }

}  // namespace platform::ui
