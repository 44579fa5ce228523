#include "platform/ui/toolbar.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionToolButton>
#include <QStylePainter>

namespace platform::ui {

int ImageList::Add(const QIcon& icon) {
  images_.push_back(icon);
  return Count() - 1;
}

QIcon ImageList::Image(int index) const {
  if (index < 0 || index >= Count()) return QIcon();
  return images_[static_cast<std::size_t>(index)];
}

DropDownToolButton::DropDownToolButton(QWidget* parent, std::function<void()> onDropDown)
    : QToolButton(parent), onDropDown_(std::move(onDropDown)) {}

QRect DropDownToolButton::ArrowRect() {
  if (popupMode() != QToolButton::MenuButtonPopup) return QRect();
  QStyleOptionToolButton option;
  initStyleOption(&option);
  return style()->subControlRect(QStyle::CC_ToolButton, &option, QStyle::SC_ToolButtonMenu, this);
}

void DropDownToolButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && isEnabled() && ArrowRect().contains(event->position().toPoint())) {
    event->accept();
    const QPointer<DropDownToolButton> self(this);
    if (onDropDown_) onDropDown_();
    if (self) self->update();  // the pop-up has closed; the pointer may be elsewhere now
    return;
  }
  QToolButton::mousePressEvent(event);
}

bool DropDownToolButton::ShowsHoverFrame() const {
  if (!underMouse() || !rect().contains(mapFromGlobal(QCursor::pos()))) return false;
  const QWidget* modal = QApplication::activeModalWidget();
  const QWidget* popup = QApplication::activePopupWidget();
  return (modal == nullptr || modal == window()) && popup == nullptr;
}

void DropDownToolButton::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionToolButton option;
  initStyleOption(&option);
  if (!ShowsHoverFrame()) option.state &= ~QStyle::State_MouseOver;
  painter.drawComplexControl(QStyle::CC_ToolButton, option);
}

bool ToolBar::Create(QWidget* parent, int windowId, CommandSink commands, DropDownSink dropDowns) {
  if (parent == nullptr) return false;
  bar_ = new QToolBar(parent);
  bar_->setObjectName(QStringLiteral("toolbar_%1").arg(windowId));
  bar_->setMovable(false);
  bar_->setFloatable(false);
  bar_->setContentsMargins(0, 0, 0, 0);
  commands_ = std::move(commands);
  dropDowns_ = std::move(dropDowns);
  bar_->show();
  return true;
}

void ToolBar::SetButtons(const std::vector<unsigned>& ids) {
  if (!bar_) return;
  for (Entry& b : buttons_) delete b.widget.data();
  buttons_.clear();
  for (unsigned id : ids) {
    auto* button = new DropDownToolButton(bar_, [this, id] {
      if (dropDowns_) dropDowns_(id);
    });
    auto* action = new QAction(button);
    QObject::connect(action, &QAction::triggered, bar_, [this, id, shown = QPointer<QToolButton>(button)] {
      if (commands_) commands_(id);
      if (shown) shown->update();  // a dialog it opened has closed; the pointer may be elsewhere now
    }, Qt::QueuedConnection);
    button->setDefaultAction(action);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    bar_->addWidget(button);
    buttons_.push_back(Entry{id, button, action});
  }
  ApplyImages();
}

void ToolBar::SetImageList(const ImageList* images) {
  images_ = images;
  ApplyImages();
}

void ToolBar::SetSizes(QSize button, QSize image) {
  buttonSize_ = button;
  imageSize_ = image;
  if (bar_) bar_->setIconSize(image);
  ApplyImages();
}

