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
  // A scroll bar's page step also sets its handle's length, which must show
  // how much of the day is in view; a click beside the handle (or a page key)
  // moves by the scroll sizes' page, a tenth of the scrolled area, instead.
  for (QScrollBar* scroll : {bar->horizontalScrollBar(), bar->verticalScrollBar()}) {
    QObject::connect(scroll, &QAbstractSlider::actionTriggered, bar, [bar, scroll](int action) {
      const bool horizontal = scroll == bar->horizontalScrollBar();
      bar->PageBy(scroll, action, horizontal ? bar->scrollTotal_.width() / 10 : bar->scrollTotal_.height() / 10);
    });
  }
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

void CTimeLineBar::SendMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  OnWndMsg(msg, wParam, lParam);
}

void CTimeLineBar::OnWndMsg(unsigned msg, std::uintptr_t wParam, std::intptr_t) {
  if (msg == platform::ui::WM_TIMER) OnTimer(static_cast<unsigned>(wParam));
}

void CTimeLineBar::SetZoom(int level) {
  SetZoomLevel(level);
  SetScrollSizes(ScrollSize());
  viewport()->update();
}

void CTimeLineBar::OnInitialUpdate() { SetScrollSizes(QSize(100, 100)); }

void CTimeLineBar::SetScrollSizes(QSize total) {
  scrollTotal_ = total;
  UpdateScrollBars();
}

void CTimeLineBar::UpdateScrollBars() {
  const QSize page = viewport()->size();
  QScrollBar* h = horizontalScrollBar();
  h->setRange(0, std::max(0, scrollTotal_.width() - page.width()));
  h->setPageStep(page.width());
  h->setSingleStep(std::max(1, scrollTotal_.width() / 10 / 10));
  QScrollBar* v = verticalScrollBar();
  v->setRange(0, std::max(0, scrollTotal_.height() - page.height()));
  v->setPageStep(page.height());
  v->setSingleStep(std::max(1, scrollTotal_.height() / 10 / 10));
}

void CTimeLineBar::PageBy(QScrollBar* bar, int action, int page) {
  // The bar has moved its position by its own page already; the value has
  // not changed yet, and follows the position set here.
  if (action == QAbstractSlider::SliderPageStepAdd) bar->setSliderPosition(bar->value() + page);
  else if (action == QAbstractSlider::SliderPageStepSub) bar->setSliderPosition(bar->value() - page);
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
  QPainter view(viewport());
  OnDraw(view, event->rect());
}

void CTimeLineBar::OnDraw(QPainter& view, const QRect& dirty) {
  const QPoint origin(horizontalScrollBar()->value(), verticalScrollBar()->value());
  const QRect visible = dirty.translated(origin).intersected(QRect(QPoint(0, 0), m_memBitmap.size()));
  {
    QPainter memory(&m_memBitmap);
    memory.setClipRect(visible);  // only what shows is drawn
    selection::PaintTimeLine(memory, *this);
  }
  view.fillRect(dirty, Qt::white);
  const QRect area = QRect(QPoint(0, 0), ScrollSize()).intersected(visible);
  view.drawImage(area.topLeft() - origin, m_memBitmap, area);
}

void CTimeLineBar::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) OnLButtonDown(event->position().toPoint());
}

void CTimeLineBar::mouseMoveEvent(QMouseEvent* event) { OnMouseMove(event->position().toPoint()); }

void CTimeLineBar::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) OnLButtonUp(event->position().toPoint());
}

void CTimeLineBar::OnLButtonDown(QPoint client) {
  if (Press(Logical(client))) {
    TakeCapture();
    viewport()->update();
  }
}

void CTimeLineBar::OnMouseMove(QPoint client) {
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

void CTimeLineBar::OnLButtonUp(QPoint client) {
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
