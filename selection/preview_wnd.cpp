#include "selection/preview_wnd.h"

#include <QPainter>

#include "platform/core/window_post.h"
#include "platform/ui/picture_paint.h"
#include "platform/ui/window_port.h"

namespace {

// The decoder thread's request to repaint, as the platform's paint message.
constexpr unsigned kRepaintRequest = 0x000F;

}  // namespace

CPreviewWnd::CPreviewWnd(QWidget* parent, int id)
    : QWidget(parent), id_(id), port_(new platform::ui::WindowPort(this, [this](unsigned msg, std::uintptr_t, std::intptr_t) {
        if (msg == kRepaintRequest) update();
      })) {
  // Every repaint covers the whole client area: nothing to erase first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  const platform::WindowId window = port_->Id();
  // The decoder thread holds the window's id, never the window; a request
  // that arrives after the window has gone is dropped.
  player_.SetRepaint([window] { platform::PostWindowMessage(window, kRepaintRequest); });
}

CPreviewWnd::~CPreviewWnd() { player_.Close(); }

void CPreviewWnd::Start() {
  player_.m_strPositionPath = m_strPositionPath;
  player_.m_strStreamPath = m_strStreamPath;
  player_.Start([this] { ReaderThreadProc(this); }, [this] { DecoderThreadProc(this); });
}

unsigned CPreviewWnd::ReaderThreadProc(CPreviewWnd* window) {
  window->ReaderThread();
  return 0;
}

unsigned CPreviewWnd::DecoderThreadProc(CPreviewWnd* window) {
  window->DecoderThread();
  return 0;
}

void CPreviewWnd::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  OnPaint(painter);
}

void CPreviewWnd::OnPaint(QPainter& painter) {
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
