#include "selection/time_line_bar.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <new>

#include "platform/ui/dialog.h"
#include "platform/ui/messages.h"
#include "platform/ui/window_port.h"
#include "selection/selection_messages.h"
#include "selection/time_line_painter.h"

CTimeLineBar::CTimeLineBar() : QAbstractScrollArea(nullptr) {}

CTimeLineBar::~CTimeLineBar() = default;

CTimeLineBar* CTimeLineBar::CreateObject() { return new (std::nothrow) CTimeLineBar(); }

CTimeLineBar* CTimeLineBar::Create(platform::ui::Dialog* parent, const QRect& rect) {
  if (parent == nullptr || parent->Client() == nullptr) return nullptr;
  return Create(parent->Client(), parent->Id(), rect);
}

CTimeLineBar* CTimeLineBar::Create(QWidget* parent, platform::WindowId notify, const QRect& rect) {
  CTimeLineBar* bar = CreateObject();
  if (bar == nullptr) return nullptr;
  bar->setParent(parent);
  bar->notify_ = notify;
  bar->setFrameShape(QFrame::Box);
  bar->setLineWidth(1);
  bar->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  bar->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  bar->setGeometry(rect);
  bar->port_ = new platform::ui::WindowPort(
      bar, [bar](unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) { bar->OnWndMsg(msg, wParam, lParam); });
  bar->InitView();
  bar->show();
  return bar;
}

void CTimeLineBar::InitView() {
  SetZoom(0);
  m_nTimerId = port_->SetTimer(TIMER_AUTOSCROLL, kAutoScrollPeriodMs);
  // Made once at the widest zoom's size, so no zoom level needs a new one.
  m_memBitmap = QImage(BitmapSize(), QImage::Format_RGB32);
  m_memBitmap.fill(Qt::white);
}

void CTimeLineBar::Invalidate() { viewport()->update(); }

platform::WindowId CTimeLineBar::Id() const { return port_ ? port_->Id() : platform::kNoWindow; }

void CTimeLineBar::SendMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  OnWndMsg(msg, wParam, lParam);
}

void CTimeLineBar::OnWndMsg(unsigned msg, std::uintptr_t wParam, std::intptr_t) {
  if (msg == platform::ui::WM_TIMER) OnTimer(static_cast<unsigned>(wParam));
}

void CTimeLineBar::SetZoom(int level) {
  SetZoomLevel(level);
  UpdateScrollBars();
  viewport()->update();
}

void CTimeLineBar::UpdateScrollBars() {
  const QSize total = ScrollSize();
  const QSize page = viewport()->size();
  QScrollBar* h = horizontalScrollBar();
  h->setRange(0, std::max(0, total.width() - page.width()));
  h->setPageStep(page.width());
  h->setSingleStep(std::max(1, total.width() / 100));
  QScrollBar* v = verticalScrollBar();
  v->setRange(0, std::max(0, total.height() - page.height()));
  v->setPageStep(page.height());
  v->setSingleStep(std::max(1, total.height() / 100));
}

void CTimeLineBar::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

void CTimeLineBar::scrollContentsBy(int, int) { viewport()->update(); }

QPoint CTimeLineBar::Logical(QPoint client) const {
  return client + QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

void CTimeLineBar::SetSelection(int startSecond, int endSecond) {
  ReleaseCapture();
  Select(startSecond, endSecond);
  viewport()->update();
  NotifyParent();
}

void CTimeLineBar::NotifyParent() {
  platform::PostWindowMessage(notify_, selection::WM_TIMELINE_SELECT, 0, 0);
}

void CTimeLineBar::TakeCapture() { captured_ = true; }

void CTimeLineBar::ReleaseCapture() {
  captured_ = false;
  viewport()->unsetCursor();
}

void CTimeLineBar::paintEvent(QPaintEvent* event) {
  const QPoint origin(horizontalScrollBar()->value(), verticalScrollBar()->value());
  const QRect visible = event->rect().translated(origin).intersected(QRect(QPoint(0, 0), m_memBitmap.size()));
  {
    QPainter memory(&m_memBitmap);
    memory.setClipRect(visible);  // only what shows is drawn
    selection::PaintTimeLine(memory, *this);
  }
  QPainter view(viewport());
  view.fillRect(event->rect(), Qt::white);
  const QRect area = QRect(QPoint(0, 0), ScrollSize()).intersected(visible);
  view.drawImage(area.topLeft() - origin, m_memBitmap, area);
}

void CTimeLineBar::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  if (Press(Logical(event->position().toPoint()))) {
    TakeCapture();
    viewport()->update();
  }
}

void CTimeLineBar::mouseMoveEvent(QMouseEvent* event) {
  const QPoint client = event->position().toPoint();
  // Without the capture the window sees no pointer outside itself.
  if (!captured_ && !viewport()->rect().contains(client)) return;
  const int windowLeft = -viewport()->x();
  const int windowRight = width() - viewport()->x();
  const bool dragging = m_bDragging == 1;
  if (Move(Logical(client), client.x(), windowLeft, windowRight)) {
    viewport()->setCursor(Qt::PointingHandCursor);
    viewport()->update();
  } else if (dragging) {
    viewport()->setCursor(Qt::ForbiddenCursor);
  }
}

void CTimeLineBar::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint client = event->position().toPoint();
  if (!captured_ && !viewport()->rect().contains(client)) return;
  if (m_bDragging != 1) return;
  ReleaseCapture();
  Release(Logical(client));
  viewport()->update();
  NotifyParent();
}

void CTimeLineBar::OnTimer(unsigned) {
  QScrollBar* h = horizontalScrollBar();
  const int position = AutoScrollTick(h->value(), h->maximum());
  if (position != h->value()) h->setValue(position);
}