void ToolBar::ApplyImages() {
  for (std::size_t i = 0; i < buttons_.size(); ++i) {
    Entry& b = buttons_[i];
    if (!b.widget) continue;
    b.widget->setIconSize(imageSize_);
    if (images_ != nullptr && b.action) b.action->setIcon(images_->Image(static_cast<int>(i)));
    if (b.widget->popupMode() == QToolButton::MenuButtonPopup) {
      b.widget->setFixedSize(buttonSize_.width() + b.widget->style()->pixelMetric(QStyle::PM_MenuButtonIndicator) + 4,
                             buttonSize_.height());
    } else {
      b.widget->setFixedSize(buttonSize_);
    }
  }
}

void ToolBar::SetButtonStyle(int index, unsigned style) {
  if (index < 0 || index >= ButtonCount()) return;
  Entry& b = buttons_[static_cast<std::size_t>(index)];
  if (!b.widget) return;
  if (style & TBSTYLE_DROPDOWN) {
    // A menu must be present for the style to draw the arrow part; it is
    // never shown, the arrow reports a drop-down instead.
    if (b.widget->menu() == nullptr) b.widget->setMenu(new QMenu(b.widget));
    b.widget->setPopupMode(QToolButton::MenuButtonPopup);
  }
  ApplyImages();
}

unsigned ToolBar::GetButtonState(unsigned id) const {
  const int index = CommandToIndex(id);
  if (index < 0) return 0;
  const Entry& b = buttons_[static_cast<std::size_t>(index)];
  unsigned state = 0;
  if (b.action && !b.action->isEnabled()) state |= TBBS_DISABLED;
  if (b.widget && b.widget->isDown()) state |= TBBS_PRESSED;
  return state;
}

void ToolBar::SetButtonState(unsigned id, unsigned state) {
  const int index = CommandToIndex(id);
  if (index < 0) return;
  Entry& b = buttons_[static_cast<std::size_t>(index)];
  if (b.widget) b.widget->setDown((state & TBBS_PRESSED) != 0);
  if (b.action) b.action->setEnabled((state & TBBS_DISABLED) == 0);
}

void ToolBar::SetToolTip(unsigned id, const QString& text) {
  const int index = CommandToIndex(id);
  if (index < 0) return;
  Entry& b = buttons_[static_cast<std::size_t>(index)];
  if (b.action) b.action->setToolTip(text);
}

QString ToolBar::ToolTip(unsigned id) const {
  const int index = CommandToIndex(id);
  if (index < 0) return QString();
  const Entry& b = buttons_[static_cast<std::size_t>(index)];
  return b.action ? b.action->toolTip() : QString();
}

void ToolBar::RepositionAtTop() {
  if (!bar_ || bar_->parentWidget() == nullptr) return;
  const int height = bar_->sizeHint().height();
  bar_->setGeometry(0, 0, bar_->parentWidget()->width(), height);
}

void ToolBar::Invalidate() {
  if (bar_) bar_->update();
}

unsigned ToolBar::ButtonId(int index) const {
  if (index < 0 || index >= ButtonCount()) return 0;
  return buttons_[static_cast<std::size_t>(index)].id;
}

int ToolBar::CommandToIndex(unsigned id) const {
  for (std::size_t i = 0; i < buttons_.size(); ++i)
    if (buttons_[i].id == id) return static_cast<int>(i);
  return -1;
}

QRect ToolBar::ItemRect(int index) const {
  if (index < 0 || index >= ButtonCount()) return QRect();
  const Entry& b = buttons_[static_cast<std::size_t>(index)];
  return b.widget ? b.widget->geometry() : QRect();
}

QToolButton* ToolBar::Button(unsigned id) const {
  const int index = CommandToIndex(id);
  return index < 0 ? nullptr : buttons_[static_cast<std::size_t>(index)].widget.data();
}

bool ToolTipCtrl::Create(QWidget* parent) { return parent != nullptr; }

void ToolTipCtrl::AddTool(ToolBar& toolbar, const QString& text, const QRect&, unsigned id) {
  // Qt shows a button's tip by itself; registering again replaces the text.
  toolbar.SetToolTip(id, text);
}

}  // namespace platform::ui
