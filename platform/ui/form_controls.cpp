#include "platform/ui/form_controls.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPainter>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStyleOptionTabWidgetFrame>

#include "platform/ui/messages.h"
#include "platform/ui/row_removal.h"

namespace platform::ui {

ListBox::ListBox(QWidget* parent, int id, bool notify, ControlNotify sink)
    : QListWidget(parent), id_(id), notify_(notify), sink_(std::move(sink)) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSortingEnabled(false);
  setUniformItemSizes(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  // Only the user's changes arrive here: the operations below block signals.
  QObject::connect(this, &QListWidget::itemSelectionChanged, this, [this] {
    if (notify_ && sink_) sink_(id_, LBN_SELCHANGE);
  });
}

int ListBox::AddString(const QString& text) { return InsertString(-1, text); }

int ListBox::InsertString(int index, const QString& text) {
  if (index < -1 || index > count()) return LB_ERR;
  const int at = index == -1 ? count() : index;
  const QSignalBlocker block(this);
  insertItem(at, text);
  return at;
}

int ListBox::DeleteString(int index) {
  if (index < 0 || index >= count()) return LB_ERR;
  const QSignalBlocker block(this);
  ForgetCurrentAmong(*this, index, index);
  delete takeItem(index);
  return count();
}

QString ListBox::GetText(int index) const {
  const QListWidgetItem* line = item(index);
  return line != nullptr ? line->text() : QString();
}

int ListBox::GetCurSel() const {
  const QList<QListWidgetItem*> selected = selectedItems();
  return selected.isEmpty() ? LB_ERR : row(selected.front());
}

void ListBox::focusOutEvent(QFocusEvent* event) {
  QListWidget::focusOutEvent(event);
  if (notify_ && sink_) sink_(id_, LBN_KILLFOCUS);
}

TabControl::TabControl(QWidget* parent, int id) : QWidget(parent), id_(id), tabs_(new QTabBar(this)) {
  tabs_->setDrawBase(false);
  tabs_->setExpanding(false);
  tabs_->move(2, 2);
}

int TabControl::InsertItem(int index, const QString& text) {
  const QSignalBlocker block(tabs_);
  const int at = tabs_->insertTab(index, text);
  tabs_->resize(tabs_->sizeHint());
  update();
  return at;
}

void TabControl::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  tabs_->resize(tabs_->sizeHint());
}

void TabControl::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QStyleOptionTabWidgetFrame frame;
  frame.initFrom(this);
  const int top = tabs_->geometry().bottom();
  frame.rect = QRect(0, top, width(), height() - top);
  frame.tabBarSize = tabs_->size();
  frame.tabBarRect = tabs_->geometry();
  frame.shape = QTabBar::RoundedNorth;
  style()->drawPrimitive(QStyle::PE_FrameTabWidget, &frame, &painter, this);
}

QWidget* CreateFormControl(const ControlTemplate& c, QWidget* parent, ControlNotify sink) {
  const bool tabStop = (c.style & kTabStop) != 0;
  switch (c.kind) {
    case ControlKind::Edit: {
      auto* edit = new QLineEdit(parent);
      edit->setFrame((c.style & kBorder) != 0);
      if (c.style & kPassword) edit->setEchoMode(QLineEdit::Password);
      edit->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
      return edit;
    }
    case ControlKind::CheckBox: {
      auto* box = new QCheckBox(c.text, parent);
      box->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
      const int id = c.id;
      QObject::connect(box, &QCheckBox::clicked, parent, [sink, id] {
        if (sink) sink(id, BN_CLICKED);
      });
      return box;
    }
    case ControlKind::ListBox: {
      auto* list = new ListBox(parent, c.id, (c.style & kNotify) != 0, std::move(sink));
      list->setFrameShape((c.style & kBorder) ? QFrame::StyledPanel : QFrame::NoFrame);
      if (!(c.style & kVScroll)) list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      list->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
      return list;
    }
    case ControlKind::TabControl: {
      auto* tabs = new TabControl(parent, c.id);
      tabs->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::NoFocus);
      return tabs;
    }
    case ControlKind::RadioButton: {
      auto* radio = new QRadioButton(c.text, parent);
      radio->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
      const int id = c.id;
      QObject::connect(radio, &QRadioButton::clicked, parent, [sink, id] {
        if (sink) sink(id, BN_CLICKED);
      });
      return radio;
    }
    case ControlKind::GroupBox: {
      auto* group = new QGroupBox(c.text, parent);
      group->setFocusPolicy(Qt::NoFocus);
      return group;
    }
    default:
      return nullptr;
  }
}

}  // namespace platform::ui
