#include "selection/preview_wnd.h"

#include <QPainter>

CPreviewWnd::CPreviewWnd(QWidget* parent, int id) : QWidget(parent), id_(id), repaint_(this) {
  // Every repaint covers the whole client area: nothing to erase first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  const platform::WindowId window = repaint_.Id();
  // The decoder thread holds the window's id, never the window.
  player_.SetRepaint([window] { platform::ui::InvalidateWindow(window); });
}

CPreviewWnd::~CPreviewWnd() { player_.Close(); }

void CPreviewWnd::Start() {
  player_.m_strPositionPath = m_strPositionPath;
  player_.m_strStreamPath = m_strStreamPath;
  player_.Start();
}

void CPreviewWnd::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  player_.WithPicture([&](const std::uint8_t* bgr, int width, int height) {
    if (width > 0 && height > 0) {
      platform::ui::DrawBgrPicture(painter, rect(), bgr, width, height);
    } else {
      // No picture yet: what the shown buffer holds, mid grey.
      const int grey = PreviewPlayer::kInitialGrey;
      painter.fillRect(rect(), QColor(grey, grey, grey));
    }
  });
}
