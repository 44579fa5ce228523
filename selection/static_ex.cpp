#include "selection/static_ex.h"

#include <QMouseEvent>
#include <QPainter>

#include "selection/calendar_layout.h"
#include "selection/selection_messages.h"

CStaticEx::CStaticEx(QWidget* parent, int id, platform::WindowId notify)
    : QLabel(parent), id_(id), notify_(notify) {
  setMouseTracking(true);
}

CStaticEx::~CStaticEx() = default;

void CStaticEx::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect r = rect();
  if (m_nMode == selection::kModeHeader) {
    p.fillRect(QRect(0, 0, r.width(), 7), QColor(30, 70, 240));
    p.fillRect(QRect(0, 7, r.width(), 7), QColor(20, 70, 220));
    if (r.height() > 14) p.fillRect(QRect(0, 14, r.width(), r.height() - 14), QColor(10, 70, 200));
    p.setPen(Qt::white);
    p.drawText(QRect(4, 1, r.width(), r.height()), Qt::AlignLeft | Qt::AlignTop, text());
    return;
  }
  QColor colour = Qt::black;
  if (m_nMode == selection::kModeSelected) colour = QColor(255, 0, 0);
  else if (m_nMode == selection::kModeRecordings) colour = QColor(0, 0, 255);
  p.setPen(colour);
  p.drawText(r, Qt::AlignHCenter | Qt::AlignTop, text());
}

void CStaticEx::OnMouseMove() {
  if (m_nMode == selection::kModeRecordings) setCursor(Qt::PointingHandCursor);
  else unsetCursor();
}

void CStaticEx::mouseMoveEvent(QMouseEvent* event) {
  OnMouseMove();
  QLabel::mouseMoveEvent(event);
}

void CStaticEx::mousePressEvent(QMouseEvent* event) { event->accept(); }

void CStaticEx::OnLButtonUp() {
  if (m_nMode != selection::kModeRecordings) return;
  const int day = text().trimmed().toInt();
  platform::PostWindowMessage(notify_, selection::WM_CALENDAR_PICK, static_cast<std::uintptr_t>(day), 0);
}

void CStaticEx::mouseReleaseEvent(QMouseEvent* event) {
  // The button-up is consumed in every mode.
  event->accept();
  if (event->button() != Qt::LeftButton) return;
  // The pressed control keeps the mouse until the release, but the day the
  // operator chose is the one under the pointer now: a static control takes
  // no capture, so its button-up belongs to the control it happens over.
  const QPoint at = event->position().toPoint();
  CStaticEx* under = nullptr;
  if (QWidget* parent = parentWidget())
    under = dynamic_cast<CStaticEx*>(parent->childAt(mapToParent(at)));
  else if (rect().contains(at))
    under = this;
  if (under != nullptr) under->OnLButtonUp();
}
