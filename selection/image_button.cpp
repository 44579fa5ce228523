#include "selection/image_button.h"

#include <QEvent>
#include <QPainter>

#include "platform/ui/dialog.h"
#include "selection/image_button_look.h"

CMyButton::CMyButton() = default;

CMyButton::~CMyButton() {
  if (button_) button_->removeEventFilter(this);
}

bool CMyButton::SubclassWindow(QAbstractButton* button) {
  if (button != nullptr && button == Button()) return true;  // the data exchange may run again
  if (button == nullptr || button_) return false;
  button_ = button;
  button->setMouseTracking(true);
  button->installEventFilter(this);
  fullPending_ = true;
  button->update();
  return true;
}

bool CMyButton::SubclassDlgItem(int id, platform::ui::Dialog* parent) {
  return parent != nullptr && SubclassWindow(parent->Item<QAbstractButton>(id));
}

void CMyButton::SetImages(QString disabledFile, QString normalFile, QString pressedFile, QString hoverFile) {
  auto load = [](QImage& image, const QString& file) {
    if (!image.load(file)) image = QImage();
  };
  load(m_imgDisabled, disabledFile);
  load(m_imgNormal, normalFile);
  load(m_imgPressed, pressedFile);
  load(m_imgHover, hoverFile);
  Invalidate();
}

void CMyButton::DrawItem(const platform::ui::DrawItemStruct& item) {
  if (item.dc == nullptr) return;
  const selection::LoadedImages loaded{!m_imgDisabled.isNull(), !m_imgNormal.isNull(), !m_imgPressed.isNull(),
                                       !m_imgHover.isNull()};
  for (const selection::ButtonStep& step : selection::ButtonDrawSteps(item.itemAction, item.itemState, m_bHover == 1, loaded)) {
    const QImage* image = &m_imgNormal;
    switch (step.image) {
      case selection::ButtonImage::Disabled: image = &m_imgDisabled; break;
      case selection::ButtonImage::Normal: image = &m_imgNormal; break;
      case selection::ButtonImage::Pressed: image = &m_imgPressed; break;
      case selection::ButtonImage::Hover: image = &m_imgHover; break;
    }
    if (step.stretched) item.dc->drawImage(item.rcItem, *image);
    else item.dc->drawImage(QPoint(0, 0), *image);
  }
}

void CMyButton::Invalidate() {
  fullPending_ = true;
  if (QAbstractButton* b = Button()) b->update();
}

void CMyButton::OnMouseMove() {
  if (QAbstractButton* b = Button()) b->setCursor(Qt::PointingHandCursor);
  if (m_bHover == 0) {
    m_bHover = 1;
    trackingLeave_ = true;  // tell us when the pointer leaves
    Invalidate();
  }
}

int CMyButton::OnMouseLeave() {
  m_bHover = 0;
  Invalidate();
  return 0;
}

void CMyButton::OnDrawItem() {
  using namespace platform::ui;
  QAbstractButton* b = Button();
  if (b == nullptr) return;
  if (surface_.size() != b->size()) {
    surface_ = QImage(b->size(), QImage::Format_ARGB32_Premultiplied);
    fullPending_ = true;
  }
  // A change of the pressed state alone is a selection change; anything else
  // (showing, an invalidation, an uncovering) redraws the whole button.
  const bool down = b->isDown();
  DrawItemStruct item;
  item.itemAction = (!fullPending_ && down != lastDown_) ? ODA_SELECT : ODA_DRAWENTIRE;
  item.itemState = (down ? ODS_SELECTED : 0u) | (b->isEnabled() ? 0u : ODS_DISABLED) | (b->hasFocus() ? ODS_FOCUS : 0u);
  item.rcItem = b->rect();
  lastDown_ = down;
  fullPending_ = false;
  if (item.itemAction == ODA_DRAWENTIRE) surface_.fill(Qt::transparent);  // the background shows through
  {
    QPainter onSurface(&surface_);
    item.dc = &onSurface;
    DrawItem(item);
  }
  QPainter onButton(b);
  onButton.drawImage(QPoint(0, 0), surface_);
}

bool CMyButton::eventFilter(QObject* watched, QEvent* event) {
  if (watched == nullptr || watched != Button()) return false;
  switch (event->type()) {
    case QEvent::Paint:
      OnDrawItem();
      return true;  // the caption is never drawn
    case QEvent::MouseMove:
      OnMouseMove();
      return false;
    case QEvent::Leave:
      if (trackingLeave_) {
        trackingLeave_ = false;
        OnMouseLeave();
      }
      return false;
    case QEvent::EnabledChange:
    case QEvent::Resize:
    case QEvent::Show:
      fullPending_ = true;
      return false;
    default:
      return false;
  }
}
